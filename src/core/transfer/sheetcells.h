#pragma once

#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <vector>

// The cells of one worksheet read whole into memory, for the workbook kinds
// that are parsed in one pass over their text. Only cells that hold a value
// are kept, so a cell far down or far right costs what its text costs.
namespace tombolix::transfer {

// Puts cells keyed by (row << 32 | column) in order, keeps the last of a
// cell given twice (writers need not keep cells in order, nor give each once)
// and returns the extent of what is left.
template<typename Cell> void SortCellsKeepingLast(std::vector<Cell> &cells, int &rowCount, int &columnCount)
{
    auto byKey = [](const Cell &a, const Cell &b) { return a.key < b.key; };
    if (!std::is_sorted(cells.begin(), cells.end(), byKey))
        std::stable_sort(cells.begin(), cells.end(), byKey);
    size_t kept = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (kept > 0 && cells[kept - 1].key == cells[i].key)
            cells[kept - 1] = cells[i];
        else
            cells[kept++] = cells[i];
    }
    cells.resize(kept);
    cells.shrink_to_fit();
    rowCount = 0;
    columnCount = 0;
    for (const Cell &cell : cells) {
        rowCount = std::max(rowCount, int(cell.key >> 32));
        columnCount = std::max(columnCount, int(cell.key & 0xffffffffU));
    }
}

class SheetCells
{
public:
    static constexpr int MaxRows = 1048576;
    static constexpr int MaxColumns = 16384;

    // Empty texts and cells outside 1..MaxRows, 1..MaxColumns are passed over.
    void set(int row, int col, const QString &text);
    // Called once all cells are set: a cell given twice keeps its last text.
    void finish();

    // "" for a cell without a value; only valid after finish().
    QString at(int row, int col) const;
    int rowCount() const { return m_rowCount; }
    int columnCount() const { return m_columnCount; }
    bool isEmpty() const { return m_cells.empty(); }

private:
    struct Stored
    {
        quint64 key;
        quint32 index;
        quint32 length;
    };
    std::vector<Stored> m_cells;
    QString m_pool;
    int m_rowCount = 0;
    int m_columnCount = 0;
};

// A worksheet as a parser found it.
struct MarkupSheet
{
    QString name;
    bool hidden = false;
    SheetCells cells;
};

} // namespace tombolix::transfer
