#pragma once

#include "draw/eligibility.h"
#include "draw/positionset.h"

#include <QJsonObject>
#include <optional>
#include <vector>

// An award's range in a record of rule v2: its conditions and the numbers
// left out, beside the words that state them.
namespace tombolix::draw::record {

// The members `conditions` and `excludedNumbers` of an award whose range is
// not empty, added to its object.
void AddLimits(QJsonObject &award, const AwardRange &limits);
// The limits of an award object that has them; nothing when they are not of
// the rule's form (each condition in its one form, the numbers trimmed,
// distinct, in order).
std::optional<AwardRange> ReadLimits(const QJsonObject &award);
// The spans without the positions given (ascending).
Ranges Without(const Ranges &ranges, const std::vector<qsizetype> &positions);

} // namespace tombolix::draw::record
