#include "common/prompts.h"
#include "data/database.h"
#include "data/resultstore.h"
#include "draw/displayrules.h"
#include "draw/drawsession.h"
#include "draw/rollcontrol.h"
#include "draw/stagepace.h"
#include "support/testsupport.h"

#include <QMap>
#include <QSignalSpy>
#include <QTest>
#include <set>

using namespace tombolix;
using namespace tombolix::draw;

namespace {

std::unique_ptr<RandomSource> seeded(quint64 seed = 7)
{
    return std::make_unique<RandomSource>(seed);
}

qint64 results(qint64 draw, qint64 award = 0)
{
    QString condition = QStringLiteral("CID=%1").arg(draw);
    if (award)
        condition += QStringLiteral(" AND WID=%1").arg(award);
    return data::CountRows(QStringLiteral("结果表"), condition, QStringLiteral("ID"));
}

QStringList storedNumbers(qint64 draw)
{
    QStringList numbers;
    for (data::Recordset rs
         = data::OpenRecordset(QStringLiteral("SELECT 号码 FROM 结果表 WHERE CID=? ORDER BY ID"), { draw });
         !rs.eof(); rs.moveNext())
        numbers << rs.field(0).toString();
    return numbers;
}

void holdRound(DrawSession &session, bool ascending = true, bool onlyCurrent = false)
{
    session.beginRound();
    session.RollTick();
    session.StopAndRecord(ascending, onlyCurrent);
}

} // namespace

class TestDrawSession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readsTheDrawSettings();
    void theRollRunsWithoutAWindow();
    void theAbsentKeyIsAboutTheLastRoundLanded_data();
    void theAbsentKeyIsAboutTheLastRoundLanded();
    void fixedLengthIsCappedToAScreenLine_data();
    void fixedLengthIsCappedToAScreenLine();
    void awardsAreDrawnInOrderUntilFinished();
    void finishedAwardsAreSkipped();
    void drawWithoutAwardsFinishesAtFirstStop();
    void winnersLeaveThePoolUnlessRepeatAllowed();
    void repeatAllowedNeverTwiceInOneRound();
    void fewerEligibleThanLinesRecordsOnlyThose();
    void stopBeforeTheFirstTickDrawsAfresh();
    void failedInsertIsNotCountedAndStaysEligible();
    void resultsKeepTheStoredNumberNotTheDisplay();
    void namesFollowTheNumbersOnStageButNotOnTheBoard();
    void zeroPerRoundDrawsOneAtATime();
    void continuingStandsWhereTheDrawStopped();
    void continuingACompleteDrawIsFinished();
    void boardText_data();
    void boardText();
    void boardWithoutResultsKeepsTheTitle();
    void boardPlacement();
    void storedBoardRectangleWins();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestDrawSession::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
}

void TestDrawSession::cleanup()
{
    delete m_prompts;
    delete m_db;
}

void TestDrawSession::readsTheDrawSettings()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("80ms"), QStringLiteral("00**"),
        QStringLiteral("1"), QStringLiteral("2.5"), QStringLiteral("/no/such.jpg"));
    const DrawSettings settings = ReadDrawSettings(draw);
    QCOMPARE(settings.P_Speed, qint64(80));
    QCOMPARE(settings.P_Hide, QStringLiteral("00**"));
    QCOMPARE(settings.P_Timer, qint64(1));
    QCOMPARE(settings.P_Long, qint64(2)); // halves to even
    QCOMPARE(settings.P_Jpg, QStringLiteral("/no/such.jpg"));
    const DrawSettings missing = ReadDrawSettings(draw + 100);
    QCOMPARE(missing.P_Speed, qint64(0));
    QCOMPARE(missing.P_Jpg, QString());
}

void TestDrawSession::fixedLengthIsCappedToAScreenLine_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<qint64>("length");
    QTest::newRow("telephone number") << QStringLiteral("13800138000") << MaxFixedLength;
    QTest::newRow("a million") << QStringLiteral("1000000") << MaxFixedLength;
    QTest::newRow("beyond 32 bits") << QStringLiteral("99999999999999999999") << MaxFixedLength;
    QTest::newRow("the ceiling itself") << QString::number(MaxFixedLength) << MaxFixedLength;
    QTest::newRow("ordinary") << QStringLiteral("11") << qint64(11);
    QTest::newRow("negative stays off") << QStringLiteral("-3") << qint64(-3);
}

