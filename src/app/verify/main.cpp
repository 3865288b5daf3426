// tombolix-verify: checks a draw's record file, and the entrant list when
// given, without the program or its database.
//   tombolix-verify 记录.json [名单.csv|名单.xlsx]
// Prints "验证通过" and a summary and ends with 0, or names the first thing
// that differs and ends with 1; 2 when a file cannot be read.

#include "common/commandline_platform.h"
#include "draw/recordcheck.h"
#include "transfer/csvparse.h"
#include "transfer/gb18030.h"
#include "transfer/workbook.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

using namespace tombolix;

namespace {

void say(std::FILE *stream, const QString &text)
{
    WriteProgramText(stream, text + QLatin1Char('\n'));
}

// A list file's text by the rule's own reading: a byte-order mark, else
// UTF-8, else GB18030; nothing when the bytes are not valid in the
// encoding so chosen.
std::optional<QString> decodeStrictly(const QByteArray &bytes)
{
    auto decoded = [](QStringDecoder::Encoding encoding, QByteArrayView part) -> std::optional<QString> {
        QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(part);
        if (decoder.hasError())
            return std::nullopt;
        return text;
    };
    const QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        return decoded(QStringDecoder::Utf8, view.sliced(3));
    if (view.startsWith("\xFF\xFE"))
        return decoded(QStringDecoder::Utf16LE, view.sliced(2));
    if (view.startsWith("\xFE\xFF"))
        return decoded(QStringDecoder::Utf16BE, view.sliced(2));
    if (std::optional<QString> text = decoded(QStringDecoder::Utf8, view))
        return text;
    // GB18030 read back to the same bytes, or not GB18030 at all.
    QString text = transfer::DecodeGb18030(view);
    bool ok = false;
    if (transfer::EncodeGb18030(text, &ok) != bytes || !ok)
        return std::nullopt;
    return text;
}

// Every row of a .csv file, or of a workbook's first sheet.
std::optional<QList<QStringList>> readRows(const QString &path)
{
    QList<QStringList> rows;
    if (QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const std::optional<QString> text = decodeStrictly(file.readAll());
        if (!text)
            return std::nullopt;
        transfer::CsvLines lines(*text);
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
    // Read at its own size: a record of 25 MB takes 25 MB, not the next
    // power of two.
    QByteArray bytes(file.size(), Qt::Uninitialized);
    if (file.read(bytes.data(), bytes.size()) != bytes.size()) {
        say(stderr, QStringLiteral("无法读取 %1").arg(arguments.at(1)));
        return 2;
    }

    std::optional<draw::ListFile> list;
    if (arguments.size() == 3) {
        const std::optional<QList<QStringList>> rows = readRows(arguments.at(2));
        if (!rows) {
            say(stderr, QStringLiteral("无法读取名单文件 %1").arg(arguments.at(2)));
            return 2;
        }
        list = draw::ListFileOfRows(*rows);
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
