#include "draw/displayrules.h"

#include <algorithm>
#include <vector>

namespace tombolix::draw {

namespace {

bool hasSurrogates(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSurrogate(); });
}

// The text as characters: a surrogate pair is one character, a lone
// surrogate stays the unit it is, so the text comes back exactly.
std::vector<char32_t> characters(const QString &text)
{
    std::vector<char32_t> chars;
    chars.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            chars.push_back(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else {
            chars.push_back(c.unicode());
        }
    }
    return chars;
}

QString fromCharacters(const std::vector<char32_t> &chars)
{
    QString text;
    text.reserve(qsizetype(chars.size()));
    for (char32_t c : chars) {
        if (QChar::requiresSurrogates(c)) {
            text.append(QChar(QChar::highSurrogate(c)));
            text.append(QChar(QChar::lowSurrogate(c)));
        } else {
            text.append(QChar(char16_t(c)));
        }
    }
    return text;
}

void prependFill(QString &text, qsizetype count, QChar c)
{
    // In place: a pool formats a million numbers, and a padding string made
    // first would double the allocations.
    const qsizetype size = text.size();
    text.resize(size + count);
    QChar *data = text.data();
    std::copy_backward(data, data + size, data + size + count);
    std::fill(data, data + count, c);
}

void prependFill(std::vector<char32_t> &chars, qsizetype count, char32_t c)
{
    chars.insert(chars.begin(), size_t(count), c);
}

// The rules work on a QString when every character is one UTF-16 unit, as
// numbers almost always are, and on the characters otherwise.
template<typename Text, typename Char>
void fixLength(Text &text, qint64 length, Char zero, Char nine, Char blank)
{
    const auto size = qint64(text.size());
    if (size >= length) {
        text.resize(decltype(text.size())(length));
        return;
    }
    const Char first = text.front();
    prependFill(text, qsizetype(length - size), first >= zero && first <= nine ? zero : blank);
}

template<typename Text, typename Char> void maskText(Text &text, const Text &mask, Char star)
{
    const auto first = std::find(mask.begin(), mask.end(), star);
    if (first == mask.end())
        return;
    const auto last = std::find(mask.rbegin(), mask.rend(), star).base() - 1;
    for (auto at = first; at <= last; ++at) {
        if (*at != star)
            continue;
        const auto p = qsizetype(at - mask.begin()); // counts from 0 here
        if (p < qsizetype(text.size()))
            text[p] = star;
        else
            text.push_back(star);
    }
}

} // namespace

void FixLength(QString &text, qint64 length)
{
    if (text.isEmpty() || length <= 0)
        return;
    length = std::min(length, MaxFixedLength);
    if (hasSurrogates(text)) {
        std::vector<char32_t> chars = characters(text);
        fixLength(chars, length, U'0', U'9', U' ');
        text = fromCharacters(chars);
        return;
    }
    fixLength(text, length, QChar(u'0'), QChar(u'9'), QChar(u' '));
}

void MaskText(QString &text, const QString &mask)
{
    if (text.isEmpty() || !mask.contains(QLatin1Char('*')))
        return;
    if (hasSurrogates(text) || hasSurrogates(mask)) {
        std::vector<char32_t> chars = characters(text);
        maskText(chars, characters(mask), U'*');
        text = fromCharacters(chars);
        return;
    }
    maskText(text, mask, QChar(u'*'));
}

QString DisplayText(const QString &number, qint64 length, const QString &mask)
{
    QString text = number;
    FixLength(text, length);
    MaskText(text, mask);
    return text;
}

QString StageLine(const QString &shown, const QString &name, bool withName)
{
    const QString trimmed = name.trimmed();
    if (!withName || trimmed.isEmpty())
        return shown;
    return shown + QStringLiteral("  ") + trimmed;
}

} // namespace tombolix::draw
