#include "appearance/stagenumber.h"
#include "common/conventions.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "data/database.h"
#include "draw/stagepace.h"
#include "drawscreen/frmset.h"
#include "drawscreen/mf.h"
#include "support/testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPaintEvent>
#include <QRegularExpression>
#include <QTest>

using namespace tombolix;

namespace {

constexpr double Twips = TwipsPerPixel;

QAction *menuItem(MF &screen, const char *name)
{
    return test::menuAction(screen.contextMenu(), name);
}

// One round by two clicks on the background.
void holdRound(MF &screen)
{
    QWidget *picture = screen.findChild<QWidget *>(QStringLiteral("bIMG"));
    QTest::mouseClick(picture, Qt::LeftButton);
    QTest::qWait(40);
    QTest::mouseClick(picture, Qt::LeftButton);
}

// The draw screen shown at a size, as the operator's screen would have it.
void showAt(MF &screen, const QSize &size)
{
    screen.showNormal();
    screen.resize(size);
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    QTest::qWait(50);
}

QRectF framePixels(const MF &screen)
{
    const QRectF frame = screen.frameLayout().rect();
    return QRectF(frame.left() / Twips, frame.top() / Twips, frame.width() / Twips, frame.height() / Twips);
}

// The ink of each printed line, in pixels of the canvas.
QList<QRectF> printedInk(const MF &screen)
{
    const QFontMetricsF metrics(screen.printedNumberFont());
    QList<QRectF> ink;
    for (const appearance::PrintedLine &line : screen.printedNumberLines()) {
        ink << metrics.tightBoundingRect(line.text).translated(
            line.left / Twips, line.top / Twips + metrics.ascent());
    }
    return ink;
}

// Every printed line's ink inside the frame (half a pixel of antialiasing aside).
bool inkInsideFrame(const MF &screen)
{
    const QRectF frame = framePixels(screen).adjusted(-0.5, -0.5, 0.5, 0.5);
    const QList<QRectF> ink = printedInk(screen);
    for (const QRectF &line : ink) {
        if (!frame.contains(line)) {
            qWarning() << "ink" << line << "outside the frame" << frame;
            return false;
        }
    }
    return !ink.isEmpty();
}

QString storedOption()
{
    return ReadRegValue(AppName, QStringLiteral("NumberName"), QStringLiteral("Show"), QString());
}

// Records what the canvas repaints.
class PaintSpy : public QObject
{
public:
    QRegion painted;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

const QString Surnames
    = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董");
const QString Given = QStringLiteral("伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超秀兰霞平刚桂英华玉兰建国志红");

// A party of `count` with Chinese names of two and three characters.
void addParty(test::TestDatabase &db, qint64 draw, int count)
{
    data::Transaction transaction;
    for (int i = 1; i <= count; ++i) {
        QString name = Surnames.at(i % Surnames.size());
        name += Given.at((i * 7) % Given.size());
        if (i % 3 != 0)
            name += Given.at((i * 13 + 5) % Given.size());
        db.addEntrant(draw, QString::number(i), name);
    }
    QVERIFY(transaction.commit());
}

} // namespace

class TestStageNumber : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void builtInLayoutFollowsTheScreen();
    void storedLayoutAndFontsAreShownAsStored();
    void layoutDialogShowsTheFrameOnScreen();
    void oneLineFillsTheFrameAt1080p();
    void fiveLinesStayInTheFixedFrame();
    void builtInFrameGrowsToTheRound();
    void autoFitGrowsTheFrameNoFurtherThanTheScreen();
    void longNamesShrink();
    void namesOptionThroughTheMenu();
    void tickRepaintsOnlyTheNumber();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
    qint64 m_draw = 0;
};

void TestStageNumber::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
    m_draw = m_db->addDraw(
        QStringLiteral("年会"), QStringLiteral("10"), QString(), QStringLiteral("0"), QStringLiteral("4"));
    addParty(*m_db, m_draw, 300);
}

void TestStageNumber::cleanup()
{
    delete m_prompts;
    delete m_db;
}

