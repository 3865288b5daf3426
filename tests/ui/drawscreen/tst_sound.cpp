#include "common/prompts.h"
#include "common/settingsstore.h"
#include "console/modi.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "draw/stagesound.h"
#include "draw/wavefile.h"
#include "drawscreen/mf.h"
#include "drawscreen/stagesoundplayer.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <cmath>

using namespace tombolix;

namespace {

const QString RollSound = QStringLiteral("RollSound");
const QString StopSound = QStringLiteral("StopSound");

QAction *menuItem(MF &screen, const char *name)
{
    return test::menuAction(screen.contextMenu(), name);
}

void click(QWidget *window, const char *name)
{
    auto *widget = window->findChild<QWidget *>(QString::fromLatin1(name));
    QVERIFY2(widget, name);
    QTest::mouseClick(widget, Qt::LeftButton);
}

qint64 results(qint64 draw)
{
    return data::CountRows(
        QStringLiteral("结果表"), QStringLiteral("CID=%1").arg(draw), QStringLiteral("ID"));
}

// A draw screen on a silent sound whose calls the test reads; the log
// outlives the screen.
std::shared_ptr<draw::SoundLog> listenTo(MF &screen)
{
    auto log = std::make_shared<draw::SoundLog>();
    screen.setSound(std::make_unique<draw::RecordingStageSound>(log));
    return log;
}

// The calls after the ones the screen makes when it is handed the sound.
QStringList playCalls(const draw::SoundLog &log)
{
    QStringList calls = log.calls;
    while (!calls.isEmpty()
        && (calls.first() == QLatin1String("files") || calls.first() == QLatin1String("mute")
            || calls.first() == QLatin1String("unmute")))
        calls.removeFirst();
    return calls;
}

// A short valid sound file of the kind the player takes.
bool writeWav(const QString &path)
{
    const int frames = 2205;
    QByteArray data(frames * 2, '\0');
    for (int i = 0; i < frames; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(i * 0.1)), data.data() + 2 * i);
    QByteArray fmt(16, '\0');
    qToLittleEndian<quint16>(1, fmt.data());
    qToLittleEndian<quint16>(1, fmt.data() + 2);
    qToLittleEndian<quint32>(22050, fmt.data() + 4);
    qToLittleEndian<quint32>(44100, fmt.data() + 8);
    qToLittleEndian<quint16>(2, fmt.data() + 12);
    qToLittleEndian<quint16>(16, fmt.data() + 14);
    auto size = [](qint64 n) {
        QByteArray bytes(4, '\0');
        qToLittleEndian<quint32>(quint32(n), bytes.data());
        return bytes;
    };
    const QByteArray body = "WAVEfmt " + size(16) + fmt + "data" + size(data.size()) + data;
    return test::writeFile(path, "RIFF" + size(body.size()) + body);
}

QList<qint16> samplesOf(const QString &resource, const draw::WaveFormat &format)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(format.dataOffset))
        return {};
    const QByteArray bytes = file.read(format.frames * 2);
    QList<qint16> samples;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        samples << qFromLittleEndian<qint16>(bytes.constData() + i);
    return samples;
}

double rms(const QList<qint16> &samples, qsizetype from, qsizetype count)
{
    double sum = 0;
    for (qsizetype i = from; i < from + count; ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(count));
}

// Counts the warnings Qt and the program write while it lives.
class WarningCounter
{
public:
    WarningCounter()
    {
        s_count = 0;
        m_previous = qInstallMessageHandler(&WarningCounter::handle);
    }
    ~WarningCounter() { qInstallMessageHandler(m_previous); }
    int count() const { return s_count; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &)
    {
        if (type != QtDebugMsg && type != QtInfoMsg)
            ++s_count;
    }
    static inline int s_count = 0;
    QtMessageHandler m_previous = nullptr;
};

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundRollsThenFanfaresAtTheStop();
    void timedStopFanfaresByItself();
    void stopThatNamesNobodyHasNoFanfare();
    void closingMidRollStopsWithoutFanfare();
    void muteIsAMenuOptionRememberedAndAppliedAtOnce();
    void drawFilesReachTheSound();

    void playerFallsBackToTheBuiltInSounds();
    void withoutAudioDeviceTheStageIsSilentQuietAndQuick();
    void builtInSoundsAreSmallSeamlessPcm();

    void editorStoresAndShowsTheSoundFiles();
    void newDrawKeepsItsSoundsUnderItsOwnId();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
    qint64 m_draw = 0;
};

