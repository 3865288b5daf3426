#include "transfer/xlsxreader.h"

#include "common/conventions.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QTime>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <zip.h>

namespace tombolix::transfer {

namespace {

// One part of the package as a sequential device, so that the XML reader
// pulls it through in small chunks. A part that inflates to more than its
// header declares is corrupt or hostile, so reading stops there.
class ZipPartDevice : public QIODevice
{
public:
    ZipPartDevice(zip_file_t *file, qint64 declaredSize)
        : m_file(file)
        , m_limit(declaredSize)
    {
        QIODevice::open(QIODevice::ReadOnly);
    }
    ~ZipPartDevice() override { zip_fclose(m_file); }
    bool isSequential() const override { return true; }
    bool failed() const { return m_failed; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_failed)
            return -1;
        const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(maxSize));
        m_total += std::max<zip_int64_t>(n, 0);
        if (n < 0 || m_total > m_limit) {
            m_failed = true;
            return -1;
        }
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    zip_file_t *m_file;
    qint64 m_limit;
    qint64 m_total = 0;
    bool m_failed = false;
};

enum class PartStatus
{
    Ok,
    Missing,
    Broken,
};

// Runs parse over the XML of a part. Part names are case-insensitive in a
// package, and writers do not agree on case.
template<typename Parse> PartStatus parsePart(zip_t *zip, const QString &name, Parse &&parse)
{
    const zip_int64_t index = zip_name_locate(zip, name.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0)
        return PartStatus::Missing;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(zip, zip_uint64_t(index), 0, &stat) != 0)
        return PartStatus::Broken;
    // A few hundred bytes of zip can declare, or inflate to, gigabytes.
    qint64 limit = XlsxWorkbook::MaxPartSize;
    if (stat.valid & ZIP_STAT_SIZE) {
        if (stat.size > zip_uint64_t(limit))
            return PartStatus::Broken;
        limit = qint64(stat.size);
    }
    zip_file_t *file = zip_fopen_index(zip, zip_uint64_t(index), 0);
    if (!file)
        return PartStatus::Broken;
    ZipPartDevice device(file, limit);
    QXmlStreamReader xml(&device);
    parse(xml);
    if (xml.hasError() || device.failed())
        return PartStatus::Broken;
    return PartStatus::Ok;
}

QString folderOf(const QString &part)
{
    const int slash = int(part.lastIndexOf(QLatin1Char('/')));
    return slash < 0 ? QString() : part.left(slash);
}

QString relationshipsPartOf(const QString &part)
{
    const QString folder = folderOf(part);
    const QString file = part.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    return (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QLatin1String("_rels/") + file
        + QLatin1String(".rels");
}

// A relationship target is a URI relative to the source part's folder, or
// absolute from the package root.
QString resolveTarget(const QString &folder, const QString &target)
{
    const QString path = QUrl::fromPercentEncoding(target.toUtf8());
    QStringList segments;
    if (!path.startsWith(QLatin1Char('/')))
        segments = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QStringList pieces = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        if (piece == QLatin1String("."))
            continue;
        if (piece == QLatin1String("..")) {
            if (!segments.isEmpty())
                segments.removeLast();
            continue;
        }
        segments << piece;
    }
    return segments.join(QLatin1Char('/'));
}

struct Relationship
{
    QString id;
    QString type;
    QString target; // resolved part name
};

// An absent relationships part simply has none.
bool readRelationships(zip_t *zip, const QString &sourcePart, QVector<Relationship> &out)
{
    const QString folder = folderOf(sourcePart);
    const PartStatus status = parsePart(zip, relationshipsPartOf(sourcePart), [&](QXmlStreamReader &xml) {
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship"))
                continue;
            const QXmlStreamAttributes attributes = xml.attributes();
            if (attributes.value(QLatin1String("TargetMode")) == QLatin1String("External"))
                continue;
            out.push_back({ attributes.value(QLatin1String("Id")).toString(),
                attributes.value(QLatin1String("Type")).toString(),
                resolveTarget(folder, attributes.value(QLatin1String("Target")).toString()) });
        }
    });
    return status != PartStatus::Broken;
}

