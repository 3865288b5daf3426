#include "data/awardstore.h"

#include "common/conventions.h"
#include "data/database.h"
#include "data/presetstore.h"
#include "data/rangestore.h"
#include "data/resultstore.h"
#include "data/storesupport.h"
#include "data/tables.h"

namespace tombolix::data {

namespace {

AwardRecord awardOf(const Recordset &rs)
{
    AwardRecord award;
    award.id = rs.field(awards::Id).toLongLong();
    award.drawId = integerValue(rs.field(awards::DrawId));
    award.order = textOf(rs.field(awards::Order));
    award.name = textOf(rs.field(awards::Name));
    award.count = textOf(rs.field(awards::Count));
    award.perRound = textOf(rs.field(awards::PerRound));
    award.shown = flagFromColumn(rs.field(awards::Shown));
    award.repeat = flagFromColumn(rs.field(awards::Repeat));
    award.prize = textOf(rs.field(awards::Prize));
    return award;
}

} // namespace

std::optional<AwardRecord> AwardStore::load(qint64 id)
{
    Recordset rs
        = m_db.select(QStringLiteral("SELECT * FROM %1 WHERE %2=?").arg(awards::Table, awards::Id), { id });
    if (rs.eof())
        return std::nullopt;
    return awardOf(rs);
}

std::optional<QList<AwardRecord>> AwardStore::forDraw(qint64 drawId)
{
    Recordset rs = m_db.select(QStringLiteral("SELECT * FROM %1 WHERE %2=? ORDER BY %3")
                                   .arg(awards::Table, awards::DrawId, awards::Order),
        { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    QList<AwardRecord> list;
    for (; !rs.eof(); rs.moveNext())
        list << awardOf(rs);
    return list;
}

SaveResult AwardStore::save(const AwardRecord &record)
{
    return saveRow(m_db, awards::Table, awards::Id, record.id,
        { awards::DrawId, awards::Order, awards::Name, awards::Count, awards::Prize, awards::PerRound,
            awards::Shown, awards::Repeat },
        { record.drawId, textForStorage(record.order), textForStorage(record.name),
            numericValue(record.count), textForStorage(record.prize), textForStorage(record.perRound),
            record.shown ? 1 : 0, record.repeat ? 1 : 0 });
}

bool AwardStore::reorder(qint64 drawId, const QList<qint64> &idsInOrder)
{
    const QString sql = updateStatement(awards::Table, { awards::Order }, awards::Id)
        + QStringLiteral(" AND %1=?").arg(awards::DrawId);
    Transaction transaction(m_db);
    bool ok = true;
    for (qsizetype i = 0; i < idsInOrder.size(); ++i) {
        if (m_db.execute(sql, { i + 1, idsInOrder.at(i), drawId }))
            continue;
        ok = false;
        // Past a failure inside the transaction, the database may have
        // rolled it back and the rest would be stored one by one. Without
        // one (the connection could not be opened), each statement has
        // always stood by itself.
        if (transaction.isActive())
            break;
    }
    return ok && transaction.commit();
}

std::optional<double> AwardStore::totalWinners(qint64 drawId)
{
    Recordset rs = m_db.select(
        QStringLiteral("SELECT SUM(%1) FROM %2 WHERE %3=?").arg(awards::Count, awards::Table, awards::DrawId),
        { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    // NULL, a sum over no awards, reads as 0.
    return rs.field(0).toDouble();
}

bool AwardStore::remove(const QList<qint64> &ids)
{
    return inOneTransaction(m_db, [this, &ids] {
        for (qint64 id : ids) {
            if (!ResultStore(m_db).deleteForAward(id) || !PresetStore(m_db).deleteForAward(id)
                || !RangeStore(m_db).deleteForAward(id) || !deleteWhere(m_db, awards::Table, awards::Id, id))
                return false;
        }
        return true;
    });
}

bool AwardStore::deleteForDraw(qint64 drawId)
{
    return deleteWhere(m_db, awards::Table, awards::DrawId, drawId);
}

} // namespace tombolix::data
