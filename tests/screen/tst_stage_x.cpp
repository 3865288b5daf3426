// The stage as the audience sees it on a real X server: the screen taken
// from the server after a stop, its ink looked for where the number, the
// banner and the board should be. Run by on-x.sh on one screen size each.
#include "common/conventions.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "data/attributestore.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/entrantwriter.h"
#include "data/rangestore.h"
#include "draw/board.h"
#include "draw/stagepace.h"
#include "drawscreen/boardlist.h"
#include "drawscreen/largeglyphs.h"
#include "drawscreen/mf.h"
#include "drawscreen/slidetext.h"
#include "support/testsupport.h"
#include "support/xscreen.h"

#include <QApplication>
#include <QFontDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QMap>
#include <QPainter>
#include <QScreen>
#include <QTest>

using namespace tombolix;

namespace {

constexpr double Twips = TwipsPerPixel;

QRect pixelsOf(const QRectF &twips)
{
    return QRectF(twips.left() / Twips, twips.top() / Twips, twips.width() / Twips, twips.height() / Twips)
        .toAlignedRect();
}

QString sizeName()
{
    const QSize size = QGuiApplication::primaryScreen()->size();
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

QColor colourOf(const appearance::FontSpec &spec)
{
    return colorFromStored(spec.colour);
}

// The screen after every paint has reached the server.
QImage settledScreen(QWidget *window)
{
    for (int i = 0; i < 3; ++i) {
        window->update();
        QTest::qWait(60);
    }
    return test::grabXScreen();
}

// Pixels of the screen the X server shows that differ from the window
// painted afresh: what an earlier paint left behind. Large glyphs filled
// from their outlines may be edged a shade differently from one paint to
// the next; a shown pixel within the colours around it afresh is no stale one.
int stalePixels(MF &screen)
{
    const QImage shown = settledScreen(&screen).convertToFormat(QImage::Format_RGB32);
    const QImage fresh = screen.grab().toImage().convertToFormat(QImage::Format_RGB32);
    int stale = 0;
    const int width = std::min(shown.width(), fresh.width());
    const int height = std::min(shown.height(), fresh.height());
    constexpr int Tolerance = 20;
    auto amongNeighbours = [&fresh, width, height](int x, int y, QRgb pixel) {
        int low[3] = { 255, 255, 255 };
        int high[3] = { 0, 0, 0 };
        for (int v = std::max(0, y - 1); v <= std::min(height - 1, y + 1); ++v) {
            const auto *line = reinterpret_cast<const QRgb *>(fresh.constScanLine(v));
            for (int u = std::max(0, x - 1); u <= std::min(width - 1, x + 1); ++u) {
                const int channels[3] = { qRed(line[u]), qGreen(line[u]), qBlue(line[u]) };
                for (int c = 0; c < 3; ++c) {
                    low[c] = std::min(low[c], channels[c]);
                    high[c] = std::max(high[c], channels[c]);
                }
            }
        }
        const int channels[3] = { qRed(pixel), qGreen(pixel), qBlue(pixel) };
        for (int c = 0; c < 3; ++c) {
            if (channels[c] < low[c] - Tolerance || channels[c] > high[c] + Tolerance)
                return false;
        }
        return true;
    };
    for (int y = 0; y < height; ++y) {
        const auto *a = reinterpret_cast<const QRgb *>(shown.constScanLine(y));
        const auto *b = reinterpret_cast<const QRgb *>(fresh.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (std::abs(qRed(a[x]) - qRed(b[x])) + std::abs(qGreen(a[x]) - qGreen(b[x]))
                        + std::abs(qBlue(a[x]) - qBlue(b[x]))
                    > 60
                && !amongNeighbours(x, y, a[x]))
                ++stale;
        }
    }
    return stale;
}

// The winners the board accounts for: the lines painted and the one note.
qint64 winnersOnTheBoard(MF &screen)
{
    const auto *list = screen.findChild<BoardList *>(QStringLiteral("LL_1"));
    const QRect screenRect(QPoint(0, 0), screen.size());
    qint64 winners = list->fit().droppedWinners;
    for (const draw::PlacedLine &placed : list->fit().placed) {
        const QRect line = list->lineRect(placed).toAlignedRect().translated(list->pos());
        if (!list->lineText(placed).startsWith(QLatin1Char(' ')) || !screenRect.contains(line))
            continue; // a heading, or a line the screen does not show
        ++winners;
    }
    return winners;
}

// Staff numbered from 1001, named 员工N号, stored in one transaction; with
// a category, each has it as 类别.
void addStaff(test::TestDatabase &db, qint64 draw, int count, const QString &category = QString())
{
    data::Transaction transaction;
    QVERIFY(category.isEmpty() || data::AttributeStore().placesOf(draw, { QStringLiteral("类别") }));
    for (int i = 1; i <= count; ++i) {
        const qint64 id = db.addEntrant(draw, QString::number(1000 + i), QStringLiteral("员工%1号").arg(i));
        QVERIFY(category.isEmpty() || data::AttributeStore().save(id, { category }));
    }
    QVERIFY(transaction.commit());
}

// The stage full screen on the X server, its controls kept awake; false
// when the window manager never gave it the whole screen.
bool showStage(MF &screen)
{
    screen.setControlsIdleInterval(60 * 1000);
    screen.showFullScreen();
    if (!QTest::qWaitForWindowExposed(&screen))
        return false;
    const QSize size = QGuiApplication::primaryScreen()->size();
    return QTest::qWaitFor([&] { return screen.size() == size; }, 15000);
}

} // namespace

class TestStageOnX : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void stageAfterAStop_data();
    void stageAfterAStop();
    void fontDialogShowsItsSample();
    void theBoardPaintsOnlyWhatItHolds_data();
    void theBoardPaintsOnlyWhatItHolds();
    void theStopLandsOnItsWinners();
    void theCodeAndTheNextAwardStandClear();
    void boldChineseStaysBoldOnLargeScreens();
    void theBoardNamesTheChosenAttribute();

private:
    test::TestDatabase *m_db = nullptr;
    ScopedScriptedPrompts *m_prompts = nullptr;
};

