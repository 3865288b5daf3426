#include "data/database.h"

#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

// The routines every module reads and writes with, on the database given,
// and the recordset they read into.
namespace tombolix::data {

namespace {

QString literal(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toString();
    default:
        return sqlText(value.toString());
    }
}

} // namespace

bool RowRefused(const QSqlError &error)
{
    // SQLITE_CONSTRAINT, also in the low byte of its extended codes.
    constexpr int Constraint = 19;
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok && (code & 0xff) == Constraint;
}

QString StatementText(const QString &sql, const QVariantList &binds)
{
    QString text;
    text.reserve(sql.size() + 16 * binds.size());
    int next = 0;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?') && next < binds.size()) {
            text += literal(binds.at(next++));
            continue;
        }
        text += c;
    }
    return text;
}

QString sqlText(const QString &value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

void Recordset::moveNext()
{
    if (!m_open || m_eof)
        return;
    m_eof = !m_query.next();
}

QVariant Recordset::field(const QString &name) const
{
    if (eof())
        return QVariant();
    return m_query.value(name);
}

QVariant Recordset::field(int index) const
{
    if (eof())
        return QVariant();
    return m_query.value(index);
}

int Recordset::fieldCount() const
{
    return m_open ? m_query.record().count() : 0;
}

QString Recordset::fieldName(int index) const
{
    return m_open ? m_query.record().fieldName(index) : QString();
}

QMetaType::Type Recordset::fieldType(int index) const
{
    if (!m_open)
        return QMetaType::UnknownType;
    return static_cast<QMetaType::Type>(m_query.record().field(index).metaType().id());
}

qint64 Recordset::recordCount()
{
    if (!m_open)
        return 0;
    if (m_count < 0) {
        QSqlQuery count(m_db->connection());
        if (m_db->run(count, QStringLiteral("SELECT COUNT(*) FROM (") + m_sql + QLatin1Char(')'), m_binds)
            && count.next())
            m_count = count.value(0).toLongLong();
        else
            m_count = 0;
    }
    return m_count;
}

void Recordset::close()
{
    m_query.finish();
    m_query = QSqlQuery();
    m_open = false;
    m_eof = true;
}

Recordset OpenRecordset(const QString &sql, const QVariantList &binds, Database &db)
{
    return db.select(sql, binds);
}

void CloseRecordset(Recordset &recordset)
{
    recordset.close();
}

bool ExecuteSql(const QString &sql, const QVariantList &binds, Database &db)
{
    return db.execute(sql, binds);
}

qint64 LastInsertId(Database &db)
{
    return db.lastInsertId();
}

double SumColumn(const QString &table, const QString &column, const QString &condition, Database &db)
{
    Recordset rs = db.select(QStringLiteral("SELECT SUM(") + column + QStringLiteral(") AS Coun FROM ")
        + table + QStringLiteral(" WHERE ") + condition);
    const QVariant sum = rs.field(QStringLiteral("Coun"));
    if (sum.isNull() || !sum.isValid())
        return 0.0;
    return sum.toDouble();
}

qint64 CountRows(const QString &table, const QString &condition, const QString &columns, Database &db)
{
    QString sql = QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ") + table;
    if (!condition.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    Recordset rs = db.select(sql);
    const qint64 count = rs.recordCount();
    CloseRecordset(rs);
    return count;
}

QVariant LookupValue(const QString &table, const QVariant &key, const QString &keyColumn,
    const QString &wantedColumn, Database &db)
{
    const QString sql = QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ") + keyColumn
        + QStringLiteral("=?");
    // A text key is compared as text, anything else as a number.
    const QVariant bound = key.typeId() == QMetaType::QString                    ? QVariant(key.toString())
        : key.canConvert<qint64>() && key.toDouble() == double(key.toLongLong()) ? QVariant(key.toLongLong())
                                                                                 : QVariant(key.toDouble());
    Recordset rs = db.select(sql, { bound });
    if (rs.eof())
        return QString();
    const QVariant value = rs.field(wantedColumn);
    CloseRecordset(rs);
    return value;
}

bool TableExists(const QString &name, Database &db)
{
    return db.tableExists(name);
}

QStringList IdListItems(const QString &table, const QString &idColumn, const QString &textColumn,
    const QString &condition, Database &db)
{
    QString sql = QStringLiteral("SELECT * FROM ") + table;
    if (!condition.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    sql += QStringLiteral(" ORDER BY ") + idColumn + QStringLiteral(" DESC");
    QStringList items;
    for (Recordset rs = db.select(sql); !rs.eof(); rs.moveNext())
        items << MakeIdListItem(rs.field(idColumn).toLongLong(), rs.field(textColumn).toString());
    return items;
}

QString MakeIdListItem(qint64 id, const QString &text)
{
    return QString::number(id) + QStringLiteral("‖") + text;
}

Recordset OpenTableRows(
    const QString &table, const Condition &condition, const QString &sortField, Database &db)
{
    QString sql = QStringLiteral("SELECT * FROM ") + table;
    if (!condition.text.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition.text;
    if (!sortField.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + sortField;
    return db.select(sql, condition.binds);
}

bool DeleteRowsByKey(const QString &table, const QString &keyField, const QStringList &keys, Database &db)
{
    if (!db.open())
        return false;
    Transaction transaction(db);
    if (!transaction.isActive())
        return false;
    // One statement prepared once: thousands of rows go in a moment.
    QSqlQuery remove(db.connection());
    if (!remove.prepare(QStringLiteral("DELETE FROM ") + table + QStringLiteral(" WHERE ") + keyField
            + QStringLiteral("=?")))
        return false;
    for (const QString &key : keys) {
        remove.bindValue(0, key);
        if (!remove.exec())
            return false;
    }
    remove.finish();
    return transaction.commit();
}

} // namespace tombolix::data
