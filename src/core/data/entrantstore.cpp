#include "data/entrantstore.h"

#include "common/conventions.h"
#include "data/attributestore.h"
#include "data/storesupport.h"
#include "data/tables.h"

#include <QSqlQuery>

namespace tombolix::data {

namespace {

// Runs the deletion once for each ID (its first parameter; the draw, when
// given, its second), all in one transaction: the rows deleted, or nothing
// when any of it failed and so none of it was done.
std::optional<int> deleteEach(Database &db, const QString &sql, const QList<qint64> &ids, qint64 drawId = 0,
    const std::function<bool()> &alongside = {})
{
    int deleted = 0;
    const bool done = inOneTransaction(db, [&] {
        if (alongside && !alongside())
            return false;
        QSqlQuery remove(db.connection());
        if (!remove.prepare(sql))
            return false;
        for (qint64 id : ids) {
            remove.bindValue(0, id);
            if (drawId > 0)
                remove.bindValue(1, drawId);
            if (!remove.exec())
                return false;
            deleted += std::max(0, remove.numRowsAffected());
        }
        return true;
    });
    if (!done)
        return std::nullopt;
    return deleted;
}

} // namespace

bool EntrantRows::next(EntrantRecord &entrant)
{
    if (m_rows.eof())
        return false;
    entrant.id = m_rows.field(0).toLongLong();
    entrant.drawId = m_drawId;
    entrant.number = textOf(m_rows.field(1));
    entrant.name = textOf(m_rows.field(2));
    m_rows.moveNext();
    return true;
}

EntrantRows EntrantStore::ofDraw(qint64 drawId, Order order)
{
    QString sql = QStringLiteral("SELECT %1, %2, %3 FROM %4 WHERE %5=?")
                      .arg(entrants::Id, entrants::Number, entrants::Name, entrants::Table, entrants::DrawId);
    if (order == Order::ById)
        sql += QStringLiteral(" ORDER BY ") + entrants::Id;
    EntrantRows rows;
    rows.m_rows = m_db.select(sql, { drawId });
    rows.m_drawId = drawId;
    return rows;
}

std::optional<qint64> EntrantStore::countDrawable(qint64 drawId)
{
    Recordset rs = m_db.select(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2=? AND TRIM(%3, ' ')<>''")
                                   .arg(entrants::Table, entrants::DrawId, entrants::Number),
        { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    return rs.field(0).toLongLong();
}

std::optional<qint64> EntrantStore::countForDraw(qint64 drawId)
{
    return countWhere(m_db, entrants::Table, entrants::DrawId, drawId);
}

std::optional<int> EntrantStore::remove(const QList<qint64> &ids)
{
    // Their attributes go with them.
    return deleteEach(m_db, QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(entrants::Table, entrants::Id),
        ids, 0, [this, &ids] { return AttributeStore(m_db).deleteForEntrants(ids); });
}

bool EntrantStore::deleteForDraw(qint64 drawId)
{
    return deleteWhere(m_db, entrants::Table, entrants::DrawId, drawId);
}

} // namespace tombolix::data
