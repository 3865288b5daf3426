#include "data/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QUrl>
#include <atomic>
#include <sqlite3.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace tombolix::data {

// Set as the program loads, before SQLite starts: its count of the memory
// it holds takes one lock for every allocation, shared by the connections
// of every thread.
const bool g_memoryUncounted = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;

namespace {

const QString RunConnectionName = QStringLiteral("tombolix");
QString g_path;

// Device and inode tell the file that was opened from one put back under its
// name later.
struct FileIdentity
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
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

// The write-ahead log and its index beside a file that cannot be its own: SQLite
// would read the pages of the file they belonged to into this one.
void removeForeignLog(const QString &path)
{
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
}

// The file's header says WAL mode (its read and write versions are 2).
bool inWalMode(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && header.at(18) == 2;
}

QString uniqueConnectionName()
{
    static std::atomic<int> next { 1 };
    return QStringLiteral("tombolix-%1").arg(next++);
}

} // namespace

QString DatabaseFailure::message() const
{
    if (kind == Kind::NoConnection)
        return QStringLiteral("无法建立数据库连接！");
    return QStringLiteral("数据库打开错误(") + statement + QStringLiteral(")！");
}

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
    Database::run().close();
    g_path = path;
}

Database::Database(const QString &path)
    : m_path(path)
    , m_name(uniqueConnectionName())
{ }

Database::~Database()
{
    close();
}

Database &Database::run()
{
    static Database *const database = [] {
        auto *made = new Database;
        made->m_name = RunConnectionName;
        return made;
    }();
    return *database;
}

QString Database::path() const
{
    return m_path.isEmpty() ? DatabasePath() : m_path;
}

QSqlDatabase Database::handle() const
{
    return QSqlDatabase::database(m_name, false);
}

// Closes the connection but keeps it registered, so queries callers still
// hold fail quietly; closing rolls back whatever it had begun.
void Database::closeKeepingName()
{
    QSqlDatabase db = handle();
    if (db.isValid() && db.isOpen())
        db.close();
}

// True when the open connection still writes to the file under the path.
bool Database::stillTheOpenedFile() const
{
    const FileIdentity now = identityOf(m_openedPath);
    return now.exists == m_openedExists && now.device == m_device && now.inode == m_inode;
}

// A write is only stored if the file it went to is still the database: one
// deleted or replaced meanwhile took the write with it.
bool Database::writeReachedTheFile()
{
    if (stillTheOpenedFile())
        return true;
    closeKeepingName();
    // The log beside the name is the gone file's: a file made there next
    // (the same inode, even) would take its pages for its own.
    removeForeignLog(m_openedPath);
    return false;
}

// Opens the connection without any report. The file must exist and be a
// database: SQLite is told never to create it.
bool Database::ensureOpen()
{
    QSqlDatabase db = handle();
    if (db.isValid() && db.isOpen()) {
        // A file opened read-only for want of permission is opened again
        // once it may be written, or its writes would keep failing.
        const bool same = stillTheOpenedFile();
        if (same && !(m_readOnlyByPermission && QFileInfo(m_openedPath).isWritable()))
            return true;
        db.close();
        if (!same)
            removeForeignLog(m_openedPath);
    }
    if (!db.isValid())
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);

    const QFileInfo file(path());
    if (!file.isFile())
        return false;
    const QString absolute = file.absoluteFilePath();
    // SQLite takes a log beside the file for the file's own. One is not when
    // another file now stands where the one this connection had open was
    // (deleted and made again, or moved over it), nor beside a file still in
    // the rollback journal's mode: the log was another file's, and its pages
    // would be read into this one.
    const FileIdentity identity = identityOf(absolute);
    if ((!m_openedPath.isEmpty() && m_openedPath == absolute
            && (identity.exists != m_openedExists || identity.device != m_device
                || identity.inode != m_inode))
        || !inWalMode(absolute))
        removeForeignLog(absolute);
    // SQLite itself falls back to reading only when it may not write; saying
    // so keeps that case and the test hook on one road.
    const bool readOnlyByPermission = !file.isWritable();
    const bool readOnly = readOnlyByPermission || m_readOnlyForTesting;
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout));
    db.setDatabaseName(QUrl::fromLocalFile(absolute).toString(QUrl::FullyEncoded)
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
    // WAL lets a reader on another connection go on while one writes. Each
    // commit is carried into the file itself at once, so a copy of the file
    // alone (an operator's backup onto a stick) holds everything stored. A
    // file system without shared memory keeps the file as it was.
    if (!readOnly) {
        check.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        check.finish();
        check.exec(QStringLiteral("PRAGMA wal_autocheckpoint=1"));
    }
    check.finish();
    if (m_pageLimit > 0)
        check.exec(QStringLiteral("PRAGMA max_page_count=%1").arg(m_pageLimit));
    check.finish();

    m_openedPath = absolute;
    m_openedExists = identity.exists;
    m_device = identity.device;
    m_inode = identity.inode;
    m_readOnlyByPermission = readOnlyByPermission;
    return true;
}