void TestStageOnX::init()
{
    m_db = new test::TestDatabase;
    m_prompts = new ScopedScriptedPrompts;
}

void TestStageOnX::cleanup()
{
    delete m_prompts;
    delete m_db;
}

void TestStageOnX::stageAfterAStop_data()
{
    QTest::addColumn<QString>("numberFont"); // L2, empty for the built-in one
    QTest::addColumn<int>("perRound");
    QTest::addColumn<bool>("names");
    QTest::addColumn<int>("earlierWinners"); // already on the board
    QTest::addColumn<bool>("columns"); // 公告分栏

    const QString stored72 = QStringLiteral("WenQuanYi Micro Hei】【√】【】【72】【】【】【16776960");
    QTest::newRow("built-in") << QString() << 1 << false << 0 << false;
    QTest::newRow("stored 72 pt") << stored72 << 1 << false << 0 << false;
    QTest::newRow("five lines with names, a full board") << QString() << 5 << true << 60 << false;
    QTest::newRow("a board of 120 in columns") << QString() << 1 << false << 120 << true;
    QTest::newRow("a round of 20 with names") << QString() << 20 << true << 0 << false;
}

void TestStageOnX::stageAfterAStop()
{
    QFETCH(QString, numberFont);
    QFETCH(int, perRound);
    QFETCH(bool, names);
    QFETCH(int, earlierWinners);
    QFETCH(bool, columns);

    const qint64 draw = m_db->addDraw(
        QStringLiteral("年会"), QStringLiteral("20"), QString(), QStringLiteral("0"), QStringLiteral("5"));
    addStaff(*m_db, draw, 300);
    m_db->addAward(
        draw, 1, QStringLiteral("特等奖"), earlierWinners, 5, true, false, QStringLiteral("旅游基金"));
    m_db->addAward(draw, 2, QStringLiteral("三等奖"), 20, perRound, true, false, QStringLiteral("小米手环9"));
    // The earlier award drawn at an earlier sitting, five at a time.
    test::holdRounds(draw, (earlierWinners + 4) / 5);
    if (!numberFont.isEmpty())
        QVERIFY(data::ExecuteSql(QStringLiteral("UPDATE 奖次表 SET L2=? WHERE ID=?"), { numberFont, draw }));
    WriteViewOption(QStringLiteral("NumberName"), QStringLiteral("Show"), names);
    WriteViewOption(QStringLiteral("ResultColumns"), QStringLiteral("Columns"), columns);

    MF screen(draw, earlierWinners > 0 ? draw::Entry::Continue : draw::Entry::Afresh);
    QVERIFY(showStage(screen));
    const QRect screenRect(QPoint(0, 0), QGuiApplication::primaryScreen()->size());
    QTRY_COMPARE_WITH_TIMEOUT(screen.geometry(), screenRect, 15000);
    QWidget *canvas = screen.canvas();
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(10, screenRect.height() / 2));
    QTest::qWait(120);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(10, screenRect.height() / 2));
    QVERIFY(!screen.isRolling());
    // A round more than the frame holds at a readable size shows in pages.
    if (screen.numberPages() == 1)
        QCOMPARE(screen.printedNumberLines().size(), size_t(perRound));
    else
        QVERIFY(screen.printedNumberLines().size() * size_t(screen.numberPages()) >= size_t(perRound));

    const QImage shot = settledScreen(&screen);
    QVERIFY2(!shot.isNull(), "xwd could not take the screen");
    test::saveXShot(
        shot, QStringLiteral("x-%1-MF-%2").arg(sizeName(), QString::fromLatin1(QTest::currentDataTag())));

    // The number: every line's glyphs are inked in its colour, and none of
    // it runs over the frame or off the screen.
    const QRect frame = pixelsOf(screen.frameLayout().rect());
    QVERIFY(screenRect.contains(frame));
    const QColor number = colourOf(screen.elementFont(MF::Element::Number));
    const QFontMetricsF metrics(screen.printedNumberFont());
    for (const appearance::PrintedLine &line : screen.printedNumberLines()) {
        const QRect glyphs = metrics.tightBoundingRect(line.text)
                                 .translated(line.left / Twips, line.top / Twips + metrics.ascent())
                                 .toAlignedRect();
        const double share
            = double(test::inkPixels(shot, glyphs, number)) / (glyphs.width() * glyphs.height());
        QVERIFY2(share > 0.15,
            qPrintable(QStringLiteral("%1: ink over %2 of its glyphs' box").arg(line.text).arg(share)));
    }
    // Around the frame, short of the board's lines that go on under it (its
    // headings may share the number's colour).
    QRect around = frame.adjusted(-40, -40, 40, 40);
    const auto *board = screen.findChild<BoardList *>(QStringLiteral("LL_1"));
    for (const draw::PlacedLine &placed : board->fit().placed) {
        const QRect line = board->lineRect(placed).toAlignedRect().translated(board->pos());
        if (line.top() > frame.bottom() && line.intersects(around))
            around.setBottom(line.top() - 1);
    }
    const QRect ink = test::inkBounds(shot, around, number);
    QVERIFY2(frame.contains(ink), "the number runs over the frame's edge");

    // The banner, above the frame, names the award.
    auto *banner = screen.findChild<QLabel *>(QStringLiteral("awardBanner"));
    QVERIFY(banner->isVisible());
    QVERIFY(banner->geometry().bottom() < frame.top());
    const QColor bannerInk = colourOf(screen.bannerFont());
    QVERIFY2(test::inkPixels(shot, banner->geometry(), bannerInk) > banner->height() * 4,
        qPrintable(banner->text()));

    // The board: its title and its last line.
    auto *title = screen.findChild<QLabel *>(QStringLiteral("LL_0"));
    QVERIFY2(test::inkPixels(shot, title->geometry(), colourOf(screen.elementFont(MF::Element::Title)))
            > title->height() * 2,
        "the board's title");
    auto *list = screen.findChild<BoardList *>(QStringLiteral("LL_1"));
    QVERIFY(!list->fit().placed.isEmpty());
    const QRect last = list->lineRect(list->fit().placed.constLast()).toAlignedRect().translated(list->pos());
    QVERIFY2(screenRect.contains(last), "the board's last line is off the screen");
    QVERIFY2(test::inkPixels(shot, last, colourOf(screen.elementFont(MF::Element::List))) > last.height(),
        qPrintable(list->lineText(list->fit().placed.constLast())));
    screen.close();
}

