#include "draw/boardlayout.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <limits>

using namespace tombolix::draw;

namespace {

// A board of awards drawn one after the other, as WinnersText lists it:
// ascending, each award's winners under its heading in the order drawn;
// reversed, the last award first and its newest winner on top.
QList<BoardLine> drawnBoard(const QList<int> &winnersPerAward, bool reversed = false)
{
    QList<QList<BoardLine>> awards;
    qint64 age = 0;
    for (qsizetype a = 0; a < winnersPerAward.size(); ++a) {
        QList<BoardLine> lines;
        for (int w = 0; w < winnersPerAward[a]; ++w) {
            ++age;
            lines.append({ QStringLiteral("     %1(员工%1)").arg(age), 0, age, false });
        }
        if (reversed)
            std::reverse(lines.begin(), lines.end());
        lines.prepend({ QStringLiteral("%1等奖").arg(a + 1), 0, age, true });
        awards.append(lines);
    }
    if (reversed)
        std::reverse(awards.begin(), awards.end());
    QList<BoardLine> board;
    int group = 0;
    for (QList<BoardLine> &lines : awards) {
        for (BoardLine &line : lines) {
            line.group = group;
            board.append(line);
        }
        ++group;
    }
    return board;
}

// Every placed line lies in the area; a shown winner has its heading shown
// above it, and the heading of an award that lists winners is shown only
// with one of them.
void checkSound(const QList<BoardLine> &lines, const BoardFit &fit, const QSizeF &area)
{
    QSet<int> listing;
    for (const BoardLine &line : lines) {
        if (!line.heading)
            listing.insert(line.group);
    }
    QSet<int> headed;
    QSet<int> withWinners;
    qsizetype previous = -1;
    for (const PlacedLine &placed : fit.placed) {
        QVERIFY(placed.line > previous); // in the order of the text
        previous = placed.line;
        QVERIFY2(QRectF(QPointF(0, 0), area).contains(placed.rect),
            qPrintable(QStringLiteral("line %1 outside").arg(placed.line)));
        const BoardLine &line = lines[placed.line];
        if (!line.heading) {
            QVERIFY(headed.contains(line.group));
            withWinners.insert(line.group);
        } else if (listing.contains(line.group)) {
            headed.insert(line.group);
        }
    }
    QCOMPARE(headed, withWinners);
}

QList<qint64> shownAges(const QList<BoardLine> &lines, const BoardFit &fit)
{
    QList<qint64> ages;
    for (const PlacedLine &placed : fit.placed) {
        if (!lines[placed.line].heading)
            ages << lines[placed.line].age;
    }
    std::sort(ages.begin(), ages.end());
    return ages;
}

QList<qint64> range(qint64 first, qint64 last)
{
    QList<qint64> ages;
    for (qint64 age = first; age <= last; ++age)
        ages << age;
    return ages;
}

BoardFitRequest oneColumn(const QSizeF &area, double lineHeight)
{
    BoardFitRequest request;
    request.area = area;
    request.lineHeight = lineHeight;
    return request;
}

BoardFitRequest columnsOf(const QSizeF &area, double lineHeight, double lineWidth, double gap)
{
    BoardFitRequest request = oneColumn(area, lineHeight);
    request.columns = true;
    request.columnGap = gap;
    request.lineWidth = [lineWidth](qsizetype) { return lineWidth; };
    return request;
}

} // namespace

class TestBoardLayout : public QObject
{
    Q_OBJECT

private slots:
    void newestWinnersStayUnderTheirHeadings_data();
    void newestWinnersStayUnderTheirHeadings();
    void everythingShownWhenItFits();
    void columnsTakeWhatTheListNeeds();
    void headingNeverEndsAColumn();
    void columnsGoIntoTheSpareRoomWhenTheAreaIsFull();
    void tooManyForTheColumnsKeepsTheNewest();
    void widestLineSetsTheColumns();
    void bareHeadingGoesByItsAge();
    void nothingFitsALineTallerThanTheArea();
    void emptyBoard();
    void fiveHundredWinnersFitFast();
};