int hexDigit(QChar ch)
{
    const char16_t u = ch.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Text that XML cannot carry (control characters, a lone CR) is stored as _xHHHH_.
QString decodeEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        if (text.at(i) == QLatin1Char('_') && i + 6 < n && text.at(i + 1) == QLatin1Char('x')
            && text.at(i + 6) == QLatin1Char('_')) {
            int code = 0;
            int digits = 0;
            for (; digits < 4 && hexDigit(text.at(i + 2 + digits)) >= 0; ++digits)
                code = code * 16 + hexDigit(text.at(i + 2 + digits));
            if (digits == 4) {
                out += QChar(char16_t(code));
                i += 7;
                continue;
            }
        }
        out += text.at(i++);
    }
    return out;
}

// The text of a shared or inline string: its <t>, or the <t> of every run
// in order. Phonetic runs (<rPh>) are reading aids, not part of the text.
QString readRichText(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("t"))
                text += xml.readElementText();
            else if (xml.name() == QLatin1String("rPh"))
                xml.skipCurrentElement();
            else
                ++depth;
        } else if (xml.isEndElement()) {
            --depth;
        }
    }
    return decodeEscapes(text);
}

// "B12" to row 12, column 2; false for anything else.
bool parseCellReference(QStringView ref, int &row, int &col)
{
    qsizetype i = 0;
    qint64 c = 0;
    while (i < ref.size() && i < 4) {
        const char16_t ch = ref.at(i).toUpper().unicode();
        if (ch < u'A' || ch > u'Z')
            break;
        c = c * 26 + (ch - u'A' + 1);
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    bool ok = false;
    const qint64 r = ref.mid(i).toLongLong(&ok);
    if (!ok || r < 1 || r > XlsxWorkbook::MaxRows || c > XlsxWorkbook::MaxColumns || !ref.at(i).isDigit())
        return false;
    row = int(r);
    col = int(c);
    return true;
}

} // namespace

XlsxWorkbook::~XlsxWorkbook()
{
    if (m_zip)
        zip_discard(m_zip);
}

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::open(const QString &path, int *error)
{
    int zipError = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &zipError);
    if (!archive) {
        const bool unreadable
            = zipError == ZIP_ER_NOENT || zipError == ZIP_ER_OPEN || zipError == ZIP_ER_READ;
        if (error)
            *error = unreadable ? CannotOpen : NotAWorkbook;
        return nullptr;
    }
    std::unique_ptr<XlsxWorkbook> book(new XlsxWorkbook);
    book->m_zip = archive;
    const int result = book->load();
    if (error)
        *error = result;
    return result == NoError ? std::move(book) : nullptr;
}

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::openData(const QByteArray &bytes, int *error)
{
    std::unique_ptr<XlsxWorkbook> book(new XlsxWorkbook);
    book->m_data = bytes;
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t *source
        = zip_source_buffer_create(book->m_data.constData(), zip_uint64_t(book->m_data.size()), 0, &zipError);
    if (source) {
        book->m_zip = zip_open_from_source(source, ZIP_RDONLY, &zipError);
        if (!book->m_zip)
            zip_source_free(source);
    }
    zip_error_fini(&zipError);
    const int result = book->m_zip ? book->load() : int(NotAWorkbook);
    if (error)
        *error = result;
    return result == NoError ? std::move(book) : nullptr;
}

