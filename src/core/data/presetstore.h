#pragma once

#include <QtGlobal>

namespace tombolix::data {

// The preset winners (预设表). The program neither writes nor reads them; it
// deletes those of a draw or an award when that goes.
class PresetStore
{
public:
    // One statement each, inside the caller's transaction.
    static bool deleteForDraw(qint64 drawId);
    static bool deleteForAward(qint64 awardId);
};

} // namespace tombolix::data