void TestBoardLayout::newestWinnersStayUnderTheirHeadings_data()
{
    QTest::addColumn<bool>("reversed");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<qint64>>("ages");
    QTest::addColumn<int>("headings");
    // 200 winners over four awards of 50; the last award's winners are newest.
    // The last row says how many are left out.
    QTest::newRow("ascending, within one award") << false << 20 << range(183, 200) << 1;
    QTest::newRow("reversed, within one award") << true << 20 << range(183, 200) << 1;
    QTest::newRow("ascending, over two awards") << false << 60 << range(144, 200) << 2;
    QTest::newRow("reversed, over two awards") << true << 60 << range(144, 200) << 2;
    QTest::newRow("a heading alone does not fit") << false << 53 << range(151, 200) << 1;
}

void TestBoardLayout::newestWinnersStayUnderTheirHeadings()
{
    QFETCH(bool, reversed);
    QFETCH(int, rows);
    QFETCH(QList<qint64>, ages);
    QFETCH(int, headings);
    const QList<BoardLine> lines = drawnBoard({ 50, 50, 50, 50 }, reversed);
    const QSizeF area(300, rows * 20 + 7);
    const BoardFit fit = FitBoard(lines, oneColumn(area, 20));
    checkSound(lines, fit, area);
    QCOMPARE(shownAges(lines, fit), ages);
    QCOMPARE(fit.placed.size(), ages.size() + headings);
    QCOMPARE(fit.dropped, 200 - ages.size());
    QCOMPARE(fit.droppedWinners, 200 - ages.size());
    QCOMPARE(fit.columns, 1);
    // One column, top to bottom, as wide as the area, and the note below.
    for (qsizetype i = 0; i < fit.placed.size(); ++i)
        QCOMPARE(fit.placed[i].rect, QRectF(0, double(i) * 20, 300, 20));
    QCOMPARE(fit.note, QRectF(0, double(fit.placed.size()) * 20, 300, 20));
    QCOMPARE(
        DroppedWinnersNote(fit.droppedWinners), QStringLiteral("… 另有%1名获奖者").arg(200 - ages.size()));
}

void TestBoardLayout::everythingShownWhenItFits()
{
    const QList<BoardLine> lines = drawnBoard({ 3, 4 });
    const BoardFit fit = FitBoard(lines, oneColumn(QSizeF(100, 180), 20));
    QCOMPARE(fit.placed.size(), lines.size());
    QCOMPARE(fit.dropped, 0);
    QCOMPARE(fit.droppedWinners, 0);
    QVERIFY(fit.note.isEmpty());
}

void TestBoardLayout::columnsTakeWhatTheListNeeds()
{
    // 24 lines of 7 rows: each award (heading and five) fills most of a column.
    const QList<BoardLine> lines = drawnBoard({ 5, 5, 5, 5 });
    const QSizeF area(1000, 140);
    const BoardFit fit = FitBoard(lines, columnsOf(area, 20, 150, 30));
    checkSound(lines, fit, area);
    QCOMPARE(fit.placed.size(), lines.size());
    QCOMPARE(fit.columns, 4);
    QCOMPARE(fit.columnWidth, 150.0);
    for (const PlacedLine &placed : fit.placed) {
        QCOMPARE(placed.column, int(lines[placed.line].group));
        QCOMPARE(placed.rect.left(), placed.column * 180.0);
    }
    // Few lines take one column.
    const QList<BoardLine> few = drawnBoard({ 2 });
    QCOMPARE(FitBoard(few, columnsOf(area, 20, 150, 30)).columns, 1);
}

