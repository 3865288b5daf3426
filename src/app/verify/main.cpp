// tombolix-verify: checks a draw's record file, and the entrant list when
// given, without the program or its database.
//   tombolix-verify 记录.json [名单.csv|名单.xlsx]
// Prints "验证通过" and a summary and ends with 0, or names the first thing
// that differs and ends with 1; 2 when a file cannot be read.

#include "common/commandline_platform.h"
#include "common/notary.h"
#include "draw/notaryrecord.h"
#include "transfer/csvparse.h"
#include "transfer/textcodec.h"
#include "transfer/workbook.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace tombolix;

namespace {

using Rows = QList<std::pair<QString, QString>>;

void say(std::FILE *stream, const QString &text)
{
    WriteProgramText(stream, text + QLatin1Char('\n'));
}

void keep(Rows &rows, const QString &number, const QString &name)
{
    if (!number.trimmed().isEmpty())
        rows.append({ number.trimmed(), name });
}

// Column A (or the first field) is the number, B the name.
std::optional<Rows> readList(const QString &path)
{
    Rows rows;
    if (QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        transfer::CsvLines lines(transfer::DecodeText(file.readAll()));
        while (const std::optional<QStringList> record = transfer::NextCsvRecord(lines, nullptr))
            keep(rows, record->value(0), record->value(1));
        return rows;
    }
    int error = 0;
    std::unique_ptr<transfer::Workbook> book = transfer::OpenWorkbook(path, &error);
    if (!book || book->sheetNames().isEmpty() || book->selectSheet(book->sheetNames().constFirst()) != 0)
        return std::nullopt;
    for (int row = 1; row <= book->rowCount(); ++row)
        keep(rows, book->cell(row, 1), book->cell(row, 2));
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
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        say(stderr, QStringLiteral("%1 不是公证记录文件：%2").arg(arguments.at(1), parseError.errorString()));
        return 2;
    }
    const QJsonObject record = document.object();

    std::optional<Rows> list;
    if (arguments.size() == 3) {
        list = readList(arguments.at(2));
        if (!list) {
            say(stderr, QStringLiteral("无法读取名单文件 %1").arg(arguments.at(2)));
            return 2;
        }
        // A header row above the list is no entrant: compare without it when
        // the list matches only so.
        notary::Fingerprint recorded;
        for (const QJsonValue &each : record.value(QLatin1String("entrants")).toArray())
            recorded.add(each.toArray().at(0).toString(), each.toArray().at(1).toString());
        if (!list->isEmpty()) {
            notary::Fingerprint withoutFirst;
            for (qsizetype i = 1; i < list->size(); ++i)
                withoutFirst.add(list->at(i).first, list->at(i).second);
            if (withoutFirst.result() == recorded.result())
                list->removeFirst();
        }
    }

    const draw::Verification verification = draw::VerifyRecord(record, list);
    if (!verification.passed) {
        say(stdout, QStringLiteral("验证未通过：") + verification.problem);
        return 1;
    }
    say(stdout, QStringLiteral("验证通过"));
    const QJsonObject drawInfo = record.value(QLatin1String("draw")).toObject();
    say(stdout, QStringLiteral("抽奖：%1").arg(drawInfo.value(QLatin1String("name")).toString()));
    for (const QString &line : verification.summary)
        say(stdout, line);
    return 0;
}
