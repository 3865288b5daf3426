#include "common/prompts.h"
#include "data/database.h"
#include "draw/entrantpool.h"
#include "support/testsupport.h"

#include <QTest>
#include <set>

using namespace tombolix;
using namespace tombolix::draw;

class TestEntrantPool : public QObject
{
    Q_OBJECT

private slots:
    void loadsEntrantsTrimmedWithNames();
    void drawWithoutEntrantsHasOnlyIndexZero();
    void blankNumbersAreNeverEligible();
    void formatsDisplayTextsButKeepsNumbers();
    void eligibilityFollowsShow();
    void picksAreDistinctAndEligible();
    void picksStopWhenTheEligibleRunOut();
    void picksAreUniform();
    void picksStayUniformAfterWinnersLeave();
    void quotesAndLineBreaksSurvive();
    void winnersLeaveByNumberAndName();
};

void TestEntrantPool::loadsEntrantsTrimmedWithNames()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 draw = db.addDraw(QStringLiteral("年会"));
    const qint64 other = db.addDraw(QStringLiteral("别的"));
    const qint64 first = db.addEntrant(draw, QStringLiteral("  0012 "), QStringLiteral("张三"));
    db.addEntrant(other, QStringLiteral("999"), QStringLiteral("外人"));
    db.addEntrant(draw, QStringLiteral("0013"));
    QVERIFY(data::ExecuteSql(
        QStringLiteral("INSERT INTO 号码表 (CID) VALUES (?)"), { draw })); // Null number and name

    EntrantPool pool;
    LoadEntrantPool(pool, draw);
    QCOMPARE(pool.size(), 3);
    const PoolEntry entry = pool.entry(1);
    QCOMPARE(entry.ID, first);
    QCOMPARE(entry.Number, QStringLiteral("0012"));
    QCOMPARE(entry.Show, QStringLiteral("0012"));
    QCOMPARE(entry.Name, QStringLiteral("张三"));
    QCOMPARE(pool.name(2), QString());
    QCOMPARE(pool.number(3), QString());
    QVERIFY(!pool.isEligible(3));
    QCOMPARE(pool.eligibleCount(), 2);
    QVERIFY(prompts.messages().isEmpty());
}

void TestEntrantPool::drawWithoutEntrantsHasOnlyIndexZero()
{
    test::TestDatabase db;
    EntrantPool pool;
    LoadEntrantPool(pool, db.addDraw(QStringLiteral("空")));
    QCOMPARE(pool.size(), 0);
    QCOMPARE(pool.entry(0).Show, QString());
    QCOMPARE(pool.entry(5).ID, 0); // out of range reads as empty
    RandomSource random(1);
    QVERIFY(pool.pick(3, random).empty());
}

void TestEntrantPool::blankNumbersAreNeverEligible()
{
    EntrantPool pool;
    pool.append(1, QStringLiteral("   "), QStringLiteral("空号"));
    pool.append(2, QStringLiteral("7"), QString());
    QVERIFY(!pool.isEligible(1));
    RandomSource random(3);
    for (int i = 0; i < 50; ++i) {
        const auto picks = pool.pick(2, random);
        QCOMPARE(picks.size(), size_t(1));
        QCOMPARE(picks.front(), 2);
    }
}

void TestEntrantPool::formatsDisplayTextsButKeepsNumbers()
{
    EntrantPool pool;
    pool.append(1, QStringLiteral("123"), QString());
    pool.append(2, QStringLiteral("13800138000"), QString());
    FormatDisplayTexts(pool, 6, QStringLiteral("000****0000"));
    QCOMPARE(pool.show(1), QStringLiteral("000****"));
    QCOMPARE(pool.number(1), QStringLiteral("123"));
    QCOMPARE(pool.show(2), QStringLiteral("138****")); // cut to 6, then the fourth star appended
    QCOMPARE(pool.number(2), QStringLiteral("13800138000"));
}

void TestEntrantPool::eligibilityFollowsShow()
{
    EntrantPool pool;
    for (int i = 1; i <= 5; ++i)
        pool.append(i, QString::number(i), QString());
    pool.makeIneligible(2);
    pool.makeIneligible(5);
    QCOMPARE(pool.eligibleCount(), 3);
    QVERIFY(!pool.isEligible(2));
    QCOMPARE(pool.number(2), QStringLiteral("2")); // what it won with stays
    pool.makeIneligible(2); // twice is harmless
    QCOMPARE(pool.eligibleCount(), 3);
    pool.setShow(2, QStringLiteral("2"));
    QVERIFY(pool.isEligible(2));
    QCOMPARE(pool.eligibleCount(), 4);
}

void TestEntrantPool::picksAreDistinctAndEligible()
{
    EntrantPool pool;
    for (int i = 1; i <= 40; ++i)
        pool.append(i, QString::number(i), QString());
    for (int i = 1; i <= 40; i += 3)
        pool.makeIneligible(i);
    RandomSource random(11);
    for (int round = 0; round < 500; ++round) {
        const auto picks = pool.pick(10, random);
        QCOMPARE(picks.size(), size_t(10));
        const std::set<qsizetype> distinct(picks.begin(), picks.end());
        QCOMPARE(distinct.size(), picks.size());
        for (qsizetype index : picks)
            QVERIFY(pool.isEligible(index));
    }
}

