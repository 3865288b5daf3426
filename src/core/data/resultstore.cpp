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

std::vector<size_t> ResultStore::record(
    const std::vector<ResultRecord> &winners, std::vector<qint64> *ids, bool *failed)
{
    std::vector<qint64> storedIds;
    // One transaction per round: every stored winner is on disk before it is
    // shown, and a round costs one write to the disk, not one per winner.
    Transaction transaction;
    QSqlQuery insert(connection());
    const bool prepared = insert.prepare(insertStatement(
        results::Table, { results::DrawId, results::AwardId, results::Number, results::Name }));
    std::vector<size_t> stored;
    bool databaseFailed = !prepared;
    for (size_t i = 0; i < winners.size() && !databaseFailed; ++i) {
        const ResultRecord &winner = winners[i];
        insert.bindValue(0, winner.drawId);
        insert.bindValue(1, winner.awardId);
        insert.bindValue(2, winner.number);
        insert.bindValue(3, winner.name);
        if (insert.exec()) {
            stored.push_back(i);
            storedIds.push_back(insert.lastInsertId().toLongLong());
        }
        // A locked, full or missing database fails every winner alike and
        // may have rolled the transaction back already, after which the next
        // winners would be stored one by one while the round counts them as
        // lost. The round stops here.
        else if (!RowRefused(insert.lastError()))
            databaseFailed = true;
    }
    insert.finish();
    if (transaction.isActive()) {
        if (databaseFailed)
            transaction.rollback();
        if (databaseFailed || !transaction.commit()) {
            stored.clear();
            storedIds.clear();
        }
    }
    if (ids)
        *ids = std::move(storedIds);
    if (failed)
        *failed = databaseFailed;
    return stored;
}

bool ResultStore::withdraw(const QList<qint64> &ids, const QString &reason)
{
    if (ids.isEmpty())
        return true;
    if (!OpenConnection())
        return false;
    // The withdrawal and the deletion stand or fall together: a crash between
    // them can leave neither a deleted win unrecorded nor a record of a win
    // still stored.
    Transaction transaction;
    if (!transaction.isActive())
        return false;
    const QString when = QDateTime::currentDateTime().toString(Qt::ISODate);
    QSqlQuery keep(connection());
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
        if (!keep.exec() || !recordWithdrawal(id, reason) || !deleteWhere(results::Table, results::Id, id))
            return false; // the transaction rolls back
    }
    keep.finish();
    return transaction.commit();
}

bool ResultStore::recordWithdrawal(qint64 id, const QString &reason)
{
    // The draw's chained record names the withdrawn win, so its entrant can be
    // left out of later rounds by anyone who checks them.
    Recordset rs = OpenRecordset(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5 WHERE %6=?")
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
    return NotaryStore::append(drawId, QStringLiteral("withdrawal"), content);
}

std::optional<QList<ResultRecord>> ResultStore::withdrawnInDraw(qint64 drawId)
{
    return rowsOfDraw(withdrawals::Table, withdrawals::Id, withdrawals::AwardId, withdrawals::Number,
        withdrawals::Name, withdrawals::DrawId, drawId);
}

std::optional<qint64> ResultStore::countForDraw(qint64 drawId)
{
    Recordset rs = OpenRecordset(
        QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2=?").arg(results::Table, results::DrawId),
        { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    return rs.field(0).toLongLong();
}

std::optional<QList<ResultRecord>> ResultStore::forDraw(qint64 drawId)
{
    return rowsOfDraw(results::Table, results::Id, results::AwardId, results::Number, results::Name,
        results::DrawId, drawId);
}

std::optional<QList<ResultRecord>> ResultStore::rowsOfDraw(const QString &table, const QString &id,
    const QString &award, const QString &number, const QString &name, const QString &draw, qint64 drawId)
{
    Recordset rs = OpenRecordset(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5 WHERE %6=? ORDER BY %1")
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
    Recordset rs = OpenRecordset(QStringLiteral("SELECT %1 FROM %2 WHERE %3=? AND %4=?")
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

    Recordset rs = OpenRecordset(sql, binds);
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
    return deleteWhere(results::Table, results::DrawId, drawId)
        && deleteWhere(withdrawals::Table, withdrawals::DrawId, drawId);
}

bool ResultStore::deleteForAward(qint64 awardId)
{
    return deleteWhere(results::Table, results::AwardId, awardId)
        && deleteWhere(withdrawals::Table, withdrawals::AwardId, awardId);
}

} // namespace tombolix::data
