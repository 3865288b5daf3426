#include "data/entrantwriter.h"

#include "common/conventions.h"
#include "data/attributestore.h"
#include "data/database.h"
#include "data/storesupport.h"
#include "data/tables.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringEncoder>
#include <sqlite3.h>

namespace tombolix::data {

namespace {

struct StoredRow
{
    size_t index;
    qint64 id;
};

void rolledBack(Transaction &transaction, QSqlQuery &insert, QSqlQuery &update)
{
    insert.finish();
    update.finish();
    transaction.rollback();
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
// spends storing the rows. Rows go in statements of many rows each: SQLite's
// work per statement (opening the table and its index, reading and writing
// the table's sequence) would otherwise cost twice what storing the rows
// does. Every value is still bound. Not valid when the connection is not
// SQLite's; QtSql inserts then.
class NativeInsert
{
public:
    static constexpr int RowsPerStatement = 100;

    NativeInsert(Database &db, const QString &table, const QStringList &columns)
        : m_table(table)
        , m_columns(columns)
    {
        const QVariant handle = db.connection().driver()->handle();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
            m_db = *static_cast<sqlite3 *const *>(handle.constData());
        if (m_db)
            m_db = statement(1) ? m_db : nullptr;
    }
    ~NativeInsert() { finish(); }
    NativeInsert(const NativeInsert &) = delete;
    NativeInsert &operator=(const NativeInsert &) = delete;

    bool isValid() const { return m_db != nullptr; }

    // Inserts the rows picked by the indexes from..from+count, as many to a
    // statement as it holds. Texts are bound as they stand, a null one as
    // empty text.
    bool insert(qint64 drawId, const std::vector<EntrantRow> &rows, const std::vector<size_t> &picked,
        size_t from, size_t count)
    {
        while (count > 0) {
            const int n = int(std::min<size_t>(count, RowsPerStatement));
            sqlite3_stmt *const insert = statement(n);
            if (!insert)
                return false;
            // The texts of the statement's rows, converted into one buffer that
            // lives until the statement has run.
            qsizetype space = 1;
            for (int k = 0; k < n; ++k) {
                const EntrantRow &row = rows[picked[from + size_t(k)]];
                space += m_utf8.requiredSpace(row.number.size()) + m_utf8.requiredSpace(row.name.size());
            }
            if (m_texts.size() < space)
                m_texts.resize(space);
            char *out = m_texts.data();
            bool bound = true;
            for (int k = 0; k < n && bound; ++k) {
                const EntrantRow &row = rows[picked[from + size_t(k)]];
                bound = sqlite3_bind_int64(insert, 3 * k + 1, drawId) == SQLITE_OK
                    && bindText(insert, 3 * k + 2, row.number, out)
                    && bindText(insert, 3 * k + 3, row.name, out);
            }
            const bool done = bound && sqlite3_step(insert) == SQLITE_DONE;
            sqlite3_reset(insert);
            sqlite3_clear_bindings(insert);
            if (!done)
                return false;
            from += size_t(n);
            count -= size_t(n);
        }
        return true;
    }

    qint64 lastInsertedId() const { return sqlite3_last_insert_rowid(m_db); }

    void finish()
    {
        for (auto &[rowCount, prepared] : m_statements)
            sqlite3_finalize(prepared);
        m_statements.clear();
    }

private:
    // Binds the text converted at out, and moves out past it.
    bool bindText(sqlite3_stmt *insert, int index, const QString &text, char *&out)
    {
        char *const start = out;
        out = m_utf8.appendToBuffer(out, text);
        return sqlite3_bind_text(insert, index, start, int(out - start), SQLITE_STATIC) == SQLITE_OK;
    }

    // The statement inserting rowCount rows, prepared on first use.
    sqlite3_stmt *statement(int rowCount)
    {
        for (const auto &[count, prepared] : m_statements) {
            if (count == rowCount)
                return prepared;
        }
        QString text = insertStatement(m_table, m_columns);
        const QString marks = text.mid(text.lastIndexOf(QLatin1Char('(')));
        for (int i = 1; i < rowCount; ++i)
            text += QLatin1String(", ") + marks;
        const QByteArray utf8 = text.toUtf8();
        sqlite3_stmt *prepared = nullptr;
        if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &prepared, nullptr) != SQLITE_OK) {
            sqlite3_finalize(prepared);
            return nullptr;
        }
        m_statements.emplace_back(rowCount, prepared);
        return prepared;
    }

