#include "transfer/workbook.h"

#include "transfer/markupworkbook.h"
#include "transfer/xlsreader.h"
#include "transfer/xlsxreader.h"

#include <QChar>
#include <QFile>
#include <QFileInfo>

namespace tombolix::transfer {

std::unique_ptr<Workbook> OpenWorkbook(const QString &path, int *error, const CellScope *scope)
{
    int result = NoError;
    std::unique_ptr<Workbook> book;
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        result = CannotOpen;
    } else {
        // Offices rename files freely, so the content decides the reader.
        const QByteArray head = file.read(8);
        file.close();
        if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06"))
            book = XlsxWorkbook::open(path, &result, scope);
        else if (head == QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
            book = XlsWorkbook::open(path, &result, scope);
        else
            book = MarkupWorkbook::open(path, &result);
    }
    if (error)
        *error = book ? int(NoError) : result;
    return book;
}

QString WorkbookErrorMessage(int error)
{
    switch (error) {
    case CannotOpen:
        return QStringLiteral("无法打开Excel文件，请检查后重新输入文件名及路径！");
    case NoSuchSheet:
        return QStringLiteral("输入表格名称有误，无法打开表格，请重新输入！");
    case NotAWorkbook:
        return QStringLiteral("文件类型不对，请选择Excel文档！");
    case ColumnOutOfRange:
        return QStringLiteral("输入表格列号超界，请重新输入！");
    default:
        return QStringLiteral("未知错误，错误号：") + QString::number(error) + QChar(0x3000)
            + QStringLiteral("请检查输入值！");
    }
}

} // namespace tombolix::transfer