void TestStageOnX::fontDialogShowsItsSample()
{
    // Qt's own dialog, as the font items open it, with the size a hall's
    // number is chosen at.
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(72);
    QFontDialog dialog(font);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit *sample = nullptr;
    for (auto *group : dialog.findChildren<QGroupBox *>()) {
        if (auto *edit = group->findChild<QLineEdit *>())
            sample = edit;
    }
    QVERIFY(sample);
    const QImage shot = settledScreen(&dialog);
    test::saveXShot(shot, QStringLiteral("x-%1-font-dialog").arg(sizeName()));
    const QRect area(sample->mapToGlobal(QPoint(0, 0)), sample->size());
    const QColor text = sample->palette().color(QPalette::Text);
    QVERIFY2(test::inkPixels(shot, area, text, 60) > 200, "the sample is blank");
}

int main(int argc, char *argv[])
{
    KeepLargeTextPainted(); // as the program starts
    QApplication app(argc, argv);
    TestStageOnX test;
    return QTest::qExec(&test, argc, argv);
}

void TestStageOnX::theBoardPaintsOnlyWhatItHolds_data()
{
    QTest::addColumn<bool>("columns"); // 公告分栏
    QTest::addColumn<bool>("lowRectangle"); // a stored board rectangle low on the screen
    QTest::newRow("columns") << true << false;
    QTest::newRow("stored rectangle low on the screen") << false << true;
    QTest::newRow("built-in, one column") << false << false;
}