void TestDrawSession::fixedLengthIsCappedToAScreenLine()
{
    QFETCH(QString, stored);
    QFETCH(qint64, length);
    const qint64 draw
        = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("50"), QString(), QStringLiteral("0"), stored);
    m_db->addEntrants(draw, 3000);
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 1, 1);
    QCOMPARE(ReadDrawSettings(draw).P_Long, length);

    DrawSession session(seeded());
    test::startDraw(session, draw);
    session.beginRound();
    session.RollTick();
    const StopOutcome outcome = session.StopAndRecord(true, false);
    QCOMPARE(outcome.recorded, 1);
    if (length > 0)
        QCOMPARE(outcome.numberText.size(), qsizetype(length));
    else
        QCOMPARE(outcome.numberText, storedNumbers(draw).value(0)); // shown as stored
}

void TestDrawSession::awardsAreDrawnInOrderUntilFinished()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 50);
    const qint64 b = m_db->addAward(draw, 2, QStringLiteral("B"), 1, 1);
    const qint64 a = m_db->addAward(draw, 1, QStringLiteral("A"), 3, 2);
    DrawSession session(seeded());
    test::startDraw(session, draw);
    QCOMPARE(session.WID(), QString::number(a));
    QCOMPARE(session.awardState().Remaining, qint64(3));

    session.beginRound();
    QCOMPARE(session.RollTick().size(), 2);
    StopOutcome outcome = session.StopAndRecord(true, false);
    QCOMPARE(outcome.recorded, 2);
    QCOMPARE(outcome.numberText.split(QStringLiteral("\r\n")).size(), 2);
    QCOMPARE(results(draw, a), qint64(2));
    QCOMPARE(session.awardState().Remaining, qint64(1));

    session.beginRound();
    QCOMPARE(session.RollTick().size(), 1);
    session.StopAndRecord(true, false);
    QCOMPARE(results(draw, a), qint64(3));
    QCOMPARE(session.WID(), QString::number(b));
    QVERIFY(!session.DrawFinished());

    session.beginRound();
    QCOMPARE(session.RollTick().size(), 1);
    session.StopAndRecord(true, false);
    QCOMPARE(results(draw, b), qint64(1));
    QVERIFY(session.DrawFinished());
    const QStringList numbers = storedNumbers(draw);
    QCOMPARE(std::set<QString>(numbers.begin(), numbers.end()).size(), size_t(4));
    QVERIFY(m_prompts->messages().isEmpty());
}

void TestDrawSession::finishedAwardsAreSkipped()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 3);
    const qint64 a = m_db->addAward(draw, 1, QStringLiteral("A"), 1, 1);
    const qint64 b = m_db->addAward(draw, 2, QStringLiteral("B"), 2, 1, true, true);
    {
        DrawSession first(seeded());
        test::startDraw(first, draw);
        holdRound(first);
        QCOMPARE(results(draw, a), qint64(1));
    }
    DrawSession session(seeded());
    test::startDraw(session, draw, Entry::Continue);
    QCOMPARE(session.WID(), QString::number(b));
    QCOMPARE(session.awardState().Remaining, qint64(2));
    QVERIFY(session.awardState().RepeatAllowed);
}

// Nothing to draw: finished from the start, and no round rolls.
void TestDrawSession::drawWithoutAwardsFinishesAtFirstStop()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("无奖"));
    m_db->addEntrants(draw, 5);
    DrawSession session(seeded());
    test::startDraw(session, draw);
    QCOMPARE(session.awardState().Remaining, qint64(0));
    QVERIFY(session.DrawFinished());
    QVERIFY(!session.beginRound());
    QVERIFY(session.RollTick().isEmpty());
    QVERIFY(session.picks().empty());
    const StopOutcome outcome = session.StopAndRecord(true, false);
    QCOMPARE(outcome.recorded, 0);
    QCOMPARE(outcome.numberText, QString());
    QCOMPARE(results(draw), qint64(0));
}