    QString m_table;
    QStringList m_columns;
    sqlite3 *m_db = nullptr;
    std::vector<std::pair<int, sqlite3_stmt *>> m_statements;
    QStringEncoder m_utf8 { QStringEncoder::Utf8, QStringEncoder::Flag::Stateless };
    QByteArray m_texts;
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
// inserted in one transaction (which holds the file's only write lock) are
// numbered one after another. Only when the largest possible ID is taken does SQLite pick IDs
// elsewhere; then the table's largest ID is not the last inserted one, or
// the range does not span the count.
bool insertedConsecutively(Database &db, qint64 firstId, qint64 lastId, qint64 count)
{
    if (count <= 0)
        return true;
    if (lastId - firstId + 1 != count)
        return false;
    QSqlQuery highest(db.connection());
    if (!highest.prepare(QStringLiteral("SELECT MAX(%1) FROM %2").arg(entrants::Id, entrants::Table))
        || !highest.exec() || !highest.next())
        return false;
    return highest.value(0).toLongLong() == lastId;
}

// Updates the changed rows and picks the new ones that hold something to
// insert; false when an update failed.
bool updateChanged(QSqlQuery &update, const std::vector<EntrantRow> &rows, qint64 drawId,
    std::vector<StoredRow> &stored, std::vector<size_t> &inserted)
{
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
            if (!update.exec() || update.numRowsAffected() != 1)
                return false;
            stored.push_back({ i, row.key });
        } else if (!row.number.trimmed().isEmpty() || !row.name.trimmed().isEmpty()) {
            inserted.push_back(i);
        }
    }
    return true;
}

// The IDs the first and the last row inserted were given.
struct InsertedIds
{
    qint64 first = 0;
    qint64 last = 0;
};

// Inserts the picked rows. Consecutive IDs are counted from the first and
// the last; read back, each row's ID goes into stored and none is left to
// count. False when an insert failed.
bool insertPicked(NativeInsert &native, QSqlQuery &insert, const std::vector<EntrantRow> &rows, qint64 drawId,
    Ids ids, std::vector<size_t> &inserted, std::vector<StoredRow> &stored, InsertedIds &range)
{
    if (inserted.empty())
        return true;
    if (native.isValid() && ids == Ids::Consecutive) {
        // The first row alone gives the first ID exactly; the rest go many
        // to a statement.
        bool done = native.insert(drawId, rows, inserted, 0, 1);
        range.first = native.lastInsertedId();
        done = done && native.insert(drawId, rows, inserted, 1, inserted.size() - 1);
        range.last = native.lastInsertedId();
        return done;
    }
    bool done = true;
    for (size_t n = 0; n < inserted.size() && done; ++n) {
        const EntrantRow &row = rows[inserted[n]];
        qint64 id = 0;
        if (native.isValid()) {
            done = native.insert(drawId, rows, inserted, n, 1);
            id = native.lastInsertedId();
        } else {
            insert.bindValue(0, drawId);
            insert.bindValue(1, textForStorage(row.number));
            insert.bindValue(2, textForStorage(row.name));
            done = insert.exec();
            id = lastInsertedId(insert);
        }
        if (ids == Ids::ReadBack)
            stored.push_back({ inserted[n], id });
        if (n == 0)
            range.first = id;
        range.last = id;
    }
    if (ids == Ids::ReadBack)
        inserted.clear();
    return done;
}