namespace {

// The board reads as a hall reads: lines no smaller than the floor (28
// pixels at 1080), columns side by side along one top line in the order of
// the draw, headings whole and set apart from the names.
QString unreadable(MF &screen, const QImage &shot)
{
    const auto *list = screen.findChild<BoardList *>(QStringLiteral("LL_1"));
    const QList<draw::PlacedLine> &placed = list->fit().placed;
    const double floor = 28.0 * screen.height() / 1080;
    if (QFontInfo(list->paintedFont()).pixelSize() < floor - 1)
        return QStringLiteral("lines of %1 pixels").arg(QFontInfo(list->paintedFont()).pixelSize());
    QMap<int, double> tops;
    QMap<int, double> lefts;
    for (qsizetype i = 0; i < placed.size(); ++i) {
        const draw::PlacedLine &line = placed[i];
        if (i > 0 && line.column < placed[i - 1].column)
            return QStringLiteral("%1 comes before the column of the line above").arg(list->lineText(line));
        tops.insert(line.column, std::min(tops.value(line.column, 1e9), line.rect.top()));
        lefts.insert(line.column, line.rect.left());
        if (!list->lineText(line).startsWith(QLatin1Char(' '))) {
            const QFont font = list->headingFont(line);
            if (!font.bold())
                return QStringLiteral("heading %1 not bold").arg(list->lineText(line));
            if (QFontMetricsF(font).horizontalAdvance(list->lineText(line)) > line.rect.width() + 1)
                return QStringLiteral("heading %1 cut").arg(list->lineText(line));
            const QRect rect = list->lineRect(line).toAlignedRect().translated(list->pos());
            const QColor title
                = screen.findChild<QLabel *>(QStringLiteral("LL_0"))->palette().color(QPalette::WindowText);
            if (test::inkPixels(shot, rect, title) < rect.height())
                return QStringLiteral("heading %1 not in the title's colour").arg(list->lineText(line));
        }
    }
    if (std::adjacent_find(lefts.begin(), lefts.end(), [](double a, double b) { return b <= a; })
        != lefts.end())
        return QStringLiteral("columns out of order");
    if (tops.size() > 1 && std::adjacent_find(tops.begin(), tops.end(), [](double a, double b) {
            return std::abs(a - b) > 1;
        }) != tops.end())
        return QStringLiteral("columns start at different heights");
    return QString();
}

} // namespace

