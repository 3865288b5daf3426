#pragma once

#include "data/entrantrow.h"

#include <QString>
#include <QStringList>
#include <vector>

// The import of entrants: a file (CSV or workbook) read through two column
// specs into rows for the entrants list.
namespace tombolix::transfer {

// The file and worksheet chosen for the import: the path as chosen, the sheet
// name empty for a CSV file or when none was chosen.
extern QString ImportFilePath;
extern QString ImportSheetName;

bool IsCsvPath(const QString &path);
// .xls or .xlsx
bool IsWorkbookPath(const QString &path);

// Reads rows first..last (1-based file rows) of the file, or of the sheet of
// a workbook, as last - first + 1 new rows (spec 0 the number, spec 1 the
// name) with the reader its name calls for. rowsShown is the workbook
// reader's (its progress counts them). Returns 0, or the reader's error
// number after its message; rows is then empty.
int ReadImportRows(const QString &path, const QString &sheet, int first, int last, const QStringList &specs,
    std::vector<data::EntrantRow> &rows, qint64 rowsShown = 0);

} // namespace tombolix::transfer
