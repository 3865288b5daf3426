#pragma once

#include "data/entrantrow.h"
#include "transfer/workbook.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

// Rows of a workbook (.xls or .xlsx): the import's reader, its preview and
// the list of worksheets for the sheet chooser.
namespace tombolix::transfer {

// Reads rows first..last of the sheet as last - first + 1 new rows: spec 0
// composes each row's number, spec 1 its name, any further specs its
// attributes (a row whose values are all empty gets none). The progress window counts
// rowsShown (the rows a list already shows above the new ones) in its total.
// Returns 0, or the error number (WorkbookErrorMessage() says it); rows is
// then empty.
[[nodiscard]] int ReadWorkbookRows(const QString &path, const QString &sheet, int first, int last,
    QStringList specs, std::vector<data::EntrantRow> &rows, qint64 rowsShown = 0);

// Cells (1, 1) to (19, 59) of the sheet, row by row, and in *rowCount (when
// given) the sheet's last row that holds a value: the preview has read the
// sheet already. Returns 0, or the error number (WorkbookErrorMessage()
// says it); cells is then empty and *rowCount 0.
[[nodiscard]] int PreviewWorkbookRows(
    const QString &path, const QString &sheet, QList<QStringList> &cells, int *rowCount = nullptr);

// The worksheet names in workbook order; empty with *error set when the
// file cannot be read. Shows no message.
QStringList ListWorksheets(const QString &path, int *error);
// The same worksheets, each with whether it is hidden.
QList<SheetInfo> ListWorksheetInfo(const QString &path, int *error);

} // namespace tombolix::transfer
