// tombolix-verify: checks a draw's record file, and the entrant list when
// given, without the program or its database.
//   tombolix-verify 记录.json [名单.csv|名单.xlsx]
// Prints "验证通过" and a summary and ends with 0, or names the first thing
// that differs and ends with 1; 2 when a file cannot be read.

#include "common/commandline_platform.h"
#include "draw/recordcheck.h"
#include "transfer/csvparse.h"
#include "transfer/textcodec.h"
#include "transfer/workbook.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

using namespace tombolix;

namespace {

void say(std::FILE *stream, const QString &text)
{
    WriteProgramText(stream, text + QLatin1Char('\n'));
}

// Every row of a .csv file, or of a workbook's first sheet.
std::optional<QList<QStringList>> readRows(const QString &path)
{
    QList<QStringList> rows;
    if (QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        transfer::CsvLines lines(transfer::DecodeText(file.readAll()));
        while (const std::optional<QStringList> record = transfer::NextCsvRecord(lines, nullptr))
            rows.append(*record);
        return rows;
    }
    int error = 0;
    std::unique_ptr<transfer::Workbook> book = transfer::OpenWorkbook(path, &error);
    if (!book || book->sheetNames().isEmpty() || book->selectSheet(book->sheetNames().constFirst()) != 0)
        return std::nullopt;
    for (int row = 1; row <= book->rowCount(); ++row) {
        QStringList cells;
        for (int col = 1; col <= book->columnCount(); ++col)
            cells.append(book->cell(row, col));
        rows.append(cells);
    }
    return rows;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = ProgramArguments(argc, argv);
    if (arguments.size() < 2 || arguments.size() > 3 || arguments.at(1).startsWith(QLatin1Char('-'))) {
        say(stderr, QStringLiteral("用法：tombolix-verify 公证记录.json [名单.csv|名单.xlsx]"));
        return 2;
    }
    QFile file(arguments.at(1));
    if (!file.open(QIODevice::ReadOnly)) {
        say(stderr, QStringLiteral("无法打开 %1").arg(arguments.at(1)));
        return 2;
    }
    const QByteArray bytes = file.readAll();

    std::optional<draw::EntrantList> list;
    if (arguments.size() == 3) {
        const std::optional<QList<QStringList>> rows = readRows(arguments.at(2));
        if (!rows) {
            say(stderr, QStringLiteral("无法读取名单文件 %1").arg(arguments.at(2)));
            return 2;
        }
        list = draw::EntrantListOfRows(*rows);
    }

    const draw::RecordCheck check = draw::CheckRecord(bytes, list);
    if (check.outcome == draw::RecordCheck::Outcome::NotARecord) {
        say(stderr, QStringLiteral("%1 不是公证记录文件：%2").arg(arguments.at(1), check.problem));
        return 2;
    }
    if (!check.passed()) {
        say(stdout, QStringLiteral("验证未通过：") + check.problem);
        return 1;
    }
    say(stdout, QStringLiteral("验证通过"));
    for (const QString &line : check.summary)
        say(stdout, line);
    return 0;
}