void TestEntrantPool::picksStopWhenTheEligibleRunOut()
{
    EntrantPool pool;
    for (int i = 1; i <= 6; ++i)
        pool.append(i, QString::number(i), QString());
    RandomSource random(5);
    for (int i = 1; i <= 4; ++i)
        pool.makeIneligible(i);
    auto picks = pool.pick(5, random);
    std::sort(picks.begin(), picks.end());
    QCOMPARE(picks, (std::vector<qsizetype> { 5, 6 }));
    pool.makeIneligible(5);
    pool.makeIneligible(6);
    QVERIFY(pool.pick(5, random).empty());
    QVERIFY(pool.pick(0, random).empty());
    QVERIFY(pool.pick(-3, random).empty());
}

// Chi-square over many ticks: every entrant equally likely on each line,
// the first and last index included.
void TestEntrantPool::picksAreUniform()
{
    const int entrants = 20;
    EntrantPool pool;
    for (int i = 1; i <= entrants; ++i)
        pool.append(i, QString::number(i), QString());
    RandomSource random(20261207);
    const int ticks = 60000;
    std::vector<std::vector<int>> counts(3, std::vector<int>(entrants + 1, 0));
    for (int t = 0; t < ticks; ++t) {
        const auto picks = pool.pick(3, random);
        for (size_t line = 0; line < picks.size(); ++line)
            ++counts[line][size_t(picks[line])];
    }
    // 19 degrees of freedom: the 99.9% point is 43.8.
    for (size_t line = 0; line < 3; ++line) {
        const double expected = double(ticks) / entrants;
        double chiSquare = 0;
        for (int i = 1; i <= entrants; ++i)
            chiSquare
                += (counts[line][size_t(i)] - expected) * (counts[line][size_t(i)] - expected) / expected;
        QVERIFY2(
            chiSquare < 43.8, qPrintable(QStringLiteral("line %1: chi-square %2").arg(line).arg(chiSquare)));
        QCOMPARE(counts[line][0], 0);
    }
}

void TestEntrantPool::picksStayUniformAfterWinnersLeave()
{
    const int entrants = 30;
    EntrantPool pool;
    for (int i = 1; i <= entrants; ++i)
        pool.append(i, QString::number(i), QString());
    for (int i = 1; i <= entrants; i += 2)
        pool.makeIneligible(i); // the odd ones have won
    RandomSource random(99);
    std::vector<int> counts(entrants + 1, 0);
    const int ticks = 45000;
    for (int t = 0; t < ticks; ++t)
        ++counts[size_t(pool.pick(1, random).front())];
    const double expected = double(ticks) / 15;
    double chiSquare = 0;
    for (int i = 2; i <= entrants; i += 2)
        chiSquare += (counts[size_t(i)] - expected) * (counts[size_t(i)] - expected) / expected;
    QVERIFY2(chiSquare < 36.1, qPrintable(QString::number(chiSquare))); // 14 degrees, 99.9%
    for (int i = 1; i <= entrants; i += 2)
        QCOMPARE(counts[size_t(i)], 0);
}

void TestEntrantPool::quotesAndLineBreaksSurvive()
{
    EntrantPool pool;
    const QString number = QString(200, QLatin1Char('9')) + QStringLiteral("'\"");
    pool.append(1, number, QStringLiteral("O'Brien,\r\n张"));
    QCOMPARE(pool.number(1), number);
    QCOMPARE(pool.name(1), QStringLiteral("O'Brien,\r\n张"));
}

// Winners are matched by the trimmed stored number and the name, never by
// the display text the mask and the fixed length made; whoever matches goes,
// no one else.
void TestEntrantPool::winnersLeaveByNumberAndName()
{
    EntrantPool pool;
    pool.append(1, QStringLiteral("  0007 "), QStringLiteral("张三"));
    pool.append(2, QStringLiteral("0007"), QStringLiteral("李四")); // same number, another name
    pool.append(3, QStringLiteral("0007"), QStringLiteral("张三")); // entered twice: both go
    pool.append(4, QStringLiteral("0008"), QString());
    pool.append(5, QStringLiteral("0009"), QStringLiteral("王五"));
    pool.append(6, QStringLiteral("0010"), QStringLiteral("赵六"));
    pool.makeIneligible(5);
    FormatDisplayTexts(pool, 6, QStringLiteral("00**"));
    QCOMPARE(pool.show(1), QStringLiteral("00**07"));

    const QList<WinnerKey> winners {
        { QStringLiteral(" 0007"), QStringLiteral("张三") },
        { QStringLiteral("0008"), QStringLiteral("") }, // a Null name read as empty
        { QStringLiteral("0009"), QStringLiteral("王五") }, // out already: not counted again
        { QStringLiteral("0007"), QStringLiteral("张三") }, // won twice
        { QStringLiteral("00**07"), QStringLiteral("张三") }, // a display text names no one
    };
    QCOMPARE(RemoveWinners(pool, winners), qsizetype(3));
    QStringList left;
    for (qsizetype i = 1; i <= pool.size(); ++i) {
        if (pool.isEligible(i))
            left << pool.number(i) + QLatin1Char('|') + pool.name(i);
    }
    QCOMPARE(left, (QStringList { QStringLiteral("0007|李四"), QStringLiteral("0010|赵六") }));
    QCOMPARE(pool.number(1), QStringLiteral("0007")); // what it won with stays
    QCOMPARE(RemoveWinners(pool, {}), qsizetype(0));
}

QTEST_GUILESS_MAIN(TestEntrantPool)
#include "tst_entrantpool.moc"
