#pragma once

#include "data/entrantrow.h"

#include <QString>
#include <QStringList>
#include <vector>

// The import of entrants: a file (CSV or workbook) read through two column
// specs into rows for the entrants list.
namespace tombolix::transfer {

bool IsCsvPath(const QString &path);
// .xls or .xlsx
bool IsWorkbookPath(const QString &path);

// The file and worksheet chosen for an import: the path as chosen, the sheet
// name empty for a CSV file or when none was chosen.
struct ImportSource
{
    QString path;
    QString sheet;

    // A CSV file, or a workbook and its sheet: something to import from.
    bool ready() const { return !path.isEmpty() && (IsCsvPath(path) || !sheet.isEmpty()); }
};

// Reads rows first..last (1-based file rows) of the file, or of the sheet of
// a workbook, as last - first + 1 new rows (spec 0 the number, spec 1 the
// name) with the reader its name calls for. rowsShown is the workbook
// reader's (its progress counts them). Returns 0, or the reader's error
// number (ImportErrorMessage() says it); rows is then empty.
[[nodiscard]] int ReadImportRows(const QString &path, const QString &sheet, int first, int last,
    const QStringList &specs, std::vector<data::EntrantRow> &rows, qint64 rowsShown = 0);
// The numbers of a list (a 不参与名单) in the file, or in the sheet of a
// workbook: its first column, a caption in the first row (号码, 工号…) left
// out, empty cells dropped. Returns 0, or the reader's error number
// (ImportErrorMessage() says it; -1 when the rows could not be counted).
[[nodiscard]] int ReadNumberList(const QString &path, const QString &sheet, QStringList &numbers);
// What the operator is told of a reader's error number for the file:
// "文件打开错误！" for a CSV file, WorkbookErrorMessage() for a workbook.
QString ImportErrorMessage(const QString &path, int error);

} // namespace tombolix::transfer