// A failure is reported once: the next operation to fail the same way while
// nothing has succeeded since (a stick pulled out mid-draw fails every
// refresh, and a box's closing re-activates the window that refreshes)
// passes in silence. The first success afterwards makes it worth reporting
// again.
void Database::fail(const DatabaseFailure &failure)
{
    m_lastFailure = failure;
    if (m_told && *m_told == failure)
        return;
    m_told = failure;
    if (m_reporter)
        m_reporter(failure);
}

bool Database::run(QSqlQuery &query, const QString &sql, const QVariantList &binds)
{
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return false;
    for (const QVariant &value : binds)
        query.addBindValue(value);
    const bool ran = query.exec();
    if (ran) {
        m_told.reset();
        m_lastFailure.reset();
    }
    return ran;
}

bool Database::open()
{
    if (ensureOpen())
        return true;
    fail({ DatabaseFailure::Kind::NoConnection, QString(), handle().lastError().text() });
    return false;
}

void Database::close()
{
    {
        QSqlDatabase db = handle();
        if (!db.isValid())
            return;
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    // Another file, or the same one put back: its failures are its own.
    m_told.reset();
}

QSqlDatabase Database::connection()
{
    ensureOpen();
    return handle();
}

Recordset Database::select(const QString &sql, const QVariantList &binds)
{
    Recordset recordset;
    if (!ensureOpen()) {
        // No file to open: that is what the operator is told, not the query
        // that happened to need it first.
        fail({ DatabaseFailure::Kind::NoConnection, QString(), handle().lastError().text() });
        return recordset;
    }
    recordset.m_query = QSqlQuery(handle());
    if (!run(recordset.m_query, sql, binds)) {
        const QString cause = recordset.m_query.lastError().text();
        recordset.m_query = QSqlQuery();
        fail({ DatabaseFailure::Kind::Statement, StatementText(sql, binds), cause });
        return recordset;
    }
    recordset.m_db = this;
    recordset.m_sql = sql;
    recordset.m_binds = binds;
    recordset.m_open = true;
    recordset.m_eof = !recordset.m_query.next();
    return recordset;
}

bool Database::execute(const QString &sql, const QVariantList &binds)
{
    if (!open())
        return false;
    QSqlQuery query(handle());
    if (!run(query, sql, binds)) {
        m_lastFailure = DatabaseFailure { DatabaseFailure::Kind::Statement, StatementText(sql, binds),
            query.lastError().text() };
        return false;
    }
    query.finish();
    return writeReachedTheFile();
}

qint64 Database::lastInsertId()
{
    QSqlDatabase db = handle();
    if (!db.isValid() || !db.isOpen())
        return 0;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT last_insert_rowid()")) || !query.next())
        return 0;
    return query.value(0).toLongLong();
}

bool Database::tableExists(const QString &name)
{
    if (!open())
        return false;
    return handle().tables(QSql::Tables).contains(name, Qt::CaseSensitive);
}

bool Database::copyTo(const QString &path)
{
    if (QFileInfo::exists(path) || !open())
        return false;
    QSqlDatabase db = handle();
    // A full disk (the test hook's page limit) has no room for the copy's
    // pages either.
    if (m_pageLimit > 0) {
        QSqlQuery pages(db);
        if (!pages.exec(QStringLiteral("PRAGMA page_count")) || !pages.next()
            || pages.value(0).toLongLong() * 2 > m_pageLimit)
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

void Database::setBusyTimeout(int milliseconds)
{
    m_busyTimeout = milliseconds;
    QSqlDatabase db = handle();
    if (db.isValid() && db.isOpen())
        QSqlQuery(QStringLiteral("PRAGMA busy_timeout=%1").arg(milliseconds), db).finish();
}

void Database::setFailureReporter(std::function<void(const DatabaseFailure &)> reporter)
{
    m_reporter = std::move(reporter);
}

void Database::setReadOnlyForTesting(bool readOnly)
{
    if (readOnly == m_readOnlyForTesting)
        return;
    m_readOnlyForTesting = readOnly;
    closeKeepingName();
}

void Database::setPageLimitForTesting(qint64 pages)
{
    m_pageLimit = pages;
    // A fresh connection has SQLite's own limit again.
    closeKeepingName();
}

bool OpenConnection()
{
    return Database::run().open();
}

void CloseConnection()
{
    Database::run().close();
}

QSqlDatabase connection()
{
    return Database::run().connection();
}

void setBusyTimeout(int milliseconds)
{
    Database::run().setBusyTimeout(milliseconds);
}

void setReadOnlyForTesting(bool readOnly)
{
    Database::run().setReadOnlyForTesting(readOnly);
}

void setPageLimitForTesting(qint64 pages)
{
    Database::run().setPageLimitForTesting(pages);
}

Transaction::Transaction(Database &db)
    : m_db(db)
{
    QSqlDatabase connection = m_db.connection();
    m_active = connection.isOpen() && connection.transaction();
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
    QSqlDatabase connection = m_db.connection();
    if (connection.commit())
        return m_db.writeReachedTheFile();
    connection.rollback();
    return false;
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    m_db.connection().rollback();
}

} // namespace tombolix::data
