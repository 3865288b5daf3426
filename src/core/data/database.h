#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

// The database routines every other module goes through. One connection to
// Data.mdb is kept open for the run; it is opened on first use and opened again
// after a failure, so the program recovers once the file is back.
//
// The file is checked before each routine and transaction: if it was deleted
// or replaced while open, SQLite would go on writing into the unlinked file
// and every write would be lost, so the stale connection is dropped and the
// routine fails as for a missing file.
//
// Every text value reaches a statement bound ("?" with a value in binds) or
// quoted with sqlText(); statements are never built from raw typed text.
namespace tombolix::data {

// Data.mdb beside the executable, unless a test or tool set another path.
QString DatabasePath();
void setDatabasePath(const QString &path);

// Opens the run connection if it is not open. On failure shows
// "无法建立数据库连接！" and returns false. The file is never created.
bool OpenConnection();
// Drops the run connection; the next routine opens it afresh.
void CloseConnection();
// The run connection, opened without any message; check isOpen().
QSqlDatabase connection();

// How long a statement waits for another program's lock before it fails;
// 5000 ms unless set. Applies from the next statement on.
void setBusyTimeout(int milliseconds);

// Test hooks for faults a test running as root cannot cause for real. Both
// last until switched off.
// Opens the database read-only, as a file without write permission is.
void setReadOnlyForTesting(bool readOnly);
// Lets the file grow to at most this many pages, as a full disk would; 0
// lifts the limit.
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
    friend Recordset OpenRecordset(const QString &, const QVariantList &);
    QSqlQuery m_query;
    QString m_sql;
    QVariantList m_binds;
    qint64 m_count = -1;
    bool m_open = false;
    bool m_eof = true;
};

// Runs the SELECT and stands on its first row. On failure shows
// "数据库打开错误(" + the statement with its values + ")！" and returns a
// recordset that is not open.
Recordset OpenRecordset(const QString &sql, const QVariantList &binds = {});
void CloseRecordset(Recordset &recordset);

// Runs one statement; true when it ran. No message unless the connection
// cannot be opened.
bool ExecuteSql(const QString &sql, const QVariantList &binds = {});

// The ID the database gave the row last inserted on the run connection; 0
// when there is none.
qint64 LastInsertId();

// SUM(column) over the rows meeting the condition ("TRUE" for all); 0 when none.
double SumColumn(const QString &table, const QString &column, const QString &condition);
// Number of rows of "SELECT columns FROM table [WHERE condition]"; 0 on failure.
qint64 CountRows(const QString &table, const QString &condition, const QString &columns);
// The wanted column of the first row whose key column equals the key (a text
// key compares as text, a number as a number); "" when no row matches, a Null
// QVariant when the column is Null.
QVariant LookupValue(
    const QString &table, const QVariant &key, const QString &keyColumn, const QString &wantedColumn);
bool TableExists(const QString &name);
// The items of an ID list, highest ID first: MakeIdListItem(ID, text) per row.
QStringList IdListItems(
    const QString &table, const QString &idColumn, const QString &textColumn, const QString &condition);
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
// OpenRecordset opens it, with its message on failure.
Recordset OpenTableRows(const QString &table, const Condition &condition, const QString &sortField);

// Deletes the rows whose key field holds one of the keys, in one
// transaction: all of them or, when the database refuses, none. The
// connection is opened first, with its message when it cannot be.
bool DeleteRowsByKey(const QString &table, const QString &keyField, const QStringList &keys);

// A transaction on the run connection for writers that must store all or
// nothing. Rolls back unless commit() succeeded.
class Transaction
{
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    bool commit();
    void rollback();

private:
    bool m_active = false;
};

} // namespace tombolix::data