void TestStageNumber::builtInLayoutFollowsTheScreen()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 100, 1);
    MF screen(m_draw);
    struct Expected
    {
        QSize size;
        QRectF frame;
        int title, list, number;
    };
    // The frame centred over the stage's left part, below a band for the
    // banner, clear of the picture's corners (cut off on a 4:3 screen).
    const Expected sizes[] = {
        { QSize(1024, 768), QRectF(676, 2765, 8018, 2304), 42, 26, 104 },
        { QSize(1920, 1080), QRectF(4550, 3888, 11923, 3240), 59, 37, 146 },
        { QSize(3840, 2160), QRectF(9101, 7776, 23846, 6480), 118, 73, 293 },
        { QSize(1024, 768), QRectF(676, 2765, 8018, 2304), 42, 26, 104 }, // and back
    };
    for (const Expected &expected : sizes) {
        showAt(screen, expected.size);
        QCOMPARE(screen.frameLayout().rect(), expected.frame);
        QCOMPARE(screen.elementFont(MF::Element::Title).font.pixelSize(), expected.title);
        QCOMPARE(screen.elementFont(MF::Element::List).font.pixelSize(), expected.list);
        QCOMPARE(screen.elementFont(MF::Element::Number).font.pixelSize(), expected.number);
        // The labels wear them, and the number is printed in it while it fits.
        QCOMPARE(screen.findChild<QLabel *>(QStringLiteral("LL_0"))->font().pixelSize(), expected.title);
        QCOMPARE(screen.findChild<QLabel *>(QStringLiteral("LL_1"))->font().pixelSize(), expected.list);
        holdRound(screen);
        QCOMPARE(screen.printedNumberFont().pixelSize(), expected.number);
        QVERIFY(inkInsideFrame(screen));
    }
    // Nothing of it is stored.
    QVERIFY(data::LookupValue(QStringLiteral("奖次表"), m_draw, QStringLiteral("ID"), QStringLiteral("FRM"))
                .toString()
                .isEmpty());
    QVERIFY(data::LookupValue(QStringLiteral("奖次表"), m_draw, QStringLiteral("ID"), QStringLiteral("L2"))
                .toString()
                .isEmpty());
}

void TestStageNumber::storedLayoutAndFontsAreShownAsStored()
{
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET FRM=?, L2=? WHERE ID=?"),
        { QStringLiteral("1000】【2000】【6000】【1200】【】【255】【1"),
            QStringLiteral("DejaVu Sans】【√】【】【40】【】【】【255"), m_draw }));
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 5, 1);
    MF screen(m_draw);
    showAt(screen, QSize(1920, 1080));
    QTRY_COMPARE(screen.elementFont(MF::Element::Number).font.pointSizeF(), 40.0);
    QCOMPARE(screen.frameLayout().rect(), QRectF(1000, 2000, 6000, 1200));
    // The board's fonts, stored nowhere, still follow the screen.
    QCOMPARE(screen.elementFont(MF::Element::Title).font.pixelSize(), 59);
    showAt(screen, QSize(3840, 2160));
    QCOMPARE(screen.frameLayout().rect(), QRectF(1000, 2000, 6000, 1200));
    QCOMPARE(screen.elementFont(MF::Element::Number).font.pointSizeF(), 40.0);
    QCOMPARE(screen.elementFont(MF::Element::Title).font.pixelSize(), 118);

    // A number font chosen on screen is the operator's from then on.
    showAt(screen, QSize(1920, 1080));
    FontChoice chosen;
    chosen.font = QFont(QStringLiteral("DejaVu Sans"));
    chosen.font.setPointSize(50);
    m_prompts->queueFont(chosen);
    QVERIFY(screen.chooseFont(MF::Element::Title));
    showAt(screen, QSize(1024, 768));
    QCOMPARE(screen.elementFont(MF::Element::Title).font.pointSizeF(), 50.0);
    QCOMPARE(screen.elementFont(MF::Element::List).font.pixelSize(), 26);
}

