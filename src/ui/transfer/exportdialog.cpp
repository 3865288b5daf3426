#include "transfer/exportdialog.h"

#include "common/prompts.h"
#include "grid/gridexport.h"
#include "transfer/csv.h"
#include "transfer/xlsxwriter.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tombolix {

namespace {
const QString Filter = QStringLiteral("CSV (逗号分隔)(*.csv)|*.csv|Excel 工作簿(*.xlsx)|*.xlsx");
} // namespace

bool ExportGrid(const grid::GridModel &grid, const QString &sheetName)
{
    if (grid.Rows() < 1 || grid.Cols() < 1) {
        prompts().message(QStringLiteral("表格中没有数据！"));
        return false;
    }
    // The dialogs and the writers' progress window yield to the event loop,
    // and the operator may sort, refill or edit the grid meanwhile: the file
    // gets the grid as it stood.
    const transfer::ExportTable table = grid::ExportTableOf(grid);
    const QString path = prompts().saveFileName(Filter, sheetName + QStringLiteral(".csv"));
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
    if (path.right(3).toLower() == QLatin1String("csv")) {
        if (!transfer::ExportGridToCsv(table, path)) {
            prompts().message(QStringLiteral("文件保存出错！"));
            return false;
        }
    } else if (!transfer::ExportGridToWorkbook(table, path, sheetName)) {
        prompts().message(QStringLiteral("文件保存出错！"));
        return false;
    }
    // The operator learns where the list went and that all of it is there.
    prompts().message(QStringLiteral("已导出%1行：%2")
                          .arg(std::max(0, table.rowCount - table.headerRows))
                          .arg(QFileInfo(path).fileName()));
    return true;
}

} // namespace tombolix
