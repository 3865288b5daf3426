#include "transfer/xlsxreader.h"

#include "common/conventions.h"
#include "transfer/sheetcells.h"
#include "transfer/sheetlist.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QStringDecoder>
#include <QTime>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
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

// Opens a part for reading, with the most it may inflate to. Part names are
// case-insensitive in a package, and writers do not agree on case.
PartStatus openPart(zip_t *zip, const QString &name, zip_file_t **file, qint64 *limit)
{
    const zip_int64_t index = zip_name_locate(zip, name.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0)
        return PartStatus::Missing;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(zip, zip_uint64_t(index), 0, &stat) != 0)
        return PartStatus::Broken;
    // A few hundred bytes of zip can declare, or inflate to, gigabytes.
    *limit = XlsxWorkbook::MaxPartSize;
    if (stat.valid & ZIP_STAT_SIZE) {
        if (stat.size > zip_uint64_t(*limit))
            return PartStatus::Broken;
        *limit = qint64(stat.size);
    }
    *file = zip_fopen_index(zip, zip_uint64_t(index), 0);
    return *file ? PartStatus::Ok : PartStatus::Broken;
}

// Runs parse over the XML of a part.
template<typename Parse> PartStatus parsePart(zip_t *zip, const QString &name, Parse &&parse)
{
    zip_file_t *file = nullptr;
    qint64 limit = 0;
    const PartStatus opened = openPart(zip, name, &file, &limit);
    if (opened != PartStatus::Ok)
        return opened;
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

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::open(const QString &path, int *error, const CellScope *scope)
{
    int zipError = 0;
#ifdef Q_OS_WIN
    // libzip opens a narrow name in the ANSI code page, which cannot name
    // 员工名单.xlsx on most machines; a wide-character source can.
    zip_t *archive = nullptr;
    zip_error_t sourceError;
    zip_error_init(&sourceError);
    const std::wstring wide = QDir::toNativeSeparators(path).toStdWString();
    if (zip_source_t *source = zip_source_win32w_create(wide.c_str(), 0, -1, &sourceError)) {
        archive = zip_open_from_source(source, ZIP_RDONLY, &sourceError);
        if (!archive)
            zip_source_free(source);
    }
    zipError = zip_error_code_zip(&sourceError);
    zip_error_fini(&sourceError);
#else
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &zipError);
#endif
    if (!archive) {
        const bool unreadable
            = zipError == ZIP_ER_NOENT || zipError == ZIP_ER_OPEN || zipError == ZIP_ER_READ;
        if (error)
            *error = unreadable ? CannotOpen : NotAWorkbook;
        return nullptr;
    }
    std::unique_ptr<XlsxWorkbook> book(new XlsxWorkbook);
    book->m_zip = archive;
    if (scope) {
        book->m_scoped = true;
        book->m_scope = *scope;
    }
    const int result = book->load();
    if (error)
        *error = result;
    return result == NoError ? std::move(book) : nullptr;
}

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::openData(
    const QByteArray &bytes, int *error, const CellScope *scope)
{
    std::unique_ptr<XlsxWorkbook> book(new XlsxWorkbook);
    if (scope) {
        book->m_scoped = true;
        book->m_scope = *scope;
    }
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

void XlsxWorkbook::addSharedString(const QString &text)
{
    m_sharedText += text;
    m_sharedEnds.push_back(quint32(m_sharedText.size()));
}

QString XlsxWorkbook::sharedString(quint32 index) const
{
    const quint32 start = index == 0 ? 0 : m_sharedEnds[index - 1];
    return m_sharedText.mid(start, m_sharedEnds[index] - start);
}

bool XlsxWorkbook::loadSharedStrings(const QString &part)
{
    if (m_scoped) {
        const ScanResult scanned = scanSharedStrings(part);
        if (scanned != ScanResult::Unsure)
            return scanned == ScanResult::Read;
        m_sharedText.clear();
        m_sharedEnds.clear();
    }
    const PartStatus status = parsePart(m_zip, part, [&](QXmlStreamReader &xml) {
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("si"))
                addSharedString(readRichText(xml));
        }
    });
    m_sharedText.squeeze();
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

namespace {

// The bytes of a part, pulled through a buffer, for the sheet scanner.
class PartBytes
{
public:
    PartBytes(zip_file_t *file, qint64 limit)
        : m_file(file)
        , m_limit(limit)
        , m_buffer(new char[BufferSize])
    { }
    ~PartBytes() { zip_fclose(m_file); }
    PartBytes(const PartBytes &) = delete;
    PartBytes &operator=(const PartBytes &) = delete;

