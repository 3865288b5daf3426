#include "common/prompts.h"
#include "data/database.h"
#include "grid/gridops.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QTest>
#include <limits>

using namespace tombolix;
using namespace tombolix::grid;

namespace {

using test::column;

const QStringList EntrantFields { QStringLiteral("ID"), QStringLiteral("CID"), QString(),
    QStringLiteral("号码"), QStringLiteral("姓名") };
const QStringList EntrantCaptions { QStringLiteral("ID"), QStringLiteral("CID"), QStringLiteral("序号"),
    QStringLiteral("抽奖号码"), QStringLiteral("姓名") };

void setupEntrants(GridModel &grid)
{
    SetupGridHeader(grid, EntrantFields, EntrantCaptions);
    grid.setTag(QStringLiteral("号码表"));
    grid.setFixedCols(3);
}

// A grid of n rows with numbers in column 3 given by the list.
void fillByHand(GridModel &grid, const QStringList &numbers)
{
    setupEntrants(grid);
    for (const QString &number : numbers) {
        const int r = grid.addRow();
        grid.setTextMatrix(r, 2, QString::number(r - 1));
        grid.setTextMatrix(r, 3, number);
        grid.setTextMatrix(r, 4, QStringLiteral("名") + number);
    }
}

} // namespace

class TestGridOps : public QObject
{
    Q_OBJECT

private slots:
    void headerLayout();
    void mismatchedHeaderChangesNothing();
    void loadingLimits();
    void fillFormatsByTypeAndLooksUp();
    void fillOfMissingTableKeepsHeaders();
    void fillStopsAtTheLimitWithMessage();
    void fittingHidesKeysAndMeasuresText();
    void fittingAnEmptyGridUsesTheHeaders();
    void sortArrowsAndOrder();
    void serialCaptionRefitsInsteadOfSorting();
    void markColumnClicks();
    void deletionAsksAndKeepsSerialNumbers();
    void deletionRangeIsOrderedAndClipped();
    void deletionFarDownASortedGridRemovesExactlyItsRecords();
    void formattingHelpers();
};

void TestGridOps::headerLayout()
{
    GridModel grid;
    SetupGridHeader(grid, EntrantFields, EntrantCaptions);
    QCOMPARE(grid.Rows(), 2);
    QCOMPARE(grid.FixedRows(), 2);
    QCOMPARE(grid.Cols(), 5);
    QCOMPARE(grid.FixedCols(), 2);
    QCOMPARE(grid.RowHeight(0), 0);
    QVERIFY(grid.RowHeight(1) > 0);
    QCOMPARE(grid.TextMatrix(0, 3), QStringLiteral("号码"));
    QCOMPARE(grid.TextMatrix(1, 3), QStringLiteral("抽奖号码"));
    QCOMPARE(grid.ColAlignment(1), Align::LeftBottom);
    QCOMPARE(grid.ColAlignment(4), Align::LeftTop);
    QCOMPARE(grid.headerData(3, Qt::Horizontal).toString(), QStringLiteral("抽奖号码"));
    QCOMPARE(grid.rowCount(), 0);

    GridModel two;
    SetupGridHeader(two, { QStringLiteral("ID"), QString() }, { QString(), QStringLiteral("序号") });
    QCOMPARE(two.FixedCols(), 1);
}

void TestGridOps::mismatchedHeaderChangesNothing()
{
    GridModel grid;
    fillByHand(grid, { QStringLiteral("1") });
    SetupGridHeader(grid, { QStringLiteral("a") }, { QStringLiteral("a"), QStringLiteral("b") });
    QCOMPARE(grid.Rows(), 3);
    QCOMPARE(grid.Cols(), 5);
}

void TestGridOps::loadingLimits()
{
    QCOMPARE(LoadingLimit(5), 69998);
    QCOMPARE(LoadingLimit(7), 49998);
    QCOMPARE(LoadingLimit(8), 43748);
}

