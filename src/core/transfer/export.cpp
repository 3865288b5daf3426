#include "transfer/export.h"

#include "common/prompts.h"
#include "transfer/csv.h"
#include "transfer/xlsxwriter.h"

#include <QFile>
#include <QFileInfo>

namespace tombolix::transfer {

bool ExportGrid(const grid::GridModel &grid, const QString &sheetName)
{
    if (grid.Rows() < 1 || grid.Cols() < 1) {
        prompts().message(QStringLiteral("表格中没有数据！"));
        return false;
    }
    const QString path = prompts().saveFileName(ExportFilter, sheetName + QStringLiteral(".csv"));
    if (path.isEmpty())
        return true;
    if (QFileInfo::exists(path)) {
        if (!prompts().askYesNo(QStringLiteral("该文件已存在，是否覆盖？"), DefaultAnswer::No))
            return false;
        QFile::remove(path);
        if (QFileInfo::exists(path)) {
            prompts().message(QStringLiteral("该文件无法覆盖，请确认该文件没被其他软件打开！"));
            return false;
        }
    }
    // The writers yield to the progress window, and the operator may sort,
    // refill or edit the grid meanwhile: the file gets the grid as it stood.
    grid::GridModel still;
    still.copyFrom(grid);
    if (path.right(3).toLower() == QLatin1String("csv"))
        return ExportGridToCsv(still, path);
    return ExportGridToWorkbook(still, path, sheetName);
}

} // namespace tombolix::transfer
