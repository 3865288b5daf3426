#include "appearance/stagelayout.h"
#include "appearance/stagenumber.h"
#include "common/conventions.h"
#include "common/prompts.h"
#include "data/database.h"
#include "support/testsupport.h"

#include <QTest>

using namespace tombolix;
using namespace tombolix::appearance;

namespace {

// Where the ink of `lines` lines printed by PrintFrameText at `scale` begins
// and ends, relative to the label's top (twips).
struct InkSpan
{
    double top = 0;
    double bottom = 0;
    double widest = 0;
};

InkSpan inkSpan(const QSizeF &label, int lines, const NumberInk &ink, double scale)
{
    QStringList texts;
    for (int i = 0; i < lines; ++i)
        texts << QString::number(i);
    const auto printed = PrintFrameText(QRectF(QPointF(0, 0), label), texts, ink.lineHeight * scale,
        [&](const QString &) { return ink.widestLine * scale; });
    return { printed.front().top + (ink.ascent - ink.inkAbove) * scale,
        printed.back().top + (ink.ascent + ink.inkBelow) * scale, ink.widestLine * scale };
}

// Digits of a font of 960 twips (64 px): line height, ascent, ink above and
// below the baseline, in twips, as a common sans serif measures them.
NumberInk digits(double widest)
{
    return { 1117, 891, 700, 0, widest };
}

} // namespace

class TestNumberFit : public QObject
{
    Q_OBJECT

private slots:
    void builtInLayoutKeepsClearOfTheOrnaments_data();
    void builtInLayoutKeepsClearOfTheOrnaments();
    void builtInFontsFollowTheHeight();
    void frameRecordsAndStoredFonts();
    void linesThatFitKeepTheirSize();
    void linesShrinkUntilTheirInkFits_data();
    void linesShrinkUntilTheirInkFits();
    void wideLinesShrinkToTheLabelsWidth();
    void hopelessBoxesStillGiveASize();
};

void TestNumberFit::builtInLayoutKeepsClearOfTheOrnaments_data()
{
    QTest::addColumn<QSizeF>("screen");
    QTest::addColumn<QRectF>("frame");
    QTest::newRow("1024x768, the picture's sides cut off")
        << QSizeF(1024, 768) << QRectF(676, 2765, 8018, 2304);
    QTest::newRow("1920x1080") << QSizeF(1920, 1080) << QRectF(4550, 3888, 11923, 3240);
    QTest::newRow("2560x1440") << QSizeF(2560, 1440) << QRectF(6067, 5184, 15898, 4320);
    QTest::newRow("3840x2160") << QSizeF(3840, 2160) << QRectF(9101, 7776, 23846, 6480);
}

void TestNumberFit::builtInLayoutKeepsClearOfTheOrnaments()
{
    QFETCH(QSizeF, screen);
    QFETCH(QRectF, frame);
    const StageLayout layout = BuiltInStageLayout(screen);
    QCOMPARE(layout.frame, frame);
    const QRectF framePixels(frame.topLeft() / TwipsPerPixel, frame.size() / TwipsPerPixel);
    // The frame centred over the stage's part, the board in a column of its
    // own beside it, their tops level.
    QVERIFY(layout.stage.contains(framePixels));
    QVERIFY(qAbs(framePixels.center().x() - layout.stage.center().x()) < 1);
    QVERIFY(layout.board.left() > layout.stage.right());
    QVERIFY(qAbs(layout.board.top() - framePixels.top()) < 0.1);
    // Clear of the fret corners of the picture (245 x 250 pixels of its
    // 1920 x 1080), as it covers this screen, and of its rule along the edges.
    const double scale = std::max(screen.width() / 1920, screen.height() / 1080);
    const double cropX = (1920 * scale - screen.width()) / 2;
    const QSizeF corner(245 * scale - cropX, 250 * scale);
    const QRectF corners[] = {
        QRectF(QPointF(0, 0), corner),
        QRectF(QPointF(screen.width() - corner.width(), 0), corner),
        QRectF(QPointF(0, screen.height() - corner.height()), corner),
        QRectF(QPointF(screen.width() - corner.width(), screen.height() - corner.height()), corner),
    };
    for (const QRectF &ornament : corners) {
        if (ornament.width() <= 0)
            continue; // cut off
        QVERIFY(!ornament.intersects(framePixels));
        QVERIFY(!ornament.intersects(layout.board));
        QVERIFY(!ornament.contains(QPointF(layout.commandsRight - 1, layout.commandsBottom - 1)));
    }
    const QRectF inside = QRectF(QPointF(0, 0), screen)
                              .adjusted(30 * scale - std::min(cropX, 30 * scale), 45 * scale,
                                  -(30 * scale - std::min(cropX, 30 * scale)), -45 * scale);
    QVERIFY(inside.contains(framePixels) && inside.contains(layout.board));
    // Grown for many lines, the frame stops above the rule at the foot.
    const QRectF tall = BuiltInFrameFor(screen, 40, frame.height());
    QCOMPARE(tall.topLeft(), frame.topLeft());
    QCOMPARE(tall.bottom(), std::round((screen.height() - layout.edge) * TwipsPerPixel));
}