void TestDrawSession::winnersLeaveThePoolUnlessRepeatAllowed()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 10);
    m_db->addAward(draw, 1, QStringLiteral("A"), 10, 3);
    DrawSession session(seeded());
    test::startDraw(session, draw);
    while (!session.DrawFinished()) {
        session.beginRound();
        session.RollTick();
        session.StopAndRecord(true, false);
    }
    QCOMPARE(results(draw), qint64(10));
    QCOMPARE(session.pool().eligibleCount(), 0);
    const QStringList numbers = storedNumbers(draw);
    QCOMPARE(std::set<QString>(numbers.begin(), numbers.end()).size(), size_t(10));
}

void TestDrawSession::repeatAllowedNeverTwiceInOneRound()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 4);
    m_db->addAward(draw, 1, QStringLiteral("A"), 12, 4, true, true);
    DrawSession session(seeded());
    test::startDraw(session, draw);
    for (int round = 0; round < 3; ++round) {
        session.beginRound();
        session.RollTick();
        const StopOutcome outcome = session.StopAndRecord(true, false);
        QCOMPARE(outcome.recorded, 4);
        const QStringList lines = outcome.numberText.split(QStringLiteral("\r\n"));
        QCOMPARE(std::set<QString>(lines.begin(), lines.end()).size(), size_t(4));
    }
    QCOMPARE(session.pool().eligibleCount(), 4); // everyone may win again
    QVERIFY(session.DrawFinished());
}

void TestDrawSession::fewerEligibleThanLinesRecordsOnlyThose()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 3);
    m_db->addEntrant(draw, QStringLiteral("   ")); // never eligible
    m_db->addAward(draw, 1, QStringLiteral("A"), 10, 5);
    DrawSession session(seeded());
    test::startDraw(session, draw);
    QVERIFY(session.beginRound());
    QCOMPARE(session.takeNotice(), QStringLiteral("剩余可抽人数不足：A 还差10名，可抽的只有3人。"));
    QCOMPARE(session.RollTick().size(), 3);
    const StopOutcome outcome = session.StopAndRecord(true, false);
    QCOMPARE(outcome.recorded, 3);
    QCOMPARE(results(draw), qint64(3));
    // Nobody is left for the award: the draw ends, short of it.
    QVERIFY(session.DrawFinished());
    QCOMPARE(session.shortAwards(), QStringList { QStringLiteral("A 差7名") });
    QVERIFY(!session.beginRound());
    QCOMPARE(session.StopAndRecord(true, false).recorded, 0);
    QCOMPARE(results(draw), qint64(3));
    QVERIFY(!storedNumbers(draw).contains(QString()));
}

void TestDrawSession::stopBeforeTheFirstTickDrawsAfresh()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 1000);
    m_db->addAward(draw, 1, QStringLiteral("A"), 5, 1, true, true);
    DrawSession session(seeded(3));
    test::startDraw(session, draw);
    // A stop with no tick at all: still a fair pick, not nothing.
    session.beginRound();
    QCOMPARE(session.StopAndRecord(true, false).recorded, 1);
    session.beginRound();
    session.RollTick();
    const StopOutcome first = session.StopAndRecord(true, false);
    // The next round is stopped before its first tick.
    session.beginRound();
    const StopOutcome second = session.StopAndRecord(true, false);
    QCOMPARE(second.recorded, 1);
    QVERIFY(second.numberText != first.numberText);
    QCOMPARE(results(draw), qint64(3));
}

