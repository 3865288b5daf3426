#include "transfer/htmltables.h"

#include "transfer/gb18030.h"
#include "transfer/textcodec.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace tombolix::transfer {

namespace {

// The HTML standard's limits; wider spans are markup errors, not tables.
constexpr int MaxColspan = 1000;
constexpr int MaxRowspan = 65534;

QByteArray declaredCharset(const QByteArray &bytes)
{
    const QString head = QString::fromLatin1(bytes.left(4096));
    static const QRegularExpression meta(
        QStringLiteral("<meta[^>]*?charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9._:\\-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression declaration(
        QStringLiteral("^\\s*<\\?xml[^>]*?encoding\\s*=\\s*[\"']([A-Za-z0-9._:\\-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch match = meta.match(head);
    if (!match.hasMatch())
        match = declaration.match(head);
    return match.hasMatch() ? match.captured(1).toLatin1().toLower() : QByteArray();
}

bool isHtmlSpace(QChar ch)
{
    return ch == QLatin1Char(' ') || ch == QLatin1Char('\t') || ch == QLatin1Char('\n')
        || ch == QLatin1Char('\r') || ch == QLatin1Char('\f');
}

bool isAsciiLetter(QChar ch)
{
    return (ch >= QLatin1Char('a') && ch <= QLatin1Char('z'))
        || (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z'));
}

// The named references office exports use; others stay as written.
const QHash<QString, char32_t> &namedEntities()
{
    static const QHash<QString, char32_t> names = {
        { QStringLiteral("amp"), U'&' },
        { QStringLiteral("lt"), U'<' },
        { QStringLiteral("gt"), U'>' },
        { QStringLiteral("quot"), U'"' },
        { QStringLiteral("apos"), U'\'' },
        { QStringLiteral("nbsp"), U'\u00A0' },
        { QStringLiteral("ensp"), U'\u2002' },
        { QStringLiteral("emsp"), U'\u2003' },
        { QStringLiteral("copy"), U'\u00A9' },
        { QStringLiteral("reg"), U'\u00AE' },
        { QStringLiteral("yen"), U'\u00A5' },
        { QStringLiteral("middot"), U'\u00B7' },
        { QStringLiteral("times"), U'\u00D7' },
        { QStringLiteral("divide"), U'\u00F7' },
        { QStringLiteral("hellip"), U'\u2026' },
        { QStringLiteral("mdash"), U'\u2014' },
        { QStringLiteral("ndash"), U'\u2013' },
        { QStringLiteral("lsquo"), U'\u2018' },
        { QStringLiteral("rsquo"), U'\u2019' },
        { QStringLiteral("ldquo"), U'\u201C' },
        { QStringLiteral("rdquo"), U'\u201D' },
        { QStringLiteral("bull"), U'\u2022' },
    };
    return names;
}

QString decodeEntities(QStringView text)
{
    if (!text.contains(QLatin1Char('&')))
        return text.toString();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        const qsizetype semicolon = ch == QLatin1Char('&') ? text.indexOf(QLatin1Char(';'), i + 1) : -1;
        if (semicolon < 0 || semicolon - i > 10) {
            out += ch;
            continue;
        }
        const QStringView body = text.mid(i + 1, semicolon - i - 1);
        char32_t code = 0;
        bool known = false;
        if (body.startsWith(QLatin1Char('#'))) {
            const bool hex
                = body.size() > 1 && (body.at(1) == QLatin1Char('x') || body.at(1) == QLatin1Char('X'));
            const uint value = body.mid(hex ? 2 : 1).toUInt(&known, hex ? 16 : 10);
            code = value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ? 0xFFFD : value;
        } else {
            const auto found = namedEntities().constFind(body.toString());
            known = found != namedEntities().constEnd();
            if (known)
                code = *found;
        }
        if (!known) {
            out += ch;
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i = semicolon;
    }
    return out;
}

struct Attribute
{
    QString name; // lower case
    QString value;
};

class HtmlTableParser
{
public:
    explicit HtmlTableParser(const QString &html)
        : m_html(html)
    { }

    void run(std::vector<MarkupSheet> &sheets)
    {
        qsizetype pos = 0;
        while (pos < m_html.size()) {
            const qsizetype open = m_html.indexOf(QLatin1Char('<'), pos);
            const qsizetype textEnd = open < 0 ? m_html.size() : open;
            if (textEnd > pos)
                addText(QStringView(m_html).mid(pos, textEnd - pos));
            if (open < 0)
                break;
            pos = readMarkup(open);
        }
        while (!m_open.empty())
            closeTable();
        collect(sheets);
    }

private:
    struct Table
    {
        MarkupSheet sheet;
        QString caption;
        int row = 0;
        int nextCol = 1;
        bool inRow = false;
        bool inCell = false;
        bool inCaption = false;
        int cellRow = 0;
        int cellCol = 0;
        QString text;
        std::vector<int> coveredUntil; // per column: the last row a rowspan from above covers
    };

    Table *current() { return m_open.empty() ? nullptr : &m_tables[m_open.back()]; }

    // Returns the position after the markup that starts at open.
    qsizetype readMarkup(qsizetype open)
    {
        const QStringView rest = QStringView(m_html).mid(open);
        if (rest.startsWith(QLatin1String("<!--"))) {
            const qsizetype end = m_html.indexOf(QLatin1String("-->"), open + 4);
            return end < 0 ? m_html.size() : end + 3;
        }
        if (rest.startsWith(QLatin1String("<!")) || rest.startsWith(QLatin1String("<?"))) {
            const qsizetype end = m_html.indexOf(QLatin1Char('>'), open);
            return end < 0 ? m_html.size() : end + 1;
        }
        const bool closing = rest.startsWith(QLatin1String("</"));
        qsizetype pos = open + (closing ? 2 : 1);
        if (pos >= m_html.size() || !isAsciiLetter(m_html.at(pos))) {
            addText(QStringView(m_html).mid(open, 1)); // a lone "<" is text
            return open + 1;
        }
        const qsizetype nameStart = pos;
        while (pos < m_html.size() && !isHtmlSpace(m_html.at(pos)) && m_html.at(pos) != QLatin1Char('/')
            && m_html.at(pos) != QLatin1Char('>'))
            ++pos;
        QString name = m_html.mid(nameStart, pos - nameStart).toLower();
        // Office's own tags carry a prefix (o:p, x:str); only HTML's matter.
        if (name.contains(QLatin1Char(':')))
            name.clear();
        m_attributes.clear();
        pos = readAttributes(pos, !closing && (name == QLatin1String("td") || name == QLatin1String("th")));
        if (closing) {
            endTag(name);
            return pos;
        }
        startTag(name);
        if (name == QLatin1String("script") || name == QLatin1String("style")
            || name == QLatin1String("title") || name == QLatin1String("textarea")
            || name == QLatin1String("xml")) {
            const qsizetype end = m_html.indexOf(QLatin1String("</") + name, pos, Qt::CaseInsensitive);
            if (end < 0)
                return m_html.size();
            const qsizetype close = m_html.indexOf(QLatin1Char('>'), end);
            return close < 0 ? m_html.size() : close + 1;
        }
        return pos;
    }

    // Reads to the end of the tag, keeping its attributes when asked to.
    qsizetype readAttributes(qsizetype pos, bool keep)
    {
        const qsizetype size = m_html.size();
        while (pos < size) {
            while (pos < size && (isHtmlSpace(m_html.at(pos)) || m_html.at(pos) == QLatin1Char('/')))
                ++pos;
            if (pos >= size)
                break;
            if (m_html.at(pos) == QLatin1Char('>'))
                return pos + 1;
            const qsizetype nameStart = pos;
            while (pos < size && !isHtmlSpace(m_html.at(pos)) && m_html.at(pos) != QLatin1Char('=')
                && m_html.at(pos) != QLatin1Char('>') && m_html.at(pos) != QLatin1Char('/'))
                ++pos;
            const qsizetype nameEnd = pos;
            while (pos < size && isHtmlSpace(m_html.at(pos)))
                ++pos;
            QString value;
            if (pos < size && m_html.at(pos) == QLatin1Char('=')) {
                ++pos;
                while (pos < size && isHtmlSpace(m_html.at(pos)))
                    ++pos;
                qsizetype valueStart = pos;
                qsizetype valueEnd = pos;
                if (pos < size
                    && (m_html.at(pos) == QLatin1Char('"') || m_html.at(pos) == QLatin1Char('\''))) {
                    const qsizetype close = m_html.indexOf(m_html.at(pos), pos + 1);
                    valueStart = pos + 1;
                    valueEnd = close < 0 ? size : close;
                    pos = close < 0 ? size : close + 1;
                } else {
                    while (pos < size && !isHtmlSpace(m_html.at(pos)) && m_html.at(pos) != QLatin1Char('>'))
                        ++pos;
                    valueEnd = pos;
                }
                if (keep)
                    value = m_html.mid(valueStart, valueEnd - valueStart);
            }
            if (keep)
                m_attributes.push_back({ m_html.mid(nameStart, nameEnd - nameStart).toLower(), value });
        }
        return size;
    }

    int spanAttribute(QLatin1String name, int limit) const
    {
        for (const Attribute &attribute : m_attributes) {
            if (attribute.name == name) {
                bool ok = false;
                const int value = attribute.value.trimmed().toInt(&ok);
                return ok ? std::clamp(value, 1, limit) : 1;
            }
        }
        return 1;
    }

    void startTag(const QString &name)
    {
        if (name == QLatin1String("table")) {
            // The text around a table inside a cell stands on lines of its own.
            if (Table *outer = current())
                lineBreak(*outer, false);
            m_tables.emplace_back();
            m_open.push_back(m_tables.size() - 1);
            return;
        }
        Table *table = current();
        if (!table)
            return;
        if (name == QLatin1String("tr")) {
            startRow(*table);
        } else if (name == QLatin1String("td") || name == QLatin1String("th")) {
            startCell(*table);
        } else if (name == QLatin1String("caption")) {
            closeCell(*table);
            table->inCaption = true;
        } else if (name == QLatin1String("thead") || name == QLatin1String("tbody")
            || name == QLatin1String("tfoot")) {
            closeCell(*table);
            table->inRow = false;
        } else if (name == QLatin1String("br")) {
            lineBreak(*table, true);
        } else if (name == QLatin1String("p") || name == QLatin1String("div")
            || name == QLatin1String("li")) {
            lineBreak(*table, false);
        }
    }

    void endTag(const QString &name)
    {
        Table *table = current();
        if (!table)
            return;
        if (name == QLatin1String("table")) {
            closeTable();
        } else if (name == QLatin1String("td") || name == QLatin1String("th")
            || name == QLatin1String("caption")) {
            closeCell(*table);
        } else if (name == QLatin1String("tr") || name == QLatin1String("thead")
            || name == QLatin1String("tbody") || name == QLatin1String("tfoot")) {
            closeCell(*table);
            table->inRow = false;
        } else if (name == QLatin1String("p") || name == QLatin1String("div")
            || name == QLatin1String("li")) {
            lineBreak(*table, false);
        }
    }

    void startRow(Table &table)
    {
        closeCell(table);
        table.row = std::min(table.row + 1, SheetCells::MaxRows + 1);
        table.nextCol = 1;
        table.inRow = true;
    }

    void startCell(Table &table)
    {
        closeCell(table);
        if (!table.inRow)
            startRow(table); // a cell outside any row opens one, as browsers do
        int col = table.nextCol;
        while (col <= int(table.coveredUntil.size()) && table.coveredUntil[size_t(col - 1)] >= table.row)
            ++col;
        const int colspan = spanAttribute(QLatin1String("colspan"), MaxColspan);
        const int rowspan = spanAttribute(QLatin1String("rowspan"), MaxRowspan);
        const int last = std::min(col + colspan - 1, SheetCells::MaxColumns);
        if (rowspan > 1 && last >= col) {
            if (int(table.coveredUntil.size()) < last)
                table.coveredUntil.resize(size_t(last), 0);
            for (int c = col; c <= last; ++c)
                table.coveredUntil[size_t(c - 1)] = table.row + rowspan - 1;
        }
        table.inCell = true;
        table.cellRow = table.row;
        table.cellCol = col;
        table.nextCol = std::min(col + colspan, SheetCells::MaxColumns + 1);
    }

    void closeCell(Table &table)
    {
        if (table.inCell)
            table.sheet.cells.set(table.cellRow, table.cellCol, table.text.trimmed());
        else if (table.inCaption)
            table.caption = table.text.simplified();
        table.inCell = false;
        table.inCaption = false;
        table.text.clear();
    }

    void closeTable()
    {
        Table &table = m_tables[m_open.back()];
        closeCell(table);
        table.sheet.cells.finish();
        m_open.pop_back();
        if (Table *outer = current())
            lineBreak(*outer, false);
    }

    void addText(QStringView chunk)
    {
        Table *table = current();
        if (!table || !(table->inCell || table->inCaption))
            return;
        QString &text = table->text;
        for (const QChar ch : decodeEntities(chunk)) {
            if (!isHtmlSpace(ch))
                text += ch;
            else if (!text.isEmpty() && !text.endsWith(QLatin1Char(' ')) && !text.endsWith(QLatin1Char('\n')))
                text += QLatin1Char(' ');
        }
    }

    // <br> always breaks the line; the edges of paragraphs only between texts.
    void lineBreak(Table &table, bool always)
    {
        if (!table.inCell)
            return;
        QString &text = table.text;
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        if (always || (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))))
            text += QLatin1Char('\n');
    }

    // Tables without any text (frames around the data, spacers) are no sheets.
    void collect(std::vector<MarkupSheet> &sheets)
    {
        QSet<QString> taken;
        for (const MarkupSheet &sheet : sheets)
            taken.insert(sheet.name.toLower());
        int position = 0;
        for (Table &table : m_tables) {
            if (table.sheet.cells.isEmpty())
                continue;
            ++position;
            QString name = table.caption;
            const QString numbered = QStringLiteral("Sheet") + QString::number(position);
            if (name.isEmpty() || taken.contains(name.toLower()))
                name = numbered;
            for (int k = 2; taken.contains(name.toLower()); ++k)
                name = numbered + QLatin1Char('_') + QString::number(k);
            taken.insert(name.toLower());
            table.sheet.name = name;
            sheets.push_back(std::move(table.sheet));
        }
    }

    const QString &m_html;
    std::vector<Table> m_tables; // in the order the tables begin
    std::vector<size_t> m_open; // the tables open around the current position, innermost last
    std::vector<Attribute> m_attributes;
};

} // namespace

QString DecodeHtml(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return DecodeText(bytes);
    const QByteArray charset = declaredCharset(bytes);
    static const QSet<QByteArray> chinese = { "gb2312", "gbk", "x-gbk", "gb18030", "cp936", "windows-936",
        "gb_2312-80", "csgb2312", "chinese" };
    if (chinese.contains(charset)) {
        if (Gb18030Available())
            return DecodeGb18030(bytes);
    }
    // A page whose charset could be read in ASCII is not UTF-16 whatever it
    // says, and one that claims UTF-8 but is not was saved by a GBK editor.
    if (charset.isEmpty() || charset.startsWith("utf") || charset.startsWith("unicode")
        || chinese.contains(charset))
        return DecodeText(bytes);
    if (std::optional<QString> text = DecodeCharset(charset, bytes))
        return *text;
    return DecodeText(bytes);
}

void ParseHtmlTables(const QString &html, std::vector<MarkupSheet> &sheets)
{
    HtmlTableParser(html).run(sheets);
}

} // namespace tombolix::transfer