void TestNumberFit::builtInFontsFollowTheHeight()
{
    QCOMPARE(ScaledFontPixels(64, StageScaleFor(QSizeF(1024, 768))), 64);
    QCOMPARE(ScaledFontPixels(64, StageScaleFor(QSizeF(1920, 1080))), 90);
    QCOMPARE(ScaledFontPixels(64, StageScaleFor(QSizeF(3840, 2160))), 180);
    // The width plays no part: a wide screen of 768 lines keeps the sizes.
    QCOMPARE(ScaledFontPixels(24, StageScaleFor(QSizeF(2048, 768))), 24);
    QCOMPARE(ScaledFontPixels(1, StageScaleFor(QSizeF(100, 10))), 1);
}

void TestNumberFit::frameRecordsAndStoredFonts()
{
    QVERIFY(!IsFrameRecord(QString()));
    QVERIFY(!IsFrameRecord(QStringLiteral("   ")));
    QVERIFY(!IsFrameRecord(QStringLiteral("840】【1920】【5175】【975】【1】【255")));
    QVERIFY(IsFrameRecord(QStringLiteral(" 840】【1920】【5175】【975】【】【255】【1 ")));

    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 draw = db.addDraw(QStringLiteral("年会"));
    QVERIFY(!DrawHasFrameLayout(draw));
    QVERIFY(SaveFrameLayout(FrameLayout(), draw));
    QVERIFY(DrawHasFrameLayout(draw));

    FontSpec spec;
    spec.font.setPixelSize(64);
    QVERIFY(!ApplyStoredElementFont(draw, NumberFontColumn, spec));
    QCOMPARE(spec.font.pixelSize(), 64);
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET L2=? WHERE ID=?"),
        { QStringLiteral("宋体】【√】【】【72】【】【】【255"), draw }));
    QVERIFY(ApplyStoredElementFont(draw, NumberFontColumn, spec));
    QCOMPARE(spec.font.pointSizeF(), 72.0);
    QCOMPARE(spec.colour, qint64(255));
}

void TestNumberFit::linesThatFitKeepTheirSize()
{
    // The built-in label (975 - 20 twips) holds one line of 64-pixel digits:
    // its line box is taller than the label, its ink is not.
    const QSizeF label(5175, 955);
    QVERIFY(digits(3000).lineHeight > label.height());
    QCOMPARE(NumberFitScale(label, 1, digits(3000)), 1.0);
    QCOMPARE(NumberFitScale(label, 0, digits(30000)), 1.0);
    // Five lines in a label five lines high.
    QCOMPARE(NumberFitScale(QSizeF(5175, 5 * 1117), 5, digits(3000)), 1.0);
}

void TestNumberFit::linesShrinkUntilTheirInkFits_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<double>("labelHeight");
    QTest::addColumn<double>("inkBelow");
    QTest::newRow("two lines of digits") << 2 << 955.0 << 0.0;
    QTest::newRow("five lines of digits") << 5 << 955.0 << 0.0;
    QTest::newRow("five lines with names below the baseline") << 5 << 1351.0 << 180.0;
    QTest::newRow("one line in a low box") << 1 << 400.0 << 0.0;
    QTest::newRow("ten lines at 4K") << 10 << 2722.0 << 120.0;
}

void TestNumberFit::linesShrinkUntilTheirInkFits()
{
    QFETCH(int, lines);
    QFETCH(double, labelHeight);
    QFETCH(double, inkBelow);
    const QSizeF label(5175, labelHeight);
    NumberInk ink = digits(2000);
    ink.inkBelow = inkBelow;
    QVERIFY(inkSpan(label, lines, ink, 1).top < 0 || inkSpan(label, lines, ink, 1).bottom > labelHeight);

    const double scale = NumberFitScale(label, lines, ink);
    QVERIFY(scale < 1);
    const InkSpan span = inkSpan(label, lines, ink, scale);
    QVERIFY2(span.top >= -0.001, qPrintable(QString::number(span.top)));
    QVERIFY2(span.bottom <= labelHeight + 0.001, qPrintable(QString::number(span.bottom)));
    // As large as it can be: the ink touches the top or the bottom.
    QVERIFY(std::min(span.top, labelHeight - span.bottom) < 0.01);
}

void TestNumberFit::wideLinesShrinkToTheLabelsWidth()
{
    // A number with a long name in the built-in label: the width decides.
    const QSizeF label(5175, 955);
    const double scale = NumberFitScale(label, 1, digits(8000));
    QCOMPARE(scale, 5175.0 / 8000.0);
    // Both too wide and too many: the stricter limit wins.
    const double both = NumberFitScale(label, 5, digits(8000));
    const InkSpan span = inkSpan(label, 5, digits(8000), both);
    QVERIFY(span.widest <= 5175.001);
    QVERIFY(span.top >= -0.001 && span.bottom <= 955.001);
    QVERIFY(both < scale);
}

void TestNumberFit::hopelessBoxesStillGiveASize()
{
    for (const QSizeF &label : { QSizeF(0, 0), QSizeF(-100, -20), QSizeF(5175, 1) }) {
        const double scale = NumberFitScale(label, 5, digits(3000));
        QVERIFY(scale > 0);
        QVERIFY(scale < 1);
    }
}

QTEST_GUILESS_MAIN(TestNumberFit)
#include "tst_numberfit.moc"
