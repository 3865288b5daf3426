#include "draw/recordfields.h"

#include "common/notary.h"

#include <QJsonArray>
#include <QtAlgorithms>
#include <algorithm>

namespace tombolix::draw::record {

bool hasExactly(const QJsonObject &object, std::initializer_list<const char *> names)
{
    if (object.size() != qsizetype(names.size()))
        return false;
    for (const char *name : names) {
        if (!object.contains(QLatin1String(name)))
            return false;
    }
    return true;
}

bool typed(const QJsonObject &object, std::initializer_list<std::pair<const char *, char>> members)
{
    for (const auto &[name, type] : members) {
        const QJsonValue value = object.value(QLatin1String(name));
        bool ok = false;
        switch (type) {
        case 's':
            ok = value.isString();
            break;
        case 'i':
            ok = isInteger(value);
            break;
        case 'p':
            ok = isInteger(value, 1);
            break;
        case 'n':
            ok = isInteger(value, 0);
            break;
        case 'b':
            ok = value.isBool();
            break;
        case 'h':
            ok = value.isString() && notary::IsHash(value.toString());
            break;
        case 'a':
            ok = value.isArray();
            break;
        case 'o':
            ok = value.isObject();
            break;
        default:
            break;
        }
        if (!ok)
            return false;
    }
    return true;
}

QString form(qsizetype index, const QString &type)
{
    return QStringLiteral("%1的内容格式不对").arg(EntryName(index, type));
}

std::optional<Ranges> RangesOf(const QJsonValue &value, qsizetype size)
{
    if (!value.isArray())
        return std::nullopt;
    Ranges ranges = Ranges::none();
    qsizetype previous = -1;
    for (const QJsonValue &each : value.toArray()) {
        const QJsonArray pair = each.toArray();
        if (!each.isArray() || pair.size() != 2 || !isInteger(pair.at(0), 1) || !isInteger(pair.at(1), 1))
            return std::nullopt;
        const qsizetype first = pair.at(0).toInteger();
        const qsizetype last = pair.at(1).toInteger();
        if (first > last || last > size || (previous >= 0 && first <= previous + 1))
            return std::nullopt;
        ranges.spans.emplace_back(first, last);
        previous = last;
    }
    return ranges;
}

QJsonValue RangesValue(const Ranges &ranges, qsizetype size)
{
    QJsonArray array;
    if (ranges.all) {
        if (size > 0)
            array.append(QJsonArray { 1, qint64(size) });
        return array;
    }
    for (const auto &[first, last] : ranges.spans)
        array.append(QJsonArray { qint64(first), qint64(last) });
    return array;
}

namespace {

// Positions 1..size as bits, least significant first: position p is bit
// (p - 1) % 8 of byte (p - 1) / 8.
std::optional<Ranges> rangesOfBitmap(const QString &text, qsizetype size)
{
    const QByteArray encoded = text.toLatin1();
    if (QString::fromLatin1(encoded) != text)
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    // One form only: what an encoder writes, of exactly the list's bytes.
    if (!decoded || decoded.decoded.size() != (size + 7) / 8 || decoded.decoded.toBase64() != encoded)
        return std::nullopt;
    const QByteArray &bits = decoded.decoded;
    if (size % 8 != 0 && (quint8(bits.back()) >> (size % 8)) != 0)
        return std::nullopt;
    // Runs of ones, a word of 64 positions at a time.
    Ranges ranges = Ranges::none();
    const auto addRun = [&](qsizetype first, qsizetype last) {
        if (!ranges.spans.empty() && ranges.spans.back().second == first - 1)
            ranges.spans.back().second = last;
        else
            ranges.spans.emplace_back(first, last);
    };
    for (qsizetype at = 0; at < bits.size(); at += 8) {
        quint64 word = 0;
        for (qsizetype k = 0; k < 8 && at + k < bits.size(); ++k)
            word |= quint64(quint8(bits.at(at + k))) << (8 * k);
        const qsizetype base = at * 8;
        while (word != 0) {
            const int start = qCountTrailingZeroBits(word);
            const quint64 rest = ~(word >> start);
            const int length = rest == 0 ? 64 - start : qCountTrailingZeroBits(rest);
            addRun(base + start + 1, base + start + length);
            word = start + length >= 64 ? 0 : word & ~((quint64(1) << (start + length)) - 1);
        }
    }
    return ranges;
}

QString bitmapOf(const Ranges &ranges, qsizetype size)
{
    QByteArray bits((size + 7) / 8, '\0');
    const auto set
        = [&](qsizetype p) { bits[(p - 1) / 8] = char(quint8(bits[(p - 1) / 8]) | (1u << ((p - 1) % 8))); };
    for (const auto &[first, last] : ranges.spans) {
        for (qsizetype p = first; p <= last; ++p)
            set(p);
    }
    return QString::fromLatin1(bits.toBase64());
}

constexpr qsizetype BitmapFromCharacters = 4096;

qsizetype digits(qsizetype n)
{
    qsizetype count = 1;
    for (; n >= 10; n /= 10)
        ++count;
    return count;
}

} // namespace

std::optional<Ranges> EligibleOf(const QJsonValue &value, qsizetype size)
{
    if (value.isString())
        return rangesOfBitmap(value.toString(), size);
    return RangesOf(value, size);
}

QJsonValue EligibleValue(const Ranges &ranges, qsizetype size)
{
    if (ranges.all)
        return RangesValue(ranges, size);
    // Ranges a person can read, but for a set in so many pieces (a day of
    // joining over a million people) that its bits are shorter.
    const qsizetype asBits = std::max<qsizetype>(BitmapFromCharacters, (size + 7) / 8 * 4 / 3 + 4);
    qsizetype asRanges = 2;
    for (const auto &[first, last] : ranges.spans) {
        asRanges += digits(first) + digits(last) + 4;
        if (asRanges > asBits)
            return bitmapOf(ranges, size);
    }
    return RangesValue(ranges, size);
}

std::optional<std::vector<qsizetype>> PositionsOf(const QJsonValue &value, qsizetype size)
{
    if (!value.isArray())
        return std::nullopt;
    std::vector<qsizetype> positions;
    for (const QJsonValue &each : value.toArray()) {
        if (!isInteger(each, 1) || each.toInteger() > size
            || (!positions.empty() && each.toInteger() <= positions.back()))
            return std::nullopt;
        positions.push_back(each.toInteger());
    }
    return positions;
}

} // namespace tombolix::draw::record
