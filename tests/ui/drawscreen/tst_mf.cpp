#include "common/conventions.h"
#include "common/gridview.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "console/fset.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/databasefile.h"
#include "data/notarystore.h"
#include "draw/certificate.h"
#include "draw/notaryrecord.h"
#include "draw/recordcheck.h"
#include "drawscreen/delaward.h"
#include "drawscreen/hallnumbers.h"
#include "drawscreen/mf.h"
#include "grid/gridmodel.h"
#include "support/testsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <map>
#include <optional>
#include <set>

using namespace tombolix;

namespace {

using test::openWindow;

// What a phone reads from the QR code of a picture: zbarimg's text. Under
// Wine, a Windows program cannot start that Linux tool: nothing then, and
// the Linux run reads it.
std::optional<QString> readQrCode(const QString &picture)
{
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), { QStringLiteral("--raw"), QStringLiteral("-q"), picture });
#ifdef Q_OS_WIN
    if (!zbar.waitForStarted(30000)) {
        qInfo("zbarimg cannot be started here: the QR code is read on Linux");
        return std::nullopt;
    }
#endif
    if (!zbar.waitForFinished(30000))
        return QStringLiteral("(zbarimg did not finish)");
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

// Clicks the console's start button and answers the chooser: the draw at
// `choice` in its list, or cancel when choice is negative.
MF *enterThroughConsole(FSet &console, int choice = 0)
{
    test::whenWindowOpens(&console, QStringLiteral("选择抽奖设置"), [choice](QWidget *chooser) {
        test::saveShot(chooser, QStringLiteral("GetProject"));
        if (choice < 0) {
            QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("Com_0")), Qt::LeftButton);
            return;
        }
        chooser->findChild<QComboBox *>(QStringLiteral("TT"))->setCurrentIndex(choice);
        QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("Com_1")), Qt::LeftButton);
    });
    QTest::mouseClick(console.findChild<QPushButton *>(QStringLiteral("Entr")), Qt::LeftButton);
    return qobject_cast<MF *>(openWindow(MF::caption()));
}

qint64 resultCount(qint64 draw)
{
    return data::CountRows(
        QStringLiteral("结果表"), QStringLiteral("CID=%1").arg(draw), QStringLiteral("ID"));
}

// The draw's record, its seed revealed, checks: every round followed from it.
bool recordChecks(qint64 draw)
{
    if (!draw::RevealSeed(draw))
        return false;
    const draw::RecordCheck check = draw::CheckRecord(*draw::ExportRecord(draw));
    if (!check.passed())
        qWarning("%s", qPrintable(check.problem));
    return check.passed();
}

QString labelText(MF *screen, const char *name)
{
    return screen->findChild<QLabel *>(QString::fromLatin1(name))->text();
}

void click(MF *screen, const char *name)
{
    QTest::mouseClick(screen->findChild<QWidget *>(QString::fromLatin1(name)), Qt::LeftButton);
}

// Opens 取消结果 with a click, as the operator does.
DelAward *openWithdrawal(MF *screen)
{
    click(screen, "AwardUndo");
    for (DelAward *dialog : screen->findChildren<DelAward *>()) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// Ticks the results whose award is named so in the withdrawal window, by
// clicks on their mark cells, and confirms.
void withdrawThroughDialog(MF *screen, const QString &award)
{
    DelAward *withdrawal = openWithdrawal(screen);
    QVERIFY(withdrawal);
    grid::GridModel *results = withdrawal->grid();
    auto *view = withdrawal->findChild<QAbstractItemView *>(QStringLiteral("MSF"));
    for (int row = results->FixedRows(); row < results->Rows(); ++row) {
        if (results->TextMatrix(row, 4) != award)
            continue;
        const QModelIndex mark = view->model()->index(results->modelRow(row), 3);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(mark).center());
    }
    QTest::mouseClick(withdrawal->findChild<QPushButton *>(QStringLiteral("Com_0")), Qt::LeftButton);
}

qint64 awardResults(qint64 award)
{
    return data::CountRows(
        QStringLiteral("结果表"), QStringLiteral("WID=%1").arg(award), QStringLiteral("ID"));
}

// One round by two clicks on the background.
void holdRound(MF *screen)
{
    click(screen, "bIMG");
    QTest::qWait(30);
    click(screen, "bIMG");
}

// The board a draw held in one go shows for the draw's stored winners,
// composed from the rows themselves: each award by 顺序 under a heading of
// its name and prize apart, its winners in the order drawn as "     number(name)";
// reversed, both orders turn round.
QString boardOf(qint64 draw, bool ascending)
{
    std::map<qint64, QStringList> awards; // 顺序 -> heading, then winners
    for (data::Recordset rs = data::OpenRecordset(
             QStringLiteral("SELECT 奖项表.顺序, 奖项表.名称, 奖项表.奖品, 结果表.号码, 结果表.姓名 "
                            "FROM 结果表 JOIN 奖项表 ON 结果表.WID=奖项表.ID WHERE 结果表.CID=? "
                            "ORDER BY 结果表.ID"),
             { draw });
         !rs.eof(); rs.moveNext()) {
        QStringList &lines = awards[rs.field(0).toLongLong()];
        if (lines.isEmpty()) {
            const QString prize = rs.field(2).toString();
            lines << rs.field(1).toString() + (prize.isEmpty() ? QString() : QStringLiteral(" · ") + prize);
        }
        lines << QStringLiteral("     ") + rs.field(3).toString() + QLatin1Char('(') + rs.field(4).toString()
                + QLatin1Char(')');
    }
    QStringList board;
    for (auto &[order, lines] : awards) {
        if (!ascending)
            std::reverse(lines.begin() + 1, lines.end());
        if (ascending)
            board.append(lines.join(QStringLiteral("\r\n")));
        else
            board.prepend(lines.join(QStringLiteral("\r\n")));
    }
    return board.isEmpty() ? QString() : board.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

} // namespace

class TestDrawScreen : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void holdsAWholeDrawFromTheConsole();
    void cancellingTheChooserStartsNothing();
    void startPressedAgainWhileChoosingOpensNothingMore();
    void aDrawDeletedWhileChoosingIsNotEntered();
    void consoleComesBackWhereItWas();
    void earlierResultsAreNotWipedWithoutAsking();
    void continuingFinishesTheDrawWhereItStopped();
    void tooFewEntrantsAsksFirst();
    void aRoundKeepsItsAwardThroughAWithdrawal();
    void aWithdrawnWinnerStaysOutWhenTheDrawGoesOn();
    void anAwardThatCannotBeFilledIsToldAndLetGo();
    void timedRoundStopsByItself();
    void timedRoundLastsItsSeconds();
    void zeroIntervalStillDrawsAtTheStop();
    void keysToggleButHeldKeysDoNot_data();
    void keysToggleButHeldKeysDoNot();
    void doubleClickOrHeldKeyCountsOnce();
    void missingPictureLeavesTheScreenUsable();
    void theHallsNumbersAreTypedBeforeTheFirstRound();
    void thePublishedCommitmentIsTheOneOnTheStage();
    void whatChangedBetweenSittingsIsToldAndShown();
    void aDrawOfTheOlderRuleStartsAgainKeepingItsRecord();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestDrawScreen::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
}

