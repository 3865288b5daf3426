#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

// A Database owns one connection to Data.mdb; stores and writers are given
// the one they work on. The program's own, Database::run(), lives on the GUI
// thread; any other thread opens a Database of its own on the same file
// (Qt's connections belong to the thread that made them). The file is kept in
// WAL mode, so readers never wait for a writer, and a writer waits up to the
// busy timeout for another's lock before it fails.
//
// A connection is opened on first use and opened again after a failure, so
// the program recovers once the file is back. The file is checked before
// each routine and transaction: if it was deleted or replaced while open,
// SQLite would go on writing into the unlinked file and every write would be
// lost, so the stale connection is dropped and the routine fails as for a
// missing file.
//
// Failures are values: each routine says whether it worked, lastFailure()
// what failed, and a failure reporter, when one is set, hears of each failure
// once (the window layer sets the run database's to tell the operator).
//
// Every text value reaches a statement bound ("?" with a value in binds) or
// quoted with sqlText(); statements are never built from raw typed text.
namespace tombolix::data {

// Data.mdb beside the executable, unless a test or tool set another path.
QString DatabasePath();
void setDatabasePath(const QString &path);

// What went wrong with the database.
struct DatabaseFailure
{
    enum class Kind
    {
        NoConnection, // the file could not be opened as a database
        Statement, // a SELECT could not be run
    };
    Kind kind = Kind::NoConnection;
    QString statement; // with its values as literals
    QString cause; // the driver's own words

    // "无法建立数据库连接！" or "数据库打开错误(" + the statement + ")！"
    QString message() const;
    bool operator==(const DatabaseFailure &other) const
    {
        return kind == other.kind && statement == other.statement;
    }
};

class Recordset;
class Transaction;

class Database
{
public:
    // A connection to the file at path; an empty path follows DatabasePath().
    explicit Database(const QString &path = QString());
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // The program's own database, on the GUI thread.
    static Database &run();

    // The file this database opens.
    QString path() const;
    // Opens the connection if it is not open; false (a NoConnection failure)
    // when the file cannot be opened. The file is never created.
    [[nodiscard]] bool open();
    // Drops the connection; the next routine opens it afresh.
    void close();
    // The connection, opened without any report; check isOpen().
    QSqlDatabase connection();

    // Runs the SELECT and stands on its first row; a recordset that is not
    // open, and a Statement failure, when it cannot run.
    [[nodiscard]] Recordset select(const QString &sql, const QVariantList &binds = {});
    // Runs one statement; true when it ran and reached the file. Only a
    // connection that cannot be opened is reported.
    [[nodiscard]] bool execute(const QString &sql, const QVariantList &binds = {});
    // The ID the database gave the row last inserted here; 0 when none.
    qint64 lastInsertId();
    // Whether the file holds a table of this name.
    bool tableExists(const QString &name);
    // Writes a consistent copy of the database to a new file; false when the
    // file exists or the copy failed (and then nothing is left there).
    bool copyTo(const QString &path);

    // How long a statement waits for another connection's lock before it
    // fails; 5000 ms unless set.
    void setBusyTimeout(int milliseconds);
    // Who hears of failures: each is reported once, until a routine works
    // again or another failure comes. None by default.
    void setFailureReporter(std::function<void(const DatabaseFailure &)> reporter);
    std::optional<DatabaseFailure> lastFailure() const { return m_lastFailure; }

    // Test hooks for faults a test running as root cannot cause for real;
    // both last until switched off. Opens the file read-only, as a file
    // without write permission is; lets the file grow to at most this many
    // pages, as a full disk would (0 lifts the limit).
    void setReadOnlyForTesting(bool readOnly);
    void setPageLimitForTesting(qint64 pages);

private:
    friend class Recordset;
    friend class Transaction;
    bool ensureOpen();
    bool stillTheOpenedFile() const;
    bool writeReachedTheFile();
    void closeKeepingName();
    bool run(QSqlQuery &query, const QString &sql, const QVariantList &binds);
    void fail(const DatabaseFailure &failure);
    QSqlDatabase handle() const;

