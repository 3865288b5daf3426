#pragma once

#include "data/database.h"
#include "grid/gridmodel.h"

#include <QFont>
#include <QStringList>
#include <QVariant>
#include <functional>

// Turning a grid into a view of one database table: two header rows (a
// hidden field row and the caption row), the table name in the tag, the key
// in column 0, a "序号" serial column, a "√" mark column, sorting by caption
// clicks, fitting of column widths and deletion of row ranges with their
// records. Positions and sizes are twips.
namespace tombolix::grid {

// Lays out the two header rows from the fields and captions (same length).
void SetupGridHeader(GridModel &grid, const QStringList &fields, const QStringList &captions);

// Loads the rows of the grid's table (its tag) meeting the condition, in the
// order of sortField, up to the loading limit (NotAllShownMessage() when more
// exist), then fits the columns measured with the font. Returns the number
// of records found; 0 when the table does not exist.
qint64 FillGrid(GridModel &grid, const QString &condition, const QString &sortField, bool dateOnly,
    const QFont &font = QFont());
// The same with a condition whose values are bound.
qint64 FillGrid(GridModel &grid, const data::Condition &condition, const QString &sortField, bool dateOnly,
    const QFont &font = QFont());

// At most this many data rows fit a grid of `cols` columns (350,000 cells).
int LoadingLimit(int cols);
// What the operator is told when the grid could not show all the records
// found: "数据库里共有…条记录，表格只能显示…条记录…"; "" when it shows them all.
QString NotAllShownMessage(const GridModel &grid, qint64 found);

// Sets every column's width to its widest text from startRow on (with the
// caption), measured with the font; columns left of the serial column get 0.
void FitGridColumns(const QFont &font, GridModel &grid, int startRow, bool showProgress);

// A left press on the caption of a column (one past the last counts for the
// last): a caption sorts by its column, "序号" refits the columns measured
// with the font.
void HandleHeaderClick(const QFont &font, GridModel &grid, int col);
void SortGridByColumn(GridModel &grid, int col);
// Sorting takes a column as numbers when its alignment is one of centre-centre
// to general (4 to 9), as text when left or centre-top (0 to 3).
bool IsNumericAlignment(Align align);
// A caption without the mark of the order its column is sorted in.
QString CaptionWithoutSortMark(QString caption);
void RenumberGrid(GridModel &grid);
// The decimal text of a whole number, as QString::number gives it, for the
// serials and keys written into tens of thousands of cells at a time.
QString IntegerText(qint64 value);
// The serial column: the first "序号" caption among columns 0..FixedCols,
// else FixedCols - 1.
int SerialColumn(const GridModel &grid);

// A press on a cell (a header row included) of the mark column or left of
// it; true when it fell there while the grid has data rows. shift is 1 with
// Shift held.
bool ClickMarkColumn(GridModel &grid, int shift, int row, int col, bool multi);

// Removes a range of data rows (put in order and clipped to the data rows),
// asking first with the DeletionQuestion() when ask is given (the deletion
// goes on when it answers true) and deleting their records by key when
// fromTable is set. Returns false when nothing was removed.
using AskFirst = std::function<bool(const QString &question)>;
bool DeleteGridRows(GridModel &grid, int &firstRow, int &lastRow, const AskFirst &ask, bool fromTable);
// The question DeleteGridRows asks for an ordered range of data rows.
QString DeletionQuestion(const GridModel &grid, int firstRow, int lastRow);

// The shown form of a value read from a table.
QString FormatCellValue(const QVariant &value, bool dateOnly);
QString BoolToMark(const QVariant &value);
QString ToggleMark(const QString &text);
// Swaps so that afterwards a >= b.
void OrderPair(int &a, int &b);
// The selected data rows, first to last: Row and RowSel in order.
void SelectedRows(const GridModel &grid, int &first, int &last);

} // namespace tombolix::grid
