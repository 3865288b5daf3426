#include "transfer/markupworkbook.h"

#include "transfer/gb18030.h"
#include "transfer/htmltables.h"
#include "transfer/sheetlist.h"
#include "transfer/spreadsheetxml.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace tombolix::transfer {

namespace {

constexpr qsizetype SniffLength = 4096;

// The head as lower-case text: UTF-16 decoded, anything else byte by byte,
// which keeps the ASCII markup of UTF-8 and GB18030 files readable.
QString headText(const QByteArray &head)
{
    QString text;
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        const bool little = head.at(0) == '\xFF';
        for (qsizetype i = 2; i + 1 < head.size(); i += 2) {
            const uchar first = uchar(head.at(i));
            const uchar second = uchar(head.at(i + 1));
            text += QChar(little ? char16_t(first | second << 8) : char16_t(first << 8 | second));
        }
    } else {
        text = QString::fromLatin1(head.startsWith("\xEF\xBB\xBF") ? head.mid(3) : head);
    }
    return text.toLower();
}

// Skips white space, comments and declarations (<?xml ?>, <!DOCTYPE>)
// before the first element.
QStringView firstElement(QStringView text, QStringView *doctype)
{
    for (;;) {
        text = text.trimmed();
        if (text.startsWith(QLatin1String("<!--"))) {
            const qsizetype end = text.indexOf(QLatin1String("-->"));
            if (end < 0)
                return QStringView();
            text = text.mid(end + 3);
        } else if (text.startsWith(QLatin1String("<?")) || text.startsWith(QLatin1String("<!"))) {
            const qsizetype end = text.indexOf(QLatin1Char('>'));
            if (end < 0)
                return QStringView();
            if (text.startsWith(QLatin1String("<!doctype")))
                *doctype = text.left(end);
            text = text.mid(end + 1);
        } else {
            return text;
        }
    }
}

// The encoding an XML declaration names, when this build of Qt cannot read
// it by itself (GB2312 where Qt has no ICU, as on Windows).
QByteArray encodingQtLacks(const QByteArray &head)
{
    static const QRegularExpression declaration(
        QStringLiteral("^\\s*<\\?xml[^>]*\\bencoding\\s*=\\s*[\"']([^\"']+)[\"']"));
    const QRegularExpressionMatch match = declaration.match(QString::fromLatin1(head));
    if (!match.hasMatch())
        return QByteArray();
    const QByteArray name = match.captured(1).toLatin1();
    return QStringDecoder(name.constData()).isValid() ? QByteArray() : name;
}

// The file as UTF-8 under a declaration that says so, when its own encoding
// is one Qt lacks and this program can convert; empty otherwise.
QByteArray asUtf8Xml(QIODevice *xml)
{
    const QByteArray head = xml->peek(SniffLength);
    if (head.startsWith("\xEF\xBB\xBF") || head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        return QByteArray();
    const QByteArray encoding = encodingQtLacks(head);
    if (encoding.isEmpty())
        return QByteArray();
    const std::optional<QString> text = DecodeCharset(encoding, xml->readAll());
    if (!text)
        return QByteArray();
    const qsizetype end = text->indexOf(QLatin1String("?>"));
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + text->mid(end + 2).toUtf8();
}

} // namespace

MarkupKind SniffMarkupKind(const QByteArray &head)
{
    const QString text = headText(head.left(SniffLength));
    QStringView doctype;
    const QStringView element = firstElement(text, &doctype);
    if (element.startsWith(QLatin1String("<workbook")) || element.startsWith(QLatin1String("<ss:workbook")))
        return text.contains(QLatin1String("urn:schemas-microsoft-com:office:spreadsheet"))
            ? MarkupKind::SpreadsheetXml
            : MarkupKind::None;
    if (doctype.startsWith(QLatin1String("<!doctype html")))
        return MarkupKind::HtmlTables;
    static const char *const htmlStarts[]
        = { "<html", "<head", "<body", "<meta", "<table", "<style", "<title" };
    for (const char *start : htmlStarts) {
        if (element.startsWith(QLatin1String(start)))
            return MarkupKind::HtmlTables;
    }
    return MarkupKind::None;
}

std::unique_ptr<MarkupWorkbook> MarkupWorkbook::open(const QString &path, int *error)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        *error = CannotOpen;
        return nullptr;
    }
    const MarkupKind kind
        = file.size() > MaxFileSize ? MarkupKind::None : SniffMarkupKind(file.peek(SniffLength));
    // The XML streams from the file; a page is decoded whole, and its bytes
    // are let go before its cells are read.
    if (kind == MarkupKind::SpreadsheetXml)
        return read(kind, &file, QString(), error);
    if (kind == MarkupKind::HtmlTables) {
        const QString html = DecodeHtml(file.readAll());
        return read(kind, nullptr, html, error);
    }
    *error = NotAWorkbook;
    return nullptr;
}

std::unique_ptr<MarkupWorkbook> MarkupWorkbook::openData(const QByteArray &bytes, int *error)
{
    const MarkupKind kind = SniffMarkupKind(bytes.left(SniffLength));
    if (kind == MarkupKind::HtmlTables)
        return read(kind, nullptr, DecodeHtml(bytes), error);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(kind, &buffer, QString(), error);
}

std::unique_ptr<MarkupWorkbook> MarkupWorkbook::read(
    MarkupKind kind, QIODevice *xml, const QString &html, int *error)
{
    std::unique_ptr<MarkupWorkbook> book(new MarkupWorkbook);
    book->m_kind = kind;
    bool read = false;
    if (kind == MarkupKind::SpreadsheetXml) {
        const QByteArray utf8 = asUtf8Xml(xml);
        if (utf8.isEmpty()) {
            read = ParseSpreadsheetXml(xml, book->m_sheets);
        } else {
            QBuffer buffer;
            buffer.setData(utf8);
            buffer.open(QIODevice::ReadOnly);
            read = ParseSpreadsheetXml(&buffer, book->m_sheets);
        }
    } else if (kind == MarkupKind::HtmlTables) {
        ParseHtmlTables(html, book->m_sheets);
        read = true;
    }
    if (!read || book->m_sheets.empty()) {
        *error = NotAWorkbook;
        return nullptr;
    }
    *error = NoError;
    return book;
}

QStringList MarkupWorkbook::sheetNames() const
{
    return SheetNames(m_sheets);
}

QList<SheetInfo> MarkupWorkbook::sheets() const
{
    return SheetInfos(m_sheets);
}

int MarkupWorkbook::selectSheet(const QString &name)
{
    const int i = FindSheet(m_sheets, name);
    if (i < 0)
        return NoSuchSheet;
    m_selected = i;
    return NoError;
}

int MarkupWorkbook::rowCount() const
{
    return m_selected < 0 ? 0 : m_sheets[size_t(m_selected)].cells.rowCount();
}

int MarkupWorkbook::columnCount() const
{
    return m_selected < 0 ? 0 : m_sheets[size_t(m_selected)].cells.columnCount();
}

QString MarkupWorkbook::cell(int row, int col) const
{
    return m_selected < 0 ? QString() : m_sheets[size_t(m_selected)].cells.at(row, col);
}

} // namespace tombolix::transfer