// After every stop, withdrawal and change of layout the screen shows the
// board as it stands, nothing of an earlier paint; and every stored winner
// is either on a visible line or counted by the one note.
void TestStageOnX::theBoardPaintsOnlyWhatItHolds()
{
    QFETCH(bool, columns);
    QFETCH(bool, lowRectangle);
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("20"));
    addStaff(*m_db, draw, 1000);
    m_db->addAward(draw, 1, QStringLiteral("三等奖"), 200, 50, true, false, QStringLiteral("小米手环9"));
    m_db->addAward(
        draw, 2, QStringLiteral("二等奖"), 20, 10, true, false, QStringLiteral("华为 Mate 70 Pro"));
    m_db->addAward(draw, 3, QStringLiteral("一等奖"), 1, 1, true, false, QStringLiteral("旅游基金"));
    WriteViewOption(QStringLiteral("ResultColumns"), QStringLiteral("Columns"), columns);
    const QSize size = QGuiApplication::primaryScreen()->size();
    if (lowRectangle) {
        const auto twips = [](int pixels) { return QString::number(pixels * TwipsPerPixel); };
        WriteRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Left"), twips(size.width() / 20));
        WriteRegValue(
            AppName, QStringLiteral("ResultBrd"), QStringLiteral("Top"), twips(size.height() * 3 / 4));
        WriteRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Width"), twips(size.width() / 3));
        WriteRegValue(
            AppName, QStringLiteral("ResultBrd"), QStringLiteral("Height"), twips(size.height() / 20));
    }

    MF screen(draw);
    QVERIFY(showStage(screen));
    const auto stored = [draw] {
        return data::CountRows(
            QStringLiteral("结果表"), QStringLiteral("CID=%1").arg(draw), QStringLiteral("ID"));
    };
    const auto check = [&](const QString &moment) {
        const int stale = stalePixels(screen);
        if (stale > 0)
            test::saveXShot(
                test::grabXScreen(), QStringLiteral("x-%1-board-stale-%2").arg(sizeName(), moment));
        QVERIFY2(stale == 0,
            qPrintable(QStringLiteral("%1: %2 pixels left from an earlier paint").arg(moment).arg(stale)));
        QCOMPARE(winnersOnTheBoard(screen), stored());
        const QString fault = unreadable(screen, test::grabXScreen());
        QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(moment, fault)));
    };
    const auto holdRound = [&] {
        const qint64 before = stored();
        QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, QPoint(10, size.height() / 2));
        QTest::qWait(80);
        QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, QPoint(10, size.height() / 2));
        QTRY_VERIFY(!screen.isRolling() && stored() > before);
    };
    for (int round = 0; round < 4; ++round) {
        holdRound();
        check(QStringLiteral("third-prize-round-%1").arg(round + 1));
    }

    // Two winners withdrawn, and their places drawn again.
    std::vector<draw::DrawSession::WithdrawnResult> withdrawn;
    for (data::Recordset rs = data::OpenRecordset(
             QStringLiteral("SELECT ID, 号码, 姓名 FROM 结果表 WHERE CID=? ORDER BY ID LIMIT 2"), { draw });
         !rs.eof(); rs.moveNext())
        withdrawn.push_back({ rs.field(0).toLongLong(), rs.field(1).toString(), rs.field(2).toString() });
    QCOMPARE(screen.withdrawResults(withdrawn), 2);
    check(QStringLiteral("withdrawn"));
    holdRound();
    check(QStringLiteral("redrawn"));
    for (int round = 0; round < 2; ++round) {
        holdRound();
        check(QStringLiteral("second-prize-round-%1").arg(round + 1));
    }
    holdRound();
    check(QStringLiteral("first-prize"));
    if (!lowRectangle) // the room under the one-line frame is used, not left empty
        QVERIFY(screen.findChild<BoardList *>(QStringLiteral("LL_1"))->fit().columns > 1);
    test::saveXShot(test::grabXScreen(),
        QStringLiteral("x-%1-board-%2").arg(sizeName(), QString::fromLatin1(QTest::currentDataTag())));
}

