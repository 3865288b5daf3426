#include "data/database.h"

#include "common/prompts.h"
#include "data/backup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace tombolix::data {

namespace {

const QString ConnectionName = QStringLiteral("tombolix");
QString g_path;

const QString ConnectionFailed = QStringLiteral("无法建立数据库连接！");

int g_busyTimeout = 5000;
bool g_readOnlyForTesting = false;
qint64 g_pageLimit = 0;

QString openFailedMessage(const QString &sql, const QVariantList &binds)
{
    return QStringLiteral("数据库打开错误(") + StatementText(sql, binds) + QStringLiteral(")！");
}

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

// Device and inode tell the file that was opened from one put back under its
// name later.
struct FileIdentity
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;

    bool operator==(const FileIdentity &other) const
    {
        return exists == other.exists && device == other.device && inode == other.inode;
    }
    bool operator!=(const FileIdentity &other) const { return !(*this == other); }
};

FileIdentity identityOf(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return { true, quint64(info.st_dev), quint64(info.st_ino) };
#else
    // Windows refuses to delete a file SQLite holds open; existence will do.
    return { QFileInfo::exists(path), 0, 0 };
#endif
}

// What the run connection has open.
struct OpenedFile
{
    QString path;
    FileIdentity identity;
    bool readOnlyByPermission = false;
};
OpenedFile g_opened;

// Closes the run connection but keeps it registered, so queries callers still
// hold fail quietly; closing rolls back whatever it had begun.
void closeRunConnection()
{
    QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
    if (db.isValid() && db.isOpen())
        db.close();
}

// True when the open connection still writes to the file under the path.
bool stillTheOpenedFile()
{
    return identityOf(g_opened.path) == g_opened.identity;
}

// A write is only stored if the file it went to is still the database: one
// deleted or replaced meanwhile took the write with it.
bool writeReachedTheFile()
{
    if (stillTheOpenedFile())
        return true;
    closeRunConnection();
    return false;
}

// Opens the run connection without any message. The file must exist and be a
// database: SQLite is told never to create it.
bool ensureOpen()
{
    QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
    if (db.isValid() && db.isOpen()) {
        // A file opened read-only for want of permission is opened again
        // once it may be written, or its writes would keep failing.
        if (stillTheOpenedFile() && !(g_opened.readOnlyByPermission && QFileInfo(g_opened.path).isWritable()))
            return true;
        db.close();
    }
    if (!db.isValid())
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ConnectionName);

    const QFileInfo file(DatabasePath());
    if (!file.isFile())
        return false;
    const QString path = file.absoluteFilePath();
    // SQLite itself falls back to reading only when it may not write; saying
    // so keeps that case and the test hook on one road.
    const bool readOnlyByPermission = !file.isWritable();
    const bool readOnly = readOnlyByPermission || g_readOnlyForTesting;
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(g_busyTimeout));
    db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)
        + (readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw")));
    if (!db.open())
        return false;

    // A file that is not a database opens without complaint; the first read
    // tells.
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master"))) {
        check = QSqlQuery();
        db.close();
        return false;
    }
    check.finish();
    if (g_pageLimit > 0)
        check.exec(QStringLiteral("PRAGMA max_page_count=%1").arg(g_pageLimit));
    check.finish();

    g_opened.path = path;
    g_opened.identity = identityOf(path);
    g_opened.readOnlyByPermission = readOnlyByPermission;
    return true;
}

// A failure is told once: the next operation to fail the same way while
// nothing has succeeded since (a stick pulled out mid-draw fails every
// refresh, and a box's closing re-activates the window that refreshes)
// passes in silence. The first success afterwards makes it worth telling again.
QString g_told;

void tellOnce(const QString &message)
{
    if (message == g_told)
        return;
    g_told = message;
    prompts().message(message);
}

bool prepareAndRun(QSqlQuery &query, const QString &sql, const QVariantList &binds)
{
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return false;
    for (const QVariant &value : binds)
        query.addBindValue(value);
    const bool ran = query.exec();
    if (ran)
        g_told.clear();
    return ran;
}

} // namespace

QString DatabasePath()
{
    if (!g_path.isEmpty())
        return g_path;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Data.mdb"));
}

void setDatabasePath(const QString &path)
{
    if (path == g_path)
        return;
    CloseConnection();
    g_path = path;
    g_told.clear(); // another file: its failures are its own
}

bool OpenConnection()
{
    if (ensureOpen())
        return true;
    tellOnce(ConnectionFailed);
    return false;
}

void CloseConnection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
        if (!db.isValid())
            return;
        db.close();
    }
    QSqlDatabase::removeDatabase(ConnectionName);
}

QSqlDatabase connection()
{
    ensureOpen();
    return QSqlDatabase::database(ConnectionName, false);
}

void setBusyTimeout(int milliseconds)
{
    g_busyTimeout = milliseconds;
    QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
    if (db.isValid() && db.isOpen())
        QSqlQuery(QStringLiteral("PRAGMA busy_timeout=%1").arg(milliseconds), db).finish();
}

void setReadOnlyForTesting(bool readOnly)
{
    if (readOnly == g_readOnlyForTesting)
        return;
    g_readOnlyForTesting = readOnly;
    closeRunConnection();
}

