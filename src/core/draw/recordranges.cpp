#include "draw/recordranges.h"

#include "draw/recordfields.h"

#include <QJsonArray>

namespace tombolix::draw::record {

namespace {
QJsonArray textsValue(const QStringList &texts)
{
    QJsonArray array;
    for (const QString &text : texts)
        array.append(text);
    return array;
}

std::optional<QStringList> textsOf(const QJsonValue &value)
{
    if (!value.isArray())
        return std::nullopt;
    QStringList texts;
    for (const QJsonValue &each : value.toArray()) {
        if (!each.isString())
            return std::nullopt;
        texts << each.toString();
    }
    return texts;
}
} // namespace

void AddLimits(QJsonObject &award, const AwardRange &limits)
{
    QJsonArray conditions;
    for (const Condition &condition : limits.conditions) {
        conditions.append(QJsonObject { { QStringLiteral("attribute"), condition.attribute },
            { QStringLiteral("kind"), KindName(condition.kind) },
            { QStringLiteral("values"), textsValue(condition.values) } });
    }
    award.insert(QStringLiteral("conditions"), conditions);
    award.insert(QStringLiteral("excludedNumbers"), textsValue(limits.excluded));
}

std::optional<AwardRange> ReadLimits(const QJsonObject &award)
{
    const QJsonValue conditions = award.value(QLatin1String("conditions"));
    if (!conditions.isArray())
        return std::nullopt;
    AwardRange limits;
    for (const QJsonValue &each : conditions.toArray()) {
        const QJsonObject object = each.toObject();
        if (!each.isObject() || !hasExactly(object, { "attribute", "kind", "values" })
            || !typed(object, { { "attribute", 's' }, { "kind", 's' }, { "values", 'a' } }))
            return std::nullopt;
        const std::optional<ConditionKind> kind = KindNamed(object.value(QLatin1String("kind")).toString());
        const std::optional<QStringList> values = textsOf(object.value(QLatin1String("values")));
        if (!kind || !values)
            return std::nullopt;
        const Condition condition { object.value(QLatin1String("attribute")).toString(), *kind, *values };
        if (NormalCondition(condition) != condition)
            return std::nullopt;
        limits.conditions << condition;
    }
    const std::optional<QStringList> excluded = textsOf(award.value(QLatin1String("excludedNumbers")));
    if (!excluded || NormalNumbers(*excluded) != *excluded)
        return std::nullopt;
    limits.excluded = *excluded;
    return limits;
}

Ranges Without(const Ranges &ranges, const std::vector<qsizetype> &positions)
{
    Ranges left = Ranges::none();
    size_t p = 0;
    for (auto [first, last] : ranges.spans) {
        while (p < positions.size() && positions[p] < first)
            ++p;
        qsizetype from = first;
        for (; p < positions.size() && positions[p] <= last; ++p) {
            if (positions[p] > from)
                left.spans.emplace_back(from, positions[p] - 1);
            from = positions[p] + 1;
        }
        if (from <= last)
            left.spans.emplace_back(from, last);
    }
    return left;
}

} // namespace tombolix::draw::record
