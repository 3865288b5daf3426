#include "common/settingsstore.h"
#include "data/database.h"
#include "draw/awardbanner.h"
#include "draw/drawsession.h"
#include "support/testsupport.h"

#include <QTest>

using namespace tombolix;
using namespace tombolix::draw;

class TestAwardBanner : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void followsAWholeDraw();
    void continuedDrawShowsWhereItStopped();
    void placement_data();
    void placement();
};

void TestAwardBanner::text_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("prize");
    QTest::addColumn<qint64>("remaining");
    QTest::addColumn<QString>("expected");
    QTest::newRow("name, prize and count")
        << QStringLiteral("一等奖") << QStringLiteral("iPhone 16 Pro") << qint64(1)
        << QStringLiteral("一等奖 · iPhone 16 Pro · 剩余 1 名");
    QTest::newRow("no prize") << QStringLiteral("一等奖") << QString() << qint64(1)
                              << QStringLiteral("一等奖 · 剩余 1 名");
    QTest::newRow("blank prize counts as none") << QStringLiteral("三等奖") << QStringLiteral("  ")
                                                << qint64(20) << QStringLiteral("三等奖 · 剩余 20 名");
    QTest::newRow("blanks around the name go")
        << QStringLiteral(" 特别奖 ") << QStringLiteral("旅游基金") << qint64(2)
        << QStringLiteral("特别奖 · 旅游基金 · 剩余 2 名");
    QTest::newRow("award without a name")
        << QString() << QString() << qint64(3) << QStringLiteral("剩余 3 名");
    QTest::newRow("drawn out") << QStringLiteral("一等奖") << QStringLiteral("iPhone 16 Pro") << qint64(0)
                               << QStringLiteral("一等奖 · iPhone 16 Pro · 已抽完");
}

void TestAwardBanner::text()
{
    QFETCH(QString, name);
    QFETCH(QString, prize);
    QFETCH(qint64, remaining);
    QFETCH(QString, expected);
    QCOMPARE(AwardBannerText(name, prize, remaining), expected);
}

// Three awards, rounds of two, one and one: the banner counts each award down,
// names a complete award while its winners are on show, and the next award
// in 顺序 when its first round starts.
void TestAwardBanner::followsAWholeDraw()
{
    test::TestDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("年会"));
    db.addEntrants(draw, 20);
    db.addAward(draw, 2, QStringLiteral("二等奖"), 1, 1);
    db.addAward(draw, 1, QStringLiteral("一等奖"), 3, 2, true, false, QStringLiteral("iPhone 16 Pro"));
    db.addAward(draw, 3, QStringLiteral("三等奖"), 1, 1, true, false, QStringLiteral("购物卡"));

    DrawSession session(std::make_unique<RandomSource>(11));
    session.start(draw);
    QStringList seen { AwardBannerText(session) };
    for (int round = 0; round < 4; ++round) {
        session.beginRound();
        seen << AwardBannerText(session);
        session.RollTick();
        session.StopAndRecord(true, false);
        seen << AwardBannerText(session);
    }
    QCOMPARE(seen,
        (QStringList { QStringLiteral("一等奖 · iPhone 16 Pro · 剩余 3 名"),
            QStringLiteral("一等奖 · iPhone 16 Pro · 剩余 3 名"),
            QStringLiteral("一等奖 · iPhone 16 Pro · 剩余 1 名"),
            QStringLiteral("一等奖 · iPhone 16 Pro · 剩余 1 名"),
            QStringLiteral("一等奖 · iPhone 16 Pro · 已抽完"), QStringLiteral("二等奖 · 剩余 1 名"),
            QStringLiteral("二等奖 · 已抽完"), QStringLiteral("三等奖 · 购物卡 · 剩余 1 名"),
            QStringLiteral("三等奖 · 购物卡 · 已抽完") }));
    QVERIFY(session.DrawFinished());

    // A draw without awards has nothing to draw: it says so at once.
    const qint64 empty = db.addDraw(QStringLiteral("空"));
    db.addEntrants(empty, 3);
    session.start(empty);
    QCOMPARE(AwardBannerText(session), QStringLiteral("抽奖结束"));

    // A winner withdrawn while the next round rolls frees a place: after
    // its stop, 3 of 4 are stored and the banner says one is left.
    const qint64 four = db.addDraw(QStringLiteral("四名"));
    db.addEntrants(four, 10);
    db.addAward(four, 1, QStringLiteral("四等奖"), 4, 2);
    session.start(four);
    session.beginRound();
    session.RollTick();
    const StopOutcome first = session.StopAndRecord(true, false);
    session.beginRound();
    session.RollTick();
    QCOMPARE(session.WithdrawResults({ { first.resultIds.front(), {}, {} } }, true, false).deleted, 1);
    session.StopAndRecord(true, false);
    QCOMPARE(AwardBannerText(session), QStringLiteral("四等奖 · 剩余 1 名"));
    session.beginRound();
    QCOMPARE(AwardBannerText(session), QStringLiteral("四等奖 · 剩余 1 名"));
}

