#include "grid/gridexport.h"

#include "grid/gridops.h"

namespace tombolix::grid {

bool IsNumericColumn(const GridModel &grid, int col)
{
    if (IsNumericAlignment(grid.ColAlignment(col)))
        return true;
    return col == SerialColumn(grid) && grid.TextMatrix(grid.FixedRows() - 1, col) == QStringLiteral("序号");
}

transfer::ExportTable ExportTableOf(const GridModel &grid)
{
    transfer::ExportTable table;
    std::vector<int> columns;
    for (int c = 0; c < grid.Cols(); ++c) {
        if (grid.ColWidth(c) > 0)
            columns.push_back(c);
    }
    table.columnCount = int(columns.size());
    for (int c : columns)
        table.numeric.push_back(IsNumericColumn(grid, c));
    const int captionRow = grid.FixedRows() - 1;
    if (captionRow >= 0 && grid.RowHeight(captionRow) > 0) {
        for (int c : columns)
            table.widths.push_back(grid.ColWidth(c));
    }

    table.cells.reserve(size_t(grid.Rows()) * columns.size());
    for (int r = 0; r < grid.Rows(); ++r) {
        if (grid.RowHeight(r) <= 0) {
            ++table.hiddenRows;
            continue;
        }
        if (r < grid.FixedRows())
            ++table.headerRows;
        for (int c : columns)
            table.cells.push_back(grid.TextMatrix(r, c));
        ++table.rowCount;
    }
    return table;
}

} // namespace tombolix::grid
