#pragma once

#include "transfer/sheetcells.h"

#include <QByteArray>
#include <QString>
#include <vector>

// HTML tables, the page many office and HR systems export as an .xls file
// because Excel opens it as a workbook.
namespace tombolix::transfer {

// The page's text: a byte-order mark decides, then a declared charset (a
// <meta> tag or an XML declaration), then the bytes themselves (UTF-8 when
// they are valid UTF-8, GB18030 otherwise). GB2312 and GBK are read as
// GB18030, their superset, since exporters declare GB2312 and write GBK.
QString DecodeHtml(const QByteArray &bytes);

// Appends one sheet per <table> that holds any text, in the order the tables
// begin; a table inside a cell is a sheet of its own. A sheet is named after
// its <caption>, else "Sheet" and its position. Cells spanning several
// columns or rows leave the covered cells empty so that the columns below
// line up; cell texts lose markup and surrounding white space, runs of white
// space become one space and <br> a line break.
void ParseHtmlTables(const QString &html, std::vector<MarkupSheet> &sheets);

} // namespace tombolix::transfer