// A row the table refuses: the round is not stored at all, and says whose.
void TestDrawSession::failedInsertIsNotCountedAndStaysEligible()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 6);
    m_db->addAward(draw, 1, QStringLiteral("A"), 6, 6);
    // The results table refuses the number 3.
    QVERIFY(data::ExecuteSql(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 结果表 WHEN NEW.号码='3' "
                                            "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    DrawSession session(seeded());
    test::startDraw(session, draw);
    session.beginRound();
    session.RollTick();
    const StopOutcome outcome = session.StopAndRecord(true, false);
    QCOMPARE(outcome.recorded, 0);
    QVERIFY2(outcome.problem.contains(QStringLiteral("3 ")), qPrintable(outcome.problem));
    QCOMPARE(outcome.numberText, QString());
    QCOMPARE(results(draw), qint64(0));
    QCOMPARE(session.awardState().Remaining, qint64(6));
    QCOMPARE(session.pool().eligibleCount(), 6);
    QVERIFY(!outcome.board.text.contains(QStringLiteral("     3")));
}

void TestDrawSession::resultsKeepTheStoredNumberNotTheDisplay()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("50"), QStringLiteral("0**"),
        QStringLiteral("0"), QStringLiteral("6"));
    m_db->addEntrant(draw, QStringLiteral(" 123 "), QStringLiteral("O'Brien"));
    m_db->addAward(draw, 1, QStringLiteral("A"), 1, 1);
    DrawSession session(seeded());
    test::startDraw(session, draw);
    session.beginRound();
    QCOMPARE(session.RollTick(), QStringList { QStringLiteral("0**123") });
    const StopOutcome outcome = session.StopAndRecord(true, false);
    QCOMPARE(outcome.numberText, QStringLiteral("0**123"));
    QCOMPARE(storedNumbers(draw), QStringList { QStringLiteral("123") });
    QCOMPARE(data::LookupValue(QStringLiteral("结果表"), draw, QStringLiteral("CID"), QStringLiteral("姓名"))
                 .toString(),
        QStringLiteral("O'Brien"));
    QCOMPARE(outcome.board.text, QStringLiteral("A\r\n     0**123(O'Brien)\r\n"));
}

void TestDrawSession::namesFollowTheNumbersOnStageButNotOnTheBoard()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("50"), QStringLiteral("0**"),
        QStringLiteral("0"), QStringLiteral("6"));
    m_db->addEntrant(draw, QStringLiteral("123"), QStringLiteral("张三"));
    m_db->addEntrant(draw, QStringLiteral("456"));
    m_db->addAward(draw, 1, QStringLiteral("A"), 2, 2);
    DrawSession session(seeded());
    test::startDraw(session, draw);
    QVERIFY(!session.namesShown());
    session.setNamesShown(true);
    session.beginRound();
    QStringList rolled = session.RollTick();
    rolled.sort();
    // Masked and padded as ever; the nameless entrant shows its number alone.
    QCOMPARE(rolled, (QStringList { QStringLiteral("0**123  张三"), QStringLiteral("0**456") }));
    const StopOutcome outcome = session.StopAndRecord(true, false);
    QStringList stopped = outcome.numberText.split(QStringLiteral("\r\n"));
    stopped.sort();
    QCOMPARE(stopped, rolled);
    QVERIFY(outcome.board.text.contains(QStringLiteral("     0**123(张三)\r\n")));
    QVERIFY(!outcome.board.text.contains(QStringLiteral("  张三")));
    QCOMPARE(storedNumbers(draw).size(), 2); // what is stored is the number, never the line
    QVERIFY(!storedNumbers(draw).join(QString()).contains(QStringLiteral("张")));
}

void TestDrawSession::zeroPerRoundDrawsOneAtATime()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 5);
    m_db->addAward(draw, 1, QStringLiteral("A"), 2, 0);
    m_db->addAward(draw, 2, QStringLiteral("B"), -4, 3); // nothing to draw
    DrawSession session(seeded());
    test::startDraw(session, draw);
    QCOMPARE(session.linesPerTick(), qint64(1));
    for (int round = 0; round < 2; ++round) {
        session.beginRound();
        session.RollTick();
        session.StopAndRecord(true, false);
    }
    QVERIFY(session.DrawFinished());
    QCOMPARE(results(draw), qint64(2));

    // A huge award draws whoever is left.
    const qint64 huge = m_db->addDraw(QStringLiteral("巨"));
    m_db->addEntrants(huge, 50);
    m_db->addAward(huge, 1, QStringLiteral("C"), 1000000, 1000000);
    DrawSession big(seeded());
    test::startDraw(big, huge);
    big.beginRound();
    QCOMPARE(big.RollTick().size(), 50);
    QCOMPARE(big.StopAndRecord(true, false).recorded, 50);
    QVERIFY(big.DrawFinished()); // nobody left for the rest of it
    QVERIFY(!big.beginRound());
}

