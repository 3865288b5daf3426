#include "data/entrantwriter.h"

#include "common/conventions.h"
#include "common/prompts.h"
#include "data/database.h"
#include "data/storesupport.h"
#include "data/tables.h"

#include <QSqlQuery>

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

bool SaveEntrantRows(std::vector<EntrantRow> &rows, qint64 drawId, bool tellFailure)
{
    if (rows.empty())
        return true;
    if (drawId <= 0)
        return false;
    if (!OpenConnection())
        return failed(tellFailure);

    Transaction transaction;
    if (!transaction.isActive())
        return failed(tellFailure);
    QSqlQuery insert(connection());
    QSqlQuery update(connection());
    const QStringList columns { entrants::DrawId, entrants::Number, entrants::Name };
    if (!insert.prepare(insertStatement(entrants::Table, columns))
        || !update.prepare(updateStatement(entrants::Table, columns, entrants::Id)))
        return rolledBack(transaction, insert, update, tellFailure);

    // The rows change only once the transaction has committed, so a failure
    // leaves every one of them as it came.
    std::vector<StoredRow> stored;
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
                return rolledBack(transaction, insert, update, tellFailure);
            stored.push_back({ i, row.key });
        } else {
            if (row.number.trimmed().isEmpty() && row.name.trimmed().isEmpty())
                continue;
            insert.bindValue(0, drawId);
            insert.bindValue(1, textForStorage(row.number));
            insert.bindValue(2, textForStorage(row.name));
            if (!insert.exec())
                return rolledBack(transaction, insert, update, tellFailure);
            stored.push_back({ i, insert.lastInsertId().toLongLong() });
        }
    }
    insert.finish();
    update.finish();
    if (!transaction.commit())
        return failed(tellFailure);

    for (const StoredRow &done : stored) {
        rows[done.index].key = done.id;
        rows[done.index].state = EntrantRow::State::Saved;
    }
    return true;
}

} // namespace tombolix::data