bool CopyDatabaseTo(const QString &path)
{
    if (QFileInfo::exists(path) || !OpenConnection())
        return false;
    QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
    // A full disk (the test hook's page limit) has no room for the copy's
    // pages either.
    if (g_pageLimit > 0) {
        QSqlQuery pages(db);
        if (!pages.exec(QStringLiteral("PRAGMA page_count")) || !pages.next()
            || pages.value(0).toLongLong() * 2 > g_pageLimit)
            return false;
    }
    bool copied = false;
    {
        QSqlQuery vacuum(db);
        // VACUUM INTO reads one snapshot of the database, so the copy is
        // consistent whatever else has happened to the file.
        copied = vacuum.prepare(QStringLiteral("VACUUM INTO ?"));
        if (copied) {
            vacuum.addBindValue(QFileInfo(path).absoluteFilePath());
            copied = vacuum.exec();
        }
    }
    if (!copied)
        QFile::remove(path);
    return copied;
}

void setPageLimitForTesting(qint64 pages)
{
    g_pageLimit = pages;
    // A fresh connection has SQLite's own limit again.
    closeRunConnection();
}

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
        QSqlQuery count(connection());
        if (prepareAndRun(count, QStringLiteral("SELECT COUNT(*) FROM (") + m_sql + QLatin1Char(')'), m_binds)
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

Recordset OpenRecordset(const QString &sql, const QVariantList &binds)
{
    Recordset recordset;
    if (!ensureOpen()) {
        // No file to open: that is what the operator is told, not the query
        // that happened to need it first.
        tellOnce(ConnectionFailed);
        return recordset;
    }
    recordset.m_query = QSqlQuery(QSqlDatabase::database(ConnectionName, false));
    if (!prepareAndRun(recordset.m_query, sql, binds)) {
        recordset.m_query = QSqlQuery();
        tellOnce(openFailedMessage(sql, binds));
        return recordset;
    }
    recordset.m_sql = sql;
    recordset.m_binds = binds;
    recordset.m_open = true;
    recordset.m_eof = !recordset.m_query.next();
    return recordset;
}

void CloseRecordset(Recordset &recordset)
{
    recordset.close();
}

bool ExecuteSql(const QString &sql, const QVariantList &binds)
{
    if (!OpenConnection())
        return false;
    QSqlQuery query(QSqlDatabase::database(ConnectionName, false));
    if (!prepareAndRun(query, sql, binds))
        return false;
    query.finish();
    return writeReachedTheFile();
}

qint64 LastInsertId()
{
    QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
    if (!db.isValid() || !db.isOpen())
        return 0;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT last_insert_rowid()")) || !query.next())
        return 0;
    return query.value(0).toLongLong();
}

double SumColumn(const QString &table, const QString &column, const QString &condition)
{
    Recordset rs = OpenRecordset(QStringLiteral("SELECT SUM(") + column + QStringLiteral(") AS Coun FROM ")
        + table + QStringLiteral(" WHERE ") + condition);
    const QVariant sum = rs.field(QStringLiteral("Coun"));
    if (sum.isNull() || !sum.isValid())
        return 0.0;
    return sum.toDouble();
}

qint64 CountRows(const QString &table, const QString &condition, const QString &columns)
{
    QString sql = QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ") + table;
    if (!condition.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    Recordset rs = OpenRecordset(sql);
    const qint64 count = rs.recordCount();
    CloseRecordset(rs);
    return count;
}

QVariant LookupValue(
    const QString &table, const QVariant &key, const QString &keyColumn, const QString &wantedColumn)
{
    const QString sql = QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ") + keyColumn
        + QStringLiteral("=?");
    // A text key is compared as text, anything else as a number.
    const QVariant bound = key.typeId() == QMetaType::QString                    ? QVariant(key.toString())
        : key.canConvert<qint64>() && key.toDouble() == double(key.toLongLong()) ? QVariant(key.toLongLong())
                                                                                 : QVariant(key.toDouble());
    Recordset rs = OpenRecordset(sql, { bound });
    if (rs.eof())
        return QString();
    const QVariant value = rs.field(wantedColumn);
    CloseRecordset(rs);
    return value;
}

bool TableExists(const QString &name)
{
    if (!OpenConnection())
        return false;
    return connection().tables(QSql::Tables).contains(name, Qt::CaseSensitive);
}

QStringList IdListItems(
    const QString &table, const QString &idColumn, const QString &textColumn, const QString &condition)
{
    QString sql = QStringLiteral("SELECT * FROM ") + table;
    if (!condition.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    sql += QStringLiteral(" ORDER BY ") + idColumn + QStringLiteral(" DESC");
    QStringList items;
    for (Recordset rs = OpenRecordset(sql); !rs.eof(); rs.moveNext())
        items << MakeIdListItem(rs.field(idColumn).toLongLong(), rs.field(textColumn).toString());
    return items;
}

QString MakeIdListItem(qint64 id, const QString &text)
{
    return QString::number(id) + QStringLiteral("‖") + text;
}

Recordset OpenTableRows(const QString &table, const Condition &condition, const QString &sortField)
{
    QString sql = QStringLiteral("SELECT * FROM ") + table;
    if (!condition.text.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition.text;
    if (!sortField.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + sortField;
    return OpenRecordset(sql, condition.binds);
}

bool DeleteRowsByKey(const QString &table, const QString &keyField, const QStringList &keys)
{
    if (!OpenConnection())
        return false;
    Transaction transaction;
    if (!transaction.isActive())
        return false;
    // One statement prepared once: thousands of rows go in a moment.
    QSqlQuery remove(QSqlDatabase::database(ConnectionName, false));
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

Transaction::Transaction()
{
    QSqlDatabase db = connection();
    m_active = db.isOpen() && db.transaction();
}

Transaction::~Transaction()
{
    rollback();
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    m_active = false;
    QSqlDatabase db = connection();
    if (db.commit())
        return writeReachedTheFile();
    db.rollback();
    return false;
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    connection().rollback();
}

} // namespace tombolix::data
