#pragma once

#include "data/entrantrow.h"
#include "data/entrantwriter.h"
#include "grid/gridmodel.h"

#include <QFont>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

// The console's entrants grid as the entrant writer sees it. Column 0 holds
// each row's key and with it its save state: empty or 0 is a new row, -n is
// entrant n changed, a positive number is stored and unchanged. Column 1
// receives the draw ID, columns 3 and 4 hold the number and the name, and
// the columns after them the draw's attributes, each captioned with its name.
namespace tombolix::grid {

inline constexpr int FirstAttributeColumn = 5;

// The names of the grid's attribute columns, in order.
QStringList AttributeNamesOf(const GridModel &grid);
// The grid's columns for the draw's attribute names, after the name and in
// their order, captioned with the names; none when the names could not be
// read (false). Set before the grid is filled, so its loading limit counts
// them.
bool SetAttributeColumns(GridModel &grid, qint64 drawId);
// The attribute columns filled with the values of the entrants the grid
// shows, found by their keys; false when the values could not be read.
bool FillAttributeValues(GridModel &grid, qint64 drawId);

// The entrant of a data row, its state read from the sign of its key.
data::EntrantRow EntrantRowAt(const GridModel &grid, int row);

// Stores rows firstRow..lastRow (grid numbering, clipped to the data rows)
// for the draw drawId through the entrant writer, all or nothing: stored rows
// get their ID and (new ones) the draw ID in cells 0 and 1, changed rows'
// keys turn positive. After a failure no cell changes. The result is the
// writer's.
data::EntrantSave SaveEntrantGridRows(GridModel &grid, int firstRow, int lastRow, qint64 drawId);

// One change of the in-grid editor: puts text into the cell (a number,
// name or attribute column of a data row), marks a stored row as changed and stores the
// row. A stored row edited down to nothing is still updated. NoDraw when the
// cell is not editable; a row that could not be stored keeps the key it had
// (the cell keeps the text).
data::EntrantSave EditEntrantCell(GridModel &grid, int row, int col, const QString &text, qint64 drawId);

// Appends the rows at the bottom of the grid, each with its key cell written
// by its state, renumbers the serial column and fits the columns measured
// with the font. Returns the index of the first new row.
int AppendEntrantRows(GridModel &grid, const std::vector<data::EntrantRow> &rows, const QFont &font);

struct ImportResult
{
    static constexpr int NotStored = -1;
    int error = 0; // 0, the reader's error number, or NotStored when storing failed
    int appended = 0; // rows the reader put into the grid
    int stored = 0; // rows stored in 号码表
};

// Reads rows first..last (1-based file rows) of the file, or of the sheet of
// a workbook, into new rows of the entrants grid (spec 0 the number, spec 1
// the name) and stores them for the draw in one transaction. After a failed
// read the grid is left as it was and nothing reaches the database; when the
// rows cannot be stored they leave the grid again; rows without number and
// name are dropped from the grid rather than stored.
ImportResult ImportEntrants(GridModel &entrants, const QString &path, const QString &sheet, int first,
    int last, const QStringList &specs, qint64 drawId, const QFont &font = QFont());
// The same with attributes: specs after the name's compose the values of
// attributeNames (one spec each), which go into the grid's columns of those
// names (added after the others when the grid has none) and are stored with
// the rows.
ImportResult ImportEntrants(GridModel &entrants, const QString &path, const QString &sheet, int first,
    int last, const QStringList &specs, const QStringList &attributeNames, qint64 drawId,
    const QFont &font = QFont());

} // namespace tombolix::grid