// The landing as the hall sees it: frames slowing down, the last the
// stored winners, their frame's edge glowing.
void TestStageOnX::theStopLandsOnItsWinners()
{
    draw::SetStagePaceForTesting(draw::StagePace {});
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("20"));
    addStaff(*m_db, draw, 300);
    m_db->addAward(draw, 1, QStringLiteral("二等奖"), 10, 5, true, false, QStringLiteral("华为 Mate 70 Pro"));
    WriteViewOption(QStringLiteral("NumberName"), QStringLiteral("Show"), true);
    MF screen(draw);
    QVERIFY(showStage(screen));
    const QSize size = QGuiApplication::primaryScreen()->size();
    const QPoint picture(10, size.height() / 2);
    QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, picture);
    QTest::qWait(300);
    QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, picture);
    QVERIFY(screen.isLanding());
    QTest::qWait(350);
    test::saveXShot(test::grabXScreen(), QStringLiteral("x-%1-landing").arg(sizeName()));
    QTRY_VERIFY_WITH_TIMEOUT(!screen.isLanding(), 1500);
    QTest::qWait(300); // the first glow at its brightest
    const QImage landed = test::grabXScreen();
    test::saveXShot(landed, QStringLiteral("x-%1-landed").arg(sizeName()));
    QStringList stored;
    for (data::Recordset rs = data::OpenRecordset(
             QStringLiteral("SELECT 号码 || '  ' || 姓名 FROM 结果表 WHERE CID=? ORDER BY ID"), { draw });
         !rs.eof(); rs.moveNext())
        stored << rs.field(0).toString();
    QStringList printed;
    for (const appearance::PrintedLine &line : screen.printedNumberLines())
        printed << line.text;
    QCOMPARE(printed, stored);
    // The glow: gold just outside the frame's edge.
    const QRect frame = pixelsOf(screen.frameLayout().rect());
    const QRect edge(frame.left(), frame.top() - std::max(4, size.height() / 120), frame.width(), 3);
    QVERIFY2(test::inkPixels(landed, edge, QColor(255, 215, 64), 60) > frame.width() / 2, "no glow");
}

