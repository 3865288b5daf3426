#include "transfer/importer.h"

#include "grid/gridops.h"
#include "grid/entrantgrid.h"
#include "transfer/csv.h"
#include "transfer/workbookrows.h"

namespace tombolix::transfer {

QString ImportFilePath;
QString ImportSheetName;

bool IsCsvPath(const QString &path)
{
    return path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

bool IsWorkbookPath(const QString &path)
{
    return path.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
}

ImportResult ImportEntrants(grid::GridModel &entrants, const QString &path, const QString &sheet, int first,
                            int last, const QStringList &specs, qint64 drawId, const QFont &font)
{
    ImportResult result;
    const int oldRows = entrants.Rows();
    if (IsCsvPath(path))
        result.error = ReadCsvRows(entrants, path, first, last, specs, font);
    else
        result.error = ReadWorkbookRows(entrants, path, sheet, first, last, specs, font);
    if (result.error != 0) {
        // The readers leave the grid as it was; make sure of it.
        if (entrants.Rows() > oldRows)
            entrants.removeGridRows(oldRows, entrants.Rows() - oldRows);
        return result;
    }
    result.appended = entrants.Rows() - oldRows;
    if (result.appended <= 0)
        return result;

    if (!grid::SaveEntrantGridRows(entrants, oldRows, entrants.Rows() - 1, drawId)) {
        entrants.removeGridRows(oldRows, entrants.Rows() - oldRows);
        result.error = -1;
        return result;
    }

    // Rows the writer did not store (no number, no name) leave the grid too.
    entrants.beginBulkChange();
    for (int r = entrants.Rows() - 1; r >= oldRows; --r) {
        if (entrants.TextMatrix(r, 0).trimmed().isEmpty())
            entrants.removeGridRows(r, 1);
    }
    grid::RenumberGrid(entrants);
    entrants.endBulkChange();
    result.stored = entrants.Rows() - oldRows;
    return result;
}

} // namespace tombolix::transfer