// The attributes of the rows stored now: a changed row's replace what the
// entrant had, a new row's are stored when it has any. The new rows
// counted from firstId are those left in inserted.
bool storeAttributes(Database &db, const std::vector<EntrantRow> &rows, qint64 drawId,
    const QStringList &names, const std::vector<StoredRow> &stored, const std::vector<size_t> &inserted,
    qint64 firstId)
{
    AttributeStore store(db);
    const std::optional<QList<int>> places = store.placesOf(drawId, names);
    if (!places)
        return false;
    std::vector<std::pair<qint64, const QStringList *>> values;
    values.reserve(stored.size() + inserted.size());
    for (const StoredRow &row : stored) {
        const EntrantRow &entrant = rows[row.index];
        if (entrant.state == EntrantRow::State::Changed || !entrant.attributes.isEmpty())
            values.emplace_back(row.id, &entrant.attributes);
    }
    for (size_t n = 0; n < inserted.size(); ++n) {
        const EntrantRow &entrant = rows[inserted[n]];
        if (!entrant.attributes.isEmpty())
            values.emplace_back(firstId + qint64(n), &entrant.attributes);
    }
    return store.saveAll(values, *places);
}

Attempt saveRows(
    Database &db, std::vector<EntrantRow> &rows, qint64 drawId, const QStringList &attributeNames, Ids ids)
{
    Transaction transaction(db);
    if (!transaction.isActive())
        return Attempt::Failed;
    QSqlQuery insert(db.connection());
    QSqlQuery update(db.connection());
    const QStringList columns { entrants::DrawId, entrants::Number, entrants::Name };
    NativeInsert native(db, entrants::Table, columns);
    if ((!native.isValid() && !insert.prepare(insertStatement(entrants::Table, columns)))
        || !update.prepare(updateStatement(entrants::Table, columns, entrants::Id))) {
        rolledBack(transaction, insert, update);
        return Attempt::Failed;
    }

    // The rows change only once the transaction has committed, so a failure
    // leaves every one of them as it came.
    std::vector<StoredRow> stored;
    std::vector<size_t> inserted;
    InsertedIds range;
    if (!updateChanged(update, rows, drawId, stored, inserted)
        || !insertPicked(native, insert, rows, drawId, ids, inserted, stored, range)) {
        native.finish();
        rolledBack(transaction, insert, update);
        return Attempt::Failed;
    }
    native.finish();
    if (!inserted.empty() && !insertedConsecutively(db, range.first, range.last, qint64(inserted.size()))) {
        rolledBack(transaction, insert, update);
        return Attempt::Retry;
    }
    if (!attributeNames.isEmpty()
        && !storeAttributes(db, rows, drawId, attributeNames, stored, inserted, range.first)) {
        rolledBack(transaction, insert, update);
        return Attempt::Failed;
    }
    insert.finish();
    update.finish();
    if (!transaction.commit())
        return Attempt::Failed;

    for (const StoredRow &done : stored) {
        rows[done.index].key = done.id;
        rows[done.index].state = EntrantRow::State::Saved;
    }
    for (size_t n = 0; n < inserted.size(); ++n) {
        rows[inserted[n]].key = range.first + qint64(n);
        rows[inserted[n]].state = EntrantRow::State::Saved;
    }
    return Attempt::Stored;
}

} // namespace

EntrantSave SaveEntrantRows(std::vector<EntrantRow> &rows, qint64 drawId, Database &db)
{
    return SaveEntrantRows(rows, drawId, QStringList(), db);
}

EntrantSave SaveEntrantRows(
    std::vector<EntrantRow> &rows, qint64 drawId, const QStringList &attributeNames, Database &db)
{
    if (rows.empty())
        return { EntrantSave::Stored };
    if (drawId <= 0)
        return { EntrantSave::NoDraw };
    if (!db.open())
        return { EntrantSave::Failed };

    Attempt attempt = saveRows(db, rows, drawId, attributeNames, Ids::Consecutive);
    if (attempt == Attempt::Retry)
        attempt = saveRows(db, rows, drawId, attributeNames, Ids::ReadBack);
    return { attempt == Attempt::Stored ? EntrantSave::Stored : EntrantSave::Failed };
}

} // namespace tombolix::data