// A draw held in part, then continued in a new session: the new session
// stands exactly where the first one stood (pool, award, board), and the
// draw finishes with each award's count and no one winning again after a
// win that allows no repeat.
void TestDrawSession::continuingStandsWhereTheDrawStopped()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("50"), QStringLiteral("0**"),
        QStringLiteral("0"), QStringLiteral("4"));
    m_db->addEntrants(draw, 16);
    const qint64 third = m_db->addAward(draw, 1, QStringLiteral("三等奖"), 6, 2);
    const qint64 lucky = m_db->addAward(draw, 2, QStringLiteral("幸运奖"), 4, 2, true, true);
    const qint64 first = m_db->addAward(draw, 3, QStringLiteral("一等奖"), 3, 1);
    const qint64 other = m_db->addDraw(QStringLiteral("另一场"));
    // Another draw's winner with the same number and name stays in this one.
    QVERIFY(data::ExecuteSql(
        QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码, 姓名) VALUES (?, 0, '1', '员工1')"), { other }));

    DrawSession held(seeded(5));
    test::startDraw(held, draw);
    for (int round = 0; round < 3; ++round)
        holdRound(held);
    QCOMPARE(held.WID(), QString::number(lucky));
    // The last round before the break, shown with only its award listed.
    held.beginRound();
    held.RollTick();
    const StopOutcome lastStop = held.StopAndRecord(false, true);
    QCOMPARE(lastStop.recorded, 2);

    DrawSession continued(seeded(6));
    test::startDraw(continued, draw, Entry::Continue);
    QVERIFY(!continued.DrawFinished());
    QCOMPARE(continued.WID(), held.WID());
    QCOMPARE(continued.awardState().Remaining, qint64(2));
    QCOMPARE(continued.awardState().PerRound, held.awardState().PerRound);
    QCOMPARE(continued.awardState().RepeatAllowed, true);
    QCOMPARE(continued.pool().size(), held.pool().size());
    QCOMPARE(continued.pool().eligibleCount(), qsizetype(16 - 6));
    for (qsizetype i = 1; i <= held.pool().size(); ++i) {
        QCOMPARE(continued.pool().isEligible(i), held.pool().isEligible(i));
        QCOMPARE(continued.pool().show(i), held.pool().show(i));
    }
    const BoardText board = continued.lastRoundBoard(false, true);
    QCOMPARE(board.text, lastStop.board.text);
    QCOMPARE(board.title, lastStop.board.title);
    QCOMPARE(continued.lastRoundBoard(true, false).text, held.WinnersText(true, false).text);

    while (!continued.DrawFinished())
        holdRound(continued);
    QCOMPARE(results(draw, third), qint64(6));
    QCOMPARE(results(draw, lucky), qint64(4));
    QCOMPARE(results(draw, first), qint64(3));
    QCOMPARE(test::wonAgainAfterANoRepeatWin(draw), QStringList());
    QVERIFY(m_prompts->messages().isEmpty());
}

// A draw whose awards are all complete continues finished: rounds draw no
// one; without results a continued draw is where a fresh one is.
void TestDrawSession::continuingACompleteDrawIsFinished()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    m_db->addEntrants(draw, 10);
    const qint64 award = m_db->addAward(draw, 1, QStringLiteral("A"), 2, 1);
    DrawSession fresh(seeded());
    test::startDraw(fresh, draw, Entry::Continue);
    QVERIFY(!fresh.DrawFinished());
    QCOMPARE(fresh.WID(), QString::number(award));
    QCOMPARE(fresh.pool().eligibleCount(), qsizetype(10));
    QCOMPARE(fresh.lastRoundBoard(true, false).text, QString());
    holdRound(fresh);
    holdRound(fresh);
    QVERIFY(fresh.DrawFinished());

    DrawSession continued(seeded());
    test::startDraw(continued, draw, Entry::Continue);
    QVERIFY(continued.DrawFinished());
    QCOMPARE(continued.awardState().Remaining, qint64(0));
    QCOMPARE(continued.pool().eligibleCount(), qsizetype(8));
    QCOMPARE(continued.lastRoundBoard(true, false).text, fresh.WinnersText(true, false).text);
    // Started again, its results cleared, it is drawn anew.
    DrawSession afresh(seeded());
    test::startDraw(afresh, draw, Entry::Restart);
    QVERIFY(!afresh.DrawFinished());
    QCOMPARE(results(draw), qint64(0));
}