int XlsxWorkbook::load()
{
    QVector<Relationship> packageRelationships;
    if (!readRelationships(m_zip, QString(), packageRelationships))
        return NotAWorkbook;
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    for (const Relationship &relationship : packageRelationships) {
        if (relationship.type.endsWith(QLatin1String("/officeDocument"))) {
            workbookPart = relationship.target;
            break;
        }
    }
    QVector<Relationship> relationships;
    if (!readRelationships(m_zip, workbookPart, relationships))
        return NotAWorkbook;

    struct Entry
    {
        QString name;
        QString id;
        bool hidden = false;
    };
    QVector<Entry> entries;
    // Word documents and presentations are packages of the same kind; only
    // a main part that is a workbook makes the file one.
    bool isWorkbook = false;
    const PartStatus status = parsePart(m_zip, workbookPart, [&](QXmlStreamReader &xml) {
        bool atRoot = true;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (atRoot) {
                atRoot = false;
                isWorkbook = xml.name() == QLatin1String("workbook");
                if (!isWorkbook)
                    return;
            }
            const QXmlStreamAttributes attributes = xml.attributes();
            if (xml.name() == QLatin1String("workbookPr")) {
                const auto mode = attributes.value(QLatin1String("date1904"));
                m_date1904 = mode == QLatin1String("1") || mode == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet")) {
                // "hidden", or "veryHidden" for one that Excel's unhide list leaves out
                const auto state = attributes.value(QLatin1String("state"));
                Entry entry { attributes.value(QLatin1String("name")).toString(), QString(),
                    state == QLatin1String("hidden") || state == QLatin1String("veryHidden") };
                // r:id, whatever the prefix; sheetId is another attribute
                for (const QXmlStreamAttribute &attribute : attributes) {
                    if (attribute.name() == QLatin1String("id") && !attribute.namespaceUri().isEmpty())
                        entry.id = attribute.value().toString();
                }
                entries.push_back(entry);
            }
        }
    });
    if (status != PartStatus::Ok || !isWorkbook)
        return NotAWorkbook;

    QString sharedStringsPart;
    QString stylesPart;
    for (const Relationship &relationship : relationships) {
        if (relationship.type.endsWith(QLatin1String("/sharedStrings")))
            sharedStringsPart = relationship.target;
        else if (relationship.type.endsWith(QLatin1String("/styles")))
            stylesPart = relationship.target;
    }
    // Chart and dialog sheets are listed among the sheets but hold no cells.
    for (const Entry &entry : entries) {
        for (const Relationship &relationship : relationships) {
            if (relationship.id == entry.id && relationship.type.endsWith(QLatin1String("/worksheet"))) {
                m_sheets.push_back({ entry.name, relationship.target, entry.hidden });
                break;
            }
        }
    }
    if (!sharedStringsPart.isEmpty() && !loadSharedStrings(sharedStringsPart))
        return NotAWorkbook;
    if (!stylesPart.isEmpty() && !loadStyles(stylesPart))
        return NotAWorkbook;
    return NoError;
}

bool XlsxWorkbook::loadSharedStrings(const QString &part)
{
    const PartStatus status = parsePart(m_zip, part, [&](QXmlStreamReader &xml) {
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("si"))
                m_shared.push_back(readRichText(xml));
        }
    });
    return status != PartStatus::Broken;
}

namespace {

using DateKind = quint8;
constexpr DateKind NotDate = 0, IsDate = 1, IsTime = 2, IsDateTime = 3;

// What a number format shows a serial number as, judged from its codes
// outside quoted text, escapes and brackets (except elapsed [h], [m], [s]).
DateKind classifyFormatCode(const QString &code)
{
    QString codes;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar ch = code.at(i);
        if (ch == QLatin1Char('"')) {
            const qsizetype close = code.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                break;
            i = close;
        } else if (ch == QLatin1Char('\\') || ch == QLatin1Char('_') || ch == QLatin1Char('*')) {
            ++i;
        } else if (ch == QLatin1Char('[')) {
            const qsizetype close = code.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                break;
            const QString inside = code.mid(i + 1, close - i - 1).toLower();
            if (!inside.isEmpty()
                && (inside.count(QLatin1Char('h')) == inside.size()
                    || inside.count(QLatin1Char('m')) == inside.size()
                    || inside.count(QLatin1Char('s')) == inside.size()))
                codes += QLatin1Char('h');
            i = close;
        } else if (ch == QLatin1Char(';')) {
            break;
        } else {
            codes += ch.toLower();
        }
    }
    const bool time = codes.contains(QLatin1Char('h')) || codes.contains(QLatin1Char('s'));
    const bool date = codes.contains(QLatin1Char('y')) || codes.contains(QLatin1Char('d'))
        || (!time && codes.contains(QLatin1Char('m')));
    return date && time ? IsDateTime : date ? IsDate : time ? IsTime : NotDate;
}

// The built-in formats that show dates and times, the East Asian ones included.
DateKind classifyBuiltinFormat(int id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 58))
        return IsDate;
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 35) || (id >= 45 && id <= 47))
        return IsTime;
    if (id == 22)
        return IsDateTime;
    return NotDate;
}

} // namespace

