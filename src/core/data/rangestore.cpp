#include "data/rangestore.h"

#include "data/storesupport.h"
#include "data/tables.h"

#include <QSqlQuery>

namespace tombolix::data {

namespace {
const QString ConditionsTable = QStringLiteral("抽奖范围表");
const QString ExclusionsTable = QStringLiteral("不参与名单表");
constexpr QChar Separator = QChar(0x1F);

// The conditions of the awards, each award's in its order; a row of a kind
// this program does not know is kept out (and so never widens a range
// unseen: the award then has a condition no one meets).
bool readConditions(Recordset &rs, QHash<qint64, AwardRange> &ranges)
{
    if (!rs.isOpen())
        return false;
    for (; !rs.eof(); rs.moveNext()) {
        RangeCondition condition;
        condition.attribute = rs.field(1).toString();
        const std::optional<ConditionKind> kind = KindNamed(rs.field(2).toString());
        condition.kind = kind.value_or(ConditionKind::OneOf);
        if (kind)
            condition.values = rs.field(3).toString().split(Separator);
        ranges[rs.field(0).toLongLong()].conditions << condition;
    }
    return true;
}
} // namespace

std::optional<AwardRange> RangeStore::ofAward(qint64 awardId)
{
    QHash<qint64, AwardRange> ranges;
    Recordset rs
        = m_db.select(QStringLiteral("SELECT WID, 属性, 条件, 值 FROM %1 WHERE WID=? ORDER BY 序号, ID")
                          .arg(ConditionsTable),
            { awardId });
    if (!readConditions(rs, ranges))
        return std::nullopt;
    Recordset numbers = m_db.select(
        QStringLiteral("SELECT 号码 FROM %1 WHERE WID=? ORDER BY ID").arg(ExclusionsTable), { awardId });
    if (!numbers.isOpen())
        return std::nullopt;
    AwardRange range = ranges.value(awardId);
    for (; !numbers.eof(); numbers.moveNext())
        range.excluded << numbers.field(0).toString();
    return range;
}

std::optional<QHash<qint64, AwardRange>> RangeStore::ofDraw(qint64 drawId)
{
    QHash<qint64, AwardRange> ranges;
    Recordset rs
        = m_db.select(QStringLiteral("SELECT r.WID, r.属性, r.条件, r.值 FROM %1 r JOIN %2 a ON a.%3 = r.WID "
                                     "WHERE a.%4=? ORDER BY r.WID, r.序号, r.ID")
                          .arg(ConditionsTable, awards::Table, awards::Id, awards::DrawId),
            { drawId });
    if (!readConditions(rs, ranges))
        return std::nullopt;
    Recordset numbers = m_db.select(
        QStringLiteral("SELECT WID, 号码 FROM %1 WHERE CID=? AND WID<>0 ORDER BY ID").arg(ExclusionsTable),
        { drawId });
    if (!numbers.isOpen())
        return std::nullopt;
    for (; !numbers.eof(); numbers.moveNext())
        ranges[numbers.field(0).toLongLong()].excluded << numbers.field(1).toString();
    return ranges;
}

std::optional<QStringList> RangeStore::drawExclusions(qint64 drawId)
{
    Recordset numbers = m_db.select(
        QStringLiteral("SELECT 号码 FROM %1 WHERE CID=? AND WID=0 ORDER BY ID").arg(ExclusionsTable),
        { drawId });
    if (!numbers.isOpen())
        return std::nullopt;
    QStringList list;
    for (; !numbers.eof(); numbers.moveNext())
        list << numbers.field(0).toString();
    return list;
}

bool RangeStore::writeExclusions(qint64 drawId, qint64 awardId, const QStringList &numbers)
{
    if (!m_db.execute(
            QStringLiteral("DELETE FROM %1 WHERE CID=? AND WID=?").arg(ExclusionsTable), { drawId, awardId }))
        return false;
    QSqlQuery insert(m_db.connection());
    if (!insert.prepare(
            QStringLiteral("INSERT INTO %1 (CID, WID, 号码) VALUES (?, ?, ?)").arg(ExclusionsTable)))
        return false;
    for (const QString &number : numbers) {
        insert.bindValue(0, drawId);
        insert.bindValue(1, awardId);
        insert.bindValue(2, number);
        if (!insert.exec())
            return false;
    }
    return true;
}

bool RangeStore::saveAward(qint64 drawId, qint64 awardId, const AwardRange &range)
{
    return inOneTransaction(m_db, [&] {
        if (!deleteWhere(m_db, ConditionsTable, QStringLiteral("WID"), awardId))
            return false;
        for (qsizetype i = 0; i < range.conditions.size(); ++i) {
            const RangeCondition &c = range.conditions.at(i);
            if (!m_db.execute(
                    QStringLiteral("INSERT INTO %1 (WID, 序号, 属性, 条件, 值) VALUES (?, ?, ?, ?, ?)")
                        .arg(ConditionsTable),
                    { awardId, i, c.attribute, KindName(c.kind), c.values.join(Separator) }))
                return false;
        }
        return writeExclusions(drawId, awardId, range.excluded);
    });
}

bool RangeStore::saveDrawExclusions(qint64 drawId, const QStringList &numbers)
{
    return inOneTransaction(m_db, [&] { return writeExclusions(drawId, 0, numbers); });
}

bool RangeStore::deleteForAward(qint64 awardId)
{
    return deleteWhere(m_db, ConditionsTable, QStringLiteral("WID"), awardId)
        && deleteWhere(m_db, ExclusionsTable, QStringLiteral("WID"), awardId);
}

bool RangeStore::deleteForDraw(qint64 drawId)
{
    return m_db.execute(QStringLiteral("DELETE FROM %1 WHERE WID IN (SELECT %2 FROM %3 WHERE %4=?)")
                            .arg(ConditionsTable, awards::Id, awards::Table, awards::DrawId),
               { drawId })
        && deleteWhere(m_db, ExclusionsTable, QStringLiteral("CID"), drawId);
}

} // namespace tombolix::data