    // The next byte, or -1 at the end of the part or when it cannot be read.
    int next()
    {
        if (m_pos == m_end && !refill())
            return -1;
        return uchar(m_buffer[m_pos++]);
    }
    bool failed() const { return m_failed; }
    // Gives back the byte a successful next() has just given.
    void unget() { --m_pos; }
    // Appends the bytes before the next '<' to out (when given) and takes
    // the '<'; false at the end of the part.
    bool textUntilTag(std::string *out)
    {
        for (;;) {
            if (m_pos == m_end && !refill())
                return false;
            const char *from = m_buffer.get() + m_pos;
            const void *found = std::memchr(from, '<', size_t(m_end - m_pos));
            const qsizetype length
                = found ? static_cast<const char *>(found) - from : qsizetype(m_end - m_pos);
            if (out)
                out->append(from, size_t(length));
            m_pos += length;
            if (found) {
                ++m_pos;
                return true;
            }
        }
    }

private:
    static constexpr qsizetype BufferSize = 1 << 16;
    bool refill()
    {
        if (m_failed)
            return false;
        const zip_int64_t n = zip_fread(m_file, m_buffer.get(), zip_uint64_t(BufferSize));
        m_total += std::max<zip_int64_t>(n, 0);
        if (n < 0 || m_total > m_limit) {
            m_failed = true;
            return false;
        }
        m_pos = 0;
        m_end = qsizetype(n);
        return n > 0;
    }