void TestStageNumber::layoutDialogShowsTheFrameOnScreen()
{
    MF screen(m_draw);
    showAt(screen, QSize(1920, 1080));
    menuItem(screen, "M_FrmSet")->trigger();
    auto *dialog = screen.findChild<FRMSet *>();
    QVERIFY(dialog);
    QStringList shown;
    for (int i = 0; i < 4; ++i)
        shown << dialog->findChild<QLineEdit *>(QStringLiteral("TT_%1").arg(i))->text();
    QCOMPARE(shown,
        (QStringList { QStringLiteral("4550"), QStringLiteral("3888"), QStringLiteral("11923"),
            QStringLiteral("3240") }));
    // An edit makes the frame the operator's: a resize leaves it where it was put.
    dialog->findChild<QLineEdit *>(QStringLiteral("TT_0"))->setText(QStringLiteral("3000"));
    showAt(screen, QSize(1024, 768));
    QCOMPARE(screen.frameLayout().rect(), QRectF(3000, 3888, 11923, 3240));
    QTest::mouseClick(dialog->findChild<QWidget *>(QStringLiteral("Com_0")), Qt::LeftButton);
    QCOMPARE(data::LookupValue(QStringLiteral("奖次表"), m_draw, QStringLiteral("ID"), QStringLiteral("FRM"))
                 .toString(),
        QStringLiteral("3000】【3888】【11923】【3240】【0】【%1】【1")
            .arg(appearance::FrameLayout().BackColor));
}

void TestStageNumber::oneLineFillsTheFrameAt1080p()
{
    m_db->addAward(m_draw, 1, QStringLiteral("特等奖"), 1, 1);
    MF screen(m_draw);
    showAt(screen, QSize(1920, 1080));
    holdRound(screen);
    QCOMPARE(screen.numberCaption().size(), 4); // 定长 4
    const QRectF frame = framePixels(screen);
    QCOMPARE(frame.height(), 216.0); // a fifth of the screen
    const QFontMetricsF metrics(screen.printedNumberFont());
    const double digits = metrics.tightBoundingRect(QStringLiteral("0123456789")).height();
    QVERIFY2(digits >= frame.height() * 0.45 && digits >= 100,
        qPrintable(QStringLiteral("digits %1 px in a frame of %2 px").arg(digits).arg(frame.height())));
    QVERIFY(inkInsideFrame(screen));
    QCOMPARE(screen.printedNumberLines().size(), size_t(1));
}

void TestStageNumber::fiveLinesStayInTheFixedFrame()
{
    draw::SetStagePaceForTesting(draw::StagePace { 0, 0, 0, false, 150 });
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 10, 5);
    // A stored frame without auto-fit keeps its size. Five lines would print
    // at 18 pixels in its 91: they print no smaller than 34 (at 1080), in
    // pages that turn by themselves once the round has stopped.
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET FRM=? WHERE ID=?"),
        { QStringLiteral("1575】【2700】【9703】【1371】【0】【255】【1"), m_draw }));
    MF screen(m_draw);
    showAt(screen, QSize(1920, 1080));
    const QRectF frame = framePixels(screen);
    screen.ToggleRoll();
    QTRY_VERIFY(screen.numberPages() > 1);
    QVERIFY(inkInsideFrame(screen)); // while rolling
    screen.ToggleRoll();
    const QStringList round = screen.numberCaption().split(QStringLiteral("\r\n"));
    QCOMPARE(round.size(), 5);
    QCOMPARE(framePixels(screen), frame); // the frame stays as it is
    QCOMPARE(screen.printedNumberFont().pixelSize(), 34);
    // The stored number font is not touched by the smaller print.
    QCOMPARE(screen.elementFont(MF::Element::Number).font.pixelSize(), 146);
    QStringList seen;
    for (int page = 0; page < screen.numberPages(); ++page) {
        QTRY_COMPARE(screen.numberPage(), page);
        QVERIFY(inkInsideFrame(screen));
        for (const appearance::PrintedLine &line : screen.printedNumberLines())
            seen << line.text;
    }
    QCOMPARE(seen, round); // every winner on one page, in the round's order
    QTRY_COMPARE(screen.numberPage(), 0); // and round again
    draw::SetStagePaceForTesting(draw::StagePace { 0, 0, 0, false });
}

