#include "common/prompts.h"
#include "draw/wavefile.h"
#include "drawscreen/stagesoundplayer.h"
#include "support/testsupport.h"

#include <QFile>
#include <QTest>
#include <QtEndian>
#include <cmath>

using namespace tombolix;

namespace {

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

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void playerFallsBackToTheBuiltInSounds();
    void builtInSoundsAreSmallSeamlessPcm();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestSound::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
}

void TestSound::cleanup()
{
    delete m_prompts;
    delete m_db;
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

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