void TestBoardLayout::headingNeverEndsAColumn()
{
    // Rows of 5: the second heading would be the fifth line of the first
    // column and moves to the top of the second.
    const QList<BoardLine> lines = drawnBoard({ 3, 6, 2 });
    const QSizeF area(1000, 100);
    const BoardFit fit = FitBoard(lines, columnsOf(area, 20, 100, 10));
    checkSound(lines, fit, area);
    QCOMPARE(fit.placed.size(), lines.size());
    for (qsizetype i = 0; i < fit.placed.size(); ++i) {
        if (lines[fit.placed[i].line].heading) {
            QVERIFY(i + 1 < fit.placed.size());
            QCOMPARE(fit.placed[i + 1].column, fit.placed[i].column);
        }
    }
    QCOMPARE(fit.placed[4].column, 1);
    QCOMPARE(fit.placed[4].row, 0);
    QVERIFY(lines[fit.placed[4].line].heading);
    QCOMPARE(fit.columns, 3); // 4 | heading and 4 | 2, heading, 2
}

void TestBoardLayout::columnsGoIntoTheSpareRoomWhenTheAreaIsFull()
{
    // One column of five rows in the area; room for three columns of ten
    // further left, below something that stands above them.
    const QList<BoardLine> lines = drawnBoard({ 5, 5, 5, 5 });
    BoardFitRequest request = columnsOf(QSizeF(200, 100), 20, 150, 30);
    request.spare = QRectF(-700, 60, 680, 200);
    BoardFit fit = FitBoard(lines, request);
    // 24 lines: the three spare columns and the area's, which then starts
    // at the spare room's top (2 rows) so that all read along one line.
    QCOMPARE(fit.placed.size(), lines.size());
    QCOMPARE(fit.dropped, 0);
    QCOMPARE(fit.columns, 4);
    for (const PlacedLine &placed : fit.placed) {
        if (placed.row == 0)
            QCOMPARE(placed.rect.top(), 60.0);
    }
    // Read from the leftmost column used to the area's.
    QCOMPARE(fit.placed.constFirst().rect, QRectF(-540, 60, 150, 20));
    QCOMPARE(fit.placed.constLast().rect.left(), 0.0);
    for (qsizetype i = 1; i < fit.placed.size(); ++i)
        QVERIFY(fit.placed[i].column >= fit.placed[i - 1].column);
    // Lines that fit the area alone keep its full height.
    const QList<BoardLine> few = drawnBoard({ 4 });
    QCOMPARE(FitBoard(few, request).placed.constFirst().rect, QRectF(0, 0, 150, 20));
    for (const PlacedLine &placed : fit.placed) {
        QVERIFY(QRectF(0, 0, 200, 100).contains(placed.rect) || request.spare.contains(placed.rect));
    }
    // Without the spare room, the oldest go and the note says so.
    request.spare = QRectF();
    fit = FitBoard(lines, request);
    QCOMPARE(fit.placed.size(), 4);
    QCOMPARE(fit.droppedWinners, 17);
}

void TestBoardLayout::tooManyForTheColumnsKeepsTheNewest()
{
    for (bool reversed : { false, true }) {
        const QList<BoardLine> lines = drawnBoard({ 50, 50, 50, 50 }, reversed);
        // Three columns of ten fit: 160 + 20 + 160 + 20 + 160 = 520.
        const QSizeF area(530, 205);
        const BoardFit fit = FitBoard(lines, columnsOf(area, 20, 160, 20));
        checkSound(lines, fit, area);
        QCOMPARE(fit.columns, 3);
        QCOMPARE(shownAges(lines, fit), range(173, 200));
        QCOMPARE(fit.placed.size(), 29);
        QCOMPARE(fit.note, QRectF(360, 180, 160, 20)); // the last row of the last column
        for (const PlacedLine &placed : fit.placed) {
            if (placed.row == 9)
                QVERIFY(!lines[placed.line].heading);
        }
    }
}

void TestBoardLayout::widestLineSetsTheColumns()
{
    QList<BoardLine> lines = drawnBoard({ 30 });
    auto widths = [&lines](qsizetype i) { return lines[i].heading ? 900.0 : 100.0; };
    // A heading wider than the area: one column, as wide as the area.
    BoardFitRequest request = columnsOf(QSizeF(500, 200), 20, 0, 10);
    request.lineWidth = widths;
    BoardFit fit = FitBoard(lines, request);
    QCOMPARE(fit.columns, 1);
    QCOMPARE(fit.columnWidth, 500.0);
    QCOMPARE(shownAges(lines, fit), range(23, 30));
    // Measured lines set the width: four columns of 100 and 10 apart.
    request.lineWidth = [](qsizetype) { return 100.0; };
    fit = FitBoard(lines, request);
    QCOMPARE(fit.columns, 4);
    QCOMPARE(fit.columnWidth, 100.0);
    QCOMPARE(fit.placed.constLast().rect, QRectF(330, 0, 100, 20));
}