    zip_file_t *m_file;
    qint64 m_limit;
    qint64 m_total = 0;
    std::unique_ptr<char[]> m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    bool m_failed = false;
};

bool isSpace(int ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

bool isAsciiAlnum(char ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

// A tag as the scanner sees it: its name and the three cell attributes.
struct ScannedTag
{
    std::string name;
    std::string r, t, s;
    bool hasR = false, hasT = false, hasS = false;
    bool end = false;
    bool empty = false; // <x/>

    std::string attribute, value; // scratch, kept for its capacity

    bool is(const char *n) const
    {
        const size_t length = std::strlen(n);
        return name.size() == length && std::memcmp(name.data(), n, length) == 0;
    }
};

// Reads a tag after its '<'. False for whatever the scanner leaves to the
// full XML reader: declarations, comments, CDATA, processing instructions,
// and cell attributes that are anything but letters and digits.
bool readTag(PartBytes &in, ScannedTag &tag)
{
    tag.name.clear();
    tag.r.clear();
    tag.t.clear();
    tag.s.clear();
    tag.hasR = tag.hasT = tag.hasS = false;
    tag.end = tag.empty = false;
    int ch = in.next();
    if (ch == '/') {
        tag.end = true;
        ch = in.next();
    }
    if (ch == '!' || ch == '?' || ch < 0)
        return false;
    while (ch >= 0 && !isSpace(ch) && ch != '/' && ch != '>') {
        tag.name += char(ch);
        ch = in.next();
    }
    if (tag.name.empty())
        return false;
    for (;;) {
        while (isSpace(ch))
            ch = in.next();
        if (ch == '>')
            return true;
        if (ch == '/') {
            tag.empty = !tag.end && in.next() == '>';
            return tag.empty;
        }
        if (ch < 0 || tag.end)
            return false;
        std::string &name = tag.attribute;
        name.clear();
        while (ch >= 0 && !isSpace(ch) && ch != '=' && ch != '>' && ch != '/') {
            name += char(ch);
            ch = in.next();
        }
        while (isSpace(ch))
            ch = in.next();
        if (ch != '=')
            return false;
        ch = in.next();
        while (isSpace(ch))
            ch = in.next();
        if (ch != '"' && ch != '\'')
            return false;
        const int quote = ch;
        std::string &value = tag.value;
        value.clear();
        for (ch = in.next(); ch >= 0 && ch != quote; ch = in.next()) {
            if (ch == '<')
                return false;
            value += char(ch);
        }
        if (ch < 0)
            return false;
        ch = in.next();
        if (name.size() != 1)
            continue;
        std::string *slot = nullptr;
        bool *seen = nullptr;
        if (name[0] == 'r') {
            slot = &tag.r;
            seen = &tag.hasR;
        } else if (name[0] == 't') {
            slot = &tag.t;
            seen = &tag.hasT;
        } else if (name[0] == 's') {
            slot = &tag.s;
            seen = &tag.hasS;
        } else {
            continue;
        }
        if (*seen || !std::all_of(value.begin(), value.end(), isAsciiAlnum))
            return false;
        *seen = true;
        slot->assign(value);
    }
}

// A number of digits only, as toInt() reads it; absent or empty gives ok
// false. False for anything toInt() might read otherwise.
bool readDigits(const std::string &text, int &number, bool &ok)
{
    ok = false;
    if (text.empty())
        return true;
    if (text.size() > 9
        || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    number = std::stoi(text);
    ok = true;
    return true;
}

void appendUtf8(std::string &out, char32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Element text as the XML reader gives it: references resolved, UTF-8
// decoded. False for what the scanner leaves to that reader (line ends it
// would normalise, control characters, unknown entities, bad UTF-8).
bool decodeText(const std::string &raw, QString &out)
{
    std::string text;
    const std::string *bytes = &raw;
    bool plain = true; // ASCII without references
    for (const char c : raw) {
        if ((uchar(c) < 0x20 && c != '\t' && c != '\n') || c == '>')
            return false;
        plain = plain && uchar(c) < 0x80 && c != '&';
    }
    if (plain) {
        out = QString::fromLatin1(raw.data(), qsizetype(raw.size()));
        return true;
    }
    if (raw.find('&') != std::string::npos) {
        text.reserve(raw.size());
        for (size_t i = 0; i < raw.size();) {
            if (raw[i] != '&') {
                text += raw[i++];
                continue;
            }
            const size_t semicolon = raw.find(';', i);
            if (semicolon == std::string::npos || semicolon - i > 12)
                return false;
            const std::string name = raw.substr(i + 1, semicolon - i - 1);
            i = semicolon + 1;
            if (name == "lt") {
                text += '<';
            } else if (name == "gt") {
                text += '>';
            } else if (name == "amp") {
                text += '&';
            } else if (name == "quot") {
                text += '"';
            } else if (name == "apos") {
                text += '\'';
            } else if (name.size() >= 2 && name[0] == '#') {
                const bool hex = name[1] == 'x';
                const std::string digits = name.substr(hex ? 2 : 1);
                if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [hex](char c) {
                        return hex ? std::isxdigit(uchar(c)) != 0 : (c >= '0' && c <= '9');
                    }))
                    return false;
                const unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);
                const bool allowed = code == 0x9 || code == 0xA || code == 0xD
                    || (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD)
                    || (code >= 0x10000 && code <= 0x10FFFF);
                if (!allowed)
                    return false;
                appendUtf8(text, char32_t(code));
            } else {
                return false;
            }
        }
        bytes = &text;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decoder(QByteArrayView(bytes->data(), qsizetype(bytes->size())));
    return !decoder.hasError();
}

// parseCellReference() over the letters and digits of a scanned reference.
bool parseAsciiCellReference(const std::string &ref, int &row, int &col)
{
    size_t i = 0;
    qint64 c = 0;
    while (i < ref.size() && i < 4) {
        const char ch = char(std::toupper(uchar(ref[i])));
        if (ch < 'A' || ch > 'Z')
            break;
        c = c * 26 + (ch - 'A' + 1);
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    qint64 r = 0;
    for (size_t j = i; j < ref.size(); ++j) {
        if (ref[j] < '0' || ref[j] > '9')
            return false;
        r = std::min<qint64>(r * 10 + (ref[j] - '0'), qint64(XlsxWorkbook::MaxRows) + 1);
    }
    if (r < 1 || r > XlsxWorkbook::MaxRows || c > XlsxWorkbook::MaxColumns)
        return false;
    row = int(r);
    col = int(c);
    return true;
}

// An ASCII attribute value as the view the XML reader's attributes give.
struct AsciiView
{
    char16_t chars[24];
    qsizetype size = 0;
    explicit AsciiView(const std::string &text)
    {
        size = qsizetype(std::min(text.size(), sizeof chars / sizeof chars[0]));
        for (qsizetype i = 0; i < size; ++i)
            chars[i] = char16_t(uchar(text[size_t(i)]));
    }
    QStringView view() const { return QStringView(chars, size); }
};

// Reads up to the root element, taking its '<'. False for what the scanner
// leaves to the XML reader: UTF-16, another encoding, a doctype, comments.
bool startDocument(PartBytes &in)
{
    // Only UTF-8 without a byte order mark other than UTF-8's.
    std::string head;
    if (!in.textUntilTag(&head))
        return false;
    if (!(head.empty() || head == "\xEF\xBB\xBF"))
        return false;
    std::string declaration;
    // The declaration names no encoding, or UTF-8.
    const int afterOpen = in.next();
    if (afterOpen < 0)
        return false;
    if (afterOpen == '?') {
        if (!in.textUntilTag(&declaration))
            return false;
        while (!declaration.empty() && isSpace(declaration.back()))
            declaration.pop_back();
        std::transform(declaration.begin(), declaration.end(), declaration.begin(),
            [](char c) { return char(std::tolower(uchar(c))); });
        const size_t encoding = declaration.find("encoding");
        if (declaration.size() < 6 || declaration.compare(0, 4, "xml ") != 0
            || declaration.find('>') != declaration.size() - 1 || declaration[declaration.size() - 2] != '?'
            || (encoding != std::string::npos && declaration.find("utf-8", encoding) == std::string::npos))
            return false;
    } else {
        in.unget();
    }
    return true;
}

} // namespace

// Reads the sheet's cells with a scanner of the little XML that worksheets
// are written in, keeping only the scope's cells and stopping after its last
// row; what the full XML reader would read differently or judge broken
// (namespace prefixes, comments, CDATA, rich text, odd attribute values)
// makes it give up with Unsure and leave the sheet to that reader.
XlsxWorkbook::ScanResult XlsxWorkbook::scanSheet(const QString &part, const CellScope &scope)
{
    zip_file_t *file = nullptr;
    qint64 limit = 0;
    const PartStatus opened = openPart(m_zip, part, &file, &limit);
    if (opened != PartStatus::Ok)
        return opened == PartStatus::Missing ? ScanResult::Read : ScanResult::Broken;
    PartBytes in(file, limit);

    if (!startDocument(in))
        return ScanResult::Unsure;
    ScannedTag tag;
    std::vector<std::string> open; // the elements around the cells
    bool rootClosed = false;
    bool inData = false;
    bool sawData = false;
    bool rowOpen = false;
    int row = 0;
    int col = 0;
    std::string raw;
    QString value;
    QString inlineText;
    QString piece;
    bool atTag = true; // its '<' taken
    for (;;) {
        if (!atTag && !in.textUntilTag(nullptr))
            return sawData && open.empty() && !in.failed() ? ScanResult::Read : ScanResult::Unsure;
        atTag = false;
        if (!readTag(in, tag))
            return ScanResult::Unsure;
        if (!inData) {
            // Outside the cells only the nesting is checked.
            const bool prefixed = tag.name.find(':') != std::string::npos;
            if (prefixed && tag.name.size() >= 10
                && tag.name.compare(tag.name.size() - 10, 10, ":sheetData") == 0)
                return ScanResult::Unsure;
            if (tag.end) {
                if (open.empty() || open.back() != tag.name)
                    return ScanResult::Unsure;
                open.pop_back();
                rootClosed = open.empty();
                continue;
            }
            if (rootClosed)
                return ScanResult::Unsure;
            if (tag.is("sheetData") && !open.empty()) {
                sawData = true;
                inData = !tag.empty;
                rowOpen = false;
            }
            if (!tag.empty)
                open.push_back(tag.name);
            else if (open.empty())
                rootClosed = true;
            continue;
        }
        if (tag.name.find(':') != std::string::npos)
            return ScanResult::Unsure;
        if (tag.end) {
            if (tag.is("sheetData") && !rowOpen) {
                inData = false;
                open.pop_back();
            } else if (tag.is("row") && rowOpen) {
                rowOpen = false;
            } else {
                return ScanResult::Unsure;
            }
            continue;
        }
        if (tag.is("row")) {
            // Rows without a number follow the previous one.
            int number = 0;
            bool ok = false;
            if (!readDigits(tag.r, number, ok))
                return ScanResult::Unsure;
            row = ok && number >= 1 ? number : row + 1;
            col = 0;
            if (rowOpen)
                return ScanResult::Unsure;
            rowOpen = !tag.empty;
            if (row > scope.lastRow)
                return ScanResult::Read;
            continue;
        }
        if (!tag.is("c"))
            return ScanResult::Unsure;
        int cellRow = 0;
        int cellCol = 0;
        if (tag.hasR && parseAsciiCellReference(tag.r, cellRow, cellCol)) {
            row = cellRow;
            col = cellCol;
        } else {
            // Cells without a reference follow the previous one.
            row = std::max(row, 1);
            ++col;
        }
        if (row > scope.lastRow)
            return ScanResult::Read;
        int style = -1;
        bool styled = false;
        if (!readDigits(tag.s, style, styled))
            return ScanResult::Unsure;
        const bool keep = row <= MaxRows && col <= MaxColumns && scope.wants(row, col);
        const std::string type = tag.t;
        value.clear();
        inlineText.clear();
        bool hasInline = false;
        if (!tag.empty) {
            for (;;) {
                if (!in.textUntilTag(nullptr) || !readTag(in, tag))
                    return ScanResult::Unsure;
                if (tag.end) {
                    if (tag.is("c"))
                        break;
                    return ScanResult::Unsure;
                }
                if (tag.is("v") || tag.is("f")) {
                    const bool isValue = tag.is("v");
                    raw.clear();
                    if (!tag.empty) {
                        if (!in.textUntilTag(&raw) || !readTag(in, tag) || !tag.end
                            || !tag.is(isValue ? "v" : "f"))
                            return ScanResult::Unsure;
                    }
                    if (isValue && keep && !decodeText(raw, value))
                        return ScanResult::Unsure;
                } else if (tag.is("is")) {
                    hasInline = true;
                    inlineText.clear();
                    for (bool open = !tag.empty; open;) {
                        if (!in.textUntilTag(nullptr) || !readTag(in, tag))
                            return ScanResult::Unsure;
                        if (tag.end && tag.is("is")) {
                            open = false;
                            continue;
                        }
                        if (tag.end || !tag.is("t"))
                            return ScanResult::Unsure;
                        if (tag.empty)
                            continue;
                        raw.clear();
                        if (!in.textUntilTag(&raw) || !readTag(in, tag) || !tag.end || !tag.is("t"))
                            return ScanResult::Unsure;
                        if (keep) {
                            if (!decodeText(raw, piece))
                                return ScanResult::Unsure;
                            inlineText += piece;
                        }
                    }
                } else {
                    return ScanResult::Unsure;
                }
            }
        }
        if (keep) {
            const AsciiView typeView(type);
            storeCell(row, col, typeView.view(), value, hasInline ? decodeEscapes(inlineText) : QString(),
                hasInline, styled ? style : -1);
        }
    }
}

// Reads the shared strings with the scanner: an <sst> of <si> items, each a
// <t> or runs of <r> with their <t>, phonetic runs left out as the XML
// reader's path leaves them out; anything else is left to that reader.
XlsxWorkbook::ScanResult XlsxWorkbook::scanSharedStrings(const QString &part)
{
    zip_file_t *file = nullptr;
    qint64 limit = 0;
    const PartStatus opened = openPart(m_zip, part, &file, &limit);
    if (opened != PartStatus::Ok)
        return opened == PartStatus::Missing ? ScanResult::Read : ScanResult::Unsure;
    PartBytes in(file, limit);
    if (!startDocument(in))
        return ScanResult::Unsure;
    ScannedTag tag;
    std::vector<std::string> open; // the elements around the text
    std::string raw;
    QString text;
    QString piece;
    bool atTag = true; // its '<' taken
    bool rootClosed = false;
    int phonetic = 0; // depth inside <rPh>
    for (;;) {
        if (!atTag && !in.textUntilTag(nullptr))
            return rootClosed && !in.failed() ? ScanResult::Read : ScanResult::Unsure;
        atTag = false;
        if (!readTag(in, tag) || tag.name.find(':') != std::string::npos)
            return ScanResult::Unsure;
        if (tag.end) {
            if (open.empty() || open.back() != tag.name)
                return ScanResult::Unsure;
            open.pop_back();
            if (phonetic > 0)
                --phonetic;
            else if (tag.is("si") && open.size() == 1)
                addSharedString(decodeEscapes(text));
            rootClosed = open.empty();
            continue;
        }
        if (rootClosed || (open.empty() && !tag.is("sst")) || (open.size() == 1 && !tag.is("si")))
            return ScanResult::Unsure;
        if (open.size() == 1)
            text.clear();
        if (phonetic == 0 && tag.is("t") && open.size() >= 2) {
            if (!tag.empty) {
                raw.clear();
                if (!in.textUntilTag(&raw) || !readTag(in, tag) || !tag.end || !tag.is("t")
                    || !decodeText(raw, piece))
                    return ScanResult::Unsure;
                text += piece;
            }
            continue;
        }
        if (tag.empty) {
            if (open.size() == 1)
                addSharedString(QString());
            continue;
        }
        if (phonetic > 0 || tag.is("rPh"))
            ++phonetic;
        open.push_back(tag.name);
    }
}

// Reads the sheet's cells with the full XML reader.
bool XlsxWorkbook::readSheet(const QString &part, const CellScope *scope)
{
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
            if (xml.hasError() || row > MaxRows || col > MaxColumns || (scope && !scope->wants(row, col)))
                continue;
            storeCell(row, col, type, value, inlineText, hasInline, styled ? style : -1);
        }
    });
    return status == PartStatus::Ok;
}

