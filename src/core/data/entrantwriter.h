#pragma once

#include <QString>
#include <QtGlobal>

namespace tombolix::grid {
class GridModel;
}

// The single writer of 号码表 rows. The entrants grid carries each row's save
// state in its key cell (column 0): empty or 0 is a new row, -n is entrant n
// changed, a positive number is stored and unchanged. Column 1 receives the
// draw ID, columns 3 and 4 hold the number and the name.
namespace tombolix::data {

// Shown when a range could not be stored; nothing of it reached the database.
QString EntrantSaveFailedMessage();

// Stores grid rows firstRow..lastRow (grid numbering, clipped to the data
// rows) for the draw drawId in one transaction: new rows are inserted and get
// their ID and the draw ID in cells 0 and 1, changed rows are updated and their
// key turns positive, stored rows are left alone. New rows whose number and
// name are both blank are skipped. Texts are stored exactly as they stand.
//
// All or nothing: when any statement fails (or an updated entrant no longer
// exists) the range is rolled back, no cell changes, the operator is told
// (unless tellFailure is false) and the result is false. With drawId <= 0
// nothing happens, silently, and the result is false. An empty range gives
// true.
//
// Opens its own transaction, so it must not run inside another one.
bool SaveEntrantRows(
    grid::GridModel &grid, int firstRow, int lastRow, qint64 drawId, bool tellFailure = true);

// One change of the in-grid editor: puts text into the cell (a number or
// name column of a data row), marks a stored row as changed and stores the
// row. A stored row edited down to nothing is still updated. False when the
// row was not stored or the cell is not editable; a row that could not be
// stored keeps the key it had (the cell keeps the text), and the operator is
// told of a refusal by the database only when tellFailure is set.
bool EditEntrantCell(
    grid::GridModel &grid, int row, int col, const QString &text, qint64 drawId, bool tellFailure = true);

} // namespace tombolix::data