void TestStageNumber::builtInFrameGrowsToTheRound()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 10, 5);
    m_db->addAward(m_draw, 2, QStringLiteral("二等奖"), 10, 10);
    MF screen(m_draw);
    showAt(screen, QSize(1920, 1080));
    const QRectF oneLine = framePixels(screen);
    screen.ToggleRoll();
    QTRY_COMPARE(screen.printedNumberLines().size(), size_t(5));
    screen.ToggleRoll();
    // Five lines: the frame grows downwards only, to the screen's foot, clear
    // of the picture's rule, and the lines shrink no more than they must.
    const QRectF five = framePixels(screen);
    QCOMPARE(five.topLeft(), oneLine.topLeft());
    QCOMPARE(five.width(), oneLine.width());
    QCOMPARE(five.bottom(), 1080.0 - 54);
    QVERIFY(inkInsideFrame(screen));
    QVERIFY(screen.printedNumberFont().pixelSize() > 100);

    // Ten lines reach no further; they shrink more.
    screen.ToggleRoll();
    QTRY_COMPARE(screen.printedNumberLines().size(), size_t(5));
    screen.ToggleRoll(); // the first award is complete
    screen.ToggleRoll();
    QTRY_COMPARE(screen.printedNumberLines().size(), size_t(10));
    screen.ToggleRoll();
    QCOMPARE(framePixels(screen), five);
    QVERIFY(inkInsideFrame(screen));
    QVERIFY(screen.printedNumberFont().pixelSize() < 70);

    // A stored frame is the operator's: it keeps its height.
    screen.frameChanged();
    const double kept = screen.frameLayout().Height;
    screen.ToggleRoll();
    screen.RollTick();
    QCOMPARE(double(screen.frameLayout().Height), kept);
    screen.ToggleRoll();
}

void TestStageNumber::autoFitGrowsTheFrameNoFurtherThanTheScreen()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 100, 5);
    // Room for the five lines below the frame: it grows to them, nothing shrinks.
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET FRM=? WHERE ID=?"),
        { QStringLiteral("1575】【1500】【9703】【1371】【1】【255】【1"), m_draw }));
    {
        MF screen(m_draw);
        showAt(screen, QSize(1920, 1080));
        screen.ToggleRoll();
        screen.RollTick();
        QVERIFY(screen.frameLayout().Height > 1371 * 3);
        QVERIFY(inkInsideFrame(screen));
        QCOMPARE(screen.printedNumberFont().pixelSize(), 146);
        screen.ToggleRoll();
    }
    // Near the bottom: it grows to the bottom and no further; the lines shrink.
    const int top = 1080 * 15 - 3000;
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET FRM=? WHERE ID=?"),
        { QStringLiteral("1575】【%1】【9703】【1371】【1】【255】【1").arg(top), m_draw }));
    MF screen(m_draw);
    showAt(screen, QSize(1920, 1080));
    screen.ToggleRoll();
    for (int tick = 0; tick < 3; ++tick) {
        screen.RollTick();
        const appearance::FrameLayout &frame = screen.frameLayout();
        QVERIFY(frame.Height > 1371);
        QVERIFY2(frame.Top + frame.Height <= 1080 * 15 + 0.01,
            qPrintable(QString::number(frame.Top + frame.Height)));
        QVERIFY(inkInsideFrame(screen));
        QVERIFY(screen.printedNumberFont().pixelSize() < 90);
    }
    screen.ToggleRoll();
    QVERIFY(inkInsideFrame(screen));
    test::saveShot(&screen, QStringLiteral("MF-stage-autofit-bottom"));
}

void TestStageNumber::longNamesShrink()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("长名"), QStringLiteral("10"));
    m_db->addEntrant(draw, QStringLiteral("1"), QStringLiteral("阿卜杜热合曼·买买提明·艾尔肯江·吐尔洪"));
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 10, 1, true, true); // the one entrant wins each time
    WriteViewOption(QStringLiteral("NumberName"), QStringLiteral("Show"), true);
    for (const QString &autoFit : { QStringLiteral("0"), QStringLiteral("1") }) {
        QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET FRM=? WHERE ID=?"),
            { QStringLiteral("1575】【2700】【9703】【1371】【%1】【255】【1").arg(autoFit), draw }));
        MF screen(draw);
        showAt(screen, QSize(1920, 1080));
        screen.ToggleRoll();
        screen.RollTick();
        QVERIFY2(
            screen.numberCaption().endsWith(QStringLiteral("吐尔洪")), qPrintable(screen.numberCaption()));
        QVERIFY2(inkInsideFrame(screen), qPrintable(autoFit));
        QVERIFY(screen.printedNumberFont().pixelSize() < 90);
        // The width decided: the line reaches across most of the frame.
        QVERIFY(printedInk(screen).constFirst().width() > framePixels(screen).width() * 0.8);
        screen.ToggleRoll();
    }
}