void TestSound::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
    m_draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    m_db->addEntrants(m_draw, 30);
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 2, 1);
}

void TestSound::cleanup()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (qobject_cast<MF *>(window) || qobject_cast<Modi *>(window))
            windows << window;
    }
    for (const QPointer<QWidget> &window : windows)
        delete window.data();
    delete m_prompts;
    delete m_db;
}

void TestSound::roundRollsThenFanfaresAtTheStop()
{
    MF screen(m_draw, std::make_unique<draw::RandomSource>(3));
    screen.show();
    const auto log = listenTo(screen);
    QCOMPARE(log->calls, QStringList({ "unmute", "files" }));

    click(&screen, "bIMG");
    QCOMPARE(playCalls(*log), QStringList({ "startRoll" }));
    QTest::qWait(30);
    click(&screen, "lStart");
    QCOMPARE(playCalls(*log), QStringList({ "startRoll", "stopRoll", "fanfare" }));
    QCOMPARE(results(m_draw), 1);

    // A key holds the second round as a click does.
    QTest::keyClick(&screen, Qt::Key_Space);
    QTest::qWait(30);
    QTest::keyClick(&screen, Qt::Key_Space);
    QCOMPARE(playCalls(*log),
        QStringList({ "startRoll", "stopRoll", "fanfare", "startRoll", "stopRoll", "fanfare" }));

    // The award is complete and the draw finished: a click starts nothing.
    click(&screen, "bIMG");
    QVERIFY(!screen.isRolling());
    QCOMPARE(playCalls(*log).size(), 6);
}

void TestSound::timedStopFanfaresByItself()
{
    const qint64 timed
        = m_db->addDraw(QStringLiteral("定时"), QStringLiteral("10"), QString(), QStringLiteral("1"));
    m_db->addEntrants(timed, 10);
    m_db->addAward(timed, 1, QStringLiteral("A"), 3, 1);
    MF screen(timed, std::make_unique<draw::RandomSource>(1));
    screen.show();
    const auto log = listenTo(screen);
    click(&screen, "bIMG");
    click(&screen, "bIMG"); // a timed round cannot be stopped by hand
    QCOMPARE(playCalls(*log), QStringList({ "startRoll" }));
    QTRY_VERIFY_WITH_TIMEOUT(!screen.isRolling(), 3000);
    QCOMPARE(playCalls(*log), QStringList({ "startRoll", "stopRoll", "fanfare" }));
    QCOMPARE(results(timed), 1);
}