void TestGridOps::fillFormatsByTypeAndLooksUp()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 draw = db.addDraw(QStringLiteral("年会"));
    const qint64 award
        = db.addAward(draw, 1, QStringLiteral("一等奖"), 1, 1, true, false, QStringLiteral("电视"));
    db.addAward(draw, 2, QStringLiteral("二等奖"), 1, 1, false, true);
    const QString insert = QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码, 姓名) VALUES (?, ?, ?, ?)");
    QVERIFY(data::ExecuteSql(insert, { draw, award, QStringLiteral("0012"), QStringLiteral("O'Brien") }));
    QVERIFY(data::ExecuteSql(
        insert, { draw, 999, QStringLiteral("0013"), QVariant() })); // no such award, Null name

    GridModel results;
    SetupGridHeader(results,
        { QStringLiteral("ID"), QStringLiteral("CID"), QString(), QStringLiteral("WID:奖项表:ID:名称"),
            QStringLiteral("WID:奖项表:ID:奖品"), QStringLiteral("号码"), QStringLiteral("姓名") },
        { QStringLiteral("ID"), QStringLiteral("CID"), QStringLiteral("序号"), QStringLiteral("获得奖项"),
            QStringLiteral("奖品"), QStringLiteral("抽奖号码"), QStringLiteral("姓名") });
    results.setTag(QStringLiteral("结果表"));
    results.setFixedCols(3);
    QCOMPARE(FillGrid(results, QStringLiteral("CID=") + QString::number(draw), QStringLiteral("WID"), false),
        qint64(2));
    QCOMPARE(results.Rows(), 4);
    QCOMPARE(column(results, 2), (QStringList { QStringLiteral("1"), QStringLiteral("2") }));
    QCOMPARE(column(results, 3), (QStringList { QStringLiteral("一等奖"), QString() }));
    QCOMPARE(column(results, 4), (QStringList { QStringLiteral("电视"), QString() }));
    QCOMPARE(column(results, 5), (QStringList { QStringLiteral("0012"), QStringLiteral("0013") }));
    QCOMPARE(column(results, 6), (QStringList { QStringLiteral("O'Brien"), QString() })); // Null shows empty
    QCOMPARE(results.TextMatrix(2, 1), QString::number(draw));

    GridModel awards;
    SetupGridHeader(awards,
        { QStringLiteral("ID"), QStringLiteral("顺序"), QStringLiteral("名称"), QStringLiteral("数量"),
            QStringLiteral("同时"), QStringLiteral("显示"), QStringLiteral("重复"), QStringLiteral("奖品") },
        { QString(), QStringLiteral("抽奖顺序"), QStringLiteral("奖项名称"), QStringLiteral("奖项数量"),
            QStringLiteral("每次抽出人数"), QStringLiteral("公告显示"), QStringLiteral("可重复获奖"),
            QStringLiteral("奖品说明") });
    awards.setTag(QStringLiteral("奖项表"));
    FillGrid(awards, QStringLiteral("CID=") + QString::number(draw), QStringLiteral("顺序"), false);
    QCOMPARE(column(awards, 5), (QStringList { QStringLiteral("√"), QString() }));
    QCOMPARE(column(awards, 6), (QStringList { QString(), QStringLiteral("√") }));
    QCOMPARE(column(awards, 1), (QStringList { QStringLiteral("1"), QStringLiteral("2") }));

    // A double shows two decimals.
    QVERIFY(data::ExecuteSql(QStringLiteral("CREATE TABLE 小数 (ID INTEGER PRIMARY KEY, 值 DOUBLE)")));
    QVERIFY(data::ExecuteSql(QStringLiteral("INSERT INTO 小数 (值) VALUES (2.5)")));
    GridModel doubles;
    SetupGridHeader(doubles, { QStringLiteral("ID"), QString(), QStringLiteral("值") },
        { QString(), QStringLiteral("序号"), QStringLiteral("值") });
    doubles.setTag(QStringLiteral("小数"));
    FillGrid(doubles, QString(), QString(), false);
    QCOMPARE(doubles.TextMatrix(2, 2), QStringLiteral("2.50"));
    QVERIFY(prompts.messages().isEmpty());
}

void TestGridOps::fillOfMissingTableKeepsHeaders()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    GridModel grid;
    setupEntrants(grid);
    grid.setTag(QStringLiteral("没有的表"));
    QCOMPARE(FillGrid(grid, QString(), QString(), false), qint64(0));
    QCOMPARE(grid.Rows(), 2);
    QVERIFY(prompts.messages().isEmpty());
}

