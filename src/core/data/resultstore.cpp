#include "data/resultstore.h"

#include "common/conventions.h"
#include "data/database.h"
#include "data/notarystore.h"
#include "data/storesupport.h"
#include "data/tables.h"

#include <QDateTime>
#include <QJsonObject>
#include <QSqlQuery>

namespace tombolix::data {

ResultStore::RecordedRound ResultStore::record(const std::vector<ResultRecord> &winners)
{
    RecordedRound round;
    // One transaction per round: every winner is on disk before it is shown,
    // and a round costs one write to the disk, not one per winner.
    Transaction transaction(m_db);
    QSqlQuery insert(m_db.connection());
    if (!insert.prepare(insertStatement(
            results::Table, { results::DrawId, results::AwardId, results::Number, results::Name }))) {
        round.failed = true;
        return round;
    }
    for (size_t i = 0; i < winners.size(); ++i) {
        const ResultRecord &winner = winners[i];
        insert.bindValue(0, winner.drawId);
        insert.bindValue(1, winner.awardId);
        insert.bindValue(2, winner.number);
        insert.bindValue(3, winner.name);
        if (insert.exec()) {
            round.ids.push_back(insert.lastInsertId().toLongLong());
            continue;
        }
        // A winner the table refuses stops the round as a failure of the
        // database does: drawing someone else instead would be a redraw
        // nobody asked for.
        if (RowRefused(insert.lastError()))
            round.refused = qsizetype(i);
        else
            round.failed = true;
        break;
    }
    insert.finish();
    if (!round.stored() || (transaction.isActive() && !transaction.commit())) {
        if (round.refused < 0)
            round.failed = true;
        round.ids.clear();
    }
    return round;
}

bool ResultStore::withdraw(const QList<qint64> &ids, const QString &reason)
{
    if (ids.isEmpty())
        return true;
    if (!m_db.open())
        return false;
    // The withdrawal and the deletion stand or fall together: a crash between
    // them can leave neither a deleted win unrecorded nor a record of a win
    // still stored.
    Transaction transaction(m_db);
    if (!transaction.isActive())
        return false;
    const QString when = QDateTime::currentDateTime().toString(Qt::ISODate);
    QSqlQuery keep(m_db.connection());
    if (!keep.prepare(
            QStringLiteral("INSERT INTO %1 (%2, %3, %4, %5, %6, %7, %8) "
                           "SELECT %9, %10, %11, %12, %13, ?, ? FROM %14 WHERE %11=?")
                .arg(withdrawals::Table, withdrawals::DrawId, withdrawals::AwardId, withdrawals::ResultId,
                    withdrawals::Number, withdrawals::Name, withdrawals::Time, withdrawals::Reason)
                .arg(results::DrawId, results::AwardId, results::Id, results::Number, results::Name,
                    results::Table)))
        return false;
    for (qint64 id : ids) {
        keep.bindValue(0, when);
        keep.bindValue(1, reason);
        keep.bindValue(2, id);
        if (!keep.exec() || !recordWithdrawal(id, reason)
            || !deleteWhere(m_db, results::Table, results::Id, id))
            return false; // the transaction rolls back
    }
    keep.finish();
    return transaction.commit();
}

bool ResultStore::recordWithdrawal(qint64 id, const QString &reason)
{
    // The draw's chained record names the withdrawn win, so its entrant can be
    // left out of later rounds by anyone who checks them.
    Recordset rs = m_db.select(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5 WHERE %6=?")
                                   .arg(results::DrawId, results::AwardId, results::Number, results::Name,
                                       results::Table, results::Id),
        { id });
    if (!rs.isOpen())
        return false;
    if (rs.eof())
        return true;
    const qint64 drawId = integerValue(rs.field(0));
    const QJsonObject content { { QStringLiteral("result"), id },
        { QStringLiteral("award"), integerValue(rs.field(1)) },
        { QStringLiteral("number"), textOf(rs.field(2)) }, { QStringLiteral("name"), textOf(rs.field(3)) },
        { QStringLiteral("reason"), reason } };
    CloseRecordset(rs);
    const std::optional<QString> first = NotaryStore(m_db).firstType(drawId);
    if (!first)
        return false;
    if (first->isEmpty())
        return true; // a draw held before it had a record
    if (*first == QLatin1String("entered"))
        return NotaryStore(m_db).appendV1(drawId, QStringLiteral("withdrawal"), content);
    return NotaryStore(m_db).append(drawId, QStringLiteral("withdrawal"), content).has_value();
}

std::optional<QList<ResultRecord>> ResultStore::withdrawnInDraw(qint64 drawId)
{
    return rowsOfDraw(withdrawals::Table, withdrawals::Id, withdrawals::AwardId, withdrawals::Number,
        withdrawals::Name, withdrawals::DrawId, drawId);
}

std::optional<qint64> ResultStore::countForDraw(qint64 drawId)
{
    return countWhere(m_db, results::Table, results::DrawId, drawId);
}

std::optional<QList<ResultRecord>> ResultStore::forDraw(qint64 drawId)
{
    return rowsOfDraw(results::Table, results::Id, results::AwardId, results::Number, results::Name,
        results::DrawId, drawId);
}

std::optional<QList<ResultRecord>> ResultStore::rowsOfDraw(const QString &table, const QString &id,
    const QString &award, const QString &number, const QString &name, const QString &draw, qint64 drawId)
{
    Recordset rs = m_db.select(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5 WHERE %6=? ORDER BY %1")
                                   .arg(id, award, number, name, table, draw),
        { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    QList<ResultRecord> list;
    for (; !rs.eof(); rs.moveNext()) {
        list.append({ rs.field(0).toLongLong(), drawId, integerValue(rs.field(1)), textOf(rs.field(2)),
            textOf(rs.field(3)) });
    }
    return list;
}

qint64 ResultStore::countForAward(qint64 drawId, qint64 awardId)
{
    Recordset rs = m_db.select(QStringLiteral("SELECT %1 FROM %2 WHERE %3=? AND %4=?")
                                   .arg(results::Id, results::Table, results::DrawId, results::AwardId),
        { drawId, awardId });
    const qint64 count = rs.recordCount();
    CloseRecordset(rs);
    return count;
}

std::optional<QList<BoardRow>> ResultStore::boardRows(
    qint64 drawId, std::optional<qint64> onlyAward, bool ascending)
{
    // SELECT 结果表.*,奖项表.名称 AS 名称,奖项表.奖品 AS 奖品,奖项表.显示 AS 显示,奖项表.顺序 AS 顺序
    // FROM 结果表,奖项表 WHERE 结果表.CID=? AND 结果表.WID=奖项表.ID [AND 结果表.WID=?]
    // ORDER BY 奖项表.顺序 [DESC],结果表.ID [DESC]
    QString sql
        = QStringLiteral("SELECT %1.*,%2.%3 AS %3,%2.%4 AS %4,%2.%5 AS %5,%2.%6 AS %6 FROM %1,%2 ")
              .arg(results::Table, awards::Table, awards::Name, awards::Prize, awards::Shown, awards::Order)
        + QStringLiteral("WHERE %1.%2=? AND %1.%3=%4.%5")
              .arg(results::Table, results::DrawId, results::AwardId, awards::Table, awards::Id);
    QVariantList binds { drawId };
    if (onlyAward) {
        sql += QStringLiteral(" AND %1.%2=?").arg(results::Table, results::AwardId);
        binds << *onlyAward;
    }
    const QString direction = ascending ? QString() : QStringLiteral(" DESC");
    sql += QStringLiteral("  ORDER BY %1.%2%3,%4.%5%3")
               .arg(awards::Table, awards::Order, direction, results::Table, results::Id);

    Recordset rs = m_db.select(sql, binds);
    if (!rs.isOpen())
        return std::nullopt;
    QList<BoardRow> rows;
    for (; !rs.eof(); rs.moveNext()) {
        rows.append({ integerValue(rs.field(awards::Order)), textOf(rs.field(awards::Name)),
            textOf(rs.field(awards::Prize)), flagFromColumn(rs.field(awards::Shown)),
            textOf(rs.field(results::Number)), textOf(rs.field(results::Name)),
            integerValue(rs.field(results::Id)) });
    }
    return rows;
}

bool ResultStore::deleteForDraw(qint64 drawId)
{
    return deleteWhere(m_db, results::Table, results::DrawId, drawId)
        && deleteWhere(m_db, withdrawals::Table, withdrawals::DrawId, drawId);
}

bool ResultStore::deleteForAward(qint64 awardId)
{
    return deleteWhere(m_db, results::Table, results::AwardId, awardId);
}

std::optional<QList<WithdrawalRecord>> ResultStore::withdrawalsOf(qint64 drawId)
{
    Recordset rs = m_db.select(QStringLiteral("SELECT %1, %2, %3, %4, %5, %6 FROM %7 WHERE %8=? ORDER BY %9")
                                   .arg(withdrawals::ResultId, withdrawals::AwardId, withdrawals::Number,
                                       withdrawals::Name, withdrawals::Time, withdrawals::Reason,
                                       withdrawals::Table, withdrawals::DrawId, withdrawals::Id),
        { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    QList<WithdrawalRecord> list;
    for (; !rs.eof(); rs.moveNext()) {
        list.append({ integerValue(rs.field(0)), integerValue(rs.field(1)), textOf(rs.field(2)),
            textOf(rs.field(3)), textOf(rs.field(4)), textOf(rs.field(5)) });
    }
    return list;
}

bool ResultStore::bringBack(
    qint64 drawId, const QList<ResultRecord> &results, const QList<WithdrawalRecord> &withdrawn)
{
    const std::optional<QList<ResultRecord>> stored = forDraw(drawId);
    const std::optional<QList<WithdrawalRecord>> storedWithdrawals = withdrawalsOf(drawId);
    if (!stored || !storedWithdrawals)
        return false;
    QHash<qint64, ResultRecord> wanted;
    for (const ResultRecord &result : results)
        wanted.insert(result.id, result);
    for (const ResultRecord &row : *stored) {
        const auto it = wanted.constFind(row.id);
        if (it != wanted.cend() && it->awardId == row.awardId && it->number == row.number
            && it->name == row.name) {
            wanted.remove(row.id);
            continue;
        }
        if (!deleteWhere(m_db, results::Table, results::Id, row.id))
            return false;
    }
    for (const ResultRecord &result : std::as_const(wanted)) {
        if (!m_db.execute(
                insertStatement(results::Table,
                    { results::Id, results::DrawId, results::AwardId, results::Number, results::Name }),
                { result.id, drawId, result.awardId, result.number, result.name }))
            return false;
    }
    QHash<qint64, WithdrawalRecord> wantedWithdrawals;
    for (const WithdrawalRecord &each : withdrawn)
        wantedWithdrawals.insert(each.resultId, each);
    for (const WithdrawalRecord &row : *storedWithdrawals) {
        const auto it = wantedWithdrawals.constFind(row.resultId);
        if (it != wantedWithdrawals.cend() && it->awardId == row.awardId && it->number == row.number
            && it->name == row.name) {
            wantedWithdrawals.remove(row.resultId);
            continue;
        }
        if (!m_db.execute(QStringLiteral("DELETE FROM %1 WHERE %2=? AND %3=?")
                              .arg(withdrawals::Table, withdrawals::DrawId, withdrawals::ResultId),
                { drawId, row.resultId }))
            return false;
    }
    for (const WithdrawalRecord &each : std::as_const(wantedWithdrawals)) {
        if (!m_db.execute(
                insertStatement(withdrawals::Table,
                    { withdrawals::DrawId, withdrawals::AwardId, withdrawals::ResultId, withdrawals::Number,
                        withdrawals::Name, withdrawals::Time, withdrawals::Reason }),
                { drawId, each.awardId, each.resultId, each.number, each.name, each.time, each.reason }))
            return false;
    }
    return true;
}

} // namespace tombolix::data
