#include "grid/entrantgrid.h"

#include "common/conventions.h"
#include "data/attributestore.h"
#include "data/entrantwriter.h"
#include "grid/gridops.h"
#include "transfer/importer.h"

#include <QHash>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tombolix::grid {

namespace {

using data::EntrantRow;

// The columns of the entrants grid.
namespace column {
constexpr int Key = 0;
constexpr int Draw = 1;
constexpr int Serial = 2;
constexpr int Number = 3;
constexpr int Name = 4;
} // namespace column

// The grid's column captioned with the attribute's name, added at the end
// when it has none.
int attributeColumn(GridModel &grid, const QString &name)
{
    const QStringList names = AttributeNamesOf(grid);
    const qsizetype at = names.indexOf(name);
    if (at >= 0)
        return FirstAttributeColumn + int(at);
    const int col = std::max(grid.Cols(), FirstAttributeColumn);
    grid.setCols(col + 1);
    grid.setTextMatrix(grid.FixedRows() - 1, col, name);
    grid.setColAlignment(col, Align::LeftTop);
    return col;
}

// Rows read for attributeNames, their values moved to the grid's columns of
// those names (the columns added when missing).
void placeAttributes(GridModel &grid, const QStringList &attributeNames, std::vector<EntrantRow> &rows)
{
    QList<int> places;
    bool inOrder = true;
    for (const QString &name : attributeNames) {
        places << attributeColumn(grid, name) - FirstAttributeColumn;
        inOrder = inOrder && places.constLast() == places.size() - 1;
    }
    if (inOrder)
        return;
    for (EntrantRow &row : rows) {
        if (row.attributes.isEmpty())
            continue;
        QStringList placed(grid.Cols() - FirstAttributeColumn);
        for (qsizetype k = 0; k < row.attributes.size() && k < places.size(); ++k)
            placed[places.at(k)] = row.attributes.at(k);
        row.attributes = std::move(placed);
    }
}

// Above this many rows the grid's cells are written back with its signals
// held: one reset is far cheaper for a view than tens of thousands of
// single-cell updates.
constexpr int BulkWriteRows = 1000;

} // namespace

QStringList AttributeNamesOf(const GridModel &grid)
{
    QStringList names;
    const int captionRow = grid.FixedRows() - 1;
    for (int c = FirstAttributeColumn; c < grid.Cols(); ++c)
        names << CaptionWithoutSortMark(grid.TextMatrix(captionRow, c));
    return names;
}

bool SetAttributeColumns(GridModel &grid, qint64 drawId)
{
    const std::optional<QStringList> names = data::AttributeStore().names(drawId);
    const int captionRow = grid.FixedRows() - 1;
    grid.beginBulkChange();
    grid.setCols(FirstAttributeColumn + int(names ? names->size() : 0));
    for (qsizetype k = 0; names && k < names->size(); ++k) {
        const int col = FirstAttributeColumn + int(k);
        for (int r = 0; r < grid.FixedRows(); ++r)
            grid.setTextMatrix(r, col, r == captionRow ? names->at(k) : QString());
        grid.setColAlignment(col, Align::LeftTop);
    }
    grid.endBulkChange();
    return names.has_value();
}

bool FillAttributeValues(GridModel &grid, qint64 drawId)
{
    const int count = grid.Cols() - FirstAttributeColumn;
    if (count <= 0)
        return true;
    QHash<qint64, int> rowOf;
    rowOf.reserve(grid.Rows());
    grid.beginBulkChange();
    // A column captioned 序号 was numbered by the fill.
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
        rowOf.insert(std::llabs(integerValue(grid.TextMatrix(r, column::Key))), r);
        for (int c = FirstAttributeColumn; c < grid.Cols(); ++c)
            grid.setTextMatrix(r, c, QString());
    }
    const bool read = data::AttributeStore().forEach(drawId, [&](qint64 id, QStringView text) {
        const int r = rowOf.value(id, -1);
        if (r < 0)
            return;
        const QStringList values = data::DecodeAttributes(text);
        for (qsizetype k = 0; k < values.size() && k < count; ++k)
            grid.setTextMatrix(r, FirstAttributeColumn + int(k), values.at(k));
    });
    grid.endBulkChange();
    return read;
}

EntrantRow EntrantRowAt(const GridModel &grid, int row)
{
    EntrantRow entrant;
    const qint64 key = integerValue(grid.TextMatrix(row, column::Key));
    entrant.key = std::llabs(key);
    entrant.state = key > 0 ? EntrantRow::State::Saved
        : key < 0           ? EntrantRow::State::Changed
                            : EntrantRow::State::New;
    entrant.number = grid.TextMatrix(row, column::Number);
    entrant.name = grid.TextMatrix(row, column::Name);
    bool any = false;
    for (int c = FirstAttributeColumn; c < grid.Cols(); ++c) {
        entrant.attributes << grid.TextMatrix(row, c);
        any = any || !entrant.attributes.constLast().isEmpty();
    }
    if (!any)
        entrant.attributes.clear();
    return entrant;
}

