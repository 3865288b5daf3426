#include "transfer/importer.h"

#include "transfer/csv.h"
#include "transfer/workbook.h"
#include "transfer/workbookrows.h"

namespace tombolix::transfer {

bool IsCsvPath(const QString &path)
{
    return path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

bool IsWorkbookPath(const QString &path)
{
    return path.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
}

int ReadImportRows(const QString &path, const QString &sheet, int first, int last, const QStringList &specs,
    std::vector<data::EntrantRow> &rows, qint64 rowsShown)
{
    if (IsCsvPath(path))
        return ReadCsvRows(path, first, last, specs, rows);
    return ReadWorkbookRows(path, sheet, first, last, specs, rows, rowsShown);
}

QString ImportErrorMessage(const QString &path, int error)
{
    if (IsCsvPath(path))
        return QStringLiteral("文件打开错误！");
    return WorkbookErrorMessage(error);
}

} // namespace tombolix::transfer