void TestDrawScreen::cleanup()
{
    // A draw screen takes its own pop-up menu with it: hold guarded pointers.
    QList<QPointer<MF>> screens;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *screen = qobject_cast<MF *>(window))
            screens << screen;
    }
    for (const QPointer<MF> &screen : screens)
        delete screen.data();
    delete m_prompts;
    delete m_db;
}

void TestDrawScreen::holdsAWholeDrawFromTheConsole()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("2026年会抽奖"), QStringLiteral("20"));
    m_db->addDraw(QStringLiteral("较早的抽奖")); // the chooser shows the newest first
    for (int i = 1; i <= 30; ++i)
        m_db->addEntrant(draw, QStringLiteral("%1").arg(1000 + i), QStringLiteral("员工%1").arg(i));
    const qint64 first
        = m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 2, true, false, QStringLiteral("笔记本电脑"));
    m_db->addAward(draw, 2, QStringLiteral("特别奖"), 1, 1, true, false, QStringLiteral("旅游基金"));
    QVERIFY(data::ExecuteSql(
        QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码) VALUES (?, ?, 'old')"), { draw, first }));
    m_prompts->queueChoice(QStringLiteral("重新开始"));
    m_prompts->queueAnswer(true); // yes, replace the earlier result

    FSet console;
    console.show();
    MF *screen = enterThroughConsole(console, 1);
    QVERIFY(screen);
    QCOMPARE(m_prompts->choices(), QStringList { QStringLiteral("该抽奖已有1条抽奖结果。") });
    QCOMPARE(
        m_prompts->questions(), QStringList { QStringLiteral("重新开始将删除这1条抽奖结果，是否继续？") });
    QCOMPARE(resultCount(draw), qint64(0));
    QVERIFY(!console.isVisible());
    QVERIFY(screen->isFullScreen());
    QCOMPARE(labelText(screen, "LL_2"), QStringLiteral("00000000000"));
    // The 公证码 is on show until the first round, and read on the results tab.
    const QLabel *code = screen->findChild<QLabel *>(QStringLiteral("notaryCode"));
    QVERIFY(code && code->isVisible());
    const QString codeLine = code->text().section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(QRegularExpression(QStringLiteral("^公证码( [0-9A-F]{4}){8}$")).match(codeLine).hasMatch(),
        qPrintable(code->text()));
    const QString grouped = codeLine.mid(4);
    screen->showNormal();
    screen->resize(1280, 720);
    QTest::qWait(50);
    test::saveShot(screen, QStringLiteral("MF-start"));

    // Round 1: two lines of the first award.
    click(screen, "bIMG");
    QVERIFY(screen->isRolling());
    QTest::qWait(150);
    QCOMPARE(labelText(screen, "LL_2").split(QStringLiteral("\r\n")).size(), 2);
    test::saveShot(screen, QStringLiteral("MF-mid-roll"));
    click(screen, "bIMG");
    QVERIFY(!screen->isRolling());
    QCOMPARE(resultCount(draw), qint64(2));
    QVERIFY(!code->isVisible());
    const QStringList firstWinners = labelText(screen, "LL_2").split(QStringLiteral("\r\n"));
    QCOMPARE(firstWinners.size(), 2);
    QVERIFY(labelText(screen, "LL_1").startsWith(QStringLiteral("一等奖 · 笔记本电脑\r\n     ")));
    test::saveShot(screen, QStringLiteral("MF-after-stop"));

    // Round 2 through lStart: the last place of the first award.
    click(screen, "lStart");
    QTest::qWait(60);
    click(screen, "lStart");
    QCOMPARE(resultCount(draw), qint64(3));
    QCOMPARE(labelText(screen, "LL_2").split(QStringLiteral("\r\n")).size(), 1);

    // Round 3 by clicking the board list: the special award, then finished.
    click(screen, "LL_1");
    QTest::qWait(60);
    click(screen, "LL_0");
    QCOMPARE(resultCount(draw), qint64(4));
    QVERIFY(screen->session().DrawFinished());
    test::saveShot(screen, QStringLiteral("MF-finished"));

    const QString board = labelText(screen, "LL_1");
    QCOMPARE(board.count(QStringLiteral("\r\n")), 6); // two headings, four winners
    QVERIFY(board.contains(QStringLiteral("特别奖 · 旅游基金\r\n     10")));
    QCOMPARE(labelText(screen, "LL_0"), QStringLiteral("获奖名单"));

    // Every winner distinct and stored with the name.
    std::set<QString> numbers;
    for (data::Recordset rs
         = data::OpenRecordset(QStringLiteral("SELECT 号码, 姓名 FROM 结果表 WHERE CID=?"), { draw });
         !rs.eof(); rs.moveNext()) {
        numbers.insert(rs.field(0).toString());
        QVERIFY(rs.field(1).toString().startsWith(QStringLiteral("员工")));
    }
    QCOMPARE(numbers.size(), size_t(4));

    // A finished draw ignores further clicks and keys.
    click(screen, "bIMG");
    QTest::keyClick(screen, Qt::Key_Space);
    QVERIFY(!screen->isRolling());
    QCOMPARE(resultCount(draw), qint64(4));

    click(screen, "lEnd");
    QTRY_VERIFY(console.isVisible());
    QTRY_VERIFY(!openWindow(MF::caption()));
    // The operator is told where the record and the certificate went.
    QCOMPARE(m_prompts->messages().size(), 1);
    QVERIFY(m_prompts->messages().constFirst().startsWith(QStringLiteral("公证记录已保存：")));
    QVERIFY(m_prompts->messages().constFirst().contains(QStringLiteral("公证记录") + QDir::separator()));

    console.tabs()->setCurrentIndex(3);
    auto *draws = console.findChild<QComboBox *>(QStringLiteral("CMB_3"));
    const int item = draws->findText(QString::number(draw), Qt::MatchStartsWith);
    QVERIFY(item >= 0);
    draws->setCurrentIndex(item);
    emit draws->activated(item);
    QTRY_VERIFY(console.findChild<QLabel *>(QStringLiteral("NotaryCode"))
                    ->text()
                    .startsWith(QStringLiteral("公证码 ") + grouped));

    // The ended draw left its record, which checks, and its certificate.
    const QDir records(QDir(m_db->folder()).filePath(QStringLiteral("公证记录")));
    const QStringList json = records.entryList({ QStringLiteral("2026年会抽奖-公证记录-*.json") });
    QCOMPARE(json.size(), 1);
    QFile file(records.filePath(json.constFirst()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const draw::RecordCheck check = draw::CheckRecord(file.readAll());
    QVERIFY2(check.passed(), qPrintable(check.problem));
    QFileInfo certificate(
        records.filePath(QFileInfo(json.constFirst()).completeBaseName() + QStringLiteral(".pdf")));
    QVERIFY(certificate.size() > 1000);
    // Its page as a picture (a PDF has no viewer here): its QR code reads as
    // the record's last hash, which the checker prints too.
    QImage page(2480, 3508, QImage::Format_RGB32); // A4 at 300 dpi, as written
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    page.fill(Qt::white);
    QPainter painter(&page);
    draw::PaintCertificate(painter, nullptr, page.rect().adjusted(180, 180, -180, -180), check);
    painter.end();
    const QString pagePicture = QDir(m_db->folder()).filePath(QStringLiteral("certificate.png"));
    QVERIFY(page.save(pagePicture));
    if (const std::optional<QString> read = readQrCode(pagePicture))
        QCOMPARE(*read, check.lastHash);
    QVERIFY(check.summary.constLast().endsWith(check.lastHash));
    if (const QString shots = qEnvironmentVariable("TOMBOLIX_SHOTS"); !shots.isEmpty()) {
        page.save(QDir(shots).filePath(QStringLiteral("certificate.png")));
        QFile::remove(QDir(shots).filePath(QStringLiteral("certificate.pdf")));
        QFile::copy(certificate.filePath(), QDir(shots).filePath(QStringLiteral("certificate.pdf")));
    }
}

void TestDrawScreen::cancellingTheChooserStartsNothing()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    QVERIFY(
        data::ExecuteSql(QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码) VALUES (?, 1, '1')"), { draw }));
    FSet console;
    console.show();
    QVERIFY(!enterThroughConsole(console, -1));
    QVERIFY(console.isVisible());
    QCOMPARE(resultCount(draw), qint64(1));
    QVERIFY(m_prompts->questions().isEmpty());
}

void TestDrawScreen::startPressedAgainWhileChoosingOpensNothingMore()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 5);
    FSet console;
    console.show();
    auto *start = console.findChild<QPushButton *>(QStringLiteral("Entr"));
    auto countOpen = [](const QString &caption) {
        int open = 0;
        for (QWidget *window : QApplication::topLevelWidgets())
            open += window->isVisible() && window->windowTitle() == caption;
        return open;
    };

    int choosers = 0;
    QTimer::singleShot(50, [&] {
        // Pressed again while the console waits for the chooser: the press
        // arrives inside that wait.
        QTimer::singleShot(50, [&] {
            choosers = countOpen(QStringLiteral("选择抽奖设置"));
            while (QWidget *chooser = openWindow(QStringLiteral("选择抽奖设置")))
                QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("Com_1")), Qt::LeftButton);
        });
        QTest::mouseClick(start, Qt::LeftButton);
    });
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_VERIFY(openWindow(MF::caption()));
    QTest::qWait(100);
    QCOMPARE(choosers, 1);
    QCOMPARE(countOpen(MF::caption()), 1);
}

