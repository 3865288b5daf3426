#include "appearance/dragrect.h"
#include "appearance/stagelayout.h"

#include <QTest>

using namespace tombolix::appearance;

Q_DECLARE_METATYPE(tombolix::appearance::Grip)

namespace {

// A frame of 3000 x 1500 twips at (1000, 2000), gripped within 120 twips.
const QRectF Frame(1000, 2000, 3000, 1500);
constexpr double Band = 120;
const DragLimits Screen { QRectF(0, 0, 15360, 11520), 240 };

} // namespace

class TestDragRect : public QObject
{
    Q_OBJECT

private slots:
    void hitTesting_data();
    void hitTesting();
    void smallRectanglesKeepABody();
    void boardListMovesAndWidens_data();
    void boardListMovesAndWidens();
    void dragging_data();
    void dragging();
    void movesStayOnTheScreen_data();
    void movesStayOnTheScreen();
    void edgesStopAtTheScreenAndTheMinimum_data();
    void edgesStopAtTheScreenAndTheMinimum();
    void fitScreen_data();
    void fitScreen();
};

void TestDragRect::hitTesting_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<Grip>("grip");
    QTest::newRow("middle") << QPointF(2500, 2750) << Grip::Body;
    QTest::newRow("just inside the band") << QPointF(1120, 2750) << Grip::Body;
    QTest::newRow("left, inside") << QPointF(1050, 2750) << Grip::Left;
    QTest::newRow("left, outside") << QPointF(900, 2750) << Grip::Left;
    QTest::newRow("beyond the band") << QPointF(879, 2750) << Grip::None;
    QTest::newRow("right") << QPointF(4100, 2750) << Grip::Right;
    QTest::newRow("top") << QPointF(2500, 1950) << Grip::Top;
    QTest::newRow("bottom") << QPointF(2500, 3450) << Grip::Bottom;
    QTest::newRow("top left") << QPointF(990, 1990) << Grip::TopLeft;
    QTest::newRow("top right") << QPointF(3990, 2010) << Grip::TopRight;
    QTest::newRow("bottom left") << QPointF(1010, 3600) << Grip::BottomLeft;
    QTest::newRow("bottom right") << QPointF(4050, 3550) << Grip::BottomRight;
    QTest::newRow("past a corner") << QPointF(4200, 3700) << Grip::None;
    QTest::newRow("far away") << QPointF(8000, 100) << Grip::None;
}

void TestDragRect::hitTesting()
{
    QFETCH(QPointF, point);
    QFETCH(Grip, grip);
    QCOMPARE(HitTest(Frame, point, Band), grip);
}

void TestDragRect::smallRectanglesKeepABody()
{
    const QRectF tiny(1000, 1000, 150, 150);
    QCOMPARE(HitTest(tiny, QPointF(1075, 1075), Band), Grip::Body);
    QCOMPARE(HitTest(tiny, QPointF(1010, 1075), Band), Grip::Left);
    QCOMPARE(HitTest(tiny, QPointF(1140, 1140), Band), Grip::BottomRight);
    // Nothing to grip on a rectangle without an area.
    QCOMPARE(HitTest(QRectF(1000, 1000, 0, 150), QPointF(1000, 1075), Band), Grip::None);
    QCOMPARE(HitTest(QRectF(), QPointF(0, 0), Band), Grip::None);
}

void TestDragRect::boardListMovesAndWidens_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<Grip>("grip");
    // The title at (9000, 4000), 4000 x 600; the list below it to 11520.
    QTest::newRow("title's body") << QPointF(11000, 4300) << Grip::Body;
    QTest::newRow("title's bottom edge") << QPointF(11000, 4650) << Grip::Bottom;
    QTest::newRow("title's top right") << QPointF(13000, 4000) << Grip::TopRight;
    QTest::newRow("list's body") << QPointF(11000, 8000) << Grip::Body;
    QTest::newRow("list's left edge") << QPointF(8950, 8000) << Grip::Left;
    QTest::newRow("list's right edge") << QPointF(13100, 9000) << Grip::Right;
    QTest::newRow("list's foot") << QPointF(13000, 11500) << Grip::Right;
    QTest::newRow("beside the list") << QPointF(8000, 8000) << Grip::None;
    QTest::newRow("above the title") << QPointF(11000, 3000) << Grip::None;
}

void TestDragRect::boardListMovesAndWidens()
{
    QFETCH(QPointF, point);
    QFETCH(Grip, grip);
    QCOMPARE(HitTestBoard(QRectF(9000, 4000, 4000, 600), 11520, point, Band), grip);
}

void TestDragRect::dragging_data()
{
    QTest::addColumn<Grip>("grip");
    QTest::addColumn<QRectF>("dragged");
    // Every grip dragged by (+300, -150) from the frame at (1000, 2000) 3000 x 1500.
    QTest::newRow("none") << Grip::None << Frame;
    QTest::newRow("body") << Grip::Body << QRectF(1300, 1850, 3000, 1500);
    QTest::newRow("left") << Grip::Left << QRectF(1300, 2000, 2700, 1500);
    QTest::newRow("right") << Grip::Right << QRectF(1000, 2000, 3300, 1500);
    QTest::newRow("top") << Grip::Top << QRectF(1000, 1850, 3000, 1650);
    QTest::newRow("bottom") << Grip::Bottom << QRectF(1000, 2000, 3000, 1350);
    QTest::newRow("top left") << Grip::TopLeft << QRectF(1300, 1850, 2700, 1650);
    QTest::newRow("top right") << Grip::TopRight << QRectF(1000, 1850, 3300, 1650);
    QTest::newRow("bottom left") << Grip::BottomLeft << QRectF(1300, 2000, 2700, 1350);
    QTest::newRow("bottom right") << Grip::BottomRight << QRectF(1000, 2000, 3300, 1350);
}