bool XlsxWorkbook::loadStyles(const QString &part)
{
    QHash<int, QString> customFormats;
    std::vector<int> formatIds;
    const PartStatus status = parsePart(m_zip, part, [&](QXmlStreamReader &xml) {
        bool inCellFormats = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs"))
                inCellFormats = false;
            if (!xml.isStartElement())
                continue;
            const QXmlStreamAttributes attributes = xml.attributes();
            if (xml.name() == QLatin1String("numFmt")) {
                customFormats.insert(attributes.value(QLatin1String("numFmtId")).toInt(),
                    attributes.value(QLatin1String("formatCode")).toString());
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellFormats = true;
            } else if (inCellFormats && xml.name() == QLatin1String("xf")) {
                formatIds.push_back(attributes.value(QLatin1String("numFmtId")).toInt());
            }
        }
    });
    if (status == PartStatus::Broken)
        return false;
    QHash<int, DateKind> kinds;
    m_styleDates.reserve(formatIds.size());
    for (const int id : formatIds) {
        auto known = kinds.constFind(id);
        if (known == kinds.constEnd()) {
            const auto custom = customFormats.constFind(id);
            known = kinds.insert(id,
                custom != customFormats.constEnd() ? classifyFormatCode(*custom) : classifyBuiltinFormat(id));
        }
        m_styleDates.push_back(*known);
    }
    return true;
}

QString XlsxWorkbook::numberCellText(const QString &value, int style) const
{
    bool ok = false;
    const double number = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return value;
    const DateKind kind
        = style >= 0 && size_t(style) < m_styleDates.size() ? m_styleDates[size_t(style)] : NotDate;
    // Serial days up to 9999-12-31, shown the way the .xls reader shows them.
    if (kind == NotDate || number < 0 || number >= 2958466)
        return numberText(number);
    const qint64 seconds = std::llround(number * 86400.0);
    const qint64 days = seconds / 86400;
    const QTime time = QTime(0, 0).addSecs(int(seconds % 86400));
    QString dateText;
    if (m_date1904)
        dateText = QDate(1904, 1, 1).addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
    else if (days == 60) // the 29th of February 1900 that the 1900 system counts
        dateText = QStringLiteral("1900-02-29");
    else
        dateText = QDate(1899, 12, days > 60 ? 30 : 31).addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
    const QString timeText = time.toString(QStringLiteral("HH:mm:ss"));
    if (kind == IsDate)
        return dateText;
    if (kind == IsTime)
        return timeText;
    return dateText + QLatin1Char(' ') + timeText;
}

