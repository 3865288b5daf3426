#pragma once

#include "transfer/sheetcells.h"

#include <vector>

class QIODevice;

// XML Spreadsheet 2003, the single XML file Excel 2002 and later save and
// that HR and office systems export under an .xls name.
namespace tombolix::transfer {

// Appends the worksheets read from device in workbook order, hidden ones flagged.
// Numbers read as the other workbook readers show them, dates as
// yyyy-MM-dd, HH:mm:ss or both, texts as they stand. False when the text is
// not well-formed XML or its root is no Workbook; sheets is then left with
// whatever was read.
bool ParseSpreadsheetXml(QIODevice *device, std::vector<MarkupSheet> &sheets);

} // namespace tombolix::transfer
