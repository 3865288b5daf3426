#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>
#include <functional>
#include <optional>

// JSON in the one form a draw's record allows: members in ascending order
// of their names' UTF-8 bytes, no white space, integers only, and strings
// escaped in exactly one way. Hashing that text, or comparing a file's
// bytes with it, leaves a parser nothing to read two ways.
namespace tombolix::json {

// The largest integer a record holds: every JSON reader keeps it exactly.
inline constexpr qint64 MaxInteger = 9007199254740991;

// Appends the canonical text of a string: `"` and `\` escaped, the control
// characters as \b \t \n \f \r or \u00xx, everything else as UTF-8.
void AppendString(QByteArray &out, QStringView text);
void AppendString(QByteArray &out, QByteArrayView utf8);

// The canonical text of a value. Numbers are written as integers.
QByteArray Canonical(const QJsonValue &value);
void AppendCanonical(QByteArray &out, const QJsonValue &value);

// Whether the bytes are valid UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(QByteArrayView bytes);
// Whether the bytes are JSON text by RFC 8259's grammar alone, at any
// depth: what is JSON but not a record's form is told apart from what is
// not JSON at all. (UTF-8 is checked by IsValidUtf8.)
bool IsJsonText(QByteArrayView text);

// A reader of JSON that refuses what a record must not hold, and tells
// whether the text was canonical.
class Reader
{
public:
    explicit Reader(QByteArrayView text);

    enum class Failure
    {
        None,
        Syntax, // not JSON at all
        Form, // JSON, but with a repeated member name, a number that is not a
              // whole number within MaxInteger, or text that is not UTF-8
    };

    // A member of an object whose value the caller reads itself, as it
    // comes (a list of a million entrants is not built as values). The
    // handler gets the reader standing at the value and must read it whole;
    // false stops the reading with a Form failure.
    using MemberHandler = std::function<bool(Reader &reader)>;
    void handleTopLevelMember(const QString &name, MemberHandler handler);

    // The whole text as one value; at the end only a single LF is canonical.
    std::optional<QJsonValue> readDocument();

    Failure failure() const { return m_failure; }
    qsizetype failureOffset() const { return m_failureAt; }
    QString failureText() const { return m_failureText; }
    // False from the first byte that differs from the canonical text.
    bool canonical() const { return m_canonical; }
    qsizetype nonCanonicalOffset() const { return m_nonCanonicalAt; }

    // For handlers: the parts of a value, read in order.
    bool beginArray(); // consumes "["
    // After "[" or an element (`read` of them so far): is there another?
    bool nextItem(char close, bool &more, qsizetype read);
    bool nextElement(bool &more, qsizetype read);
    bool beginObject();
    // After "{" or a member: reads the next member's name and its ":".
    bool nextMember(bool &more, QByteArray &name, qsizetype read);
    // A string's text as UTF-8 bytes (escapes decoded).
    bool readUtf8(QByteArray &out);
    // The same without a copy when the string has no escape: `view` then
    // lies in the text read, else in `scratch`.
    bool readUtf8View(QByteArrayView &view, QByteArray &scratch);
    bool readInteger(qint64 &value);
    std::optional<QJsonValue> readValue();
    // Stops the reading with a Form failure of the handler's own.
    bool refuse(const QString &why);
    qsizetype offset() const { return m_at; }

private:
    bool fail(Failure failure, const QString &why);
    void notCanonical();
    void skipSpace();
    bool expect(char c);
    bool readStringInto(QByteArray &out, bool *escaped = nullptr);
    // After a string's backslash: the escape, decoded onto out.
    bool readEscape(QByteArray &out);
    // After "\u": the character, a surrogate pair's second half included.
    bool readUnicodeEscape(QByteArray &out);
    // Four hex digits; lowerHex false when any is an upper-case letter.
    bool readHexUnit(char32_t &unit, bool &lowerHex);
    bool readNumber(QJsonValue &value, qint64 *integer);
    std::optional<QJsonValue> readWord(const char *literal, const QJsonValue &value);
    std::optional<QJsonValue> readArray();
    std::optional<QJsonValue> readObject();
    // A member's name after the first: names out of order are not canonical,
    // and a name given twice is refused. The names are kept in seen only
    // once they are out of order.
    bool checkMemberName(const QByteArray &name, const QByteArray &previous, const QJsonObject &object,
        QSet<QByteArray> &seen);
    // A member's value, read by its handler when it has one at the top level.
    bool readMember(const QString &key, QJsonObject &object);

    QByteArrayView m_text;
    qsizetype m_at = 0;
    int m_depth = 0;
    Failure m_failure = Failure::None;
    qsizetype m_failureAt = -1;
    QString m_failureText;
    bool m_canonical = true;
    qsizetype m_nonCanonicalAt = -1;
    QList<std::pair<QString, MemberHandler>> m_handlers;
};

// Parses a small canonical text (an entry's content as the database keeps
// it): nothing unless it is an object in canonical form.
std::optional<QJsonObject> ParseCanonicalObject(QByteArrayView text);

} // namespace tombolix::json
