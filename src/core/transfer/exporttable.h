#pragma once

#include <QString>
#include <vector>

namespace tombolix::transfer {

// What an export writes: the texts of the rows and columns a table shows,
// top to bottom and left to right.
struct ExportTable
{
    int rowCount = 0;
    int columnCount = 0;
    // rowCount x columnCount texts, row by row.
    std::vector<QString> cells;
    // The first rows are the header (the caption row last among them).
    int headerRows = 0;
    // Each column's width in twips, which the caption row gives to a sheet;
    // empty when no caption row is shown.
    std::vector<int> widths;
    // Each column: whether a cell holding a plain number is a number.
    std::vector<bool> numeric;
    // Rows left out because they are hidden; the writers' progress counts them.
    int hiddenRows = 0;

    const QString &text(int row, int col) const
    {
        return cells[size_t(row) * size_t(columnCount) + size_t(col)];
    }
};

} // namespace tombolix::transfer