// The console stays usable while the chooser waits: the draw shown in the
// chooser can be deleted there meanwhile.
void TestDrawScreen::aDrawDeletedWhileChoosingIsNotEntered()
{
    const qint64 kept = m_db->addDraw(QStringLiteral("留下"));
    const qint64 gone = m_db->addDraw(QStringLiteral("删掉"));
    m_db->addEntrants(kept, 3);
    FSet console;
    console.show();
    QStringList listed;
    QTimer::singleShot(50, [&] {
        QWidget *chooser = openWindow(QStringLiteral("选择抽奖设置"));
        QVERIFY(chooser);
        auto *draws = chooser->findChild<QComboBox *>(QStringLiteral("TT"));
        QCOMPARE(integerValue(draws->currentText()), gone); // the newest first
        // Deleted on the console's first tab: selected, 删除设置, Yes.
        grid::GridModel *grid = console.grid(0);
        for (int r = grid->FixedRows(); r < grid->Rows(); ++r) {
            if (integerValue(grid->TextMatrix(r, 0)) == gone) {
                grid->setRow(r);
                grid->setRowSel(r);
            }
        }
        m_prompts->queueAnswer(true);
        m_prompts->queueAnswer(true);
        QTest::mouseClick(console.findChild<QPushButton *>(QStringLiteral("Com_2")), Qt::LeftButton);
        QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("Com_1")), Qt::LeftButton);
        QVERIFY(chooser->isVisible());
        for (int i = 0; i < draws->count(); ++i)
            listed << draws->itemText(i);
        QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("Com_0")), Qt::LeftButton);
    });
    QTest::mouseClick(console.findChild<QPushButton *>(QStringLiteral("Entr")), Qt::LeftButton);
    QVERIFY(!openWindow(MF::caption()));
    QVERIFY(m_prompts->messages().contains(QStringLiteral("该抽奖设置已被删除，请重新选择！")));
    QCOMPARE(listed.size(), 1);
    QCOMPARE(integerValue(listed.value(0)), kept);
}

void TestDrawScreen::consoleComesBackWhereItWas()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 5);
    FSet console;
    console.setGeometry(QRect(160, 120, 900, 600));
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    const QRect placed = console.geometry();
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QVERIFY(!console.isVisible());
    // A window manager puts a window that is shown again without a stated
    // place wherever it likes, often in the screen's corner; here the
    // hidden console is moved there as such a manager would.
    console.move(0, 0);
    click(screen, "lEnd");
    QTRY_VERIFY(console.isVisible());
    QCOMPARE(console.geometry(), placed);
    QCOMPARE(console.windowState(), Qt::WindowNoState);

    console.showMaximized();
    QTRY_VERIFY(console.isMaximized() && console.geometry() != placed);
    const QRect maximized = console.geometry();
    screen = enterThroughConsole(console);
    QVERIFY(screen);
    click(screen, "lEnd");
    QTRY_VERIFY(console.isVisible());
    QVERIFY(console.isMaximized());
    QCOMPARE(console.geometry(), maximized);
}