void TestDragRect::dragging()
{
    QFETCH(Grip, grip);
    QFETCH(QRectF, dragged);
    QCOMPARE(DragRect(Frame, grip, QPointF(300, -150), Screen), dragged);
}

void TestDragRect::movesStayOnTheScreen_data()
{
    QTest::addColumn<QRectF>("start");
    QTest::addColumn<QPointF>("delta");
    QTest::addColumn<QRectF>("moved");
    QTest::newRow("past the left and top") << Frame << QPointF(-5000, -9000) << QRectF(0, 0, 3000, 1500);
    QTest::newRow("past the right and bottom")
        << Frame << QPointF(20000, 20000) << QRectF(12360, 10020, 3000, 1500);
    QTest::newRow("to the very edge") << Frame << QPointF(11360, 0) << QRectF(12360, 2000, 3000, 1500);
    QTest::newRow("larger than the screen")
        << QRectF(100, 100, 20000, 1500) << QPointF(500, 0) << QRectF(0, 100, 20000, 1500);
    QTest::newRow("off the screen, brought back")
        << QRectF(-800, 12000, 3000, 1500) << QPointF(15, 15) << QRectF(0, 10020, 3000, 1500);
}

void TestDragRect::movesStayOnTheScreen()
{
    QFETCH(QRectF, start);
    QFETCH(QPointF, delta);
    QFETCH(QRectF, moved);
    QCOMPARE(DragRect(start, Grip::Body, delta, Screen), moved);
}

void TestDragRect::edgesStopAtTheScreenAndTheMinimum_data()
{
    QTest::addColumn<Grip>("grip");
    QTest::addColumn<QPointF>("delta");
    QTest::addColumn<QRectF>("sized");
    QTest::newRow("left past the screen") << Grip::Left << QPointF(-2000, 0) << QRectF(0, 2000, 4000, 1500);
    QTest::newRow("right past the screen")
        << Grip::Right << QPointF(20000, 0) << QRectF(1000, 2000, 14360, 1500);
    QTest::newRow("top past the screen") << Grip::Top << QPointF(0, -5000) << QRectF(1000, 0, 3000, 3500);
    QTest::newRow("bottom past the screen")
        << Grip::BottomRight << QPointF(0, 20000) << QRectF(1000, 2000, 3000, 9520);
    QTest::newRow("left over the right") << Grip::Left << QPointF(5000, 0) << QRectF(3760, 2000, 240, 1500);
    QTest::newRow("right over the left") << Grip::Right << QPointF(-5000, 0) << QRectF(1000, 2000, 240, 1500);
    QTest::newRow("top over the bottom")
        << Grip::TopLeft << QPointF(0, 4000) << QRectF(1000, 3260, 3000, 240);
    QTest::newRow("bottom over the top")
        << Grip::Bottom << QPointF(0, -1499) << QRectF(1000, 2000, 3000, 240);
}

void TestDragRect::edgesStopAtTheScreenAndTheMinimum()
{
    QFETCH(Grip, grip);
    QFETCH(QPointF, delta);
    QFETCH(QRectF, sized);
    const QRectF result = DragRect(Frame, grip, delta, Screen);
    QCOMPARE(result, sized);
    QVERIFY(result.width() > 15 && result.height() > 15); // never repaired to 4500 x 750
}

void TestDragRect::fitScreen_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<double>("height");
    // A "1" 705 twips high prints lines 685 apart; the block is 20 more, the
    // label 20 shorter than the frame, a third of a line above and below.
    QTest::newRow("one line") << 1 << std::round(685.0 + 20 + 20 + 2 * 685.0 / 3);
    QTest::newRow("five lines") << 5 << std::round(5 * 685.0 + 20 + 20 + 2 * 685.0 / 3);
    QTest::newRow("no count reads as one") << 0 << std::round(685.0 + 20 + 20 + 2 * 685.0 / 3);
}

void TestDragRect::fitScreen()
{
    QFETCH(int, lines);
    QFETCH(double, height);
    const QSizeF screen(28800, 16200); // 1920 x 1080 pixels
    const QRectF builtIn = BuiltInStageLayout(QSizeF(1920, 1080)).frame;
    const QRectF fitted = FitScreenRect(screen, lines, 705);
    // Where the built-in look has it, as high as its lines.
    QCOMPARE(fitted.topLeft(), builtIn.topLeft());
    QCOMPARE(fitted.width(), builtIn.width());
    QCOMPARE(fitted.height(), height);

    // Too many lines: down to the screen's foot, above the picture's rule.
    for (int many : { 40, 400 }) {
        const QRectF tall = FitScreenRect(screen, many, 705);
        QCOMPARE(tall.bottom(), (1080 - 54) * 15.0);
    }

    // The board's title put by the operator over that place: the frame
    // stays clear of it, narrower beside it or below it.
    const QRectF beside(builtIn.right() - 2000, builtIn.top() + 300, 3000, 900);
    QVERIFY(!FitScreenRect(screen, lines, 705, beside).intersects(beside));
    QCOMPARE(FitScreenRect(screen, lines, 705, beside).left(), builtIn.left());
    const QRectF across(builtIn.left() - 500, builtIn.top(), builtIn.width() + 1000, 900);
    const QRectF below = FitScreenRect(screen, lines, 705, across);
    QVERIFY(!below.intersects(across));
    QVERIFY(below.top() > across.bottom());
}

QTEST_APPLESS_MAIN(TestDragRect)
#include "tst_dragrect.moc"