bool XlsxWorkbook::loadSheet(const QString &part)
{
    m_cells.clear();
    m_pool.clear();
    m_rowCount = 0;
    m_columnCount = 0;

    auto store = [this](int row, int col, const QString &text) {
        if (text.isEmpty())
            return;
        m_cells.push_back(
            { (quint64(quint32(row)) << 32) | quint32(col), quint32(m_pool.size()), qint32(text.size()) });
        m_pool += text;
    };
    auto storeShared = [this](int row, int col, quint32 index) {
        if (m_shared[index].isEmpty())
            return;
        m_cells.push_back({ (quint64(quint32(row)) << 32) | quint32(col), index, -1 });
    };

    const PartStatus status = parsePart(m_zip, part, [&](QXmlStreamReader &xml) {
        bool inData = false;
        int row = 0;
        int col = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == QLatin1String("sheetData"))
                inData = false;
            if (!xml.isStartElement())
                continue;
            if (!inData) {
                inData = xml.name() == QLatin1String("sheetData");
                continue;
            }
            const QXmlStreamAttributes attributes = xml.attributes();
            if (xml.name() == QLatin1String("row")) {
                // Rows without a number follow the previous one.
                bool ok = false;
                const int number = attributes.value(QLatin1String("r")).toInt(&ok);
                row = ok && number >= 1 ? number : row + 1;
                col = 0;
                continue;
            }
            if (xml.name() != QLatin1String("c")) {
                xml.skipCurrentElement();
                continue;
            }
            int cellRow = 0;
            int cellCol = 0;
            if (parseCellReference(attributes.value(QLatin1String("r")), cellRow, cellCol)) {
                row = cellRow;
                col = cellCol;
            } else {
                // Cells without a reference follow the previous one.
                row = std::max(row, 1);
                ++col;
            }
            const QStringView type = attributes.value(QLatin1String("t"));
            bool styled = false;
            const int style = attributes.value(QLatin1String("s")).toInt(&styled);
            QString value;
            QString inlineText;
            bool hasInline = false;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("v")) {
                    value = xml.readElementText();
                } else if (xml.name() == QLatin1String("is")) {
                    inlineText = readRichText(xml);
                    hasInline = true;
                } else {
                    xml.skipCurrentElement(); // the formula; its cached value is in <v>
                }
            }
            if (xml.hasError() || row > MaxRows || col > MaxColumns)
                continue;
            if (type == QLatin1String("s")) {
                bool ok = false;
                const uint index = value.trimmed().toUInt(&ok);
                if (ok && index < m_shared.size())
                    storeShared(row, col, index);
            } else if (type == QLatin1String("inlineStr")) {
                store(row, col, hasInline ? inlineText : decodeEscapes(value));
            } else if (type == QLatin1String("str")) {
                store(row, col, decodeEscapes(value));
            } else if (type == QLatin1String("b")) {
                const QString flag = value.trimmed();
                store(row, col,
                    flag == QLatin1String("1")       ? QStringLiteral("TRUE")
                        : flag == QLatin1String("0") ? QStringLiteral("FALSE")
                                                     : value);
            } else if (type == QLatin1String("e")) {
                store(row, col, value);
            } else if (type == QLatin1String("d")) {
                store(row, col, value.replace(QLatin1Char('T'), QLatin1Char(' ')));
            } else if (!value.isEmpty()) {
                store(row, col, numberCellText(value, styled ? style : -1));
            }
        }
    });
    if (status != PartStatus::Ok) {
        m_cells.clear();
        m_pool.clear();
        return false;
    }

    // Writers put cells in order, but nothing forces them to; a cell given
    // twice keeps its last value.
    auto byKey = [](const StoredCell &a, const StoredCell &b) { return a.key < b.key; };
    if (!std::is_sorted(m_cells.begin(), m_cells.end(), byKey))
        std::stable_sort(m_cells.begin(), m_cells.end(), byKey);
    size_t kept = 0;
    for (size_t i = 0; i < m_cells.size(); ++i) {
        if (kept > 0 && m_cells[kept - 1].key == m_cells[i].key)
            m_cells[kept - 1] = m_cells[i];
        else
            m_cells[kept++] = m_cells[i];
    }
    m_cells.resize(kept);
    m_cells.shrink_to_fit();
    for (const StoredCell &stored : m_cells) {
        m_rowCount = std::max(m_rowCount, int(stored.key >> 32));
        m_columnCount = std::max(m_columnCount, int(stored.key & 0xffffffffU));
    }
    return true;
}

QStringList XlsxWorkbook::sheetNames() const
{
    QStringList names;
    for (const Sheet &sheet : m_sheets)
        names << sheet.name;
    return names;
}

QList<SheetInfo> XlsxWorkbook::sheets() const
{
    QList<SheetInfo> infos;
    for (const Sheet &sheet : m_sheets)
        infos.append({ sheet.name, sheet.hidden });
    return infos;
}

int XlsxWorkbook::selectSheet(const QString &name)
{
    for (int i = 0; i < m_sheets.size(); ++i) {
        if (m_sheets.at(i).name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (i == m_selected)
            return NoError;
        m_selected = -1;
        if (!loadSheet(m_sheets.at(i).part)) {
            m_rowCount = 0;
            m_columnCount = 0;
            return NotAWorkbook;
        }
        m_selected = i;
        return NoError;
    }
    return NoSuchSheet;
}

QString XlsxWorkbook::cell(int row, int col) const
{
    if (m_selected < 0 || row < 1 || col < 1 || row > MaxRows || col > MaxColumns)
        return QString();
    const quint64 key = (quint64(quint32(row)) << 32) | quint32(col);
    const auto found = std::lower_bound(m_cells.begin(), m_cells.end(), key,
        [](const StoredCell &stored, quint64 k) { return stored.key < k; });
    if (found == m_cells.end() || found->key != key)
        return QString();
    if (found->length < 0)
        return m_shared[found->index];
    return m_pool.mid(found->index, found->length);
}

} // namespace tombolix::transfer
