#include "transfer/csv.h"

#include "common/progress.h"
#include "transfer/columnspec.h"
#include "transfer/csvparse.h"
#include "transfer/textcodec.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <optional>
#include <vector>

namespace tombolix::transfer {

namespace {

constexpr int PreviewRows = 19;
constexpr int PreviewCols = 59;

// The file's lines, read and decoded as they are wanted.
class CsvFile
{
public:
    explicit CsvFile(const QString &path)
        : m_file(path)
    {
        if (m_file.open(QIODevice::ReadOnly)) {
            m_reader.emplace(m_file);
            m_lines.emplace([this] { return m_reader->read(); });
        }
    }

    bool isOpen() const { return m_lines.has_value(); }
    CsvLines &lines() { return *m_lines; }
    bool failed() const { return !m_reader || m_reader->failed(); }

private:
    QFile m_file;
    std::optional<TextFileReader> m_reader;
    std::optional<CsvLines> m_lines;
};

// The highest column any spec refers to, so that a record need not keep the
// fields nobody asked for.
int widestColumn(const QStringList &specs)
{
    int widest = 0;
    for (const QString &spec : specs) {
        if (spec.isEmpty())
            continue;
        for (const QString &piece : spec.split(QLatin1Char(',')))
            widest = std::max(widest, ColumnNumber(piece));
    }
    return widest;
}

QString csvField(QString text)
{
    const bool enclose = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    if (enclose)
        text = QLatin1Char('"') + text + QLatin1Char('"');
    return text;
}

} // namespace

int ReadCsvRows(
    const QString &path, int first, int last, QStringList specs, std::vector<data::EntrantRow> &rows)
{
    rows.clear();
    std::optional<CsvFile> file;
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        file.emplace(path);
    if (!file || !file->isOpen())
        return CsvOpenError;

    // Reading stops at the last row wanted: the rest of a long file is never
    // read, nor is it checked.
    CsvLines &lines = file->lines();
    for (qint64 skipped = 0; skipped < qint64(first) - 1 && !lines.atEnd(); ++skipped)
        lines.nextView();

    NormaliseColumnSpecs(specs);
    const int keepFields = widestColumn(specs);
    const qint64 count = std::max<qint64>(0, qint64(last) - first + 1);
    const SpecPieces numberSpec(specs.value(0), false);
    const SpecPieces nameSpec(specs.value(1), false);
    const std::vector<SpecPieces> attributeSpecs = AttributeSpecPieces(specs, false);
    rows.reserve(size_t(count));
    while (qint64(rows.size()) < count && !lines.atEnd()) {
        bool emptyLine = false;
        const std::optional<QStringList> record = NextCsvRecord(lines, &emptyLine, keepFields);
        data::EntrantRow row;
        if (record && !emptyLine) {
            const auto field = [&record](int column) {
                return column <= record->size() ? record->at(column - 1) : QString();
            };
            row.number = numberSpec.compose(field);
            row.name = nameSpec.compose(field);
            ComposeAttributes(attributeSpecs, field, row.attributes);
        }
        rows.push_back(std::move(row));
    }
    if (file->failed()) {
        rows.clear();
        return CsvOpenError;
    }
    rows.resize(size_t(count));
    return 0;
}

QList<QStringList> PreviewCsvRows(const QString &path)
{
    QList<QStringList> records;
    CsvFile file(path);
    if (!file.isOpen())
        return records;
    CsvLines &lines = file.lines();
    for (int j = 1; j <= PreviewRows; ++j) {
        std::optional<QStringList> record = NextCsvRecord(lines, nullptr, PreviewCols);
        if (!record)
            break;
        records.append(std::move(*record));
    }
    if (file.failed())
        records.clear();
    return records;
}

bool ExportGridToCsv(const ExportTable &table, const QString &path)
{
    ProgressScope progress(QStringLiteral("正在导出数据至CSV格式文件……"), table.rowCount + table.hiddenRows);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;

    // Hidden rows count before the rest: in the grids on screen only the
    // field row above the captions is hidden.
    for (int r = 0; r < table.hiddenRows; ++r)
        progress.advance(1, QString());
    constexpr qsizetype FlushSize = 1 << 16;
    QByteArray pending = EncodeCsvText(QString());
    QString line;
    for (int r = 0; r < table.rowCount; ++r) {
        line.clear();
        for (int c = 0; c < table.columnCount; ++c) {
            if (c > 0)
                line += QLatin1Char(',');
            line += csvField(table.text(r, c));
        }
        line += QLatin1String("\r\n");
        pending += line.toUtf8();
        if (pending.size() >= FlushSize) {
            if (file.write(pending) != pending.size())
                return false;
            pending.clear();
        }
        progress.advance(1, QString());
    }
    if (file.write(pending) != pending.size())
        return false;
    return file.commit();
}

} // namespace tombolix::transfer