void TestStageNumber::namesOptionThroughTheMenu()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 10, 5, true, false, QStringLiteral("手机"));
    {
        MF screen(m_draw);
        showAt(screen, QSize(1920, 1080));
        QAction *names = menuItem(screen, "m_Names");
        QVERIFY(names);
        QVERIFY(names->isCheckable());
        QVERIFY(!names->isChecked()); // off until chosen
        holdRound(screen);
        QVERIFY(!screen.numberCaption().contains(QLatin1Char(' ')));
        names->trigger();
        QCOMPARE(storedOption(), QStringLiteral("true"));

        // While rolling, every line in the frame is a number and a name.
        screen.ToggleRoll();
        QTRY_VERIFY(screen.numberCaption().contains(QStringLiteral("  ")));
        const QStringList rolling = screen.numberCaption().split(QStringLiteral("\r\n"));
        QCOMPARE(rolling.size(), 5);
        for (const QString &line : rolling)
            QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}  \\S{2,3}$")).match(line).hasMatch(),
                qPrintable(line));
        QCOMPARE(screen.printedNumberLines().size(), size_t(5));
        QCOMPARE(screen.printedNumberLines().front().text, rolling.constFirst());
        QVERIFY(inkInsideFrame(screen));
        // And at the stop; the board lists them as ever.
        screen.ToggleRoll();
        const QStringList stopped = screen.numberCaption().split(QStringLiteral("\r\n"));
        QCOMPARE(stopped.size(), 5);
        const QString board = screen.findChild<QLabel *>(QStringLiteral("LL_1"))->text();
        for (const QString &line : stopped) {
            const QStringList parts = line.split(QStringLiteral("  "));
            QCOMPARE(parts.size(), 2);
            QVERIFY(board.contains(QStringLiteral("     %1(%2)").arg(parts.at(0), parts.at(1))));
        }
        QVERIFY(
            !board.contains(QStringLiteral("  ") + stopped.constFirst().split(QStringLiteral("  ")).at(1)));
        QVERIFY(inkInsideFrame(screen));
    }
    // A new screen reads the option; unchecked, it is stored as off.
    MF again(m_draw);
    QAction *names = menuItem(again, "m_Names");
    QVERIFY(names->isChecked());
    names->trigger();
    QCOMPARE(storedOption(), QStringLiteral("false"));
    again.show();
    holdRound(again);
    QVERIFY(!again.numberCaption().contains(QLatin1Char(' ')));
}

void TestStageNumber::tickRepaintsOnlyTheNumber()
{
    m_db->addAward(m_draw, 1, QStringLiteral("一等奖"), 8, 5);
    QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET FRM=? WHERE ID=?"),
        { QStringLiteral("1575】【2700】【9703】【1371】【1】【255】【1"), m_draw }));
    MF screen(m_draw);
    showAt(screen, QSize(1920, 1080));
    PaintSpy spy;
    screen.canvas()->installEventFilter(&spy);

    auto tickAndPaint = [&] {
        spy.painted = QRegion();
        screen.RollTick();
        QTest::qWait(30);
        return spy.painted.boundingRect();
    };
    // Five lines: the auto-fitting frame grows to them; the repaint is the
    // frame and its lines, not the width of the screen.
    const QRect five = tickAndPaint();
    const QRect fiveFrame = framePixels(screen).toAlignedRect();
    QVERIFY(fiveFrame.height() > 1371 / 15 * 3);
    QVERIFY(five.contains(fiveFrame));
    for (const QRectF &ink : printedInk(screen))
        QVERIFY(five.contains(ink.toAlignedRect()));
    QVERIFY2(five.width() <= fiveFrame.width() + 12, qPrintable(QString::number(five.width())));
    QVERIFY2(five.height() <= fiveFrame.height() + 12,
        qPrintable(QStringLiteral("%1 %2 %3 %4")
                       .arg(five.top())
                       .arg(five.height())
                       .arg(fiveFrame.top())
                       .arg(fiveFrame.height())));

    // After a stop the award has three to go: the frame shrinks, and the
    // tick repaints where the five lines were as well.
    screen.ToggleRoll();
    screen.ToggleRoll();
    QTest::qWait(30);
    QCOMPARE(screen.session().awardState().Remaining, 3);
    const QRect three = tickAndPaint();
    QCOMPARE(screen.printedNumberLines().size(), size_t(3));
    QVERIFY(framePixels(screen).height() < fiveFrame.height());
    QVERIFY(three.contains(fiveFrame));
    QVERIFY(three.width() <= fiveFrame.width() + 12);
}

QTEST_MAIN(TestStageNumber)
#include "tst_stagenumber.moc"
