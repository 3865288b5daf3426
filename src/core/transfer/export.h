#pragma once

#include "grid/gridmodel.h"

#include <QString>

namespace tombolix::transfer {

// The filter of the export's save dialog.
inline const QString ExportFilter
    = QStringLiteral("CSV (逗号分隔)(*.csv)|*.csv|Excel 工作簿(*.xlsx)|*.xlsx");

// Asks for a file and writes what the grid shows to it: CSV when the name
// ends in "csv", a workbook under exactly the name given otherwise. True when
// written or when the operator cancelled; false when the grid is empty, the
// old file may not or cannot be replaced, or writing failed.
bool ExportGrid(const grid::GridModel &grid, const QString &sheetName);

} // namespace tombolix::transfer