void TestGridOps::fillStopsAtTheLimitWithMessage()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 draw = db.addDraw(QStringLiteral("大"));
    db.addEntrants(draw, 69998);
    GridModel grid;
    setupEntrants(grid);
    QCOMPARE(FillGrid(grid, QString(), QStringLiteral("ID"), false), qint64(69998));
    QCOMPARE(grid.Rows() - 2, 69998);
    QCOMPARE(NotAllShownMessage(grid, 69998), QString());

    db.addEntrants(draw, 2, 70000);
    QCOMPARE(FillGrid(grid, QString(), QStringLiteral("ID"), false), qint64(70000));
    QCOMPARE(grid.Rows() - 2, 69998);
    QCOMPARE(NotAllShownMessage(grid, 70000),
        QStringLiteral(
            "数据库里共有70000条记录，表格只能显示69998条记录，因此无法全部显示，请修改筛选条件。"));
    QVERIFY(prompts.messages().isEmpty()); // the window that filled the grid says it
    QCOMPARE(grid.TextMatrix(grid.Rows() - 1, 2), QStringLiteral("69998"));
}

void TestGridOps::fittingHidesKeysAndMeasuresText()
{
    GridModel grid;
    fillByHand(grid, { QStringLiteral("1"), QStringLiteral("13800138000") });
    const QFont font = QApplication::font();
    FitGridColumns(font, grid, 1, false);
    QCOMPARE(grid.ColWidth(0), 0);
    QCOMPARE(grid.ColWidth(1), 0);
    const QFontMetricsF metrics(font);
    const double expected = std::max(metrics.horizontalAdvance(QStringLiteral("13800138000")),
                                metrics.horizontalAdvance(QStringLiteral("抽奖号码")))
            * 15
        + 100;
    QVERIFY(qAbs(grid.ColWidth(3) - expected) <= 1);
    grid.setWidth(1000); // a narrow control caps a column at half its width
    FitGridColumns(font, grid, 1, false);
    QCOMPARE(grid.ColWidth(3), 500);
}

void TestGridOps::fittingAnEmptyGridUsesTheHeaders()
{
    GridModel grid;
    SetupGridHeader(grid, { QStringLiteral("ID"), QString(), QStringLiteral("号码"), QString() },
        { QString(), QStringLiteral("序号"), QStringLiteral("抽奖号码"), QString() });
    const QFont font = QApplication::font();
    FitGridColumns(font, grid, 1, true);
    const QFontMetricsF metrics(font);
    QCOMPARE(grid.ColWidth(0), 0);
    QVERIFY(qAbs(grid.ColWidth(1) - (metrics.horizontalAdvance(QStringLiteral("序号")) * 15 + 100)) <= 1);
    QVERIFY(qAbs(grid.ColWidth(2) - (metrics.horizontalAdvance(QStringLiteral("抽奖号码")) * 15 + 100)) <= 1);
    QCOMPARE(grid.ColWidth(3), 50);
}

void TestGridOps::sortArrowsAndOrder()
{
    GridModel grid;
    fillByHand(grid,
        { QStringLiteral("10"), QStringLiteral("9"), QStringLiteral("100"), QStringLiteral("b"),
            QStringLiteral("B") });
    grid.setColAlignment(3, Align::CenterCenter); // a number column
    SortGridByColumn(grid, 3);
    QCOMPARE(column(grid, 3),
        (QStringList { QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("9"), QStringLiteral("10"),
            QStringLiteral("100") }));
    QCOMPARE(grid.TextMatrix(1, 3), QStringLiteral("抽奖号码△"));
    QCOMPARE(column(grid, 2), (QStringList { "1", "2", "3", "4", "5" }));
    SortGridByColumn(grid, 3);
    QCOMPARE(column(grid, 3).first(), QStringLiteral("100"));
    QCOMPARE(grid.TextMatrix(1, 3), QStringLiteral("抽奖号码▽"));
    QCOMPARE(column(grid, 2), (QStringList { "1", "2", "3", "4", "5" }));

    // A text column sorts descending first; the other arrow goes.
    SortGridByColumn(grid, 4);
    QCOMPARE(grid.TextMatrix(1, 3), QStringLiteral("抽奖号码"));
    QCOMPARE(grid.TextMatrix(1, 4), QStringLiteral("姓名△"));
    QCOMPARE(column(grid, 4).first(), QStringLiteral("名b"));
    SortGridByColumn(grid, 4);
    QCOMPARE(grid.TextMatrix(1, 4), QStringLiteral("姓名▽"));
    QCOMPARE(column(grid, 4).first(), QStringLiteral("名10"));
    QCOMPARE(grid.Col(), 4);
    // Names travel with their numbers.
    for (int r = 2; r < grid.Rows(); ++r)
        QCOMPARE(grid.TextMatrix(r, 4), QStringLiteral("名") + grid.TextMatrix(r, 3));
}

