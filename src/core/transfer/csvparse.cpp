#include "transfer/csvparse.h"

#include <algorithm>
#include <limits>

namespace tombolix::transfer {

namespace {

const QChar Quote = QLatin1Char('"');
const QChar Comma = QLatin1Char(',');
const QChar Cr = QLatin1Char('\r');
const QChar Lf = QLatin1Char('\n');

// Builds the fields of one record from its lines fed one after another, so a
// record that runs over many lines costs no more than one long line.
class RecordBuilder
{
public:
    explicit RecordBuilder(int maxFields)
        : m_maxFields(maxFields)
    {
        m_fields.reserve(std::min(maxFields, 16));
    }

    // Feeds one piece of the record. Pieces must not split a run of quotes;
    // whole lines and the line ends joining them never do.
    void feed(QStringView text)
    {
        qsizetype i = 0;
        qsizetype plain = 0; // start of the text not yet copied into the field
        const qsizetype n = text.size();
        while (i < n) {
            const QChar c = text[i];
            if (c == Quote) {
                consume(text.mid(plain, i - plain));
                qsizetype run = 1;
                while (i + run < n && text[i + run] == Quote)
                    ++run;
                const bool wholeFieldCandidate = m_untouched && !m_quoted && run % 2 == 0;
                m_untouched = false;
                m_onlyQuotes = wholeFieldCandidate;
                if (run >= 2 && keeping())
                    m_field.append(QString(run / 2, Quote));
                if (run % 2 == 1)
                    m_quoted = !m_quoted;
                i += run;
                plain = i;
            } else if (c == Comma && !m_quoted) {
                consume(text.mid(plain, i - plain));
                endField();
                ++i;
                plain = i;
            } else {
                ++i;
            }
        }
        consume(text.mid(plain, n - plain));
    }

    bool open() const { return m_quoted; }

    QStringList finish()
    {
        endField();
        return std::move(m_fields);
    }

private:
    bool keeping() const { return m_fields.size() < m_maxFields; }

    void consume(QStringView text)
    {
        if (text.isEmpty())
            return;
        m_untouched = false;
        m_onlyQuotes = false;
        if (!keeping())
            return;
        if (m_field.isNull())
            m_field = text.toString();
        else
            m_field.append(text);
    }

    void endField()
    {
        // A field written as nothing but an even run of quotes is a quoted
        // field: its outer pair encloses it and the pairs inside are escaped
        // quotes. So "" is empty and """" one quote; programs that quote every
        // field write empty values as "".
        if (m_onlyQuotes && !m_field.isEmpty())
            m_field.chop(1);
        if (keeping())
            m_fields.append(std::move(m_field));
        m_field = QString();
        m_untouched = true;
        m_onlyQuotes = false;
    }

    int m_maxFields;
    QStringList m_fields;
    QString m_field;
    bool m_quoted = false;
    bool m_untouched = true; // nothing of the current field read yet
    bool m_onlyQuotes = false; // the current field so far is one even run of quotes
};

} // namespace

std::optional<QStringList> ParseCsvLine(const QString &record)
{
    if (record.isEmpty())
        return QStringList();
    RecordBuilder builder(std::numeric_limits<int>::max());
    builder.feed(record);
    if (builder.open())
        return std::nullopt;
    return builder.finish();
}

CsvLines::CsvLines(QString text)
    : m_text(std::move(text))
{ }

CsvLines::CsvLines(std::function<QString()> more)
    : m_more(std::move(more))
{
    takeMore();
}

// Appends the next non-empty piece; false when the text is complete.
bool CsvLines::takeMore()
{
    while (m_more) {
        const QString piece = m_more();
        if (piece.isEmpty()) {
            m_more = nullptr;
            break;
        }
        m_text += piece;
        return true;
    }
    return false;
}

bool CsvLines::atEnd() const
{
    return m_position >= m_text.size();
}

QString CsvLines::next()
{
    return nextView().toString();
}

QStringView CsvLines::nextView()
{
    qsizetype start = m_position;
    if (m_more && start > 0 && start >= m_text.size() / 2) {
        // Lines read so far are dropped now and then, not after every line,
        // so that the text is moved a bounded number of times.
        m_text.remove(0, start);
        start = 0;
    }
    qsizetype i = start;
    for (;;) {
        const qsizetype size = m_text.size();
        while (i < size && m_text.at(i) != Cr && m_text.at(i) != Lf)
            ++i;
        // A line break, or a CR whose LF may be in the next piece.
        if (i < size && (m_text.at(i) == Lf || i + 1 < size || !m_more))
            break;
        if (i >= size && !m_more)
            break;
        if (!takeMore())
            continue;
    }
    const qsizetype size = m_text.size();
    const qsizetype length = i - start;
    m_lineEnd = i;
    if (i < size) {
        if (m_text.at(i) == Cr && i + 1 < size && m_text.at(i + 1) == Lf)
            ++i;
        ++i;
    }
    m_position = i;
    // Taking more only appends, so the line stays where it was counted.
    if (m_position >= m_text.size())
        takeMore();
    return QStringView(m_text).mid(start, length);
}

QStringView CsvLines::lineEnd() const
{
    return QStringView(m_text).mid(m_lineEnd, m_position - m_lineEnd);
}

std::optional<QStringList> NextCsvRecord(CsvLines &lines, bool *emptyLine)
{
    return NextCsvRecord(lines, emptyLine, std::numeric_limits<int>::max());
}

std::optional<QStringList> NextCsvRecord(CsvLines &lines, bool *emptyLine, int maxFields)
{
    if (emptyLine)
        *emptyLine = false;
    if (lines.atEnd())
        return std::nullopt;
    const QStringView first = lines.nextView();
    if (first.isEmpty()) {
        if (emptyLine)
            *emptyLine = true;
        return QStringList();
    }
    RecordBuilder builder(std::max(0, maxFields));
    builder.feed(first);
    while (builder.open() && !lines.atEnd()) {
        // The break the file has, so that a value holds one break per line
        // whatever the file's line ends are.
        builder.feed(lines.lineEnd());
        builder.feed(lines.nextView());
    }
    return builder.finish();
}

} // namespace tombolix::transfer