void TestDrawSession::boardText_data()
{
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<bool>("onlyCurrent");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    const QString crlf = QStringLiteral("\r\n");
    QTest::newRow("ascending") << true << false
                               << QStringLiteral("一等奖 · 电视机") + crlf
            + QStringLiteral("     000101(张三)") + crlf + QStringLiteral("     000102") + crlf
            + QStringLiteral("二等奖 · 手机") + crlf + QStringLiteral("隐藏奖") + crlf
                               << QStringLiteral("获奖名单");
    QTest::newRow("reverse") << false << false
                             << QStringLiteral("隐藏奖") + crlf + QStringLiteral("同序") + crlf
            + QStringLiteral("一等奖 · 电视机") + crlf + QStringLiteral("     000102") + crlf
            + QStringLiteral("     000101(张三)") + crlf
                             << QStringLiteral("获奖名单");
    QTest::newRow("current only") << true << true
                                  << QStringLiteral("一等奖(奖品：电视机)") + crlf
            + QStringLiteral("     000101(张三)") + crlf + QStringLiteral("     000102") + crlf
                                  << QStringLiteral("一等奖获奖名单");
}

void TestDrawSession::boardText()
{
    QFETCH(bool, ascending);
    QFETCH(bool, onlyCurrent);
    QFETCH(QString, text);
    QFETCH(QString, title);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const qint64 first
        = m_db->addAward(draw, 1, QStringLiteral("一等奖"), 2, 1, true, false, QStringLiteral("电视机"));
    const qint64 second
        = m_db->addAward(draw, 2, QStringLiteral("二等奖"), 2, 1, true, false, QStringLiteral("手机"));
    // Same order as the second award: listed under its heading, no second one.
    const qint64 shareOrder = m_db->addAward(draw, 2, QStringLiteral("同序"), 1, 1);
    const qint64 hidden = m_db->addAward(draw, 3, QStringLiteral("隐藏奖"), 1, 1, false);
    const QString insert = QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码, 姓名) VALUES (?, ?, ?, ?)");
    QVERIFY(data::ExecuteSql(insert, { draw, first, QStringLiteral("101"), QStringLiteral("张三") }));
    QVERIFY(data::ExecuteSql(insert, { draw, first, QStringLiteral("102"), QString() }));
    QVERIFY(data::ExecuteSql(insert, { draw, hidden, QStringLiteral("103"), QStringLiteral("隐") }));
    QVERIFY(data::ExecuteSql(insert, { draw, second, QStringLiteral("104"), QString() }));
    QVERIFY(data::ExecuteSql(insert, { draw, shareOrder, QStringLiteral("105"), QString() }));
    QVERIFY(
        data::ExecuteSql(QStringLiteral("UPDATE 奖项表 SET 显示=NULL WHERE ID=?"), { second })); // Null is No
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖项表 SET 显示=0 WHERE ID=?"), { shareOrder }));
    const BoardText board = WinnersText(draw, first, ascending, onlyCurrent, 6, QString());
    QCOMPARE(board.text, text);
    // Line by line the same text; a heading is as new as its award's newest
    // result, listed or not, and a winner line as new as its result.
    QString joined;
    QMap<int, qint64> newestOfGroup;
    for (const BoardLine &line : board.lines) {
        joined += line.text + QStringLiteral("\r\n");
        if (!line.heading)
            newestOfGroup[line.group] = std::max(newestOfGroup.value(line.group), line.age);
    }
    QCOMPARE(joined, text);
    const qint64 newest = data::LookupValue(
        QStringLiteral("结果表"), QStringLiteral("105"), QStringLiteral("号码"), QStringLiteral("ID"))
                              .toLongLong();
    for (const BoardLine &line : board.lines) {
        if (line.heading && newestOfGroup.contains(line.group))
            QCOMPARE(line.age, newestOfGroup.value(line.group));
        if (line.text == QStringLiteral("同序") || line.text == QStringLiteral("二等奖 · 手机"))
            QCOMPARE(line.age, newest); // its award's winners are not listed
    }
    QVERIFY(board.title.has_value());
    QCOMPARE(*board.title, title);
}

void TestDrawSession::boardWithoutResultsKeepsTheTitle()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"));
    const BoardText board = WinnersText(draw, 1, true, true, 0, QString());
    QCOMPARE(board.text, QString());
    QVERIFY(!board.title.has_value());
}

