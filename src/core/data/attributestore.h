#pragma once

#include "data/database.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace tombolix::data {

// The values of one entrant's attributes, in the order of its draw's
// attribute names, in the one text 人员属性表 keeps them in: separated by
// U+001F, where U+001B stands before a value's own U+001B or U+001F.
// Trailing empty values are left out.
QString EncodeAttributes(const QStringList &values);
QStringList DecodeAttributes(QStringView text);
// The value at one place of such a text (empty past its end), without
// decoding the others.
QString AttributeAt(QStringView text, int place);
// The one value at `place` (from 0) of such a text; empty when it has none.
QString DecodeAttribute(QStringView text, qsizetype place);

// The further columns of the draws' entrant lists (部门, 入职日期…): each
// draw's attribute names in order (属性名表) and each entrant's values
// (人员属性表).
class AttributeStore
{
public:
    explicit AttributeStore(Database &db = Database::run())
        : m_db(db)
    { }

    // The draw's attribute names in order; nothing when they could not be read.
    std::optional<QStringList> names(qint64 drawId);
    // The place of each name among the draw's attributes, a name it has not
    // got added at the end; nothing when the database refused. Inside the
    // caller's transaction when there is one.
    std::optional<QList<int>> placesOf(qint64 drawId, const QStringList &names);

    // One entrant's values in the order of its draw's names (missing ones
    // empty); nothing when they could not be read.
    std::optional<QStringList> valuesOf(qint64 entrantId);
    // Stores the entrant's values; all empty removes its row.
    [[nodiscard]] bool save(qint64 entrantId, const QStringList &values);

    // Stores the values of many entrants at once, inside the caller's
    // transaction when there is one: entrant k's values are given in the
    // order of the names whose places placesOf() returned, and replace what
    // it had; all empty removes its row. For the entrant writer, which
    // stores thousands at a time.
    [[nodiscard]] bool saveAll(
        const std::vector<std::pair<qint64, const QStringList *>> &entrants, const QList<int> &places);

    // Every entrant of the draw that has values, in the order of their IDs:
    // `each` is called with the entrant's ID and its values' text (decode
    // with DecodeAttributes or AttributeAt), valid during the call. False
    // when they could not be read.
    [[nodiscard]] bool forEach(qint64 drawId, const std::function<void(qint64, QStringView)> &each);
    // The same for every entrant whose ID lies within the draw's first and
    // last IDs, of any draw (the caller keeps the draw's own): no join, so a
    // million rows read at the table's pace.
    [[nodiscard]] bool forEachWithinDraw(qint64 drawId, const std::function<void(qint64, QStringView)> &each);
    // The same for the entrants whose IDs lie from `first` to `last`, of any
    // draw: read in the order of the table, with no join.
    [[nodiscard]] bool forEachBetween(
        qint64 first, qint64 last, const std::function<void(qint64, QStringView)> &each);

    // Every entrant of the draw in the order of their IDs, with its number:
    // `each` is called with the ID and the number as stored (valid during
    // the call). False when they could not be read.
    [[nodiscard]] bool forEachNumber(qint64 drawId, const std::function<void(qint64, QStringView)> &each);

    // The draw's names and values, and an entrant's values when its row goes.
    [[nodiscard]] bool deleteForDraw(qint64 drawId);
    [[nodiscard]] bool deleteForEntrants(const QList<qint64> &ids);

private:
    Database &m_db;
};

// AttributeStore::forEachWithinDraw through a connection of SQLite's own,
// opened here on the file at `path` for reading and closed again: no Qt
// object, so it may run on a thread Qt did not start (one ending with a
// connection of Qt's takes the Windows build down).
[[nodiscard]] bool ForEachValueWithinDraw(
    const QString &path, qint64 drawId, const std::function<void(qint64, QStringView)> &each);

} // namespace tombolix::data