void TestGridOps::serialCaptionRefitsInsteadOfSorting()
{
    GridModel grid;
    fillByHand(grid, { QStringLiteral("2"), QStringLiteral("1") });
    grid.setColWidth(3, 7);
    HandleHeaderClick(QApplication::font(), grid, 2); // 序号
    QCOMPARE(column(grid, 3), (QStringList { QStringLiteral("2"), QStringLiteral("1") }));
    QVERIFY(grid.ColWidth(3) > 7);
    HandleHeaderClick(QApplication::font(), grid, 3); // a text column: descending
    QCOMPARE(column(grid, 3), (QStringList { QStringLiteral("2"), QStringLiteral("1") }));
    QVERIFY(grid.TextMatrix(1, 3).endsWith(QStringLiteral("△")));
    HandleHeaderClick(QApplication::font(), grid, 3);
    QCOMPARE(column(grid, 3), (QStringList { QStringLiteral("1"), QStringLiteral("2") }));
    // A press right of the last caption counts for the last column.
    HandleHeaderClick(QApplication::font(), grid, grid.Cols());
    QVERIFY(grid.TextMatrix(1, 4).endsWith(QStringLiteral("△")));
    QCOMPARE(grid.TextMatrix(1, 3), QStringLiteral("抽奖号码"));
}

void TestGridOps::markColumnClicks()
{
    GridModel grid;
    SetupGridHeader(grid, { QStringLiteral("ID"), QString(), QStringLiteral("号码") },
        { QString(), QStringLiteral("序号"), QStringLiteral("号码") });
    grid.setFixedCols(1);
    // Mark column is column 1; the caption row is row 1, the data rows 2 to 5.
    for (int i = 0; i < 4; ++i)
        grid.setTextMatrix(grid.addRow(), 2, QString::number(i));

    QVERIFY(ClickMarkColumn(grid, 0, 3, 1, false));
    QCOMPARE(column(grid, 1), (QStringList { "", "√", "", "" }));
    QVERIFY(ClickMarkColumn(grid, 0, 4, 0, false)); // left of it counts too
    QCOMPARE(column(grid, 1), (QStringList { "", "", "√", "" }));
    QVERIFY(!ClickMarkColumn(grid, 0, 4, 2, false)); // right of it does not
    QVERIFY(!ClickMarkColumn(grid, 0, grid.Rows(), 1, false));
    QVERIFY(!ClickMarkColumn(grid, 0, -1, 1, false));

    QVERIFY(ClickMarkColumn(grid, 0, 2, 1, true));
    QCOMPARE(column(grid, 1), (QStringList { "√", "", "√", "" }));
    QVERIFY(ClickMarkColumn(grid, 0, 1, 1, true)); // caption: first row marked, so all clear
    QCOMPARE(column(grid, 1), (QStringList { "", "", "", "" }));
    QVERIFY(ClickMarkColumn(grid, 0, 1, 1, true));
    QCOMPARE(column(grid, 1), (QStringList { "√", "√", "√", "√" }));

    // Shift: the range from the current row takes the opposite of the current cell.
    ClickMarkColumn(grid, 0, 1, 1, true);
    grid.setRow(2);
    grid.setCol(1);
    QVERIFY(ClickMarkColumn(grid, 1, 4, 1, true));
    QCOMPARE(column(grid, 1), (QStringList { "√", "√", "√", "" }));

    GridModel empty;
    SetupGridHeader(empty, { QStringLiteral("ID"), QString() }, { QString(), QStringLiteral("序号") });
    QVERIFY(!ClickMarkColumn(empty, 0, 1, 0, true));
}

void TestGridOps::deletionAsksAndKeepsSerialNumbers()
{
    GridModel grid;
    fillByHand(grid, { "a", "b", "c", "d", "e", "f" });
    int first = 4, last = 5; // positions 3 and 4
    QStringList asked;
    bool answer = false;
    const AskFirst ask = [&](const QString &question) {
        asked << question;
        return answer;
    };
    QVERIFY(!DeleteGridRows(grid, first, last, ask, false));
    QCOMPARE(asked, QStringList { QStringLiteral("您确定要删除第3至第4行？") });
    QCOMPARE(grid.Rows(), 8);
    answer = true;
    QVERIFY(DeleteGridRows(grid, first, last, ask, false));
    QCOMPARE(column(grid, 3), (QStringList { "a", "b", "e", "f" }));
    QCOMPARE(column(grid, 2), (QStringList { "1", "2", "3", "4" }));
}

