#pragma once

#include "grid/gridmodel.h"

#include <QFont>
#include <QString>
#include <QStringList>

// The import of entrants: a file (CSV or workbook) read through two column
// specs into the console's entrant grid and stored for a draw.
namespace tombolix::transfer {

// The file and worksheet chosen for the import: the path as chosen, the sheet
// name empty for a CSV file or when none was chosen.
extern QString ImportFilePath;
extern QString ImportSheetName;

bool IsCsvPath(const QString &path);
// .xls or .xlsx
bool IsWorkbookPath(const QString &path);

struct ImportResult
{
    int error = 0;    // 0, or the reader's error number
    int appended = 0; // rows the reader put into the grid
    int stored = 0;   // rows stored in 号码表
};

// Reads rows first..last (1-based file rows) of the file, or of the sheet of
// a workbook, into new rows of the entrant grid (spec 0 the number, spec 1
// the name) and stores them for the draw in one transaction. After a failed
// read nothing reaches the database; rows without number and name are
// dropped from the grid rather than stored.
ImportResult ImportEntrants(grid::GridModel &entrants, const QString &path, const QString &sheet, int first,
                            int last, const QStringList &specs, qint64 drawId, const QFont &font = QFont());

} // namespace tombolix::transfer
