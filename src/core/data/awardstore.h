#pragma once

#include "data/database.h"
#include "data/records.h"

#include <QList>
#include <optional>

namespace tombolix::data {

// The awards of the draws (奖项表).
class AwardStore
{
public:
    // The store of the database given, the run database unless another is.
    explicit AwardStore(Database &db = Database::run())
        : m_db(db)
    { }

    // The award with this ID; nothing when there is none or it could not be
    // read (the database has reported the failure).
    std::optional<AwardRecord> load(qint64 id);
    // The draw's awards in drawing order (顺序; equal orders as the database
    // returns them); nothing when they could not be read.
    std::optional<QList<AwardRecord>> forDraw(qint64 drawId);

    // Writes the record into its row, or into a new row when its ID names
    // none.
    [[nodiscard]] SaveResult save(const AwardRecord &record);
    // Gives the draw's awards the order 1, 2, 3… in the order of the IDs, in
    // one transaction.
    [[nodiscard]] bool reorder(qint64 drawId, const QList<qint64> &idsInOrder);

    // The winners the draw's awards have together; nothing when that could
    // not be read.
    std::optional<double> totalWinners(qint64 drawId);

    // Deletes the awards with their results and presets, in one transaction:
    // all of them or, when the database refuses, none.
    [[nodiscard]] bool remove(const QList<qint64> &ids);
    // One statement, inside the caller's transaction.
    [[nodiscard]] bool deleteForDraw(qint64 drawId);

private:
    Database &m_db;
};

} // namespace tombolix::data