void TestGridOps::deletionRangeIsOrderedAndClipped()
{
    GridModel grid;
    fillByHand(grid, { "a", "b", "c" });
    int first = 99, last = 3;
    QVERIFY(DeleteGridRows(grid, first, last, {}, false));
    QCOMPARE(first, 3);
    QCOMPARE(last, 4);
    QCOMPARE(column(grid, 3), QStringList { "a" });
    int a = 0, b = 2;
    QVERIFY(DeleteGridRows(grid, a, b, {}, false)); // clipped up to the first data row
    QCOMPARE(grid.Rows(), 2);
    bool asked = false;
    QVERIFY(!DeleteGridRows(
        grid, a, b, [&](const QString &) { return asked = true; }, false));
    QVERIFY(!asked); // empty grid: nothing asked
}

void TestGridOps::deletionFarDownASortedGridRemovesExactlyItsRecords()
{
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    const qint64 draw = db.addDraw(QStringLiteral("大"));
    db.addEntrants(draw, 40000);
    GridModel grid;
    setupEntrants(grid);
    FillGrid(grid, QStringLiteral("CID=") + QString::number(draw), QStringLiteral("号码"), false);
    grid.setColAlignment(3, Align::RightBottom);
    SortGridByColumn(grid, 3); // numeric ascending: 1, 2, 3 ... by value, not by text
    SortGridByColumn(grid, 3); // descending: 40000 first
    QCOMPARE(grid.TextMatrix(2, 3), QStringLiteral("40000"));
    // Rows far beyond 32,767: positions 35,001 to 35,010 hold numbers 5,000 down to 4,991.
    int first = 2 + 35000, last = first + 9;
    QStringList doomed;
    for (int r = first; r <= last; ++r)
        doomed << grid.TextMatrix(r, 3);
    QCOMPARE(doomed.first(), QStringLiteral("5000"));
    QVERIFY(DeleteGridRows(grid, first, last, {}, true));
    QCOMPARE(grid.Rows() - 2, 39990);
    QCOMPARE(data::CountRows(QStringLiteral("号码表"), QString(), QStringLiteral("ID")), qint64(39990));
    for (const QString &number : doomed)
        QCOMPARE(data::CountRows(QStringLiteral("号码表"), QStringLiteral("号码=") + data::sqlText(number),
                     QStringLiteral("ID")),
            qint64(0));
    QCOMPARE(grid.TextMatrix(first, 3), QStringLiteral("4990"));
    QCOMPARE(grid.TextMatrix(first, 2), QString::number(35001));
}

void TestGridOps::formattingHelpers()
{
    QCOMPARE(FormatCellValue(2.5, false), QStringLiteral("2.5"));
    QCOMPARE(FormatCellValue(2.125, false), QStringLiteral("2.12")); // half to even
    QCOMPARE(FormatCellValue(2.375, false), QStringLiteral("2.38"));
    QCOMPARE(FormatCellValue(QDateTime(QDate(1900, 1, 1), QTime(0, 0)), false), QString());
    QCOMPARE(FormatCellValue(QDateTime(QDate(2026, 12, 7), QTime(20, 5)), false),
        QStringLiteral("2026.12.07 20:05"));
    QCOMPARE(
        FormatCellValue(QDateTime(QDate(2026, 12, 7), QTime(20, 5)), true), QStringLiteral("2026.12.07"));
    QCOMPARE(FormatCellValue(true, false), QStringLiteral("√"));
    QCOMPARE(BoolToMark(QVariant(5)), QStringLiteral("√"));
    QCOMPARE(BoolToMark(QVariant(0)), QString());
    QCOMPARE(BoolToMark(QVariant()), QString());
    QCOMPARE(ToggleMark(QString()), QStringLiteral("√"));
    QCOMPARE(ToggleMark(QStringLiteral("x")), QString());
    for (const qint64 value : { qint64(0), qint64(7), qint64(-1), qint64(1000000),
             std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min() })
        QCOMPARE(IntegerText(value), QString::number(value));
    int a = 3, b = 9;
    OrderPair(a, b);
    QCOMPARE(a, 9);
    QCOMPARE(b, 3);
}

QTEST_MAIN(TestGridOps)
#include "tst_gridops.moc"