// Before the first round of a commitment made mid-draw (a latecomer joined)
// the 公证码 stands clear of the board's columns and the banner, large;
// between awards the next award's card does too.
void TestStageOnX::theCodeAndTheNextAwardStandClear()
{
    draw::SetStagePaceForTesting(draw::StagePace { 0, 0, 0, true });
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("20"));
    addStaff(*m_db, draw, 300, QStringLiteral("员工"));
    m_db->addAward(draw, 1, QStringLiteral("特等奖"), 120, 5, true, false, QStringLiteral("旅游基金"));
    m_db->addAward(draw, 2, QStringLiteral("三等奖"), 10, 5, true, false, QStringLiteral("小米手环9"));
    const qint64 first = m_db->addAward(
        draw, 3, QStringLiteral("一等奖"), 1, 1, true, false, QStringLiteral("华为 Mate 70 Pro"));
    // 一等奖 is for staff only: the card and the banner say so.
    QVERIFY(data::RangeStore().saveAward(draw, first,
        { { { QStringLiteral("类别"), draw::ConditionKind::OneOf, { QStringLiteral("员工") } } }, {} }));
    test::holdRounds(draw, 24);
    m_db->addEntrant(draw, QStringLiteral("2001"), QStringLiteral("迟到者"));
    WriteViewOption(QStringLiteral("ResultColumns"), QStringLiteral("Columns"), true);
    MF screen(draw, draw::Entry::Continue);
    QVERIFY(showStage(screen));
    const QSize size = QGuiApplication::primaryScreen()->size();
    QTest::qWait(200);
    auto *slide = screen.findChild<QFrame *>(QStringLiteral("stageSlide"));
    const auto standsClear = [&](const QString &what) {
        QVERIFY2(slide->isVisible(), qPrintable(what));
        const QRect place = slide->geometry();
        QVERIFY(QRect(QPoint(0, 0), size).contains(place));
        const auto *list = screen.findChild<BoardList *>(QStringLiteral("LL_1"));
        for (const draw::PlacedLine &line : list->fit().placed) {
            const QRect painted = list->lineRect(line).toAlignedRect().translated(list->pos());
            QVERIFY2(!painted.intersects(place),
                qPrintable(what + QStringLiteral(" covers ") + list->lineText(line)));
        }
        for (const char *name : { "awardBanner", "LL_0" }) {
            const auto *label = screen.findChild<QLabel *>(QString::fromLatin1(name));
            QVERIFY2(!label->isVisible() || !label->geometry().intersects(place), name);
        }
        test::saveXShot(settledScreen(&screen), QStringLiteral("x-%1-%2").arg(sizeName(), what));
    };
    QCOMPARE(screen.session().commitment()->number, 2);
    standsClear(QStringLiteral("code-slide"));
    const auto *code = screen.findChild<SlideText *>(QStringLiteral("notaryCode"));
    QVERIFY2(QFontInfo(code->firstLineFont()).pixelSize() >= size.height() / 30,
        qPrintable(QString::number(QFontInfo(code->firstLineFont()).pixelSize())));

    // The rest of 三等奖, then the card of 一等奖.
    const QPoint picture(10, size.height() / 2);
    for (int round = 0; round < 2; ++round) {
        QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, picture);
        QTest::qWait(300);
        QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, picture);
        QVERIFY(!screen.isRolling());
        QVERIFY(!slide->isVisible());
        QTest::qWait(300);
    }
    QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, picture);
    QVERIFY(!screen.isRolling());
    // The card names whom it is for on a line of its own, and every line fits.
    const auto *card = screen.findChild<QLabel *>(QStringLiteral("awardCard"));
    QVERIFY(card->text().contains(QStringLiteral("\n仅限员工\n")));
    QVERIFY(QFontMetrics(card->font()).lineSpacing() * (card->text().count(QLatin1Char('\n')) + 1)
        <= card->height());
    standsClear(QStringLiteral("next-award-card"));

    // 一等奖 drawn: its banner names whom it was for, above the number and
    // clear of the board, inked.
    QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, picture);
    QTest::qWait(300);
    QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, picture);
    QVERIFY(!screen.isRolling());
    auto *banner = screen.findChild<QLabel *>(QStringLiteral("awardBanner"));
    QCOMPARE(banner->text(), QStringLiteral("一等奖（仅限员工） · 华为 Mate 70 Pro · 已抽完"));
    const QImage shot = settledScreen(&screen);
    test::saveXShot(shot, QStringLiteral("x-%1-banner-for-whom").arg(sizeName()));
    QVERIFY(banner->isVisible() && QRect(QPoint(0, 0), size).contains(banner->geometry()));
    QVERIFY(banner->geometry().bottom() < pixelsOf(screen.frameLayout().rect()).top());
    QVERIFY(!banner->geometry().intersects(screen.findChild<QLabel *>(QStringLiteral("LL_0"))->geometry()));
    QVERIFY2(test::inkPixels(shot, banner->geometry(), colourOf(screen.bannerFont())) > banner->height() * 4,
        qPrintable(banner->text()));
}