void XlsxWorkbook::storeText(int row, int col, const QString &text)
{
    if (text.isEmpty())
        return;
    m_cells.push_back(
        { (quint64(quint32(row)) << 32) | quint32(col), quint32(m_pool.size()), qint32(text.size()) });
    m_pool += text;
}

// A cell's value as its type and style show it.
void XlsxWorkbook::storeCell(
    int row, int col, QStringView type, QString &value, const QString &inlineText, bool hasInline, int style)
{
    if (type == QLatin1String("s")) {
        bool ok = false;
        const uint index = value.trimmed().toUInt(&ok);
        if (ok && index < m_sharedEnds.size()
            && (index == 0 ? 0 : m_sharedEnds[index - 1]) != m_sharedEnds[index])
            m_cells.push_back({ (quint64(quint32(row)) << 32) | quint32(col), index, -1 });
    } else if (type == QLatin1String("inlineStr")) {
        storeText(row, col, hasInline ? inlineText : decodeEscapes(value));
    } else if (type == QLatin1String("str")) {
        storeText(row, col, decodeEscapes(value));
    } else if (type == QLatin1String("b")) {
        const QString flag = value.trimmed();
        storeText(row, col,
            flag == QLatin1String("1")       ? QStringLiteral("TRUE")
                : flag == QLatin1String("0") ? QStringLiteral("FALSE")
                                             : value);
    } else if (type == QLatin1String("e")) {
        storeText(row, col, value);
    } else if (type == QLatin1String("d")) {
        storeText(row, col, value.replace(QLatin1Char('T'), QLatin1Char(' ')));
    } else if (!value.isEmpty()) {
        storeText(row, col, numberCellText(value, style));
    }
}

