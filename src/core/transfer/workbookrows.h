#pragma once

#include "grid/gridmodel.h"

#include <QFont>
#include <QString>
#include <QStringList>

// Rows of a workbook (.xls or .xlsx) into grids: the import's reader, its
// preview and the list of worksheets for the sheet chooser.
namespace tombolix::transfer {

// Appends rows first..last of the sheet as last - first + 1 grid rows: the
// serial number in column FixedCols - 1 and spec i composed into column
// FixedCols + i, then fits the columns measured with the font. Returns 0, or
// the error number after showing its message; on an error the grid is left
// exactly as it was.
int ReadWorkbookRows(grid::GridModel &grid, const QString &path, const QString &sheet, int first, int last,
    QStringList specs, const QFont &font);

// Cells (1, 1) to (19, 59) of the sheet into the same cells of the preview
// grid. Returns 0, or the error number after showing its message.
int PreviewWorkbookRows(
    grid::GridModel &preview, const QString &path, const QString &sheet, const QFont &font);

// The worksheet names in workbook order; empty with *error set when the
// file cannot be read. Shows no message.
QStringList ListWorksheets(const QString &path, int *error);

} // namespace tombolix::transfer
