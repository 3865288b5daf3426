#include "data/presetstore.h"

#include "data/storesupport.h"
#include "data/tables.h"

namespace tombolix::data {

bool PresetStore::deleteForDraw(qint64 drawId)
{
    return deleteWhere(m_db, presets::Table, presets::DrawId, drawId);
}

bool PresetStore::deleteForAward(qint64 awardId)
{
    return deleteWhere(m_db, presets::Table, presets::AwardId, awardId);
}

} // namespace tombolix::data
