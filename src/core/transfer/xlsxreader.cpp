#include "transfer/xlsxreader.h"

#include "transfer/sheetcells.h"
#include "transfer/sheetlist.h"
#include "transfer/xlsxparts.h"
#include "transfer/xlsxscanner.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <algorithm>
#include <string>
#include <zip.h>

namespace tombolix::transfer {

using namespace xlsx;

namespace {

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

// A sheet as the workbook part lists it.
struct SheetEntry
{
    QString name;
    QString id; // of its relationship
    bool hidden = false;
};

// Reads the sheets the workbook part lists, and its date system. Word
// documents and presentations are packages of the same kind; only a main
// part that is a workbook makes the file one.
bool readWorkbookPart(zip_t *zip, const QString &part, QVector<SheetEntry> &entries, bool &date1904)
{
    bool isWorkbook = false;
    const PartStatus status = parsePart(zip, part, [&](QXmlStreamReader &xml) {
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
                date1904 = mode == QLatin1String("1") || mode == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet")) {
                // "hidden", or "veryHidden" for one that Excel's unhide list leaves out
                const auto state = attributes.value(QLatin1String("state"));
                SheetEntry entry { attributes.value(QLatin1String("name")).toString(), QString(),
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
    return status == PartStatus::Ok && isWorkbook;
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

    QVector<SheetEntry> entries;
    if (!readWorkbookPart(m_zip, workbookPart, entries, m_date1904))
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
    for (const SheetEntry &entry : entries) {
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
