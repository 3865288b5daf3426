#pragma once

#include "data/awardrange.h"
#include "data/database.h"

#include <QHash>
#include <QList>
#include <optional>

namespace tombolix::data {

// Who may win each award (抽奖范围表 for the conditions, 不参与名单表 for the
// numbers that may not win it; the draw's own list applies to every award).
class RangeStore
{
public:
    explicit RangeStore(Database &db = Database::run())
        : m_db(db)
    { }

    // The award's conditions and its own exclusion list, as stored; nothing
    // when they could not be read.
    std::optional<AwardRange> ofAward(qint64 awardId);
    // The same for every award of the draw that has a range.
    std::optional<QHash<qint64, AwardRange>> ofDraw(qint64 drawId);
    // The numbers that may not win any award of the draw.
    std::optional<QStringList> drawExclusions(qint64 drawId);

    // Replaces the award's conditions and exclusion list, in one transaction.
    [[nodiscard]] bool saveAward(qint64 drawId, qint64 awardId, const AwardRange &range);
    // Replaces the draw's own exclusion list, in one transaction.
    [[nodiscard]] bool saveDrawExclusions(qint64 drawId, const QStringList &numbers);

    // Inside the caller's transaction.
    [[nodiscard]] bool deleteForAward(qint64 awardId);
    [[nodiscard]] bool deleteForDraw(qint64 drawId);

private:
    [[nodiscard]] bool writeExclusions(qint64 drawId, qint64 awardId, const QStringList &numbers);
    Database &m_db;
};

} // namespace tombolix::data
