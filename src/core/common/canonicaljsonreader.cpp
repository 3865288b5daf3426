#include "common/canonicaljson.h"
#include "common/utf8.h"

#include <QJsonArray>
#include <QSet>
#include <cstring>

namespace tombolix::json {

namespace {

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
        if (!readEscape(out))
            return false;
        plain = m_at;
    }
}

bool Reader::readEscape(QByteArray &out)
{
    if (m_at + 1 >= m_text.size())
        return fail(Failure::Syntax, QStringLiteral("字符串没有结束"));
    const char e = m_text[m_at + 1];
    m_at += 2;
    switch (e) {
    case '"':
    case '\\':
        out += e;
        return true;
    case '/':
        notCanonical();
        out += '/';
        return true;
    case 'b':
        out += '\b';
        return true;
    case 'f':
        out += '\f';
        return true;
    case 'n':
        out += '\n';
        return true;
    case 'r':
        out += '\r';
        return true;
    case 't':
        out += '\t';
        return true;
    case 'u':
        return readUnicodeEscape(out);
    default:
        return fail(Failure::Syntax, QStringLiteral("字符串中有无效的转义"));
    }
}

bool Reader::readHexUnit(char32_t &unit, bool &lowerHex)
{
    if (m_at + 4 > m_text.size())
        return false;
    unit = 0;
    lowerHex = true;
    for (int i = 0; i < 4; ++i) {
        const char h = m_text[m_at + i];
        const int v = hexValue(h);
        if (v < 0)
            return false;
        if (h >= 'A' && h <= 'F')
            lowerHex = false;
        unit = unit << 4 | char32_t(v);
    }
    m_at += 4;
    return true;
}

bool Reader::readUnicodeEscape(QByteArray &out)
{
    char32_t unit = 0;
    bool lowerHex = true;
    if (!readHexUnit(unit, lowerHex))
        return fail(Failure::Syntax, QStringLiteral("\\u 之后应有四位十六进制数"));
    // The canonical text escapes only the control characters that have
    // no short form, in lower-case hex.
    const bool shortForm = unit == 8 || unit == 9 || unit == 10 || unit == 12 || unit == 13;
    if (unit >= 0x20 || shortForm || !lowerHex)
        notCanonical();
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        char32_t low = 0;
        if (m_at + 2 > m_text.size() || m_text[m_at] != '\\' || m_text[m_at + 1] != 'u')
            return fail(Failure::Form, QStringLiteral("文字中有不成对的代理码"));
        m_at += 2;
        if (!readHexUnit(low, lowerHex))
            return fail(Failure::Syntax, QStringLiteral("\\u 之后应有四位十六进制数"));
        if (low < 0xDC00 || low > 0xDFFF)
            return fail(Failure::Form, QStringLiteral("文字中有不成对的代理码"));
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
        return fail(Failure::Form, QStringLiteral("文字中有不成对的代理码"));
    }
    appendUtf8(out, unit);
    return true;
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

// At the end of a container or before its next item: true with more false
// past the closing bracket, with more true past the comma (none before the
// first item).
bool Reader::nextItem(char close, bool &more, qsizetype read)
{
    skipSpace();
    const bool array = close == ']';
    if (m_at >= m_text.size())
        return fail(Failure::Syntax, array ? QStringLiteral("数组没有结束") : QStringLiteral("对象没有结束"));
    const char c = m_text[m_at];
    if (c == close) {
        ++m_at;
        --m_depth;
        more = false;
        return true;
    }
    if (read > 0) {
        if (c != ',')
            return fail(
                Failure::Syntax, array ? QStringLiteral("应为“,”或“]”") : QStringLiteral("应为“,”或“}”"));
        ++m_at;
    }
    more = true;
    return true;
}

bool Reader::nextElement(bool &more, qsizetype read)
{
    return nextItem(']', more, read);
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
    if (!nextItem('}', more, read))
        return false;
    if (!more)
        return true;
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
    if (c == '{')
        return readObject();
    if (c == '[')
        return readArray();
    if (c == '"') {
        QByteArray text;
        if (!readStringInto(text))
            return std::nullopt;
        return QJsonValue(QString::fromUtf8(text));
    }
    if (c == 't')
        return readWord("true", QJsonValue(true));
    if (c == 'f')
        return readWord("false", QJsonValue(false));
    if (c == 'n')
        return readWord("null", QJsonValue(QJsonValue::Null));
    QJsonValue number;
    if (!readNumber(number, nullptr))
        return std::nullopt;
    return number;
}

std::optional<QJsonValue> Reader::readWord(const char *literal, const QJsonValue &value)
{
    const auto length = qsizetype(std::strlen(literal));
    if (m_text.size() - m_at >= length && std::memcmp(m_text.data() + m_at, literal, size_t(length)) == 0) {
        m_at += length;
        return value;
    }
    fail(Failure::Syntax, QStringLiteral("不是 JSON 的值"));
    return std::nullopt;
}

std::optional<QJsonValue> Reader::readArray()
{
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

std::optional<QJsonValue> Reader::readObject()
{
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
        if (!firstName && !checkMemberName(name, previous, object, seen))
            return std::nullopt;
        if (!readMember(QString::fromUtf8(name), object))
            return std::nullopt;
        previous = name;
        firstName = false;
    }
    if (m_failure != Failure::None)
        return std::nullopt;
    return QJsonValue(object);
}

bool Reader::checkMemberName(
    const QByteArray &name, const QByteArray &previous, const QJsonObject &object, QSet<QByteArray> &seen)
{
    if (name <= previous) {
        notCanonical();
        if (seen.isEmpty()) {
            for (auto it = object.begin(); it != object.end(); ++it)
                seen.insert(it.key().toUtf8());
        }
    }
    if (name == previous)
        return fail(Failure::Form, QStringLiteral("成员“%1”出现了两次").arg(QString::fromUtf8(name)));
    if (!seen.isEmpty()) {
        if (seen.contains(name))
            return fail(Failure::Form, QStringLiteral("成员“%1”出现了两次").arg(QString::fromUtf8(name)));
        seen.insert(name);
    }
    return true;
}

bool Reader::readMember(const QString &key, QJsonObject &object)
{
    bool handled = false;
    if (m_depth == 1) {
        for (const auto &[member, handler] : std::as_const(m_handlers)) {
            if (member == key) {
                if (!handler(*this))
                    return fail(Failure::Form, QStringLiteral("“%1”的内容不对").arg(key));
                object.insert(key, QJsonValue(true)); // present; read by the handler
                handled = true;
            }
        }
    }
    if (handled)
        return true;
    std::optional<QJsonValue> member = readValue();
    if (!member)
        return false;
    object.insert(key, *member);
    return true;
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

} // namespace tombolix::json
