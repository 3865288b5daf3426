#pragma once

#include "data/database.h"

#include <QtGlobal>

namespace tombolix::data {

// The preset winners (预设表). The program neither writes nor reads them; it
// deletes those of a draw or an award when that goes.
class PresetStore
{
public:
    // The store of the database given, the run database unless another is.
    explicit PresetStore(Database &db = Database::run())
        : m_db(db)
    { }

    // One statement each, inside the caller's transaction.
    [[nodiscard]] bool deleteForDraw(qint64 drawId);
    [[nodiscard]] bool deleteForAward(qint64 awardId);

private:
    Database &m_db;
};

} // namespace tombolix::data