// Earlier results are kept unless the operator chooses 重新开始 and then
// agrees; Enter on either question keeps them. Starting again backs the
// database up first, so the evening's winners can still be had.
void TestDrawScreen::earlierResultsAreNotWipedWithoutAsking()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 5);
    const qint64 award = m_db->addAward(draw, 1, QStringLiteral("A"), 4, 1);
    for (int i = 1; i <= 3; ++i)
        QVERIFY(data::ExecuteSql(
            QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码) VALUES (?, ?, ?)"), { draw, award, i }));
    const QString choice = QStringLiteral("该抽奖已有3条抽奖结果。");
    const QString again = QStringLiteral("重新开始将删除这3条抽奖结果，是否继续？");
    FSet console;
    console.show();

    // 重新开始, then 否.
    m_prompts->queueChoice(QStringLiteral("重新开始"));
    m_prompts->queueAnswer(false);
    QVERIFY(!enterThroughConsole(console));
    QCOMPARE(m_prompts->choices(), QStringList { choice });
    const ScriptedPrompts::Shown asked = m_prompts->lastChoice();
    QCOMPARE(asked.buttons,
        (QStringList { QStringLiteral("继续抽奖"), QStringLiteral("重新开始"), QStringLiteral("取消") }));
    QCOMPARE(asked.buttons.value(asked.defaultButton), QStringLiteral("继续抽奖"));
    QCOMPARE(asked.buttons.value(asked.escapeButton), QStringLiteral("取消"));
    QCOMPARE(m_prompts->questions(), QStringList { again });
    QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
    QCOMPARE(resultCount(draw), qint64(3));
    QVERIFY(data::ListBackups().isEmpty());
    QVERIFY(console.isVisible());

    // 取消, and Esc (nothing queued: the scripted box takes its escape button).
    for (const QString &button : { QStringLiteral("取消"), QString() }) {
        m_prompts->clear();
        if (!button.isEmpty())
            m_prompts->queueChoice(button);
        QVERIFY(!enterThroughConsole(console));
        QCOMPARE(m_prompts->choices(), QStringList { choice });
        QVERIFY(m_prompts->questions().isEmpty());
        QCOMPARE(resultCount(draw), qint64(3));
        QVERIFY(console.isVisible());
    }
    QVERIFY(data::ListBackups().isEmpty());

    // A backup that cannot be written is said; 否 there changes nothing.
    {
        QFile blocker(data::BackupFolder()); // a file where the folder would go
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    m_prompts->clear();
    m_prompts->queueChoice(QStringLiteral("重新开始"));
    m_prompts->queueAnswer(true);
    QVERIFY(!enterThroughConsole(console));
    QCOMPARE(
        m_prompts->questions(), (QStringList { again, QStringLiteral("数据库备份失败，是否仍然继续？") }));
    QCOMPARE(m_prompts->lastDefaultAnswer(), DefaultAnswer::No);
    QCOMPARE(resultCount(draw), qint64(3));
    QVERIFY(QFile::remove(data::BackupFolder()));

    // 重新开始 and 是: backed up, then a fresh draw.
    m_prompts->clear();
    m_prompts->queueChoice(QStringLiteral("重新开始"));
    m_prompts->queueAnswer(true);
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QCOMPARE(m_prompts->questions(), QStringList { again });
    QCOMPARE(resultCount(draw), qint64(0));
    const QList<data::BackupFile> backups = data::ListBackups();
    QCOMPARE(backups.size(), 1);
    QCOMPARE(backups.first().reason, data::backupreason::Restart);
    QCOMPARE(data::InspectDatabase(backups.first().path).results, qint64(3));
    QCOMPARE(labelText(screen, "LL_1"), QString());
    QCOMPARE(screen->session().awardState().Remaining, qint64(4));
    QVERIFY(!screen->session().DrawFinished());
    QVERIFY(m_prompts->messages().isEmpty());
}

// The draw is held in two parts through the console, the screen closed in
// between; entered again with 继续抽奖 it goes on with the award it stopped
// in, shows the winners so far, and finishes as a draw held in one go would.
void TestDrawScreen::continuingFinishesTheDrawWhereItStopped()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    for (int i = 1; i <= 24; ++i)
        m_db->addEntrant(draw, QStringLiteral("%1").arg(100 + i), QStringLiteral("员工%1").arg(i));
    const qint64 third
        = m_db->addAward(draw, 1, QStringLiteral("三等奖"), 6, 2, true, false, QStringLiteral("保温杯"));
    const qint64 lucky
        = m_db->addAward(draw, 2, QStringLiteral("幸运奖"), 4, 2, true, true, QStringLiteral("红包"));
    const qint64 first
        = m_db->addAward(draw, 3, QStringLiteral("一等奖"), 2, 1, true, false, QStringLiteral("电脑"));
    FSet console;
    console.show();

    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QVERIFY(m_prompts->choices().isEmpty()); // no results, nothing asked
    for (int round = 0; round < 4; ++round)
        holdRound(screen);
    QCOMPARE(resultCount(draw), qint64(8)); // 三等奖 complete, one round of 幸运奖
    click(screen, "lEnd");
    QTRY_VERIFY(console.isVisible());

    // The operator turned the list round meanwhile; the board follows.
    WriteViewOption(QStringLiteral("ResultOrder"), QStringLiteral("Order"), true);
    m_prompts->queueChoice(QStringLiteral("继续抽奖"));
    screen = enterThroughConsole(console);
    QVERIFY(screen);
    QCOMPARE(m_prompts->choices(), QStringList { QStringLiteral("该抽奖已有8条抽奖结果。") });
    QVERIFY(m_prompts->questions().isEmpty());
    QCOMPARE(resultCount(draw), qint64(8));
    QVERIFY(data::ListBackups().isEmpty());
    QCOMPARE(screen->session().WID(), QString::number(lucky));
    QCOMPARE(screen->session().awardState().Remaining, qint64(2));
    QCOMPARE(screen->session().pool().eligibleCount(), qsizetype(24 - 6));
    QVERIFY(!screen->session().DrawFinished());
    QCOMPARE(labelText(screen, "LL_1"), boardOf(draw, false));
    QVERIFY(labelText(screen, "LL_1").startsWith(QStringLiteral("幸运奖 · 红包\r\n     1")));
    screen->showNormal();
    screen->resize(1280, 720);
    QTest::qWait(50);
    test::saveShot(screen, QStringLiteral("MF-continued"));

    for (int round = 0; round < 10 && !screen->session().DrawFinished(); ++round)
        holdRound(screen);
    QVERIFY(screen->session().DrawFinished());
    QCOMPARE(resultCount(draw), qint64(6 + 4 + 2));
    QCOMPARE(
        data::CountRows(QStringLiteral("结果表"), QStringLiteral("WID=%1").arg(third), QStringLiteral("ID")),
        qint64(6));
    QCOMPARE(
        data::CountRows(QStringLiteral("结果表"), QStringLiteral("WID=%1").arg(lucky), QStringLiteral("ID")),
        qint64(4));
    QCOMPARE(
        data::CountRows(QStringLiteral("结果表"), QStringLiteral("WID=%1").arg(first), QStringLiteral("ID")),
        qint64(2));
    QCOMPARE(test::wonAgainAfterANoRepeatWin(draw), QStringList());
    QCOMPARE(labelText(screen, "LL_1"), boardOf(draw, false));
    click(screen, "lEnd");
    QTRY_VERIFY(console.isVisible());

    // A finished draw continued opens finished: clicks and keys draw no one.
    WriteViewOption(QStringLiteral("ResultOrder"), QStringLiteral("Order"), false);
    m_prompts->queueChoice(QStringLiteral("继续抽奖"));
    screen = enterThroughConsole(console);
    QVERIFY(screen);
    QVERIFY(screen->session().DrawFinished());
    QCOMPARE(labelText(screen, "LL_1"), boardOf(draw, true));
    click(screen, "bIMG");
    QTest::keyClick(screen, Qt::Key_Space);
    QVERIFY(!screen->isRolling());
    QCOMPARE(resultCount(draw), qint64(12));
    test::saveShot(screen, QStringLiteral("MF-continued-finished"));

    // Withdrawing a 幸运奖 win reopens that award; its winner leaves the
    // pool, and the place goes to someone who has won nothing barring repeats.
    DelAward *withdrawal = openWithdrawal(screen);
    QVERIFY(withdrawal);
    grid::GridModel *results = withdrawal->grid();
    int row = results->FixedRows();
    while (row < results->Rows() && results->TextMatrix(row, 4) != QStringLiteral("幸运奖"))
        ++row;
    QVERIFY(row < results->Rows());
    const QString withdrawn = results->TextMatrix(row, 6);
    auto *view = withdrawal->findChild<QAbstractItemView *>(QStringLiteral("MSF"));
    const QModelIndex mark = view->model()->index(results->modelRow(row), 3);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(mark).center());
    QTest::mouseClick(withdrawal->findChild<QPushButton *>(QStringLiteral("Com_0")), Qt::LeftButton);
    QCOMPARE(resultCount(draw), qint64(11));
    QVERIFY(!screen->session().DrawFinished());
    QCOMPARE(screen->session().WID(), QString::number(lucky));
    QCOMPARE(screen->session().awardState().Remaining, qint64(1));
    const draw::EntrantPool &pool = screen->session().pool();
    for (qsizetype i = 1; i <= pool.size(); ++i)
        QVERIFY(pool.number(i) != withdrawn || !pool.isEligible(i));
    holdRound(screen);
    QVERIFY(screen->session().DrawFinished());
    QCOMPARE(resultCount(draw), qint64(12));
    QVERIFY(screen->numberCaption() != withdrawn);
    QCOMPARE(test::wonAgainAfterANoRepeatWin(draw), QStringList());
    QVERIFY(test::OtherThanRecordSaved(m_prompts->messages()).isEmpty());
}