    QString m_path;
    QString m_name;
    int m_busyTimeout = 5000;
    bool m_readOnlyForTesting = false;
    qint64 m_pageLimit = 0;
    // What the connection has open.
    QString m_openedPath;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    bool m_openedExists = false;
    bool m_readOnlyByPermission = false;
    std::optional<DatabaseFailure> m_lastFailure;
    std::optional<DatabaseFailure> m_told;
    std::function<void(const DatabaseFailure &)> m_reporter;
};

// The run database's routines, for the GUI thread and tests: each is the
// Database member of that name on Database::run().
[[nodiscard]] bool OpenConnection();
void CloseConnection();
QSqlDatabase connection();
void setBusyTimeout(int milliseconds);
void setReadOnlyForTesting(bool readOnly);
void setPageLimitForTesting(qint64 pages);

// True when a statement failed because a constraint or trigger refused its
// row. Any other failure is the database's own (locked, full, read-only,
// gone): the statements after it would fail alike, and SQLite may already
// have rolled back the whole transaction, so a writer must stop there.
bool RowRefused(const QSqlError &error);

// A text value as an SQL literal: in single quotes, inner quotes doubled.
QString sqlText(const QString &value);

// The statement with each "?" outside quotes replaced by its bound value as a
// literal (numbers bare, texts quoted), for telling the operator which
// statement failed. Never run: statements are always bound.
QString StatementText(const QString &sql, const QVariantList &binds);

// The rows of one SELECT, read forward from the first. recordCount() is the
// full row count whatever the position.
class Recordset
{
public:
    Recordset() = default;

    bool isOpen() const { return m_open; }
    bool eof() const { return !m_open || m_eof; }
    void moveNext();

    QVariant field(const QString &name) const;
    QVariant field(int index) const;
    int fieldCount() const;
    QString fieldName(int index) const;
    // The declared type of a column as Qt reports it (LongLong, Double, QString…).
    QMetaType::Type fieldType(int index) const;

    qint64 recordCount();
    void close();

private:
    friend class Database;
    Database *m_db = nullptr;
    QSqlQuery m_query;
    QString m_sql;
    QVariantList m_binds;
    qint64 m_count = -1;
    bool m_open = false;
    bool m_eof = true;
};

// The routines below work on the database given, the run database unless
// another is.

// Runs the SELECT and stands on its first row; on failure a recordset that is
// not open, the failure reported as "数据库打开错误(" + the statement with its
// values + ")！".
Recordset OpenRecordset(const QString &sql, const QVariantList &binds = {}, Database &db = Database::run());
void CloseRecordset(Recordset &recordset);

// Runs one statement; true when it ran. Only a connection that cannot be
// opened is reported.
[[nodiscard]] bool ExecuteSql(
    const QString &sql, const QVariantList &binds = {}, Database &db = Database::run());

// The ID the database gave the row last inserted; 0 when there is none.
qint64 LastInsertId(Database &db = Database::run());

// SUM(column) over the rows meeting the condition ("TRUE" for all); 0 when none.
double SumColumn(
    const QString &table, const QString &column, const QString &condition, Database &db = Database::run());
// Number of rows of "SELECT columns FROM table [WHERE condition]"; 0 on failure.
qint64 CountRows(
    const QString &table, const QString &condition, const QString &columns, Database &db = Database::run());
// The wanted column of the first row whose key column equals the key (a text
// key compares as text, a number as a number); "" when no row matches, a Null
// QVariant when the column is Null.
QVariant LookupValue(const QString &table, const QVariant &key, const QString &keyColumn,
    const QString &wantedColumn, Database &db = Database::run());
bool TableExists(const QString &name, Database &db = Database::run());
// The items of an ID list, highest ID first: MakeIdListItem(ID, text) per row.
QStringList IdListItems(const QString &table, const QString &idColumn, const QString &textColumn,
    const QString &condition, Database &db = Database::run());
// ID in decimal, "‖", the text.
QString MakeIdListItem(qint64 id, const QString &text);

// A WHERE condition whose "?" take the values bound, in order; an empty text
// stands for every row.
struct Condition
{
    QString text;
    QVariantList binds;
};

// "SELECT * FROM table [WHERE condition] [ORDER BY sortField]", opened as
// OpenRecordset opens it, its failure reported.
Recordset OpenTableRows(const QString &table, const Condition &condition, const QString &sortField,
    Database &db = Database::run());

// Deletes the rows whose key field holds one of the keys, in one
// transaction: all of them or, when the database refuses, none. The
// connection is opened first, reported when it cannot be.
[[nodiscard]] bool DeleteRowsByKey(
    const QString &table, const QString &keyField, const QStringList &keys, Database &db = Database::run());

// A transaction for writers that must store all or nothing. Rolls back
// unless commit() succeeded.
class Transaction
{
public:
    explicit Transaction(Database &db = Database::run());
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    [[nodiscard]] bool commit();
    void rollback();

private:
    Database &m_db;
    bool m_active = false;
};

} // namespace tombolix::data
