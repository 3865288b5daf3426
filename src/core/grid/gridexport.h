#pragma once

#include "grid/gridmodel.h"
#include "transfer/exporttable.h"

// A grid as an export writes it.
namespace tombolix::grid {

// Whether an export writes a column's plain numbers as numbers: a column
// sorting takes as numbers, and the "序号" serial column.
bool IsNumericColumn(const GridModel &grid, int col);

// What the grid shows: its rows of height above 0 and its columns of width
// above 0, the visible fixed rows as the header, each column's width and
// whether it is numeric, and how many rows were hidden. The table is a copy:
// the grid may change while it is written.
transfer::ExportTable ExportTableOf(const GridModel &grid);

} // namespace tombolix::grid