void TestDrawSession::boardPlacement()
{
    const QRectF area = PlaceBoardArea(QSizeF(14000, 10500));
    QCOMPARE(area, QRectF(8000, 4200, double(14000.0f / 3), 6000)); // single precision
    BoardInput input;
    input.image = QSizeF(14000, 10500);
    input.area = area;
    input.titleSize = QSizeF(2000, 600);
    input.endSize = QSizeF(1500, 500);
    input.startSize = QSizeF(1400, 500);
    const BoardPlacement placement = ResultBrd(input);
    QCOMPARE(placement.title.left(), (area.width() - 2000) / 2 + 8000);
    QCOMPARE(placement.title.top(), 4260.0);
    QCOMPARE(placement.list, QRectF(8000, 600 + 4260 + 60, area.width(), 6000 - 600 - 120));
    QCOMPARE(placement.end.topLeft(), QPointF(14000 - 1500 - 100, 10500 - 500 - 80));
    QCOMPARE(placement.start.topLeft(), QPointF(14000 - 1400 - 140 - 1500, 10500 - 500 - 80));
    QCOMPARE(placement.undoTop, placement.start.top());
    QVERIFY(placement.boardVisible);
    input.hidden = true;
    QVERIFY(!ResultBrd(input).boardVisible);
}

void TestDrawSession::storedBoardRectangleWins()
{
    BoardInput input;
    input.image = QSizeF(14000, 10500);
    input.area = PlaceBoardArea(input.image);
    input.titleSize = QSizeF(2000, 600);
    input.left = QStringLiteral("0");
    input.top = QStringLiteral("300");
    input.width = QStringLiteral("abc");
    input.height = QStringLiteral("700");
    const BoardPlacement placement = ResultBrd(input);
    QCOMPARE(placement.title, QRectF(0, 300, 0, 700));
    QCOMPARE(placement.list, QRectF(0, 1000, 0, 50000));
}

// The roll's control drives a draw with no window at all, and says what
// happened: a view following it sees the hall's numbers asked for, the round
// start and roll, the stop land on stored winners, and the next award's card.
void TestDrawSession::theRollRunsWithoutAWindow()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 2, 2);
    m_db->addAward(draw, 2, QStringLiteral("二等奖"), 1, 1);
    m_db->addEntrants(draw, 20);
    SetStagePaceForTesting(StagePace { 0, 80, 0, true, 4000 });
    SetHallNumbersForTesting(std::nullopt); // the hall is asked, as at a party
    qRegisterMetaType<StopOutcome>();
    RollControl roll(seeded());
    QSignalSpy hall(&roll, &RollControl::hallNumbersWanted);
    QSignalSpy started(&roll, &RollControl::rollStarted);
    QSignalSpy rolled(&roll, &RollControl::rolled);
    QSignalSpy steps(&roll, &RollControl::landingStep);
    QSignalSpy landed(&roll, &RollControl::landed);
    roll.start(draw, Entry::Afresh);

    roll.press();
    QCOMPARE(hall.count(), 1); // the hall speaks first
    QVERIFY(roll.session().lockHallNumbers(QStringLiteral("1234")));
    roll.press();
    QCOMPARE(started.count(), 1);
    QVERIFY(roll.isRolling());
    QTRY_VERIFY(rolled.count() >= 2);
    QCOMPARE(rolled.last().at(0).toStringList().size(), 2);
    roll.press();
    QVERIFY(!roll.isRolling());
    QVERIFY(roll.isLanding());
    QTRY_COMPARE(landed.count(), 1);
    QCOMPARE(steps.count(), RollControl::LandingFrames - 1);
    const StopOutcome outcome = landed.first().at(0).value<StopOutcome>();
    QCOMPARE(outcome.recorded, 2);
    QCOMPARE(data::ResultStore().countForDraw(draw), std::optional<qint64>(2)); // stored at the stop
    // The award is done: the next press shows the next award's card.
    roll.press();
    QVERIFY(roll.cardShown());
    QVERIFY(!roll.isRolling());
    roll.press();
    QVERIFY(roll.isRolling());
    QVERIFY(!roll.cardShown());
    roll.stop();
    QTRY_COMPARE(landed.count(), 2);
    QVERIFY(roll.session().DrawFinished());
    SetStagePaceForTesting(std::nullopt);
    SetHallNumbersForTesting(QStringLiteral("7"));
}