void TestBoardLayout::bareHeadingGoesByItsAge()
{
    // An award whose winners are not listed keeps its heading while its
    // newest result is among the newest.
    QList<BoardLine> lines = drawnBoard({ 5, 1, 5 });
    lines.removeAt(7); // the second award's winner (age 6) is not listed
    const BoardFit all = FitBoard(lines, oneColumn(QSizeF(100, 400), 20));
    QCOMPARE(all.placed.size(), lines.size());
    auto firstShown = [&lines](const BoardFit &fit) { return lines[fit.placed.constFirst().line].text; };
    BoardFit fit = FitBoard(lines, oneColumn(QSizeF(100, 160), 20));
    checkSound(lines, fit, QSizeF(100, 160));
    QCOMPARE(shownAges(lines, fit), range(7, 11));
    QCOMPARE(fit.dropped, 5); // the first award's winners, older than the bare heading
    QCOMPARE(fit.droppedWinners, 5);
    QCOMPARE(firstShown(fit), QStringLiteral("2等奖"));
    fit = FitBoard(lines, oneColumn(QSizeF(100, 140), 20));
    QCOMPARE(shownAges(lines, fit), range(7, 11));
    QCOMPARE(fit.dropped, 6);
    QCOMPARE(fit.droppedWinners, 5); // a heading is nobody
    QCOMPARE(firstShown(fit), QStringLiteral("3等奖"));
}

void TestBoardLayout::nothingFitsALineTallerThanTheArea()
{
    const QList<BoardLine> lines = drawnBoard({ 3 });
    for (bool columns : { false, true }) {
        BoardFitRequest request = columnsOf(QSizeF(500, 39), 40, 100, 10);
        request.columns = columns;
        const BoardFit fit = FitBoard(lines, request);
        QVERIFY(fit.placed.isEmpty());
        QCOMPARE(fit.dropped, 3);
    }
    // The newest winner needs its heading, and the winners left out a line
    // that says so: two rows are too few.
    QVERIFY(FitBoard(lines, oneColumn(QSizeF(500, 40), 20)).placed.isEmpty());
    QCOMPARE(FitBoard(lines, oneColumn(QSizeF(500, 60), 20)).placed.size(), 2);
}

void TestBoardLayout::emptyBoard()
{
    const BoardFit fit = FitBoard({}, columnsOf(QSizeF(500, 500), 20, 100, 10));
    QVERIFY(fit.placed.isEmpty());
    QCOMPARE(fit.columns, 0);
    QCOMPARE(fit.dropped, 0);
    QVERIFY(FitBoard(drawnBoard({ 2 }), oneColumn(QSizeF(0, 500), 20)).placed.isEmpty());
}

void TestBoardLayout::fiveHundredWinnersFitFast()
{
    const QList<BoardLine> lines = drawnBoard({ 100, 100, 100, 100, 100 });
    for (bool columns : { false, true }) {
        BoardFitRequest request = columnsOf(QSizeF(820, 520), 34, 260, 30);
        request.columns = columns;
        qint64 best = std::numeric_limits<qint64>::max();
        BoardFit fit;
        for (int run = 0; run < 20; ++run) {
            QElapsedTimer clock;
            clock.start();
            fit = FitBoard(lines, request);
            best = std::min(best, clock.nsecsElapsed());
        }
        QCOMPARE(fit.placed.constLast().line, lines.size() - 1);
        QVERIFY2(best < 1000000, qPrintable(QStringLiteral("%1 ns").arg(best)));
    }
}

QTEST_GUILESS_MAIN(TestBoardLayout)
#include "tst_boardlayout.moc"