data::EntrantSave SaveEntrantGridRows(GridModel &grid, int firstRow, int lastRow, qint64 drawId)
{
    firstRow = std::max(firstRow, grid.FixedRows());
    lastRow = std::min(lastRow, grid.Rows() - 1);
    std::vector<EntrantRow> rows;
    std::vector<EntrantRow::State> was;
    rows.reserve(size_t(std::max(0, lastRow - firstRow + 1)));
    was.reserve(rows.capacity());
    for (int r = firstRow; r <= lastRow; ++r) {
        rows.push_back(EntrantRowAt(grid, r));
        was.push_back(rows.back().state);
    }
    const data::EntrantSave saved = data::SaveEntrantRows(rows, drawId, AttributeNamesOf(grid));
    if (!saved)
        return saved;

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
        grid.setTextMatrix(r, column::Key, IntegerText(rows[i].key));
        if (was[i] == EntrantRow::State::New)
            grid.setTextMatrix(r, column::Draw, drawText);
    }
    if (bulk)
        grid.endBulkChange();
    return saved;
}

data::EntrantSave EditEntrantCell(GridModel &grid, int row, int col, const QString &text, qint64 drawId)
{
    if (row < grid.FixedRows() || row >= grid.Rows() || col <= column::Serial || col >= grid.Cols())
        return { data::EntrantSave::NoDraw };
    grid.setTextMatrix(row, col, text);
    const QString keyText = grid.TextMatrix(row, column::Key);
    // An empty key stays empty: the row has never been stored and is inserted.
    if (!keyText.isEmpty())
        grid.setTextMatrix(row, column::Key, QString::number(-std::llabs(integerValue(keyText))));
    const data::EntrantSave saved = SaveEntrantGridRows(grid, row, row, drawId);
    // A key left negative would no longer name the entrant: a deletion by
    // key would then miss its record.
    if (!saved)
        grid.setTextMatrix(row, column::Key, keyText);
    return saved;
}

int AppendEntrantRows(GridModel &grid, const std::vector<EntrantRow> &rows, const QFont &font)
{
    // One bulk change: a view resets once instead of once per cell.
    grid.beginBulkChange();
    const int oldRows = grid.Rows();
    grid.setRows(oldRows + int(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        const EntrantRow &entrant = rows[i];
        const int r = oldRows + int(i);
        if (entrant.state != EntrantRow::State::New)
            grid.setTextMatrix(r, column::Key,
                IntegerText(entrant.state == EntrantRow::State::Changed ? -entrant.key : entrant.key));
        grid.setTextMatrix(r, column::Number, entrant.number);
        grid.setTextMatrix(r, column::Name, entrant.name);
        for (qsizetype k = 0; k < entrant.attributes.size(); ++k) {
            if (FirstAttributeColumn + k < grid.Cols())
                grid.setTextMatrix(r, FirstAttributeColumn + int(k), entrant.attributes.at(k));
        }
    }
    RenumberGrid(grid);
    grid.endBulkChange();
    FitGridColumns(font, grid, grid.FixedRows() - 1, true);
    return oldRows;
}

ImportResult ImportEntrants(GridModel &entrants, const QString &path, const QString &sheet, int first,
    int last, const QStringList &specs, qint64 drawId, const QFont &font)
{
    return ImportEntrants(entrants, path, sheet, first, last, specs.mid(0, 2), {}, drawId, font);
}

ImportResult ImportEntrants(GridModel &entrants, const QString &path, const QString &sheet, int first,
    int last, const QStringList &specs, const QStringList &attributeNames, qint64 drawId, const QFont &font)
{
    ImportResult result;
    std::vector<EntrantRow> rows;
    result.error = transfer::ReadImportRows(path, sheet, first, last,
        specs.mid(0, 2) + specs.mid(2, attributeNames.size()), rows, entrants.Rows() - entrants.FixedRows());
    if (result.error != 0)
        return result;
    const int oldCols = entrants.Cols();
    placeAttributes(entrants, attributeNames, rows);
    // The rows are shown, then stored from the grid as it stands after the
    // column fitting, which yields to the event loop.
    const int oldRows = AppendEntrantRows(entrants, rows, font);
    rows = std::vector<EntrantRow>();
    result.appended = entrants.Rows() - oldRows;
    if (result.appended <= 0)
        return result;

    if (!SaveEntrantGridRows(entrants, oldRows, entrants.Rows() - 1, drawId)) {
        entrants.removeGridRows(oldRows, entrants.Rows() - oldRows);
        entrants.setCols(oldCols);
        result.error = ImportResult::NotStored;
        return result;
    }

    // Rows the writer did not store (no number, no name) leave the grid too.
    entrants.beginBulkChange();
    for (int r = entrants.Rows() - 1; r >= oldRows; --r) {
        if (entrants.TextMatrix(r, column::Key).trimmed().isEmpty())
            entrants.removeGridRows(r, 1);
    }
    RenumberGrid(entrants);
    entrants.endBulkChange();
    result.stored = entrants.Rows() - oldRows;
    return result;
}

} // namespace tombolix::grid