// The board's title and the banner are bold at every screen size: their
// ink outweighs the same text printed in the regular weight by far (a bold
// made up from a regular face is lost where large glyphs are filled from
// their outlines).
void TestStageOnX::boldChineseStaysBoldOnLargeScreens()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("20"));
    m_db->addEntrant(draw, QStringLiteral("1001"), QStringLiteral("张三"));
    m_db->addAward(draw, 1, QStringLiteral("一等奖"), 1, 1, true, false, QStringLiteral("旅游基金"));
    MF screen(draw);
    QVERIFY(showStage(screen));
    const QImage shot = settledScreen(&screen);
    for (const char *name : { "LL_0", "awardBanner" }) {
        const auto *label = screen.findChild<QLabel *>(QString::fromLatin1(name));
        QVERIFY(label && label->isVisible() && label->font().bold());
        const QColor ink = label->palette().color(label->foregroundRole());
        const int bold = test::inkPixels(shot, label->geometry(), ink);
        QImage regular(label->size(), QImage::Format_RGB32);
        regular.fill(Qt::black);
        {
            QPainter painter(&regular);
            QFont font = label->font();
            font.setBold(false);
            painter.setFont(font);
            painter.setPen(ink);
            painter.drawText(regular.rect(), int(label->alignment()), label->text());
        }
        const int plain = test::inkPixels(regular, regular.rect(), ink);
        QVERIFY2(plain > 0 && bold > plain * 1.2,
            qPrintable(QStringLiteral("%1 \"%2\" in %3: %4 pixels of ink, %5 in the regular weight")
                           .arg(QString::fromLatin1(name), label->text(), QFontInfo(label->font()).family())
                           .arg(bold)
                           .arg(plain)));
    }
    screen.close();
}

// With 部门 chosen for the board, every winner's line names the winner's own
// department after the name, and the longer lines are not cut at the
// board's edge.
void TestStageOnX::theBoardNamesTheChosenAttribute()
{
    const qint64 draw = m_db->addDraw(QStringLiteral("年会"), QStringLiteral("20"));
    const QStringList departments { "销售部", "研发中心", "财务部", "" };
    std::vector<data::EntrantRow> rows(200);
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].number = QString::number(1001 + i);
        rows[i].name = QStringLiteral("员工%1号").arg(i + 1);
        rows[i].attributes = QStringList { QStringLiteral("A%1").arg(i), departments.at(int(i % 4)) };
    }
    QVERIFY(data::SaveEntrantRows(rows, draw, { "工号", "部门" }));
    QVERIFY(data::DrawStore().setExtraSetting(draw, draw::BoardAttributeKey, QStringLiteral("部门")));
    m_db->addAward(draw, 1, QStringLiteral("三等奖"), 8, 8, true, false, QStringLiteral("小米手环9"));
    MF screen(draw);
    QVERIFY(showStage(screen));
    const QSize size = QGuiApplication::primaryScreen()->size();
    QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, QPoint(10, size.height() / 2));
    QTest::qWait(80);
    QTest::mouseClick(screen.canvas(), Qt::LeftButton, {}, QPoint(10, size.height() / 2));
    QTRY_VERIFY_WITH_TIMEOUT(!screen.isRolling() && !screen.isLanding(), 5000);
    const auto *list = screen.findChild<BoardList *>(QStringLiteral("LL_1"));
    QTRY_COMPARE(winnersOnTheBoard(screen), qint64(8));
    const QImage shot = settledScreen(&screen);
    int named = 0;
    for (const draw::PlacedLine &placed : list->fit().placed) {
        const QString line = list->lineText(placed);
        if (!line.startsWith(QLatin1Char(' ')))
            continue;
        const int i = line.trimmed().section(QLatin1Char(' '), 0, 0).toInt() - 1001;
        QVERIFY2(i >= 0 && i < 200, qPrintable(line));
        const QString department = departments.at(i % 4);
        const QString expected = QStringLiteral("%1 员工%2号").arg(1001 + i).arg(i + 1)
            + (department.isEmpty() ? QString() : QStringLiteral("（%1）").arg(department));
        QCOMPARE(line.trimmed(), expected);
        const double wide = QFontMetricsF(list->winnerFont(placed)).horizontalAdvance(line);
        QVERIFY2(wide <= list->lineRect(placed).width() + 1, qPrintable(line + QStringLiteral(" is cut")));
        named += department.isEmpty() ? 0 : 1;
    }
    QVERIFY(named > 0);
    test::saveXShot(shot, QStringLiteral("x-%1-board-attribute").arg(sizeName()));
    // The lines are painted: the board's ink reaches past the widest number.
    const QRect board = list->geometry();
    const QColor ink = list->palette().color(QPalette::WindowText);
    QVERIFY(
        test::inkPixels(shot,
            QRect(board.left() + board.width() / 2, board.top(), board.width() / 2, board.height()), ink, 60)
        > 0);
}

#include "tst_stage_x.moc"
