#include "grid/gridexport.h"
#include "grid/gridops.h"

#include <QTest>

using namespace tombolix;
using namespace tombolix::grid;

namespace {

// A results grid as the console shows it: the hidden field row, the caption
// row, the hidden key columns, and one hidden data row.
void setupResults(GridModel &grid)
{
    SetupGridHeader(grid, { "ID", "CID", "", "号码", "姓名" }, { "ID", "CID", "序号", "抽奖号码", "姓名" });
    grid.setFixedCols(3);
    const QList<QStringList> rows = { { "11", "1", "1", "0012", "张三" },
        { "12", "1", "2", "hidden", "隐藏" }, { "13", "1", "3", "7", "" } };
    for (const QStringList &values : rows) {
        const int row = grid.addRow();
        for (int c = 0; c < values.size(); ++c)
            grid.setTextMatrix(row, c, values.at(c));
    }
    grid.setRowHeight(3, 0);
    grid.setColWidth(0, 0);
    grid.setColWidth(1, 0);
    grid.setColWidth(2, 600);
    grid.setColWidth(3, 1500);
    grid.setColWidth(4, 1000);
}

QStringList rowsOf(const transfer::ExportTable &table)
{
    QStringList rows;
    for (int r = 0; r < table.rowCount; ++r) {
        QStringList cells;
        for (int c = 0; c < table.columnCount; ++c)
            cells << table.text(r, c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

class TestGridExport : public QObject
{
    Q_OBJECT

private slots:
    void tableHoldsWhatTheGridShows();
    void numericColumns_data();
    void numericColumns();
    void hiddenCaptionRowGivesNoWidths();
};

void TestGridExport::tableHoldsWhatTheGridShows()
{
    GridModel grid;
    setupResults(grid);
    const transfer::ExportTable table = ExportTableOf(grid);
    QCOMPARE(rowsOf(table), QStringList({ "序号|抽奖号码|姓名", "1|0012|张三", "3|7|" }));
    QCOMPARE(table.headerRows, 1);
    QCOMPARE(table.hiddenRows, 2);
    QCOMPARE(table.widths, std::vector<int>({ 600, 1500, 1000 }));
    QCOMPARE(table.numeric, std::vector<bool>({ true, false, false }));

    GridModel empty;
    const transfer::ExportTable none = ExportTableOf(empty);
    QCOMPARE(none.rowCount, 0);
    QCOMPARE(none.columnCount, 0);
}

void TestGridExport::numericColumns_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("numeric");
    for (int align = 0; align <= 9; ++align)
        QTest::addRow("alignment %d", align) << align << (align >= 4);
}

// Numeric as sorting judges it; the serial column is numeric whatever its
// alignment, but only where the grid finds it.
void TestGridExport::numericColumns()
{
    QFETCH(int, alignment);
    QFETCH(bool, numeric);
    GridModel grid;
    setupResults(grid);
    grid.setTextMatrix(1, 4, QStringLiteral("序号")); // a caption, not the serial column
    grid.setColAlignment(3, Align(alignment));
    grid.setColAlignment(4, Align(alignment));
    grid.setColAlignment(2, Align(alignment));
    QCOMPARE(IsNumericColumn(grid, 3), numeric);
    QCOMPARE(IsNumericColumn(grid, 4), numeric);
    QVERIFY(IsNumericColumn(grid, 2));
    QCOMPARE(IsNumericAlignment(Align(alignment)), numeric);

    // Without a "序号" caption the last fixed column stands in as serial
    // column, but holds no numbers of its own.
    grid.setTextMatrix(1, 2, QStringLiteral("编号"));
    QCOMPARE(IsNumericColumn(grid, 2), numeric);
}

void TestGridExport::hiddenCaptionRowGivesNoWidths()
{
    GridModel grid;
    setupResults(grid);
    grid.setRowHeight(1, 0);
    const transfer::ExportTable table = ExportTableOf(grid);
    QCOMPARE(table.headerRows, 0);
    QCOMPARE(table.hiddenRows, 3);
    QVERIFY(table.widths.empty());
    QCOMPARE(rowsOf(table), QStringList({ "1|0012|张三", "3|7|" }));
}

QTEST_MAIN(TestGridExport)
#include "tst_gridexport.moc"
