#pragma once

#include "grid/gridmodel.h"

#include <QFont>
#include <QString>
#include <QStringList>

// CSV files and grids: the import reader, the preview of the mapping dialog
// and the export writer.
namespace tombolix::transfer {

// Appends last - first + 1 rows to the grid, filled from the records of the
// CSV file starting at physical line first (1-based): spec i feeds grid column
// FixedCols + i, an empty line leaves its row empty, and rows past the end of
// the file stay empty. Renumbers the serial column and fits the columns
// measured with the font. Returns 0, or 5 after "文件打开错误！" when the name
// does not end in ".csv" or the file cannot be read; the grid is then left as
// it was.
int ReadCsvRows(
    grid::GridModel &grid, const QString &path, int first, int last, QStringList specs, const QFont &font);

// The first 19 records of the file into preview rows 1..19, field i - 1 into
// column i for i = 1..59. Stops silently on any error.
void PreviewCsvRows(grid::GridModel &preview, const QString &path);

// Writes the visible rows and columns (height and width above 0) as CSV in
// UTF-8 with a byte-order mark, lines ending in CR LF. The file is replaced
// only when everything has been written; false on any error, without a message.
bool ExportGridToCsv(const grid::GridModel &grid, const QString &path);

} // namespace tombolix::transfer
