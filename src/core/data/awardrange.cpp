#include "data/awardrange.h"

namespace tombolix::data {

QString KindName(ConditionKind kind)
{
    switch (kind) {
    case ConditionKind::OneOf:
        return QStringLiteral("oneOf");
    case ConditionKind::OnOrBefore:
        return QStringLiteral("onOrBefore");
    case ConditionKind::OnOrAfter:
        return QStringLiteral("onOrAfter");
    case ConditionKind::AtLeast:
        return QStringLiteral("atLeast");
    case ConditionKind::AtMost:
        return QStringLiteral("atMost");
    }
    return QString();
}

std::optional<ConditionKind> KindNamed(QStringView text)
{
    for (ConditionKind kind : { ConditionKind::OneOf, ConditionKind::OnOrBefore, ConditionKind::OnOrAfter,
             ConditionKind::AtLeast, ConditionKind::AtMost }) {
        if (KindName(kind) == text)
            return kind;
    }
    return std::nullopt;
}

} // namespace tombolix::data
