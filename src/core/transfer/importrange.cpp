#include "transfer/importrange.h"

#include "transfer/columnspec.h"
#include "transfer/importer.h"
#include "transfer/workbook.h"

#include <QFile>
#include <algorithm>

namespace tombolix::transfer {

namespace {

// Follows the records of CSV text one character at a time, keeping only the
// quote state: a run of quotes of odd length toggles it and one of even
// length does not, so each quote toggling it on its own comes to the same.
class RowCounter
{
public:
    void take(char16_t c)
    {
        // Quotes and line ends lie below every letter, digit and comma.
        if (c > u'"') {
            m_filled = true;
            m_afterCr = false;
            return;
        }
        if (m_afterCr) {
            m_afterCr = false;
            if (c == u'\n')
                return; // CR LF ends one line
        }
        if (!m_quoted && (c == u'\r' || c == u'\n')) {
            ++m_records;
            if (m_filled)
                m_lastFilled = m_records;
            m_filled = false;
            m_afterCr = c == u'\r';
            return;
        }
        m_filled = true;
        if (c == u'"')
            m_quoted = !m_quoted;
    }

    // A last line without a line end is a record too, and so is a quoted
    // field left open at the end: the reader closes it there.
    qint64 finish() const { return m_filled ? m_records + 1 : m_lastFilled; }

private:
    qint64 m_records = 0;
    qint64 m_lastFilled = 0;
    bool m_quoted = false;
    bool m_filled = false; // the current record has a character
    bool m_afterCr = false;
};

bool isCaption(QString cell)
{
    static const QStringList captions { QStringLiteral("号码"), QStringLiteral("抽奖号"),
        QStringLiteral("抽奖号码"), QStringLiteral("工号"), QStringLiteral("编号"), QStringLiteral("员工号"),
        QStringLiteral("员工编号"), QStringLiteral("序号"), QStringLiteral("学号"), QStringLiteral("卡号"),
        QStringLiteral("姓名"), QStringLiteral("名字"), QStringLiteral("员工姓名"), QStringLiteral("ID"),
        QStringLiteral("No"), QStringLiteral("No."), QStringLiteral("Number"), QStringLiteral("Name") };
    while (cell.endsWith(u':') || cell.endsWith(u'：'))
        cell.chop(1);
    return captions.contains(cell.trimmed(), Qt::CaseInsensitive);
}

bool allDigits(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

bool hasDigit(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

// Row `row` (from 1) of the preview composed by a spec, trimmed.
QString composedAt(const QList<QStringList> &preview, const QString &spec, int row)
{
    const QStringList &fields = preview.at(row - 1);
    return ComposeSpecValue(
        spec, [&fields](int column) { return fields.value(column - 1); }, true)
        .trimmed();
}

// What the numbers of up to ten rows from `first` on are like (rows
// without a number are passed over): all digits, each with a digit, each
// with a name beside it.
struct NumberShape
{
    int seen = 0;
    bool allDigits = true;
    bool digitInEach = true;
    bool namedEach = true;
};

NumberShape numberShape(const QList<QStringList> &preview, int first, const QStringList &specs)
{
    NumberShape shape;
    for (int row = std::max(1, first); row <= preview.size() && shape.seen < 10; ++row) {
        const QString number = composedAt(preview, specs.value(0), row);
        if (number.isEmpty())
            continue;
        ++shape.seen;
        shape.allDigits = shape.allDigits && allDigits(number);
        shape.digitInEach = shape.digitInEach && hasDigit(number);
        shape.namedEach = shape.namedEach && !composedAt(preview, specs.value(1), row).isEmpty();
    }
    return shape;
}

enum class Units
{
    Bytes,
    Utf16Le,
    Utf16Be
};

} // namespace

qint64 CountCsvRows(QIODevice &device)
{
    if (!device.isReadable())
        return -1;
    constexpr qint64 ChunkSize = 1 << 20;
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    RowCounter counter;
    Units units = Units::Bytes;
    bool atStart = true;
    QByteArray carry; // the first byte of a UTF-16 unit cut by the chunk's end
    for (;;) {
        const qint64 read = device.read(chunk.data(), ChunkSize);
        if (read < 0)
            return -1;
        if (read == 0)
            break;
        QByteArrayView bytes(chunk.constData(), read);
        QByteArray joined;
        if (!carry.isEmpty()) {
            joined = carry + bytes.toByteArray();
            carry.clear();
            bytes = joined;
        }
        if (atStart) {
            // A mark cut by the first chunk would need a device that reads
            // fewer than three bytes at its start; files do not.
            atStart = false;
            if (bytes.startsWith("\xEF\xBB\xBF")) {
                bytes = bytes.sliced(3);
            } else if (bytes.startsWith("\xFF\xFE")) {
                units = Units::Utf16Le;
                bytes = bytes.sliced(2);
            } else if (bytes.startsWith("\xFE\xFF")) {
                units = Units::Utf16Be;
                bytes = bytes.sliced(2);
            }
        }
        const auto *data = reinterpret_cast<const uchar *>(bytes.data());
        const qsizetype size = bytes.size();
        if (units == Units::Bytes) {
            // Quotes and line ends are single bytes in UTF-8 and GB18030 alike:
            // neither uses them inside a character.
            for (qsizetype i = 0; i < size; ++i)
                counter.take(char16_t(data[i]));
            continue;
        }
        const qsizetype whole = size & ~qsizetype(1);
        const bool littleEndian = units == Units::Utf16Le;
        for (qsizetype i = 0; i < whole; i += 2) {
            counter.take(
                littleEndian ? char16_t(data[i] | data[i + 1] << 8) : char16_t(data[i] << 8 | data[i + 1]));
        }
        if (whole < size)
            carry = bytes.sliced(whole).toByteArray();
    }
    return counter.finish();
}

qint64 CountCsvRows(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return CountCsvRows(file);
}

qint64 CountRows(const QString &path, const QString &sheet)
{
    if (IsCsvPath(path))
        return CountCsvRows(path);
    int error = NoError;
    const std::unique_ptr<Workbook> book = OpenWorkbook(path, &error);
    if (!book || book->selectSheet(sheet) != NoError)
        return -1;
    return book->rowCount();
}

QString FileRowsText(qint64 fileRows)
{
    return fileRows < 0 ? QString() : QStringLiteral("文件共有%1行").arg(fileRows);
}

QString ShortRangeQuestion(qint64 fileRows, int first, int last)
{
    if (fileRows < 0 || last >= fileRows)
        return QString();
    return QStringLiteral("文件共有%1行，当前只导入第%2行至第%3行，是否继续？")
        .arg(fileRows)
        .arg(first)
        .arg(last);
}

void KeepRangeInFile(qint64 fileRows, int &first, int &last)
{
    if (fileRows < 1)
        return;
    first = int(std::min<qint64>(first, fileRows));
    last = int(std::min<qint64>(last, fileRows));
}

QString RowsAboveRangeQuestion(
    const QList<QStringList> &preview, int first, const QStringList &specs, int &from)
{
    const auto compose = [&preview](const QString &spec, int row) { return composedAt(preview, spec, row); };
    // What the range's rows are like: numbers all digits, or all with a
    // digit; names always given.
    const NumberShape range = numberShape(preview, first, specs);
    if (range.seen == 0)
        return QString();
    QStringList named;
    from = first;
    for (int row = 1; row < first && row <= preview.size(); ++row) {
        const QString number = compose(specs.value(0), row);
        const QString name = compose(specs.value(1), row);
        if (number.isEmpty() || isCaption(number) || isCaption(name)
            || (range.allDigits && !allDigits(number)) || (range.digitInEach && !hasDigit(number))
            || (range.namedEach && name.isEmpty()) || !HeaderRowQuestion(preview, row, specs).isEmpty())
            continue;
        if (from == first)
            from = row;
        if (named.size() < 3)
            named << QStringLiteral("第%1行（%2）")
                         .arg(row)
                         .arg(name.isEmpty() ? number : number + u' ' + name);
        else if (named.size() == 3)
            named << QStringLiteral("…");
    }
    if (named.isEmpty())
        return QString();
    return QStringLiteral("%1不在导入范围内，看上去也是名单中的人。是否从第%2行起导入？")
        .arg(named.join(u'、'))
        .arg(from);
}

QString HeaderRowQuestion(const QList<QStringList> &preview, int first, const QStringList &specs)
{
    if (first < 1 || first > preview.size())
        return QString();
    const auto compose = [&preview](const QString &spec, int row) { return composedAt(preview, spec, row); };
    const QString number = compose(specs.value(0), first);
    bool looks = isCaption(number) || isCaption(compose(specs.value(1), first));
    if (!looks && !number.isEmpty()) {
        const NumberShape below = numberShape(preview, first + 1, specs);
        looks = below.seen > 0
            && ((below.allDigits && !allDigits(number)) || (below.digitInEach && !hasDigit(number)));
    }
    if (!looks)
        return QString();
    constexpr int ShownCells = 6;
    QStringList cells;
    for (const QString &field : preview.at(first - 1)) {
        if (field.trimmed().isEmpty())
            continue;
        if (cells.size() == ShownCells) {
            cells << QStringLiteral("…");
            break;
        }
        cells << field.trimmed();
    }
    return QStringLiteral("第%1行像是表头（%2），是否也作为名单导入？").arg(first).arg(cells.join(u'、'));
}

QList<FurtherColumn> FurtherColumns(
    const QList<QStringList> &preview, int headerRow, const QStringList &specs)
{
    std::vector<int> read;
    for (qsizetype i = 0; i < 2 && i < specs.size(); ++i) {
        const std::vector<int> columns = SpecPieces(specs.at(i), true).columns();
        read.insert(read.end(), columns.begin(), columns.end());
    }
    qsizetype widest = 0;
    for (const QStringList &row : preview) {
        for (qsizetype c = row.size(); c > widest; --c) {
            if (!row.at(c - 1).trimmed().isEmpty()) {
                widest = c;
                break;
            }
        }
    }
    const QStringList header = headerRow >= 1 ? preview.value(headerRow - 1) : QStringList();
    QList<FurtherColumn> further;
    QStringList taken;
    for (int column = 1; column <= int(widest); ++column) {
        if (std::find(read.begin(), read.end(), column) != read.end())
            continue;
        FurtherColumn offered;
        offered.column = column;
        offered.name = header.value(column - 1).simplified();
        // A file's own serial numbers are nothing anyone draws by.
        offered.chosen = !offered.name.isEmpty() && offered.name != QStringLiteral("序号");
        if (offered.name.isEmpty())
            offered.name = QStringLiteral("列") + ColumnLetters(column);
        else if (taken.contains(offered.name))
            offered.name += QStringLiteral("（%1列）").arg(ColumnLetters(column));
        taken << offered.name;
        further << offered;
    }
    return further;
}

qint64 SkippedEmptyRows(qint64 fileRows, int first, int last, qint64 stored)
{
    if (fileRows < 0)
        return 0;
    const qint64 inFile = std::min<qint64>(last, fileRows) - first + 1;
    return std::max<qint64>(0, inFile - stored);
}

QString ImportedMessage(qint64 stored, qint64 skipped)
{
    if (skipped <= 0)
        return QStringLiteral("已导入%1条记录。").arg(stored);
    return QStringLiteral("已导入%1条记录，跳过%2个空行。").arg(stored).arg(skipped);
}

bool IsColumnCaption(const QString &cell)
{
    return isCaption(cell);
}

} // namespace tombolix::transfer