Q_DECLARE_METATYPE(RollControl::AbsentAsk)

void TestDrawSession::theAbsentKeyIsAboutTheLastRoundLanded_data()
{
    QTest::addColumn<int>("perRound");
    // What the operator did at this sitting: "round" one start and stop,
    // "start" a start only, "one" the first standing winner withdrawn, "all"
    // every one, "again" the screen closed and opened again on the draw.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<RollControl::AbsentAsk>("ask");
    QTest::addColumn<int>("standing");
    QTest::addColumn<bool>("redraws"); // the freed place rolls at once

    using Ask = RollControl::AbsentAsk;
    const auto steps = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
    QTest::newRow("before any round") << 1 << QStringList() << Ask::Nothing << 0 << false;
    QTest::newRow("one winner landed") << 1 << steps("round") << Ask::TheOne << 1 << false;
    QTest::newRow("while the next rolls") << 1 << steps("round start") << Ask::Nothing << 0 << false;
    QTest::newRow("its winner withdrawn") << 1 << steps("round one") << Ask::Nothing << 0 << true;
    QTest::newRow("the award's last place withdrawn")
        << 1 << steps("round round round one") << Ask::Nothing << 0 << true;
    QTest::newRow("a round of an earlier sitting") << 1 << steps("round again") << Ask::Nothing << 0 << false;
    QTest::newRow("three winners landed") << 3 << steps("round") << Ask::WhichOfThem << 3 << false;
    QTest::newRow("one of three withdrawn") << 3 << steps("round one") << Ask::WhichOfThem << 2 << false;
    QTest::newRow("all three withdrawn") << 3 << steps("round all") << Ask::Nothing << 0 << false;
}

void TestDrawSession::theAbsentKeyIsAboutTheLastRoundLanded()
{
    QFETCH(int, perRound);
    QFETCH(QStringList, steps);
    QFETCH(RollControl::AbsentAsk, ask);
    QFETCH(int, standing);
    QFETCH(bool, redraws);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("10"));
    m_db->addAward(draw, 1, QStringLiteral("三等奖"), 3 * perRound, perRound);
    m_db->addAward(draw, 2, QStringLiteral("一等奖"), 1, 1);
    m_db->addEntrants(draw, 20);
    SetStagePaceForTesting(StagePace { 0, 0, 0, true, 4000 });
    auto roll = std::make_unique<RollControl>(seeded());
    roll->start(draw, Entry::Afresh);
    QString award; // the award of the last round
    for (const QString &step : steps) {
        if (step == QLatin1String("again")) {
            roll = std::make_unique<RollControl>(seeded());
            roll->start(draw, Entry::Continue);
            continue;
        }
        if (step == QLatin1String("one") || step == QLatin1String("all")) {
            std::vector<DrawSession::WithdrawnResult> winners = roll->absentWinners().winners;
            winners.resize(step == QLatin1String("one") ? 1 : winners.size());
            QVERIFY(!roll->withdraw(winners, QStringLiteral("未到场")).failed);
            continue;
        }
        award = roll->session().WID();
        roll->press();
        QVERIFY(roll->isRolling());
        if (step == QLatin1String("round"))
            roll->press();
    }
    const RollControl::AbsentWinners absent = roll->absentWinners();
    QCOMPARE(absent.ask, ask);
    QCOMPARE(int(absent.winners.size()), standing);
    for (const DrawSession::WithdrawnResult &winner : absent.winners) {
        data::Recordset rs = data::OpenRecordset(
            QStringLiteral("SELECT 号码, 姓名, WID FROM 结果表 WHERE ID=?"), { winner.id });
        QVERIFY(!rs.eof());
        QCOMPARE(winner.number, rs.field(0).toString());
        QCOMPARE(winner.name, rs.field(1).toString());
        QCOMPARE(rs.field(2).toString(), award);
    }
    QCOMPARE(roll->redrawFreedPlace(), redraws);
    if (redraws) {
        QVERIFY(!roll->cardShown());
        QCOMPARE(roll->session().WID(), award);
        QCOMPARE(roll->session().linesPerTick(), qint64(1));
    }
    SetStagePaceForTesting(std::nullopt);
}

QTEST_GUILESS_MAIN(TestDrawSession)
#include "tst_drawsession.moc"
