#include "transfer/importer.h"

#include "transfer/csv.h"
#include "transfer/importrange.h"
#include "transfer/workbook.h"
#include "transfer/workbookrows.h"

#include <algorithm>
#include <climits>

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

int ReadNumberList(const QString &path, const QString &sheet, QStringList &numbers)
{
    numbers.clear();
    const qint64 last = CountRows(path, sheet);
    if (last < 0)
        return -1;
    if (last == 0)
        return 0;
    std::vector<data::EntrantRow> rows;
    const int error = ReadImportRows(
        path, sheet, 1, int(std::min<qint64>(last, INT_MAX)), { QStringLiteral("A"), QString() }, rows);
    if (error != 0)
        return error;
    for (const data::EntrantRow &row : rows) {
        const QString number = row.number.trimmed();
        if (number.isEmpty() || (&row == &rows.front() && IsColumnCaption(number)))
            continue;
        numbers << number;
    }
    return 0;
}

QString ImportErrorMessage(const QString &path, int error)
{
    if (IsCsvPath(path))
        return QStringLiteral("文件打开错误！");
    return WorkbookErrorMessage(error);
}

} // namespace tombolix::transfer
