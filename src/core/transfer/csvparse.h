#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Reading CSV text: physical lines, records and fields. Depends on QtCore only.
//
// Quote rules, as Excel writes and as people type by hand: a run of an odd
// number of double quotes toggles the quoted state wherever it stands, also in
// the middle of a field; a run of even length is escaped quotes. Every pair of
// quotes gives one quote, and three quotes ending a quoted field give a quote
// and the end of the field. A field that is nothing but an even run of quotes
// is a quoted field around escaped quotes: "" is empty, """" one quote.
// Commas inside a quoted section belong to the field.
namespace tombolix::transfer {

// The fields of one record; std::nullopt while a quoted section is still open
// at the end of the text (the record goes on in the next line). An empty text
// has no fields.
std::optional<QStringList> ParseCsvLine(const QString &record);

// Splits text into physical lines: CR LF, LF alone and CR alone each end one.
// A line end at the very end of the text starts no further line.
class CsvLines
{
public:
    explicit CsvLines(QString text);
    // Lines of a text that arrives in pieces: more() gives the next piece,
    // empty at the end. Only a few pieces are held at a time.
    explicit CsvLines(std::function<QString()> more);

    bool atEnd() const;
    // The next line without its line end; empty at the end.
    QString next();
    // The same, seen in place: valid until the next call.
    QStringView nextView();
    // The line end that closed the line last returned: CR LF, LF or CR, or
    // nothing at the end of the text.
    QStringView lineEnd() const;

private:
    bool takeMore();

    std::function<QString()> m_more; // empty once the text is complete
    QString m_text;
    qsizetype m_position = 0;
    qsizetype m_lineEnd = 0;
};

// Reads the next record: an empty line sets *emptyLine and gives an empty
// list; otherwise the line is parsed and, while a quoted section stays open,
// the following lines are joined to it with the line end the file has there. At the end of the text an
// open section counts as closed there. std::nullopt when the lines were
// already at their end. emptyLine may be null.
std::optional<QStringList> NextCsvRecord(CsvLines &lines, bool *emptyLine);
// The same, keeping only the first maxFields fields of the record, for readers
// that look at a few columns of a file that may hold very long lines.
std::optional<QStringList> NextCsvRecord(CsvLines &lines, bool *emptyLine, int maxFields);

} // namespace tombolix::transfer
