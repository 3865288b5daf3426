#include "common/canonicaljson.h"

#include <QJsonArray>
#include <QSet>
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

// The length of the UTF-8 sequence starting at p, or 0 when it is not a
// valid one (overlong, a surrogate, beyond U+10FFFF, cut short).
int utf8SequenceLength(const uchar *p, const uchar *end)
{
    const uchar c = p[0];
    if (c < 0x80)
        return 1;
    int length = 0;
    char32_t value = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (p[i] & 0x3F);
    }
    static const char32_t smallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(QByteArray &out, char32_t value)
{
    if (value < 0x80) {
        out += char(value);
    } else if (value < 0x800) {
        out += char(0xC0 | (value >> 6));
        out += char(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += char(0xE0 | (value >> 12));
        out += char(0x80 | ((value >> 6) & 0x3F));
        out += char(0x80 | (value & 0x3F));
    } else {
        out += char(0xF0 | (value >> 18));
        out += char(0x80 | ((value >> 12) & 0x3F));
        out += char(0x80 | ((value >> 6) & 0x3F));
        out += char(0x80 | (value & 0x3F));
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr int MaxDepth = 64;

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
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto at = [&](char c) { return i < n && text[i] == c; };
    auto digit = [&] { return i < n && text[i] >= '0' && text[i] <= '9'; };
    auto space = [&] {
        while (at(' ') || at('\t') || at('\n') || at('\r'))
            ++i;
    };
    auto string = [&] { // standing at its opening quote
        for (++i; i < n; ++i) {
            const uchar c = uchar(text[i]);
            if (c == '"') {
                ++i;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c != '\\')
                continue;
            if (++i >= n)
                return false;
            if (text[i] == 'u') {
                for (int k = 0; k < 4; ++k) {
                    if (++i >= n || !std::isxdigit(uchar(text[i])))
                        return false;
                }
            } else if (!std::strchr("\"\\/bfnrt", text[i]) || text[i] == '\0') {
                return false;
            }
        }
        return false;
    };
    auto number = [&] {
        if (at('-'))
            ++i;
        if (at('0')) {
            ++i;
        } else if (digit()) {
            while (digit())
                ++i;
        } else {
            return false;
        }
        if (at('.')) {
            ++i;
            if (!digit())
                return false;
            while (digit())
                ++i;
        }
        if (at('e') || at('E')) {
            ++i;
            if (at('+') || at('-'))
                ++i;
            if (!digit())
                return false;
            while (digit())
                ++i;
        }
        return true;
    };
    auto word = [&](const char *w) {
        const qsizetype length = qsizetype(std::strlen(w));
        if (n - i < length || std::memcmp(text.data() + i, w, size_t(length)) != 0)
            return false;
        i += length;
        return true;
    };
    auto key = [&] { // a member's name and its colon
        space();
        if (!at('"') || !string())
            return false;
        space();
        if (!at(':'))
            return false;
        ++i;
        return true;
    };
    std::vector<char> open; // the containers the next value lies in
    for (;;) {
        space(); // a value comes
        if (at('{') || at('[')) {
            const char close = at('{') ? '}' : ']';
            ++i;
            space();
            if (at(close)) {
                ++i;
            } else {
                open.push_back(close);
                if (close == '}' && !key())
                    return false;
                continue;
            }
        } else if (at('"')) {
            if (!string())
                return false;
        } else if (at('-') || digit()) {
            if (!number())
                return false;
        } else if (!word("true") && !word("false") && !word("null")) {
            return false;
        }
        // After a value: close what it ends, or go on to the next one.
        for (;;) {
            space();
            if (open.empty())
                return i == n;
            if (at(open.back())) {
                ++i;
                open.pop_back();
                continue;
            }
            if (!at(','))
                return false;
            ++i;
            if (open.back() == '}' && !key())
                return false;
            break;
        }
    }
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

Reader::Reader(QByteArrayView text)
    : m_text(text)
{ }

void Reader::handleTopLevelMember(const QString &name, MemberHandler handler)
{
    m_handlers.append({ name, std::move(handler) });
}

bool Reader::fail(Failure failure, const QString &why)
{
    if (m_failure == Failure::None) {
        m_failure = failure;
        m_failureAt = m_at;
        m_failureText = why;
    }
    return false;
}

bool Reader::refuse(const QString &why)
{
    return fail(Failure::Form, why);
}

void Reader::notCanonical()
{
    if (m_canonical) {
        m_canonical = false;
        m_nonCanonicalAt = m_at;
    }
}

void Reader::skipSpace()
{
    while (m_at < m_text.size()) {
        const char c = m_text[m_at];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return;
        notCanonical();
        ++m_at;
    }
}

bool Reader::expect(char c)
{
    skipSpace();
    if (m_at >= m_text.size() || m_text[m_at] != c)
        return fail(Failure::Syntax, QStringLiteral("应为“%1”").arg(QLatin1Char(c)));
    ++m_at;
    return true;
}

bool Reader::readStringInto(QByteArray &out, bool *escaped)
{
    if (!expect('"'))
        return false;
    if (escaped)
        *escaped = false;
    const auto *base = reinterpret_cast<const uchar *>(m_text.data());
    const qsizetype size = m_text.size();
    qsizetype plain = m_at;
    while (true) {
        if (m_at >= size)
            return fail(Failure::Syntax, QStringLiteral("字符串没有结束"));
        const uchar c = base[m_at];
        if (c == '"') {
            out.append(reinterpret_cast<const char *>(base + plain), m_at - plain);
            ++m_at;
            return true;
        }
        if (c < 0x20)
            return fail(Failure::Syntax, QStringLiteral("字符串中有控制字符"));
        if (c >= 0x80) {
            const int length = utf8SequenceLength(base + m_at, base + size);
            if (length == 0)
                return fail(Failure::Form, QStringLiteral("文字不是有效的 UTF-8"));
            m_at += length;
            continue;
        }
        if (c != '\\') {
            ++m_at;
            continue;
        }
        out.append(reinterpret_cast<const char *>(base + plain), m_at - plain);
        if (escaped)
            *escaped = true;
        if (m_at + 1 >= size)
            return fail(Failure::Syntax, QStringLiteral("字符串没有结束"));
        const char e = char(base[m_at + 1]);
        m_at += 2;
        switch (e) {
        case '"':
        case '\\':
            out += e;
            break;
        case '/':
            notCanonical();
            out += '/';
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            auto readUnit = [&](char32_t &unit, bool &lowerHex) {
                if (m_at + 4 > size)
                    return false;
                unit = 0;
                lowerHex = true;
                for (int i = 0; i < 4; ++i) {
                    const char h = char(base[m_at + i]);
                    const int v = hexValue(h);
                    if (v < 0)
                        return false;
                    if (h >= 'A' && h <= 'F')
                        lowerHex = false;
                    unit = unit << 4 | char32_t(v);
                }
                m_at += 4;
                return true;
            };
            char32_t unit = 0;
            bool lowerHex = true;
            if (!readUnit(unit, lowerHex))
                return fail(Failure::Syntax, QStringLiteral("\\u 之后应有四位十六进制数"));
            // The canonical text escapes only the control characters that have
            // no short form, in lower-case hex.
            const bool shortForm = unit == 8 || unit == 9 || unit == 10 || unit == 12 || unit == 13;
            if (unit >= 0x20 || shortForm || !lowerHex)
                notCanonical();
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                char32_t low = 0;
                if (m_at + 2 > size || base[m_at] != '\\' || base[m_at + 1] != 'u')
                    return fail(Failure::Form, QStringLiteral("文字中有不成对的代理码"));
                m_at += 2;
                if (!readUnit(low, lowerHex))
                    return fail(Failure::Syntax, QStringLiteral("\\u 之后应有四位十六进制数"));
                if (low < 0xDC00 || low > 0xDFFF)
                    return fail(Failure::Form, QStringLiteral("文字中有不成对的代理码"));
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                return fail(Failure::Form, QStringLiteral("文字中有不成对的代理码"));
            }
            appendUtf8(out, unit);
            break;
        }
        default:
            return fail(Failure::Syntax, QStringLiteral("字符串中有无效的转义"));
        }
        plain = m_at;
    }
}

bool Reader::readNumber(QJsonValue &value, qint64 *integer)
{
    skipSpace();
    const qsizetype start = m_at;
    const qsizetype size = m_text.size();
    bool negative = false;
    if (m_at < size && m_text[m_at] == '-') {
        negative = true;
        ++m_at;
    }
    const qsizetype digits = m_at;
    while (m_at < size && m_text[m_at] >= '0' && m_text[m_at] <= '9')
        ++m_at;
    if (m_at == digits)
        return fail(Failure::Syntax, QStringLiteral("不是 JSON 的值"));
    if (m_at - digits > 1 && m_text[digits] == '0')
        return fail(Failure::Syntax, QStringLiteral("数字不能以 0 开头"));
    bool whole = true;
    if (m_at < size && m_text[m_at] == '.') {
        whole = false;
        ++m_at;
        const qsizetype fraction = m_at;
        while (m_at < size && m_text[m_at] >= '0' && m_text[m_at] <= '9')
            ++m_at;
        if (m_at == fraction)
            return fail(Failure::Syntax, QStringLiteral("小数点后应有数字"));
    }
    if (m_at < size && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
        whole = false;
        ++m_at;
        if (m_at < size && (m_text[m_at] == '+' || m_text[m_at] == '-'))
            ++m_at;
        const qsizetype exponent = m_at;
        while (m_at < size && m_text[m_at] >= '0' && m_text[m_at] <= '9')
            ++m_at;
        if (m_at == exponent)
            return fail(Failure::Syntax, QStringLiteral("指数应有数字"));
    }
    if (!whole) {
        m_at = start;
        return fail(Failure::Form, QStringLiteral("数字应为整数"));
    }
    if (m_at - digits > 16) {
        m_at = start;
        return fail(Failure::Form, QStringLiteral("整数超出范围"));
    }
    qint64 magnitude = 0;
    for (qsizetype i = digits; i < m_at; ++i)
        magnitude = magnitude * 10 + (m_text[i] - '0');
    if (magnitude > MaxInteger) {
        m_at = start;
        return fail(Failure::Form, QStringLiteral("整数超出范围"));
    }
    if (negative && magnitude == 0)
        notCanonical(); // "-0"
    const qint64 result = negative ? -magnitude : magnitude;
    if (integer)
        *integer = result;
    value = QJsonValue(result);
    return true;
}

bool Reader::beginArray()
{
    if (!expect('['))
        return false;
    if (++m_depth > MaxDepth)
        return fail(Failure::Form, QStringLiteral("嵌套过深"));
    return true;
}

bool Reader::nextElement(bool &more, qsizetype read)
{
    skipSpace();
    if (m_at >= m_text.size())
        return fail(Failure::Syntax, QStringLiteral("数组没有结束"));
    const char c = m_text[m_at];
    const bool first = read == 0;
    if (c == ']') {
        ++m_at;
        --m_depth;
        more = false;
        return true;
    }
    if (!first) {
        if (c != ',')
            return fail(Failure::Syntax, QStringLiteral("应为“,”或“]”"));
        ++m_at;
    }
    more = true;
    return true;
}

bool Reader::beginObject()
{
    if (!expect('{'))
        return false;
    if (++m_depth > MaxDepth)
        return fail(Failure::Form, QStringLiteral("嵌套过深"));
    return true;
}

bool Reader::nextMember(bool &more, QByteArray &name, qsizetype read)
{
    skipSpace();
    if (m_at >= m_text.size())
        return fail(Failure::Syntax, QStringLiteral("对象没有结束"));
    const char c = m_text[m_at];
    const bool first = read == 0;
    if (c == '}') {
        ++m_at;
        --m_depth;
        more = false;
        return true;
    }
    if (!first) {
        if (c != ',')
            return fail(Failure::Syntax, QStringLiteral("应为“,”或“}”"));
        ++m_at;
    }
    name.clear();
    if (!readStringInto(name) || !expect(':'))
        return false;
    more = true;
    return true;
}

bool Reader::readUtf8(QByteArray &out)
{
    out.clear();
    return readStringInto(out);
}

bool Reader::readUtf8View(QByteArrayView &view, QByteArray &scratch)
{
    scratch.clear();
    skipSpace();
    const qsizetype start = m_at + 1;
    bool escaped = false;
    if (!readStringInto(scratch, &escaped))
        return false;
    view = escaped ? QByteArrayView(scratch) : m_text.sliced(start, m_at - 1 - start);
    return true;
}

bool Reader::readInteger(qint64 &value)
{
    skipSpace();
    if (m_at >= m_text.size() || (m_text[m_at] != '-' && (m_text[m_at] < '0' || m_text[m_at] > '9')))
        return fail(Failure::Form, QStringLiteral("应为整数"));
    QJsonValue ignored;
    return readNumber(ignored, &value);
}

std::optional<QJsonValue> Reader::readValue()
{
    skipSpace();
    if (m_at >= m_text.size()) {
        fail(Failure::Syntax, QStringLiteral("缺少值"));
        return std::nullopt;
    }
    const char c = m_text[m_at];
    if (c == '{') {
        if (!beginObject())
            return std::nullopt;
        QJsonObject object;
        QByteArray name;
        QByteArray previous;
        bool firstName = true;
        QSet<QByteArray> seen; // only once the names are out of order
        bool more = false;
        qsizetype read = 0;
        while (nextMember(more, name, read++) && more) {
            if (!firstName && name <= previous) {
                notCanonical();
                if (seen.isEmpty()) {
                    for (auto it = object.begin(); it != object.end(); ++it)
                        seen.insert(it.key().toUtf8());
                }
            }
            if (name == previous && !firstName) {
                fail(Failure::Form, QStringLiteral("成员“%1”出现了两次").arg(QString::fromUtf8(name)));
                return std::nullopt;
            }
            if (!seen.isEmpty()) {
                if (seen.contains(name)) {
                    fail(Failure::Form, QStringLiteral("成员“%1”出现了两次").arg(QString::fromUtf8(name)));
                    return std::nullopt;
                }
                seen.insert(name);
            }
            const QString key = QString::fromUtf8(name);
            bool handled = false;
            if (m_depth == 1) {
                for (const auto &[member, handler] : std::as_const(m_handlers)) {
                    if (member == key) {
                        if (!handler(*this)) {
                            fail(Failure::Form, QStringLiteral("“%1”的内容不对").arg(key));
                            return std::nullopt;
                        }
                        object.insert(key, QJsonValue(true)); // present; read by the handler
                        handled = true;
                    }
                }
            }
            if (!handled) {
                std::optional<QJsonValue> member = readValue();
                if (!member)
                    return std::nullopt;
                object.insert(key, *member);
            }
            previous = name;
            firstName = false;
        }
        if (m_failure != Failure::None)
            return std::nullopt;
        return QJsonValue(object);
    }
    if (c == '[') {
        if (!beginArray())
            return std::nullopt;
        QJsonArray array;
        bool more = false;
        qsizetype read = 0;
        while (nextElement(more, read++) && more) {
            std::optional<QJsonValue> element = readValue();
            if (!element)
                return std::nullopt;
            array.append(*element);
        }
        if (m_failure != Failure::None)
            return std::nullopt;
        return QJsonValue(array);
    }
    if (c == '"') {
        QByteArray text;
        if (!readStringInto(text))
            return std::nullopt;
        return QJsonValue(QString::fromUtf8(text));
    }
    auto word = [&](const char *literal, QJsonValue value) -> std::optional<QJsonValue> {
        const auto length = qsizetype(std::strlen(literal));
        if (m_text.size() - m_at >= length
            && std::memcmp(m_text.data() + m_at, literal, size_t(length)) == 0) {
            m_at += length;
            return value;
        }
        fail(Failure::Syntax, QStringLiteral("不是 JSON 的值"));
        return std::nullopt;
    };
    if (c == 't')
        return word("true", QJsonValue(true));
    if (c == 'f')
        return word("false", QJsonValue(false));
    if (c == 'n')
        return word("null", QJsonValue(QJsonValue::Null));
    QJsonValue number;
    if (!readNumber(number, nullptr))
        return std::nullopt;
    return number;
}

std::optional<QJsonValue> Reader::readDocument()
{
    m_at = 0;
    if (m_text.size() >= 3 && uchar(m_text[0]) == 0xEF && uchar(m_text[1]) == 0xBB
        && uchar(m_text[2]) == 0xBF) {
        fail(Failure::Syntax, QStringLiteral("文件以字节顺序标记开头"));
        return std::nullopt;
    }
    std::optional<QJsonValue> value = readValue();
    if (!value)
        return std::nullopt;
    // Canonical: exactly one LF after the value.
    if (m_at < m_text.size() && m_text[m_at] == '\n' && m_at + 1 == m_text.size())
        return value;
    const qsizetype end = m_at;
    notCanonical();
    skipSpace();
    if (m_at != m_text.size()) {
        m_at = end;
        fail(Failure::Syntax, QStringLiteral("值之后还有内容"));
        return std::nullopt;
    }
    return value;
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