bool XlsxWorkbook::loadSheet(const QString &part, const CellScope *scope)
{
    m_cells.clear();
    m_pool.clear();
    m_rowCount = 0;
    m_columnCount = 0;

    ScanResult scanned = ScanResult::Unsure;
    if (scope)
        scanned = scanSheet(part, *scope);
    if (scanned == ScanResult::Unsure) {
        m_cells.clear();
        m_pool.clear();
        if (!readSheet(part, scope))
            scanned = ScanResult::Broken;
    }
    if (scanned == ScanResult::Broken) {
        m_cells.clear();
        m_pool.clear();
        return false;
    }
    SortCellsKeepingLast(m_cells, m_rowCount, m_columnCount);
    return true;
}

const CellScope *XlsxWorkbook::scopeFor(const QString &sheet) const
{
    return m_scoped && IsSheetNamed(sheet, m_scope.sheet) ? &m_scope : nullptr;
}

QStringList XlsxWorkbook::sheetNames() const
{
    return SheetNames(m_sheets);
}

QList<SheetInfo> XlsxWorkbook::sheets() const
{
    return SheetInfos(m_sheets);
}

int XlsxWorkbook::selectSheet(const QString &name)
{
    const int i = FindSheet(m_sheets, name);
    if (i < 0)
        return NoSuchSheet;
    if (i == m_selected)
        return NoError;
    m_selected = -1;
    if (!loadSheet(m_sheets.at(i).part, scopeFor(m_sheets.at(i).name))) {
        m_rowCount = 0;
        m_columnCount = 0;
        return NotAWorkbook;
    }
    m_selected = i;
    return NoError;
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
        return sharedString(found->index);
    return m_pool.mid(found->index, found->length);
}

} // namespace tombolix::transfer
