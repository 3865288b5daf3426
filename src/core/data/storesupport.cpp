#include "data/storesupport.h"

#include "data/database.h"

namespace tombolix::data {

QString insertStatement(const QString &table, const QStringList &columns)
{
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

QString updateStatement(const QString &table, const QStringList &columns, const QString &keyColumn)
{
    return QStringLiteral("UPDATE %1 SET %2=? WHERE %3=?")
        .arg(table, columns.join(QStringLiteral("=?, ")), keyColumn);
}

std::optional<bool> rowExists(Database &db, const QString &table, const QString &idColumn, qint64 id)
{
    Recordset row = db.select(QStringLiteral("SELECT %1 FROM %2 WHERE %1=?").arg(idColumn, table), { id });
    if (!row.isOpen())
        return std::nullopt;
    const bool exists = !row.eof();
    row.close();
    return exists;
}

std::optional<qint64> countWhere(
    Database &db, const QString &table, const QString &column, const QVariant &value)
{
    Recordset rs
        = db.select(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2=?").arg(table, column), { value });
    if (!rs.isOpen())
        return std::nullopt;
    return rs.field(0).toLongLong();
}

SaveResult saveRow(Database &db, const QString &table, const QString &idColumn, qint64 id,
    const QStringList &columns, QVariantList values)
{
    SaveResult result;
    bool exists = false;
    if (id > 0) {
        const std::optional<bool> found = rowExists(db, table, idColumn, id);
        if (!found) {
            result.status = SaveResult::NotRead;
            return result;
        }
        exists = *found;
    }
    if (exists) {
        values << id;
        if (!db.execute(updateStatement(table, columns, idColumn), values))
            return result;
        result.id = id;
    } else {
        if (!db.execute(insertStatement(table, columns), values))
            return result;
        result.id = db.lastInsertId();
    }
    result.status = SaveResult::Saved;
    return result;
}

bool deleteWhere(Database &db, const QString &table, const QString &column, const QVariant &value)
{
    return db.execute(QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(table, column), { value });
}

bool inOneTransaction(Database &db, const std::function<bool()> &work)
{
    if (!db.open())
        return false;
    Transaction transaction(db);
    if (!transaction.isActive())
        return false;
    return work() && transaction.commit();
}

} // namespace tombolix::data
