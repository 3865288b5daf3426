#include "transfer/columnspec.h"

#include "transfer/gb18030.h"

#include <algorithm>
#include <cmath>

namespace tombolix::transfer {

namespace {

const QChar Quote = QLatin1Char('"');

QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

// The character code the column arithmetic works with: ASCII for ASCII, and
// for anything else the double-byte GBK code read as a signed 16-bit number
// (always negative), or the code of "?" for characters GBK cannot hold. This
// keeps stray full-width letters and Chinese characters at column 1, as
// people who have typed them before expect.
int characterCode(QChar character)
{
    if (character.unicode() < 0x80)
        return character.unicode();
    bool encoded = false;
    const QByteArray bytes = EncodeGb18030(QStringView(&character, 1), &encoded);
    if (!encoded)
        return '?';
    if (bytes.size() == 1)
        return static_cast<unsigned char>(bytes.at(0));
    if (bytes.size() == 2) {
        const int code
            = (static_cast<unsigned char>(bytes.at(0)) << 8) | static_cast<unsigned char>(bytes.at(1));
        return code >= 0x8000 ? code - 0x10000 : code;
    }
    return '?';
}

// Every line break becomes "//": CR LF, LF and a lone CR each count as one,
// so a value never keeps a stray CR from a file with CR LF line ends.
// QString::replace grows the text once per match, which takes seconds on a
// field of a few million breaks, so the text is built once.
QString markLineBreaks(const QString &text)
{
    const auto isBreak = [](QChar c) { return c == QLatin1Char('\n') || c == QLatin1Char('\r'); };
    if (std::none_of(text.cbegin(), text.cend(), isBreak))
        return text;
    QString marked;
    marked.reserve(text.size() + text.size() / 2);
    const qsizetype n = text.size();
    qsizetype from = 0;
    for (qsizetype at = 0; at < n; ++at) {
        if (!isBreak(text.at(at)))
            continue;
        marked.append(QStringView(text).mid(from, at - from)).append(QLatin1String("//"));
        if (text.at(at) == QLatin1Char('\r') && at + 1 < n && text.at(at + 1) == QLatin1Char('\n'))
            ++at;
        from = at + 1;
    }
    marked.append(QStringView(text).mid(from));
    return marked;
}

bool isLiteral(const QString &piece)
{
    return piece.size() >= 2 && piece.front() == Quote && piece.back() == Quote;
}

} // namespace

int ColumnNumber(const QString &piece)
{
    const QString s = trimSpaces(piece).toUpper();
    if (s.isEmpty() || s.size() > 2)
        return 0;
    const int last = characterCode(s.back()) - 64;
    const int number = s.size() == 2 ? (characterCode(s.front()) - 64) * 26 + last : last;
    return number <= 0 ? 1 : number;
}

QString ColumnLetters(int n)
{
    const int f = int(std::floor((n - 0.5) / 26.0));
    const int m = n - 26 * f;
    QString letters;
    if (f > 0)
        letters += QChar(char16_t(64 + f));
    if (m > 0)
        letters += QChar(char16_t(64 + m));
    return letters;
}

int QuoteRunLength(const QString &text, QChar character, int start)
{
    if (start < 1)
        return 0;
    qsizetype i = start - 1;
    const qsizetype from = i;
    while (i < text.size() && text.at(i) == character)
        ++i;
    return int(i - from);
}

int CountOccurrences(const QString &text, const QString &sub)
{
    if (sub.isEmpty())
        return 0;
    int count = 0;
    for (qsizetype at = text.indexOf(sub); at >= 0; at = text.indexOf(sub, at + sub.size()))
        ++count;
    return count;
}

void NormaliseColumnSpecs(QStringList &specs)
{
    for (qsizetype i = 1; i < specs.size(); ++i) {
        QString spec = specs.at(i);
        spec.replace(QChar(0x201C), Quote)
            .replace(QChar(0x201D), Quote)
            .replace(QChar(0xFF0C), QLatin1Char(','));
        spec = trimSpaces(spec);
        if (spec.startsWith(QLatin1Char(',')))
            spec.remove(0, 1);
        if (spec.endsWith(QLatin1Char(',')))
            spec.chop(1);
        specs[i] = spec;
    }
}

SpecPieces::SpecPieces(const QString &spec, bool trimPieces)
{
    if (spec.isEmpty())
        return;
    const QStringList pieces = spec.split(QLatin1Char(','));
    for (QString piece : pieces) {
        if (trimPieces) {
            piece.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
            piece = trimSpaces(piece);
        }
        if (isLiteral(piece)) {
            m_pieces.push_back({ piece.mid(1, piece.size() - 2), 0 });
        } else if (piece.size() == 1 && piece.front() == Quote) {
            continue; // a lone quote is neither a literal nor a column
        } else {
            const int column = ColumnNumber(piece);
            if (column > 0)
                m_pieces.push_back({ QString(), column });
        }
    }
}

QString SpecPieces::finish(const QString &value)
{
    return markLineBreaks(value);
}

std::vector<SpecPieces> AttributeSpecPieces(const QStringList &specs, bool trimPieces)
{
    std::vector<SpecPieces> pieces;
    for (qsizetype i = 2; i < specs.size(); ++i)
        pieces.emplace_back(specs.at(i), trimPieces);
    return pieces;
}

QString ComposeSpecValue(const QString &spec, const std::function<QString(int)> &cell, bool trimPieces)
{
    return SpecPieces(spec, trimPieces).compose(cell);
}

} // namespace tombolix::transfer