void TestDrawScreen::tooFewEntrantsAsksFirst()
{
    // Counted for the draw entered, over the entrants it can draw: another
    // draw's entrants and blank numbers never make up for missing ones.
    const qint64 big = m_db->addDraw(QStringLiteral("大"));
    const qint64 small = m_db->addDraw(QStringLiteral("小"));
    m_db->addEntrants(big, 10);
    m_db->addEntrant(big, QStringLiteral("  "), QStringLiteral("无号"));
    m_db->addEntrants(small, 5);
    m_db->addAward(big, 1, QStringLiteral("A"), 11, 1);
    m_db->addAward(small, 1, QStringLiteral("B"), 4, 1);
    FSet console;
    console.show();
    m_prompts->queueAnswer(false);
    QVERIFY(!enterThroughConsole(console, 1)); // the chooser lists the newest first
    QCOMPARE(
        m_prompts->questions(), QStringList { QStringLiteral("获奖人数多于参与抽奖人数，是否继续抽奖？") });
    MF *screen = enterThroughConsole(console, 0);
    QVERIFY(screen);
    QCOMPARE(screen->session().drawId(), small);
    QCOMPARE(m_prompts->questions().size(), 1);
    screen->close();
}

void TestDrawScreen::aRoundKeepsItsAwardThroughAWithdrawal()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("撤销"), QStringLiteral("10"));
    m_db->addEntrants(draw, 20);
    const qint64 a = m_db->addAward(draw, 1, QStringLiteral("A奖"), 1, 1);
    const qint64 b = m_db->addAward(draw, 2, QStringLiteral("B奖"), 5, 5);
    MF screen(draw);
    screen.show();
    holdRound(&screen);
    QCOMPARE(awardResults(a), 1);

    // B's round rolls: a withdrawal waits for its stop, so the round stays
    // B's and A is drawn again after it.
    click(&screen, "bIMG");
    QVERIFY(screen.isRolling());
    click(&screen, "AwardUndo");
    QCOMPARE(
        m_prompts->messages().constLast(), QStringLiteral("本轮抽奖还在进行，请先停止本轮，再取消结果。"));
    QVERIFY(!screen.findChild<DelAward *>());
    QTest::qWait(30);
    click(&screen, "bIMG");
    QVERIFY(!screen.isRolling());
    QCOMPARE(awardResults(b), 5);
    QCOMPARE(screen.numberCaption().split(QStringLiteral("\r\n")).size(), 5);
    withdrawThroughDialog(&screen, QStringLiteral("A奖"));
    QCOMPARE(awardResults(a), 0);

    // Then A is drawn again, one place.
    QCOMPARE(screen.session().WID(), QString::number(a));
    holdRound(&screen);
    QCOMPARE(awardResults(a), 1);
    QCOMPARE(awardResults(b), 5);
    QVERIFY(screen.session().DrawFinished());
    QCOMPARE(test::wonAgainAfterANoRepeatWin(draw), QStringList());
    QVERIFY(recordChecks(draw));
}

void TestDrawScreen::aWithdrawnWinnerStaysOutWhenTheDrawGoesOn()
{
    // Two entrants, an award of two: the first winner is withdrawn (absent),
    // the other drawn; the draw is ended and continued.
    const qint64 draw = m_db->addDraw(QStringLiteral("缺席"), QStringLiteral("10"));
    m_db->addEntrant(draw, QStringLiteral("P1"), QStringLiteral("甲"));
    m_db->addEntrant(draw, QStringLiteral("P2"), QStringLiteral("乙"));
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 2, 1);
    FSet console;
    console.show();
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    holdRound(screen);
    const QString absent = screen->numberCaption();
    withdrawThroughDialog(screen, QStringLiteral("一等奖"));
    holdRound(screen);
    QVERIFY(screen->numberCaption() != absent);
    QCOMPARE(resultCount(draw), 1); // the award cannot be filled: the operator was told
    click(screen, "lEnd");
    QTRY_VERIFY(console.isVisible());

    m_prompts->queueChoice(QStringLiteral("继续抽奖"));
    screen = enterThroughConsole(console);
    QVERIFY(screen);
    // Nobody is left who may win: the absent winner stays out.
    holdRound(screen);
    QVERIFY(screen->session().DrawFinished());
    QCOMPARE(resultCount(draw), 1);
    QVERIFY(screen->numberCaption() != absent);
    QVERIFY(test::OtherThanRecordSaved(m_prompts->messages()).isEmpty());
    click(screen, "lEnd");
    QTRY_VERIFY(console.isVisible());

    // 重新开始 clears the withdrawals with the results: both may win again.
    m_prompts->queueChoice(QStringLiteral("重新开始"));
    m_prompts->queueAnswer(true);
    screen = enterThroughConsole(console);
    QVERIFY(screen);
    QCOMPARE(screen->session().pool().eligibleCount(), 2);
    QVERIFY(recordChecks(draw));
}

void TestDrawScreen::anAwardThatCannotBeFilledIsToldAndLetGo()
{
    // Two entrants; 三等奖 of two places drawn one at a time, its first
    // winner withdrawn (absent) and the draw ended and continued; 二等奖 after it.
    const qint64 draw = m_db->addDraw(QStringLiteral("人少"), QStringLiteral("10"));
    m_db->addEntrant(draw, QStringLiteral("P1"), QStringLiteral("甲"));
    m_db->addEntrant(draw, QStringLiteral("P2"), QStringLiteral("乙"));
    const qint64 third = m_db->addAward(draw, 1, QStringLiteral("三等奖"), 2, 1);
    m_db->addAward(draw, 2, QStringLiteral("二等奖"), 1, 1);
    FSet console;
    console.show();
    m_prompts->queueAnswer(true); // more places than entrants: drawn all the same
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    holdRound(screen);
    withdrawThroughDialog(screen, QStringLiteral("三等奖"));
    click(screen, "lEnd");
    QTRY_VERIFY(console.isVisible());
    m_prompts->queueChoice(QStringLiteral("继续抽奖"));
    m_prompts->queueAnswer(true);
    screen = enterThroughConsole(console);
    QVERIFY(screen);
    QApplication::setActiveWindow(screen);
    QVERIFY(QTest::qWaitForWindowActive(screen));

    // Space rolls the one person left, with no box in the way: the stage
    // says once that the award cannot be filled.
    auto *notice = screen->findChild<QLabel *>(QStringLiteral("stageNotice"));
    QTest::keyClick(screen, Qt::Key_Space);
    QVERIFY(screen->isRolling());
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), QStringLiteral("剩余可抽人数不足：三等奖 还差2名，可抽的只有1人。"));
    QTest::qWait(30);
    QTest::keyClick(screen, Qt::Key_Space);
    QTRY_COMPARE(awardResults(third), 1);
    QVERIFY(screen->numberCaption().startsWith(QStringLiteral("P")));
    // Nobody is left for 二等奖: the draw ends naming both awards short.
    QVERIFY(screen->session().DrawFinished());
    QTest::keyClick(screen, Qt::Key_Space);
    QVERIFY(!screen->isRolling());
    QCOMPARE(screen->findChild<QLabel *>(QStringLiteral("awardBanner"))->text(),
        QStringLiteral("抽奖结束 · 未抽满：三等奖 差1名、二等奖 差1名"));
    QCOMPARE(m_prompts->messages().size(), 0);
    QVERIFY(recordChecks(draw));
}

