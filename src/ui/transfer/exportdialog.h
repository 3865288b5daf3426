#pragma once

#include <QString>

namespace tombolix {

namespace grid {
class GridModel;
} // namespace grid

// Asks for a file and writes what the grid shows to it: CSV when the name
// ends in "csv", a workbook under exactly the name given otherwise. The file
// gets the grid as it stood when the export began. True when written or when
// the operator cancelled; false when the grid is empty, the old file may not
// or cannot be replaced, or writing failed.
bool ExportGrid(const grid::GridModel &grid, const QString &sheetName);

} // namespace tombolix
