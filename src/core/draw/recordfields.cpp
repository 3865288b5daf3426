#include "draw/recordfields.h"

#include "common/notary.h"

#include <QJsonArray>

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