void TestDrawScreen::timedRoundStopsByItself()
{
    const qint64 draw
        = m_db->addDraw(QStringLiteral("定时"), QStringLiteral("10"), QString(), QStringLiteral("1"));
    m_db->addEntrants(draw, 20);
    m_db->addAward(draw, 1, QStringLiteral("A"), 5, 1);
    MF screen(draw, std::make_unique<draw::RandomSource>(1));
    screen.show();
    screen.ToggleRoll();
    QVERIFY(screen.isRolling());
    screen.ToggleRoll(); // ignored: the timer ends the round
    QVERIFY(screen.isRolling());
    QTRY_VERIFY_WITH_TIMEOUT(!screen.isRolling(), 3000);
    QCOMPARE(resultCount(draw), qint64(1));
    QVERIFY(recordChecks(draw));
}

void TestDrawScreen::timedRoundLastsItsSeconds()
{
    const qint64 draw
        = m_db->addDraw(QStringLiteral("定时"), QStringLiteral("10"), QString(), QStringLiteral("2"));
    const qint64 endless = m_db->addDraw(
        QStringLiteral("很长"), QStringLiteral("10"), QString(), QStringLiteral("13800138000"));
    for (qint64 id : { draw, endless }) {
        m_db->addEntrants(id, 20);
        m_db->addAward(id, 1, QStringLiteral("A"), 5, 1);
    }
    {
        MF screen(draw);
        screen.show();
        QElapsedTimer clock;
        click(&screen, "bIMG");
        clock.start();
        QVERIFY(screen.isRolling());
        QTest::qWait(1300);
        click(&screen, "bIMG"); // ignored: the timer ends the round
        QVERIFY(screen.isRolling());
        QCOMPARE(resultCount(draw), qint64(0));
        QTRY_VERIFY_WITH_TIMEOUT(!screen.isRolling(), 3000);
        QVERIFY(clock.elapsed() >= 1900);
        QCOMPARE(resultCount(draw), qint64(1));
    }
    // A length beyond any evening neither overflows nor ends the round early.
    MF screen(endless);
    screen.show();
    click(&screen, "bIMG");
    QTest::qWait(50);
    QVERIFY(screen.isRolling());
    auto *fin = screen.findChild<QTimer *>(QStringLiteral("Fin"));
    QVERIFY(fin->isActive());
    QVERIFY(fin->remainingTime() > 3600 * 1000);
}

void TestDrawScreen::zeroIntervalStillDrawsAtTheStop()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("零"), QStringLiteral("0"));
    m_db->addEntrants(draw, 20);
    m_db->addAward(draw, 1, QStringLiteral("A"), 5, 2);
    MF screen(draw, std::make_unique<draw::RandomSource>(2));
    screen.show();
    screen.ToggleRoll();
    QTest::qWait(30);
    QCOMPARE(screen.numberCaption(), QStringLiteral("00000000000")); // no tick shows anything
    screen.ToggleRoll();
    QCOMPARE(resultCount(draw), qint64(2));
    QCOMPARE(screen.numberCaption().split(QStringLiteral("\r\n")).size(), 2);
}

namespace {

// A key event as the platform hands it over: key, time stamp (ms) and Qt's
// own repeat flag; a negative time is a release.
struct KeyStroke
{
    Qt::Key key;
    qint64 at;
    bool flagged = false;
};

} // namespace

Q_DECLARE_METATYPE(QList<KeyStroke>)

void TestDrawScreen::keysToggleButHeldKeysDoNot_data()
{
    QTest::addColumn<QList<KeyStroke>>("strokes");
    QTest::addColumn<int>("toggles");

    // Space held for a second and a half: the X server repeats it as release
    // and press pairs of one time stamp. Qt flags them when it sees the pair
    // together, and not on a loaded machine.
    QList<KeyStroke> flagged { { Qt::Key_Space, 1000 } };
    QList<KeyStroke> loaded { { Qt::Key_Space, 1000 } };
    for (qint64 t = 1500; t < 2500; t += 40) {
        flagged << KeyStroke { Qt::Key_Space, -t, true } << KeyStroke { Qt::Key_Space, t, true };
        loaded << KeyStroke { Qt::Key_Space, -t } << KeyStroke { Qt::Key_Space, t };
    }
    flagged << KeyStroke { Qt::Key_Space, -2500 };
    loaded << KeyStroke { Qt::Key_Space, -2500 };
    QTest::newRow("held, repeats flagged") << flagged << 1;
    QTest::newRow("held, on a loaded machine") << loaded << 1;
    // Pressed again before its release arrives (the release was lost).
    QTest::newRow("held, presses only") << QList<KeyStroke> { { Qt::Key_Space, 1000 },
        { Qt::Key_Space, 1500 }, { Qt::Key_Space, 1540 }, { Qt::Key_Space, -1600 } }
                                        << 1;
    // A presenter's remote and a quick hand: every press counts.
    QTest::newRow("remote, press by press") << QList<KeyStroke> { { Qt::Key_PageDown, 1000 },
        { Qt::Key_PageDown, -1080 }, { Qt::Key_PageDown, 1900 }, { Qt::Key_PageDown, -1980 },
        { Qt::Key_PageUp, 2600 }, { Qt::Key_PageUp, -2680 } }
                                            << 3;
    QTest::newRow("a quick double press") << QList<KeyStroke> { { Qt::Key_Space, 1000 },
        { Qt::Key_Space, -1060 }, { Qt::Key_Space, 1120 }, { Qt::Key_Space, -1180 } }
                                          << 2;
    QTest::newRow("two keys at once") << QList<KeyStroke> { { Qt::Key_B, 1000 }, { Qt::Key_Space, 1000 },
        { Qt::Key_B, -1100 }, { Qt::Key_Space, -1100 } }
                                      << 2;
}

void TestDrawScreen::keysToggleButHeldKeysDoNot()
{
    QFETCH(QList<KeyStroke>, strokes);
    QFETCH(int, toggles);
    const qint64 draw = m_db->addDraw(QStringLiteral("键"), QStringLiteral("5"));
    m_db->addEntrants(draw, 20);
    m_db->addAward(draw, 1, QStringLiteral("A"), 5, 1);
    MF screen(draw);
    screen.show();
    QApplication::setActiveWindow(&screen);
    QVERIFY(QTest::qWaitForWindowActive(&screen));
    QWidget *focused = QApplication::focusWidget() ? QApplication::focusWidget() : &screen;
    int seen = 0;
    bool rolling = false;
    for (const KeyStroke &stroke : strokes) {
        const bool press = stroke.at > 0;
        QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, stroke.key, Qt::NoModifier,
            stroke.key == Qt::Key_Space ? QStringLiteral(" ") : QString(), stroke.flagged);
        event.setTimestamp(quint64(std::abs(stroke.at)));
        QApplication::sendEvent(focused, &event);
        if (screen.isRolling() != rolling) {
            rolling = !rolling;
            ++seen;
        }
    }
    QCOMPARE(seen, toggles);
    QCOMPARE(resultCount(draw), qint64(toggles / 2));
}

