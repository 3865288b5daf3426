#pragma once

#include "transfer/exporttable.h"

#include <QString>

// Writes a table to an .xlsx workbook with libxlsxwriter.
namespace tombolix::transfer {

// One sheet named sheetName with the table's rows and columns: a value of a
// body row in a numeric column that is a number in its plain form is
// written as a number, every other value as text (so "0012" and long numbers
// stay as shown); the header rows bold on light orange, column widths from
// the caption row and thin borders round every cell of the block. The file
// appears under exactly the given name only once it is complete. False when
// it could not be written ("文件保存出错！" for the operator).
[[nodiscard]] bool ExportGridToWorkbook(
    const ExportTable &table, const QString &path, const QString &sheetName);

} // namespace tombolix::transfer