void TestAwardBanner::continuedDrawShowsWhereItStopped()
{
    test::TestDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("年会"));
    db.addEntrants(draw, 10);
    const qint64 first = db.addAward(draw, 1, QStringLiteral("一等奖"), 1, 1);
    db.addAward(draw, 2, QStringLiteral("二等奖"), 3, 1, true, false, QStringLiteral("耳机"));
    {
        DrawSession session(std::make_unique<RandomSource>(3));
        session.start(draw);
        for (int round = 0; round < 2; ++round) {
            session.beginRound();
            session.RollTick();
            session.StopAndRecord(true, false);
        }
    }
    DrawSession continued;
    continued.start(draw, Entry::Continue);
    QCOMPARE(AwardBannerText(continued), QStringLiteral("二等奖 · 耳机 · 剩余 2 名"));

    // Every award complete: the continued draw opens finished.
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖项表 SET 数量=? WHERE CID=? AND ID<>?"),
        { QStringLiteral("1"), draw, first }));
    continued.start(draw, Entry::Continue);
    QCOMPARE(AwardBannerText(continued), QStringLiteral("抽奖结束"));
}

void TestAwardBanner::placement_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QSize>("banner");
    QTest::addColumn<QRect>("across");
    QTest::addColumn<QRect>("expected");
    // Over the frame, in the band above it.
    QTest::newRow("centred over the frame")
        << QSize(1024, 768) << QRect(56, 128, 345, 65) << QSize(400, 60) << QRect() << QRect(28, 34, 400, 60);
    QTest::newRow("at 1080") << QSize(1920, 1080) << QRect(105, 180, 647, 91) << QSize(700, 84) << QRect()
                             << QRect(78, 48, 700, 84);
    QTest::newRow("a low frame: the banner keeps to the top fifth")
        << QSize(1000, 800) << QRect(100, 600, 400, 80) << QSize(400, 60) << QRect()
        << QRect(100, 50, 400, 60);
    QTest::newRow("a frame at the top: the banner goes to the top") << QSize(1000,
        800) << QRect(100, 20, 400, 80) << QSize(400, 60) << QRect() << QRect(100, 16, 400, 60);
    QTest::newRow("a frame above the screen") << QSize(1000, 800) << QRect(100, -90, 400, 80)
                                              << QSize(400, 60) << QRect() << QRect(100, 16, 400, 60);
    QTest::newRow("wider than the screen keeps the margins")
        << QSize(1000, 800) << QRect(100, 300, 400, 80) << QSize(1400, 60) << QRect()
        << QRect(16, 50, 968, 60);
    // Clear of the picture's corners: moved aside rather than into them.
    QTest::newRow("kept within the columns given")
        << QSize(1920, 1080) << QRect(302, 259, 795, 216) << QSize(1000, 96) << QRect(259, 0, 1402, 1080)
        << QRect(259, 60, 1000, 96);
}

void TestAwardBanner::placement()
{
    QFETCH(QSize, screen);
    QFETCH(QRect, frame);
    QFETCH(QSize, banner);
    QFETCH(QRect, across);
    QFETCH(QRect, expected);
    QCOMPARE(PlaceAwardBanner(screen, frame, banner, across), expected);
}

QTEST_GUILESS_MAIN(TestAwardBanner)
#include "tst_awardbanner.moc"
