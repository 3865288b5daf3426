#include "data/entrantwriter.h"

#include "common/conventions.h"
#include "common/prompts.h"
#include "data/database.h"
#include "data/storesupport.h"
#include "data/tables.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <sqlite3.h>

namespace tombolix::data {

namespace {

struct StoredRow
{
    size_t index;
    qint64 id;
};

bool failed(bool tell)
{
    if (tell)
        prompts().message(EntrantSaveFailedMessage());
    return false;
}

// The message box runs an event loop; the range is rolled back first so
// nothing else can write into the doomed transaction meanwhile.
bool rolledBack(Transaction &transaction, QSqlQuery &insert, QSqlQuery &update, bool tell)
{
    insert.finish();
    update.finish();
    transaction.rollback();
    return failed(tell);
}

} // namespace

QString EntrantSaveFailedMessage()
{
    return QStringLiteral("名单保存失败，数据未写入数据库！");
}

namespace {

enum class Ids
{
    Consecutive,
    ReadBack
};

// The insert through SQLite's own interface on the connection's handle: for
// a list of tens of thousands, binding through QtSql costs more than SQLite
// spends storing the rows. Every value is still bound. Not valid when the
// connection is not SQLite's; QtSql inserts then.
class NativeInsert
{
public:
    explicit NativeInsert(const QString &statement)
    {
        const QVariant handle = connection().driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return;
        m_db = *static_cast<sqlite3 *const *>(handle.constData());
        const QByteArray text = statement.toUtf8();
        if (!m_db
            || sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &m_statement, nullptr)
                != SQLITE_OK) {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~NativeInsert() { finish(); }
    NativeInsert(const NativeInsert &) = delete;
    NativeInsert &operator=(const NativeInsert &) = delete;

    bool isValid() const { return m_statement != nullptr; }

    // Texts are bound as they stand, a null one as empty text.
    bool exec(qint64 drawId, const QString &number, const QString &name)
    {
        const bool bound = sqlite3_bind_int64(m_statement, 1, drawId) == SQLITE_OK
            && sqlite3_bind_text16(m_statement, 2, number.utf16(), int(number.size() * 2), SQLITE_STATIC)
                == SQLITE_OK
            && sqlite3_bind_text16(m_statement, 3, name.utf16(), int(name.size() * 2), SQLITE_STATIC)
                == SQLITE_OK;
        const bool done = bound && sqlite3_step(m_statement) == SQLITE_DONE;
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
        return done;
    }

    qint64 lastInsertedId() const { return sqlite3_last_insert_rowid(m_db); }

    void finish()
    {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_statement = nullptr;
};

// The outcome of one attempt: Retry when the inserted rows were not given
// consecutive IDs, after the attempt has been rolled back.
enum class Attempt
{
    Stored,
    Failed,
    Retry
};

// The ID of the row inserted last on the connection, as SQLite keeps it.
qint64 lastInsertedId(QSqlQuery &insert)
{
    return insert.lastInsertId().toLongLong();
}

// SQLite gives a new row one more than the largest ID in the table, so rows
// inserted in one transaction on the only connection are numbered one after
// another. Only when the largest possible ID is taken does SQLite pick IDs
// elsewhere; then the table's largest ID is not the last inserted one, or
// the range does not span the count.
bool insertedConsecutively(qint64 firstId, qint64 lastId, qint64 count)
{
    if (count <= 0)
        return true;
    if (lastId - firstId + 1 != count)
        return false;
    QSqlQuery highest(connection());
    if (!highest.prepare(QStringLiteral("SELECT MAX(%1) FROM %2").arg(entrants::Id, entrants::Table))
        || !highest.exec() || !highest.next())
        return false;
    return highest.value(0).toLongLong() == lastId;
}

Attempt saveRows(std::vector<EntrantRow> &rows, qint64 drawId, bool tellFailure, Ids ids)
{
    Transaction transaction;
    if (!transaction.isActive()) {
        failed(tellFailure);
        return Attempt::Failed;
    }
    QSqlQuery insert(connection());
    QSqlQuery update(connection());
    const QStringList columns { entrants::DrawId, entrants::Number, entrants::Name };
    NativeInsert native(insertStatement(entrants::Table, columns));
    if ((!native.isValid() && !insert.prepare(insertStatement(entrants::Table, columns)))
        || !update.prepare(updateStatement(entrants::Table, columns, entrants::Id))) {
        rolledBack(transaction, insert, update, tellFailure);
        return Attempt::Failed;
    }

    // The rows change only once the transaction has committed, so a failure
    // leaves every one of them as it came. Inserted rows take their IDs
    // afterwards, counted from the first and the last.
    std::vector<StoredRow> stored;
    std::vector<size_t> inserted;
    qint64 firstId = 0;
    qint64 lastId = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const EntrantRow &row = rows[i];
        if (row.state == EntrantRow::State::Saved)
            continue;
        if (row.state == EntrantRow::State::Changed) {
            update.bindValue(0, drawId);
            update.bindValue(1, textForStorage(row.number));
            update.bindValue(2, textForStorage(row.name));
            update.bindValue(3, row.key);
            // An entrant deleted meanwhile matches no row; the typed values
            // would be lost while the list claimed them stored.
            if (!update.exec() || update.numRowsAffected() != 1) {
                rolledBack(transaction, insert, update, tellFailure);
                return Attempt::Failed;
            }
            stored.push_back({ i, row.key });
        } else {
            if (row.number.trimmed().isEmpty() && row.name.trimmed().isEmpty())
                continue;
            bool done = false;
            if (native.isValid()) {
                done = native.exec(drawId, row.number, row.name);
            } else {
                insert.bindValue(0, drawId);
                insert.bindValue(1, textForStorage(row.number));
                insert.bindValue(2, textForStorage(row.name));
                done = insert.exec();
            }
            if (!done) {
                native.finish();
                rolledBack(transaction, insert, update, tellFailure);
                return Attempt::Failed;
            }
            const qint64 id = native.isValid() ? native.lastInsertedId() : lastInsertedId(insert);
            if (ids == Ids::ReadBack) {
                stored.push_back({ i, id });
                continue;
            }
            if (inserted.empty())
                firstId = id;
            lastId = id;
            inserted.push_back(i);
        }
    }
    native.finish();
    if (!inserted.empty()) {
        if (!insertedConsecutively(firstId, lastId, qint64(inserted.size()))) {
            insert.finish();
            update.finish();
            transaction.rollback();
            return Attempt::Retry;
        }
    }
    insert.finish();
    update.finish();
    if (!transaction.commit()) {
        failed(tellFailure);
        return Attempt::Failed;
    }

    for (const StoredRow &done : stored) {
        rows[done.index].key = done.id;
        rows[done.index].state = EntrantRow::State::Saved;
    }
    for (size_t n = 0; n < inserted.size(); ++n) {
        rows[inserted[n]].key = firstId + qint64(n);
        rows[inserted[n]].state = EntrantRow::State::Saved;
    }
    return Attempt::Stored;
}

} // namespace

bool SaveEntrantRows(std::vector<EntrantRow> &rows, qint64 drawId, bool tellFailure)
{
    if (rows.empty())
        return true;
    if (drawId <= 0)
        return false;
    if (!OpenConnection())
        return failed(tellFailure);

    Attempt attempt = saveRows(rows, drawId, tellFailure, Ids::Consecutive);
    if (attempt == Attempt::Retry)
        attempt = saveRows(rows, drawId, tellFailure, Ids::ReadBack);
    return attempt == Attempt::Stored;
}

} // namespace tombolix::data
