#include "grid/entrantgrid.h"

#include "common/conventions.h"
#include "data/entrantwriter.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tombolix::grid {

namespace {

using data::EntrantRow;

enum Column
{
    KeyColumn = 0,
    DrawColumn = 1,
    SerialColumn = 2,
    NumberColumn = 3,
    NameColumn = 4
};

// Above this many rows the grid's cells are written back with its signals
// held: one reset is far cheaper for a view than tens of thousands of
// single-cell updates.
constexpr int BulkWriteRows = 1000;

} // namespace

EntrantRow EntrantRowAt(const GridModel &grid, int row)
{
    EntrantRow entrant;
    const qint64 key = integerValue(grid.TextMatrix(row, KeyColumn));
    entrant.key = std::llabs(key);
    entrant.state = key > 0 ? EntrantRow::State::Saved
        : key < 0           ? EntrantRow::State::Changed
                            : EntrantRow::State::New;
    entrant.number = grid.TextMatrix(row, NumberColumn);
    entrant.name = grid.TextMatrix(row, NameColumn);
    return entrant;
}

bool SaveEntrantGridRows(GridModel &grid, int firstRow, int lastRow, qint64 drawId, bool tellFailure)
{
    firstRow = std::max(firstRow, grid.FixedRows());
    lastRow = std::min(lastRow, grid.Rows() - 1);
    std::vector<EntrantRow> rows;
    std::vector<EntrantRow::State> was;
    for (int r = firstRow; r <= lastRow; ++r) {
        rows.push_back(EntrantRowAt(grid, r));
        was.push_back(rows.back().state);
    }
    if (!data::SaveEntrantRows(rows, drawId, tellFailure))
        return false;

    std::vector<size_t> stored;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (was[i] != EntrantRow::State::Saved && rows[i].state == EntrantRow::State::Saved)
            stored.push_back(i);
    }
    const bool bulk = stored.size() > size_t(BulkWriteRows);
    if (bulk)
        grid.beginBulkChange();
    const QString drawText = QString::number(drawId);
    for (size_t i : stored) {
        const int r = firstRow + int(i);
        grid.setTextMatrix(r, KeyColumn, QString::number(rows[i].key));
        if (was[i] == EntrantRow::State::New)
            grid.setTextMatrix(r, DrawColumn, drawText);
    }
    if (bulk)
        grid.endBulkChange();
    return true;
}

bool EditEntrantCell(GridModel &grid, int row, int col, const QString &text, qint64 drawId, bool tellFailure)
{
    if (row < grid.FixedRows() || row >= grid.Rows() || col <= SerialColumn || col >= grid.Cols())
        return false;
    grid.setTextMatrix(row, col, text);
    const QString keyText = grid.TextMatrix(row, KeyColumn);
    // An empty key stays empty: the row has never been stored and is inserted.
    if (!keyText.isEmpty())
        grid.setTextMatrix(row, KeyColumn, QString::number(-std::llabs(integerValue(keyText))));
    if (SaveEntrantGridRows(grid, row, row, drawId, tellFailure))
        return true;
    // A key left negative would no longer name the entrant: a deletion by
    // key would then miss its record.
    grid.setTextMatrix(row, KeyColumn, keyText);
    return false;
}

} // namespace tombolix::grid
