#pragma once

#include "data/database.h"
#include "data/records.h"

#include <QList>
#include <optional>

namespace tombolix::data {

// One draw's entrants, read forward from the first.
class EntrantRows
{
public:
    // False when they could not be read (the database has reported the
    // failure).
    bool isOpen() const { return m_rows.isOpen(); }
    // All the rows, however many have been read.
    qint64 count() { return m_rows.recordCount(); }
    // The next entrant; false past the last.
    bool next(EntrantRecord &entrant);

private:
    friend class EntrantStore;
    Recordset m_rows;
    qint64 m_drawId = 0;
};

// The entrants (号码表). They are written by the entrant writer; the store
// reads them and deletes them.
class EntrantStore
{
public:
    // The store of the database given, the run database unless another is.
    explicit EntrantStore(Database &db = Database::run())
        : m_db(db)
    { }

    enum class Order
    {
        AsStored, // as the database returns them
        ById, // in the order they were entered
    };

    EntrantRows ofDraw(qint64 drawId, Order order = Order::AsStored);
    // The draw's entrants that can be drawn: those with a number that is not
    // blank. Nothing when that could not be read.
    std::optional<qint64> countDrawable(qint64 drawId);
    // All the draw's entrants, blank numbers too.
    std::optional<qint64> countForDraw(qint64 drawId);

    // Deletes the entrants in one transaction and returns how many there
    // were (one deleted meanwhile by someone else is simply gone); nothing
    // when the database refused, and then none is deleted.
    [[nodiscard]] std::optional<int> remove(const QList<qint64> &ids);
    // One statement, inside the caller's transaction.
    [[nodiscard]] bool deleteForDraw(qint64 drawId);

private:
    Database &m_db;
};

} // namespace tombolix::data