// A round the database would not store names nobody: no fanfare for it.
void TestSound::stopThatNamesNobodyHasNoFanfare()
{
    MF screen(m_draw, std::make_unique<draw::RandomSource>(1));
    screen.show();
    QVERIFY(data::ExecuteSql(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 结果表 "
                                            "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    const auto log = listenTo(screen);
    click(&screen, "bIMG");
    QTest::qWait(20);
    click(&screen, "bIMG");
    QCOMPARE(playCalls(*log), QStringList({ "startRoll", "stopRoll" }));
    QCOMPARE(results(m_draw), 0);
    QCOMPARE(m_prompts->messages().size(), 1);
}

void TestSound::closingMidRollStopsWithoutFanfare()
{
    QPointer<MF> screen = new MF(m_draw, std::make_unique<draw::RandomSource>(1));
    screen->show();
    const auto log = listenTo(*screen);
    QSignalSpy closed(screen.data(), &MF::closed);
    click(screen, "bIMG");
    QTest::qWait(30);
    QVERIFY(screen->isRolling());
    m_prompts->queueAnswer(true); // yes, end the draw and give the round up
    click(screen, "lEnd");
    QCOMPARE(closed.count(), 1);
    QTRY_VERIFY(!screen); // the screen is deleted on close
    QCOMPARE(playCalls(*log), QStringList({ "startRoll", "stopRoll" }));
    QCOMPARE(results(m_draw), 0);
}

void TestSound::muteIsAMenuOptionRememberedAndAppliedAtOnce()
{
    {
        MF screen(m_draw, std::make_unique<draw::RandomSource>(1));
        screen.resize(1024, 640);
        screen.show();
        const auto log = listenTo(screen);
        QAction *mute = menuItem(screen, "m_Mute");
        QVERIFY(mute);
        QCOMPARE(mute->text(), QStringLiteral("静音"));
        QVERIFY(mute->isCheckable());
        QVERIFY(!mute->isChecked()); // off until chosen
        QVERIFY(!screen.muted());

        // It sits after "名单反序" and before the separator above "退出抽奖".
        const QList<QAction *> actions = screen.contextMenu()->actions();
        const qsizetype at = actions.indexOf(mute);
        QVERIFY(at > actions.indexOf(menuItem(screen, "m_Order")));
        QVERIFY(actions.at(at + 1)->isSeparator());
        QCOMPARE(actions.at(at + 2), menuItem(screen, "m_Exit"));

        // Chosen mid-roll from the menu the right button pops up.
        click(&screen, "bIMG");
        QTest::mouseClick(screen.canvas(), Qt::RightButton, Qt::NoModifier, QPoint(300, 300));
        QTRY_VERIFY(screen.contextMenu()->isVisible());
        test::saveShot(screen.contextMenu(), QStringLiteral("MF-menu-mute"));
        mute->trigger();
        screen.contextMenu()->hide();
        QVERIFY(screen.isRolling());
        QCOMPARE(playCalls(*log), QStringList({ "startRoll", "mute" }));
        QVERIFY(log->muted);
        QCOMPARE(ReadRegValue(AppName, QStringLiteral("Sound"), QStringLiteral("Mute"), QString()),
            QStringLiteral("true"));
        screen.ToggleRoll();
    }
    {
        // The next screen starts muted: its sound is muted before it plays.
        MF screen(m_draw, std::make_unique<draw::RandomSource>(1));
        screen.show();
        const auto log = listenTo(screen);
        QVERIFY(menuItem(screen, "m_Mute")->isChecked());
        click(&screen, "bIMG");
        QCOMPARE(log->calls, QStringList({ "mute", "files", "startRoll" }));
        menuItem(screen, "m_Mute")->trigger();
        QCOMPARE(log->calls.last(), QStringLiteral("unmute"));
        QCOMPARE(ReadRegValue(AppName, QStringLiteral("Sound"), QStringLiteral("Mute"), QString()),
            QStringLiteral("false"));
        screen.ToggleRoll();
    }
}

void TestSound::drawFilesReachTheSound()
{
    const QString roll = m_db->folder() + QStringLiteral("/鼓声.wav");
    QVERIFY(writeWav(roll));
    QVERIFY(data::DrawStore().setExtraSetting(m_draw, RollSound, roll));
    MF screen(m_draw);
    const auto log = listenTo(screen);
    QCOMPARE(log->rollFile, roll);
    QCOMPARE(log->stopFile, QString()); // the built-in fanfare

    // Another draw's files are its own.
    const qint64 other = m_db->addDraw(QStringLiteral("别的"));
    MF otherScreen(other);
    const auto otherLog = listenTo(otherScreen);
    QCOMPARE(otherLog->rollFile, QString());
}

void TestSound::playerFallsBackToTheBuiltInSounds()
{
    const QUrl builtInRoll(QStringLiteral("qrc:/tombolix/sounds/roll.wav"));
    const QUrl builtInStop(QStringLiteral("qrc:/tombolix/sounds/fanfare.wav"));
    StageSoundPlayer player;
    QCOMPARE(player.rollSource(), builtInRoll);
    QCOMPARE(player.stopSource(), builtInStop);

    const QString good = m_db->folder() + QStringLiteral("/号角.wav");
    QVERIFY(writeWav(good));
    const QString notSound = m_db->folder() + QStringLiteral("/notes.wav");
    QVERIFY(test::writeFile(notSound, "not a sound at all"));
    player.setFiles(m_db->folder() + QStringLiteral("/gone.wav"), good);
    QCOMPARE(player.rollSource(), builtInRoll);
    QCOMPARE(player.stopSource(), QUrl::fromLocalFile(good));
    player.setFiles(notSound, QString());
    QCOMPARE(player.rollSource(), builtInRoll);
    QCOMPARE(player.stopSource(), builtInStop);
    QVERIFY(m_prompts->shown().isEmpty());
}

void TestSound::withoutAudioDeviceTheStageIsSilentQuietAndQuick()
{
    const QString roll = m_db->folder() + QStringLiteral("/鼓声.wav");
    QVERIFY(writeWav(roll));
    QVERIFY(data::DrawStore().setExtraSetting(m_draw, RollSound, roll));
    QVERIFY(
        data::DrawStore().setExtraSetting(m_draw, StopSound, m_db->folder() + QStringLiteral("/gone.wav")));
    {
        // The first look for a device may leave Qt's one line about it.
        QElapsedTimer clock;
        clock.start();
        MF screen(m_draw, std::make_unique<draw::RandomSource>(1));
        screen.show();
        click(&screen, "bIMG");
        QTest::qWait(20);
        click(&screen, "bIMG");
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }
    WarningCounter warnings;
    QElapsedTimer clock;
    clock.start();
    QPointer<MF> screen = new MF(m_draw, std::make_unique<draw::RandomSource>(2));
    screen->show();
    menuItem(*screen, "m_Mute")->trigger();
    click(screen, "bIMG");
    QTest::qWait(20);
    menuItem(*screen, "m_Mute")->trigger();
    click(screen, "bIMG");
    click(screen, "bIMG");
    click(screen, "lEnd"); // closed mid-roll
    QTRY_VERIFY(!screen);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(results(m_draw), 2);
    QVERIFY(test::OtherThanRecordSaved(m_prompts->messages()).isEmpty());
    QVERIFY(m_prompts->questions().isEmpty());
    // A machine without sound is not told so at every round.
    QCOMPARE(warnings.count(), 0);
}

void TestSound::builtInSoundsAreSmallSeamlessPcm()
{
    const QString rollFile = StageSoundPlayer::builtInRollFile();
    const QString stopFile = StageSoundPlayer::builtInStopFile();
    const std::optional<draw::WaveFormat> roll = draw::ReadWaveFormat(rollFile);
    const std::optional<draw::WaveFormat> stop = draw::ReadWaveFormat(stopFile);
    QVERIFY(roll && stop);
    for (const draw::WaveFormat &format : { *roll, *stop }) {
        QCOMPARE(format.channels, 1);
        QCOMPARE(format.bitsPerSample, 16);
        QVERIFY(format.sampleRate == 22050 || format.sampleRate == 44100);
    }
    QCOMPARE(roll->frames, qint64(roll->sampleRate) * 2); // a loop of exactly two seconds
    QVERIFY(stop->seconds() >= 1.0 && stop->seconds() <= 2.0);
    QVERIFY(QFile(rollFile).size() + QFile(stopFile).size() <= 300 * 1024);

    // The loop has no seam: its last sample leads into its first as
    // neighbours inside it do, and it neither fades in nor out.
    const QList<qint16> loop = samplesOf(rollFile, *roll);
    QCOMPARE(loop.size(), roll->frames);
    QList<int> steps;
    for (qsizetype i = 0; i + 1 < loop.size(); ++i)
        steps << std::abs(loop[i + 1] - loop[i]);
    std::sort(steps.begin(), steps.end());
    const int usualStep = steps.at(steps.size() * 99 / 100);
    QVERIFY2(std::abs(loop.first() - loop.last()) <= usualStep, qPrintable(QString::number(usualStep)));
    const qsizetype beat = loop.size() / 4; // the roll's four beats
    const double head = rms(loop, 0, beat);
    const double tail = rms(loop, loop.size() - beat, beat);
    QVERIFY(head > 500 && tail > 500);
    QVERIFY2(std::max(head, tail) / std::min(head, tail) < 1.5,
        qPrintable(QStringLiteral("%1 %2").arg(head).arg(tail)));

    // The fanfare starts and ends at rest (no click) and is loud in between.
    const QList<qint16> fanfare = samplesOf(stopFile, *stop);
    QCOMPARE(fanfare.first(), 0);
    QCOMPARE(fanfare.last(), 0);
    QVERIFY(rms(fanfare, 0, fanfare.size() / 2) > 2000);
    const int peak = std::abs(*std::max_element(fanfare.begin(), fanfare.end(),
        [](qint16 a, qint16 b) { return std::abs(int(a)) < std::abs(int(b)); }));
    QVERIFY(peak < 32767); // no clipping
}

void TestSound::editorStoresAndShowsTheSoundFiles()
{
    const QString roll = m_db->folder() + QStringLiteral("/鼓声.wav");
    const QString stop = m_db->folder() + QStringLiteral("/号角.wav");
    {
        Modi *editor = new Modi;
        editor->show();
        editor->setDrawId(m_draw);
        auto *rollBox = editor->findChild<QLineEdit *>(RollSound);
        auto *stopBox = editor->findChild<QLineEdit *>(StopSound);
        QVERIFY(rollBox && stopBox);
        QCOMPARE(rollBox->text(), QString()); // a draw made before sounds existed
        QCOMPARE(stopBox->text(), QString());

        click(editor, "RollSoundBrowse"); // the file dialog cancelled
        QCOMPARE(rollBox->text(), QString());
        m_prompts->queueFileName(roll);
        click(editor, "RollSoundBrowse");
        m_prompts->queueFileName(stop);
        click(editor, "StopSoundBrowse");
        QCOMPARE(m_prompts->texts(QStringLiteral("open")),
            QStringList(3, QStringLiteral("音频文件 (*.wav)|*.wav")));
        QCOMPARE(rollBox->text(), roll);
        QCOMPARE(stopBox->text(), stop);
        test::saveShot(editor, QStringLiteral("Modi-sounds"));

        // Cancelled, nothing is kept.
        click(editor, "Com_2");
        QCOMPARE(data::DrawStore().extraSetting(m_draw, RollSound), QString());
    }
    {
        Modi *editor = new Modi;
        editor->show();
        editor->setDrawId(m_draw);
        m_prompts->queueFileName(roll);
        click(editor, "RollSoundBrowse");
        editor->findChild<QLineEdit *>(StopSound)->setText(stop);
        click(editor, "Com_1");
        QVERIFY(m_prompts->messages().isEmpty());
        QCOMPARE(data::DrawStore().extraSetting(m_draw, RollSound), roll);
        QCOMPARE(data::DrawStore().extraSetting(m_draw, StopSound), stop);
    }
    {
        // Shown again, and a box emptied goes back to the built-in sound.
        Modi *editor = new Modi;
        editor->show();
        editor->setDrawId(m_draw);
        QCOMPARE(editor->findChild<QLineEdit *>(RollSound)->text(), roll);
        QCOMPARE(editor->findChild<QLineEdit *>(StopSound)->text(), stop);
        editor->findChild<QLineEdit *>(StopSound)->clear();
        click(editor, "Com_1");
        QCOMPARE(data::DrawStore().extraSetting(m_draw, StopSound), QString());
        QCOMPARE(data::DrawStore().extraSetting(m_draw, RollSound), roll);
    }
}

void TestSound::newDrawKeepsItsSoundsUnderItsOwnId()
{
    const QString roll = m_db->folder() + QStringLiteral("/新.wav");
    Modi *editor = new Modi;
    editor->show();
    editor->findChild<QLineEdit *>(QStringLiteral("TT_4"))->setText(QStringLiteral("新抽奖"));
    editor->findChild<QLineEdit *>(RollSound)->setText(roll);
    click(editor, "Com_1");
    qint64 id = 0;
    for (data::Recordset rs = data::OpenRecordset(
             QStringLiteral("SELECT ID FROM 奖次表 WHERE 抽奖内容=?"), { QStringLiteral("新抽奖") });
         !rs.eof(); rs.moveNext())
        id = rs.field(0).toLongLong();
    QVERIFY(id > 0 && id != m_draw);
    QCOMPARE(data::DrawStore().extraSetting(id, RollSound), roll);
    QCOMPARE(data::DrawStore().extraSetting(m_draw, RollSound), QString());

    // A name refused stores no sound either.
    Modi *again = new Modi;
    again->show();
    again->findChild<QLineEdit *>(QStringLiteral("TT_4"))->setText(QStringLiteral("新抽奖"));
    again->findChild<QLineEdit *>(RollSound)->setText(QStringLiteral("/other.wav"));
    click(again, "Com_1");
    QCOMPARE(m_prompts->messages(), QStringList(QStringLiteral("抽奖名称已经存在，请取其他名称！")));
    QCOMPARE(data::DrawStore().extraSetting(id, RollSound), roll);
    QCOMPARE(data::DrawStore().extraSetting(0, RollSound), QString());
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
