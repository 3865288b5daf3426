#include "transfer/xlsxscanner.h"

#include "transfer/xlsxreader.h"

#include <QByteArrayView>
#include <QStringDecoder>
#include <cctype>

namespace tombolix::transfer::xlsx {

namespace {

bool isSpace(int ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

bool isAsciiAlnum(char ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
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

} // namespace

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

bool readElementText(PartBytes &in, ScannedTag &tag, const char *name, std::string &raw)
{
    return in.textUntilTag(&raw) && readTag(in, tag) && tag.end && tag.is(name);
}

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

} // namespace tombolix::transfer::xlsx