void TestDrawScreen::doubleClickOrHeldKeyCountsOnce()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("双击"), QStringLiteral("5"));
    m_db->addEntrants(draw, 40);
    m_db->addAward(draw, 1, QStringLiteral("A"), 20, 1);
    MF screen(draw);
    screen.resize(1024, 640);
    screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));

    // Qt delivers a double-click as press, release, double-click, release.
    auto doubleClick = [](QWidget *target) {
        QTest::mousePress(target, Qt::LeftButton);
        QTest::mouseRelease(target, Qt::LeftButton);
        QTest::mouseDClick(target, Qt::LeftButton);
        QTest::mouseRelease(target, Qt::LeftButton);
    };
    qint64 recorded = 0;
    for (const char *name : { "bIMG", "LL_0", "LL_1", "lStart" }) {
        QWidget *target = screen.findChild<QWidget *>(QString::fromLatin1(name));
        QVERIFY2(target && target->isVisible(), name);
        doubleClick(target); // starts, and only starts
        QVERIFY2(screen.isRolling(), name);
        QTest::qWait(20);
        doubleClick(target); // stops, and only stops
        QVERIFY2(!screen.isRolling(), name);
        QCOMPARE(resultCount(draw), ++recorded);
        QVERIFY(!screen.numberCaption().isEmpty());
    }

    // A key held down: its repeats are not further presses.
    QApplication::setActiveWindow(&screen);
    QWidget *focused = QApplication::focusWidget() ? QApplication::focusWidget() : &screen;
    QTest::keyPress(focused, Qt::Key_Space);
    for (int i = 0; i < 5; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(focused, &repeat);
    }
    QTest::keyRelease(focused, Qt::Key_Space);
    QVERIFY(screen.isRolling());
    QCOMPARE(resultCount(draw), recorded);
    QTest::keyClick(focused, Qt::Key_Space);
    QCOMPARE(resultCount(draw), recorded + 1);

    // A double-click on 取消结果 opens one withdrawal window.
    doubleClick(screen.findChild<QWidget *>(QStringLiteral("AwardUndo")));
    int open = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        open += window->isVisible() && window->windowTitle() == QStringLiteral("删除无效获奖");
    QCOMPARE(open, 1);
}

void TestDrawScreen::missingPictureLeavesTheScreenUsable()
{
    const qint64 withBuiltIn = m_db->addDraw(QStringLiteral("内置"));
    const qint64 missing = m_db->addDraw(QStringLiteral("缺图"), QStringLiteral("10"), QString(),
        QStringLiteral("0"), QStringLiteral("0"), m_db->folder() + QStringLiteral("/none.jpg"));
    const QString notAPicture = m_db->folder() + QStringLiteral("/fake.jpg");
    QFile fake(notAPicture);
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write("this is no jpeg");
    fake.close();
    const qint64 corrupt = m_db->addDraw(QStringLiteral("坏图"), QStringLiteral("10"), QString(),
        QStringLiteral("0"), QStringLiteral("0"), notAPicture);
    QVERIFY(MF(withBuiltIn).hasBackground());
    for (qint64 draw : { missing, corrupt }) {
        m_db->addEntrants(draw, 3);
        m_db->addAward(draw, 1, QStringLiteral("A"), 1, 1);
        MF screen(draw);
        screen.show();
        QVERIFY(!screen.hasBackground());
        screen.ToggleRoll();
        screen.ToggleRoll();
        QCOMPARE(resultCount(draw), qint64(1));
        QVERIFY(!screen.grab().isNull());
    }
}

// The first start of a commitment asks the hall: digits typed as the tables
// call them, a space between tables, Backspace, Esc back to the stage; Enter
// locks them. Going on without them is asked first, 否 by default.
void TestDrawScreen::theHallsNumbersAreTypedBeforeTheFirstRound()
{
    draw::SetHallNumbersForTesting(std::nullopt); // the hall is asked here
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    m_db->addEntrants(draw, 30);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 2, 1);
    {
        MF screen(draw);
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        HallNumbersPanel *panel = screen.hallPanel();
        QTest::keyClick(&screen, Qt::Key_Space);
        QVERIFY(panel->isVisible());
        QVERIFY(!screen.isRolling());
        QTest::keyClick(&screen, Qt::Key_Escape); // back to the stage, nothing kept
        QVERIFY(!panel->isVisible());
        QVERIFY(screen.session().needsHallNumbers());

        click(&screen, "bIMG"); // a click on the picture asks too
        QVERIFY(panel->isVisible());
        QTest::keyClick(&screen, Qt::Key_Return); // nothing typed: asked, 否
        QCOMPARE(m_prompts->questions().size(), 1);
        QVERIFY(m_prompts->questions().constFirst().startsWith(QStringLiteral("没有输入现场随机数")));
        QVERIFY(panel->isVisible());
        QTest::keyClicks(&screen, QStringLiteral("3 1"));
        QTest::keyClick(&screen, Qt::Key_Space);
        QTest::keyClicks(&screen, QStringLiteral("45"));
        QTest::keyClick(&screen, Qt::Key_Backspace);
        QTest::keyClicks(&screen, QStringLiteral("59"));
        QCOMPARE(panel->typed(), QStringLiteral("3 1 459"));
        test::saveShot(&screen, QStringLiteral("MF-hall-numbers"));
        QTest::keyClick(&screen, Qt::Key_Return);
        QVERIFY(!panel->isVisible());
        QVERIFY(!screen.session().needsHallNumbers());
        QCOMPARE(screen.session().commitment()->hallNumbers, QStringLiteral("3 1 459"));
        QVERIFY(labelText(&screen, "notaryCode").contains(QStringLiteral("现场随机数 3 1 459（已锁定）")));
        holdRound(&screen);
        QCOMPARE(resultCount(draw), qint64(1));
        QVERIFY(!screen.findChild<QLabel *>(QStringLiteral("notaryCode"))->isVisible());
    }
    // Continued, the commitment has its numbers: the hall is not asked again.
    MF again(draw, draw::Entry::Continue);
    again.show();
    QVERIFY(!again.session().needsHallNumbers());
    holdRound(&again);
    QCOMPARE(resultCount(draw), qint64(2));
    QVERIFY(recordChecks(draw));
}

