#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// Who may win an award, as the award editor keeps it: conditions on the
// entrants' attributes, all of which must hold, and the numbers that may not
// win it (不参与名单). The draw reads and words them (draw/eligibility.h).
namespace tombolix::data {

enum class ConditionKind
{
    OneOf, // the value is one of the condition's values
    OnOrBefore, // a date on or before the condition's day
    OnOrAfter, // a date on or after it
    AtLeast, // a number at least the condition's
    AtMost, // a number at most it
};

struct RangeCondition
{
    QString attribute;
    ConditionKind kind = ConditionKind::OneOf;
    // OneOf: the values, distinct, in ascending order of their UTF-8 bytes.
    // A date: one day as YYYY-MM-DD. A number: one decimal as NormalNumber
    // writes it.
    QStringList values;

    bool operator==(const RangeCondition &other) const
    {
        return attribute == other.attribute && kind == other.kind && values == other.values;
    }
    bool operator!=(const RangeCondition &other) const { return !(*this == other); }
};

struct AwardRange
{
    QList<RangeCondition> conditions;
    QStringList excluded; // numbers, distinct, in ascending order of their UTF-8 bytes

    bool everyone() const { return conditions.isEmpty() && excluded.isEmpty(); }
    bool operator==(const AwardRange &other) const
    {
        return conditions == other.conditions && excluded == other.excluded;
    }
    bool operator!=(const AwardRange &other) const { return !(*this == other); }
};

// The record's and the table's name of a kind ("oneOf", "onOrBefore"…) and
// back.
QString KindName(ConditionKind kind);
std::optional<ConditionKind> KindNamed(QStringView name);

} // namespace tombolix::data
