#include "common/canonicaljson.h"

#include "common/utf8.h"

#include <QJsonArray>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace tombolix::json {

namespace {

const char HexDigits[] = "0123456789abcdef";

void appendEscaped(QByteArray &out, uchar c)
{
    switch (c) {
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    case '\b':
        out += "\\b";
        return;
    case '\t':
        out += "\\t";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\f':
        out += "\\f";
        return;
    case '\r':
        out += "\\r";
        return;
    default:
        break;
    }
    if (c < 0x20) {
        out += "\\u00";
        out += HexDigits[c >> 4];
        out += HexDigits[c & 15];
        return;
    }
    out += char(c);
}

// A walk through text by JSON's grammar alone, for IsJsonText(): values
// and the containers they lie in, without building anything.
class JsonGrammar
{
public:
    explicit JsonGrammar(QByteArrayView text)
        : m_text(text)
        , m_n(text.size())
    { }

    bool check()
    {
        for (;;) {
            space(); // a value comes
            bool opened = false;
            if (!value(opened))
                return false;
            if (opened)
                continue;
            bool more = false;
            if (!afterValue(more))
                return false;
            if (!more)
                return m_i == m_n;
        }
    }

private:
    bool at(char c) const { return m_i < m_n && m_text[m_i] == c; }
    bool digit() const { return m_i < m_n && m_text[m_i] >= '0' && m_text[m_i] <= '9'; }
    void space()
    {
        while (at(' ') || at('\t') || at('\n') || at('\r'))
            ++m_i;
    }

    // A value, or the opening of a container that holds one: opened then.
    bool value(bool &opened)
    {
        opened = false;
        if (at('{') || at('[')) {
            const char close = at('{') ? '}' : ']';
            ++m_i;
            space();
            if (at(close)) {
                ++m_i;
                return true;
            }
            m_open.push_back(close);
            opened = true;
            return close != '}' || key();
        }
        if (at('"'))
            return string();
        if (at('-') || digit())
            return number();
        return word("true") || word("false") || word("null");
    }

    // After a value: closes what it ends, then more when another value
    // comes, else it ended the text's value.
    bool afterValue(bool &more)
    {
        for (;;) {
            space();
            if (m_open.empty()) {
                more = false;
                return true;
            }
            if (at(m_open.back())) {
                ++m_i;
                m_open.pop_back();
                continue;
            }
            if (!at(','))
                return false;
            ++m_i;
            more = true;
            return m_open.back() != '}' || key();
        }
    }

    bool string() // standing at its opening quote
    {
        for (++m_i; m_i < m_n; ++m_i) {
            const uchar c = uchar(m_text[m_i]);
            if (c == '"') {
                ++m_i;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c != '\\')
                continue;
            if (++m_i >= m_n)
                return false;
            if (m_text[m_i] == 'u') {
                for (int k = 0; k < 4; ++k) {
                    if (++m_i >= m_n || !std::isxdigit(uchar(m_text[m_i])))
                        return false;
                }
            } else if (!std::strchr("\"\\/bfnrt", m_text[m_i]) || m_text[m_i] == '\0') {
                return false;
            }
        }
        return false;
    }

    bool number()
    {
        if (at('-'))
            ++m_i;
        if (at('0')) {
            ++m_i;
        } else if (digit()) {
            while (digit())
                ++m_i;
        } else {
            return false;
        }
        if (at('.')) {
            ++m_i;
            if (!digit())
                return false;
            while (digit())
                ++m_i;
        }
        if (at('e') || at('E')) {
            ++m_i;
            if (at('+') || at('-'))
                ++m_i;
            if (!digit())
                return false;
            while (digit())
                ++m_i;
        }
        return true;
    }

    bool word(const char *w)
    {
        const qsizetype length = qsizetype(std::strlen(w));
        if (m_n - m_i < length || std::memcmp(m_text.data() + m_i, w, size_t(length)) != 0)
            return false;
        m_i += length;
        return true;
    }

    bool key() // a member's name and its colon
    {
        space();
        if (!at('"') || !string())
            return false;
        space();
        if (!at(':'))
            return false;
        ++m_i;
        return true;
    }

    QByteArrayView m_text;
    qsizetype m_n;
    qsizetype m_i = 0;
    std::vector<char> m_open; // the containers the next value lies in
};

} // namespace

void AppendString(QByteArray &out, QByteArrayView utf8)
{
    out += '"';
    const char *p = utf8.data();
    const char *end = p + utf8.size();
    const char *plain = p;
    for (; p < end; ++p) {
        const auto c = uchar(*p);
        if (c < 0x20 || c == '"' || c == '\\') {
            out.append(plain, p - plain);
            appendEscaped(out, c);
            plain = p + 1;
        }
    }
    out.append(plain, end - plain);
    out += '"';
}

void AppendString(QByteArray &out, QStringView text)
{
    AppendString(out, QByteArrayView(text.toUtf8()));
}

void AppendCanonical(QByteArray &out, const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        out += "null";
        return;
    case QJsonValue::Bool:
        out += value.toBool() ? "true" : "false";
        return;
    case QJsonValue::Double:
        out += QByteArray::number(value.toInteger());
        return;
    case QJsonValue::String:
        AppendString(out, QStringView(value.toString()));
        return;
    case QJsonValue::Array: {
        out += '[';
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (i > 0)
                out += ',';
            AppendCanonical(out, array.at(i));
        }
        out += ']';
        return;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        QList<std::pair<QByteArray, QString>> names;
        for (auto it = object.begin(); it != object.end(); ++it)
            names.append({ it.key().toUtf8(), it.key() });
        std::sort(names.begin(), names.end());
        out += '{';
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (i > 0)
                out += ',';
            AppendString(out, QByteArrayView(names.at(i).first));
            out += ':';
            AppendCanonical(out, object.value(names.at(i).second));
        }
        out += '}';
        return;
    }
    }
}

QByteArray Canonical(const QJsonValue &value)
{
    QByteArray out;
    AppendCanonical(out, value);
    return out;
}

bool IsJsonText(QByteArrayView text)
{
    return JsonGrammar(text).check();
}

bool IsValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int length = utf8SequenceLength(p, end);
        if (length == 0)
            return false;
        p += length;
    }
    return true;
}

std::optional<QJsonObject> ParseCanonicalObject(QByteArrayView text)
{
    Reader reader(text);
    std::optional<QJsonValue> value = reader.readValue();
    if (!value || !value->isObject() || reader.offset() != text.size() || !reader.canonical())
        return std::nullopt;
    return value->toObject();
}

} // namespace tombolix::json