// The 承诺单 exported from the console days before carries the code the
// stage shows on the night, and a QR code of the whole commitment; a record
// exported while the draw's screen is open keeps its seed secret, and the
// screen goes on drawing from it.
void TestDrawScreen::thePublishedCommitmentIsTheOneOnTheStage()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    m_db->addEntrants(draw, 40);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    FSet console;
    console.show();
    console.tabs()->setCurrentIndex(3);
    auto exportFromResults = [&](const char *action, const QString &path) {
        m_prompts->queueFileName(path);
        grid::GridView *view = console.gridView(3);
        QTimer::singleShot(0, view, [action] {
            for (QWidget *window : QApplication::topLevelWidgets()) {
                auto *menu = qobject_cast<QMenu *>(window);
                if (menu && menu->isVisible() && menu->objectName() == QStringLiteral("M_Out"))
                    menu->findChild<QAction *>(QString::fromLatin1(action))->trigger(), menu->close();
            }
        });
        const QPoint inside(10, 10);
        QTest::mousePress(view->viewport(), Qt::RightButton, {}, inside);
        QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, inside);
    };
    const QString sheet = QDir(m_db->folder()).filePath(QStringLiteral("承诺单.pdf"));
    exportFromResults("M_OutCommitment", sheet);
    QTRY_VERIFY(m_prompts->messages().size() == 1);
    QVERIFY2(m_prompts->messages().constFirst().startsWith(QStringLiteral("已导出承诺单")),
        qPrintable(m_prompts->messages().constFirst()));
    QVERIFY(QFileInfo(sheet).size() > 1000);
    const QString picture = QDir(m_db->folder()).filePath(QStringLiteral("承诺单.png"));
    QVERIFY(QFileInfo::exists(picture));
    if (const QString shots = qEnvironmentVariable("TOMBOLIX_SHOTS"); !shots.isEmpty()) {
        QFile::remove(QDir(shots).filePath(QStringLiteral("commitment-sheet.png")));
        QFile::copy(picture, QDir(shots).filePath(QStringLiteral("commitment-sheet.png")));
    }
    const QString hash = data::NotaryStore().seedOf(draw)->code;
    // Read as a phone reads it, the QR code is the commitment's whole hash.
    if (const std::optional<QString> read = readQrCode(picture))
        QCOMPARE(*read, QStringLiteral("TOMBOLIX-V2 ") + hash);
    const QString published = m_prompts->messages()
                                  .constFirst()
                                  .section(QStringLiteral("公证码 "), 1)
                                  .section(QLatin1Char('\n'), 0, 0);

    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QVERIFY(labelText(screen, "notaryCode").startsWith(QStringLiteral("公证码 ") + published));
    holdRound(screen);
    QCOMPARE(resultCount(draw), qint64(1));

    const QString record = QDir(m_db->folder()).filePath(QStringLiteral("进行中.json"));
    exportFromResults("M_OutRecord", record);
    QTRY_VERIFY(m_prompts->messages().size() == 2);
    QVERIFY(m_prompts->messages().constLast().contains(QStringLiteral("种子尚未公开")));
    QVERIFY(!data::NotaryStore().seedOf(draw)->revealed);
    QCOMPARE(draw::CheckRecord(test::readFile(record)).check, 4);
    holdRound(screen); // the screen goes on drawing from the same seed
    QCOMPARE(resultCount(draw), qint64(2));
    QVERIFY(screen->session().hasRecord());
    screen->close();
}

// Between two sittings a latecomer is added, and someone types a withdrawal
// into 撤销表 with the sqlite3 shell: 继续抽奖 says what the database had
// that the record did not, sets it right, and the stage shows the new
// commitment with its reason.
void TestDrawScreen::whatChangedBetweenSittingsIsToldAndShown()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    m_db->addEntrants(draw, 10, 1001);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 3, 1);
    FSet console;
    console.show();
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    const QString firstCode = labelText(screen, "notaryCode").section(QLatin1Char('\n'), 0, 0);
    holdRound(screen);
    click(screen, "lEnd");
    QTRY_VERIFY(console.isVisible());

    m_db->addEntrant(draw, QStringLiteral("2001"), QStringLiteral("迟到者"));
    QVERIFY(data::ExecuteSql(QStringLiteral("INSERT INTO 撤销表 (CID, WID, 结果ID, 号码, 姓名, 时间, 原因) "
                                            "VALUES (?, 1, 77, '1005', '', '', '手工')"),
        { draw }));
    m_prompts->queueChoice(QStringLiteral("继续抽奖"));
    screen = enterThroughConsole(console);
    QVERIFY(screen);
    QCOMPARE(m_prompts->messages().size(), 1);
    QVERIFY2(m_prompts->messages().constFirst().contains(
                 QStringLiteral("撤销表中有 1 条记录中没有的撤销（1005）")),
        qPrintable(m_prompts->messages().constFirst()));
    QCOMPARE(
        data::CountRows(QStringLiteral("撤销表"), QStringLiteral("CID=%1").arg(draw), QStringLiteral("ID")),
        qint64(0));
    const QString shown = labelText(screen, "notaryCode");
    QVERIFY(shown.section(QLatin1Char('\n'), 0, 0) != firstCode);
    QVERIFY2(shown.contains(QStringLiteral("第2次承诺：名单已改动：+1")), qPrintable(shown));
    QVERIFY(
        screen->session().commitment()->reason.startsWith(QStringLiteral("名单已改动：+1 2001 迟到者；")));
    screen->showNormal();
    screen->resize(1280, 720);
    QTest::qWait(50);
    test::saveShot(screen, QStringLiteral("MF-recommitted"));
    holdRound(screen);
    QCOMPARE(resultCount(draw), qint64(2));
    QVERIFY(recordChecks(draw));
}

// A database of version 1.12 with a draw held halfway under rule v1: it cannot
// go on under the new rule; 重新开始 keeps its record, revealed, as a file
// that still checks, and the draw starts again committed to anew.
void TestDrawScreen::aDrawOfTheOlderRuleStartsAgainKeepingItsRecord()
{
    const QString path = QDir(m_db->folder()).filePath(QStringLiteral("旧版/Data.mdb"));
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QVERIFY(QFile::copy(QStringLiteral(TOMBOLIX_TEST_DATA "/Data-1.12-notary.mdb"), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    data::CloseConnection();
    data::setDatabasePath(path);
    QCOMPARE(data::UpgradeDatabase(), data::UpgradeOutcome::Current);
    FSet console;
    console.show();
    m_prompts->queueAnswer(true); // start again
    m_prompts->queueAnswer(true); // and delete its two results
    MF *screen = enterThroughConsole(console);
    QVERIFY(screen);
    QCOMPARE(m_prompts->questions().size(), 2);
    QVERIFY2(m_prompts->questions().constFirst().contains(QStringLiteral("旧规则")),
        qPrintable(m_prompts->questions().constFirst()));
    QCOMPARE(resultCount(1), qint64(0));
    QVERIFY(labelText(screen, "notaryCode").startsWith(QStringLiteral("公证码 ")));
    const QDir records(QDir(QFileInfo(path).absolutePath()).filePath(QStringLiteral("公证记录")));
    const QStringList kept = records.entryList({ QStringLiteral("*.json") });
    QCOMPARE(kept.size(), 1);
    const draw::RecordCheck older = draw::CheckRecord(test::readFile(records.filePath(kept.constFirst())));
    QVERIFY2(older.passed(), qPrintable(older.problem));
    QCOMPARE(older.facts.rounds, 2);
    holdRound(screen);
    QCOMPARE(resultCount(1), qint64(1));
    QVERIFY(recordChecks(1));
    screen->close();
}

QTEST_MAIN(TestDrawScreen)
#include "tst_mf.moc"
