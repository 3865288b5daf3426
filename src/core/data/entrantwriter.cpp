#include "data/entrantwriter.h"

#include "common/conventions.h"
#include "common/prompts.h"
#include "grid/gridmodel.h"
#include "data/database.h"

#include <QSqlQuery>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tombolix::data {

namespace {

enum Column { KeyColumn = 0, DrawColumn = 1, SerialColumn = 2, NumberColumn = 3, NameColumn = 4 };

// Above this many rows the grid's cells are written back with its signals
// held: one reset is far cheaper for a view than tens of thousands of
// single-cell updates.
constexpr int BulkWriteRows = 1000;

// An empty cell holds a null QString, which would be bound as NULL; the
// table keeps empty text instead, as for a typed empty box.
QString storedText(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

struct StoredRow
{
    int row;
    qint64 id;
    bool inserted;
};

void writeBack(grid::GridModel &grid, const std::vector<StoredRow> &stored, qint64 drawId)
{
    const bool bulk = stored.size() > size_t(BulkWriteRows);
    if (bulk)
        grid.beginBulkChange();
    const QString drawText = QString::number(drawId);
    for (const StoredRow &row : stored) {
        grid.setTextMatrix(row.row, KeyColumn, QString::number(row.id));
        if (row.inserted)
            grid.setTextMatrix(row.row, DrawColumn, drawText);
    }
    if (bulk)
        grid.endBulkChange();
}

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

bool SaveEntrantRows(grid::GridModel &grid, int firstRow, int lastRow, qint64 drawId, bool tellFailure)
{
    firstRow = std::max(firstRow, grid.FixedRows());
    lastRow = std::min(lastRow, grid.Rows() - 1);
    if (lastRow < firstRow)
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
    if (!insert.prepare(QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (?, ?, ?)"))
        || !update.prepare(QStringLiteral("UPDATE 号码表 SET CID=?, 号码=?, 姓名=? WHERE ID=?")))
        return rolledBack(transaction, insert, update, tellFailure);

    std::vector<StoredRow> stored;
    for (int r = firstRow; r <= lastRow; ++r) {
        const qint64 key = integerValue(grid.TextMatrix(r, KeyColumn));
        if (key > 0)
            continue;
        const QString number = grid.TextMatrix(r, NumberColumn);
        const QString name = grid.TextMatrix(r, NameColumn);
        if (key < 0) {
            const qint64 id = -key;
            update.bindValue(0, drawId);
            update.bindValue(1, storedText(number));
            update.bindValue(2, storedText(name));
            update.bindValue(3, id);
            // An entrant deleted meanwhile matches no row; the typed values
            // would be lost while the grid claimed them stored.
            if (!update.exec() || update.numRowsAffected() != 1)
                return rolledBack(transaction, insert, update, tellFailure);
            stored.push_back({r, id, false});
        } else {
            if (number.trimmed().isEmpty() && name.trimmed().isEmpty())
                continue;
            insert.bindValue(0, drawId);
            insert.bindValue(1, storedText(number));
            insert.bindValue(2, storedText(name));
            if (!insert.exec())
                return rolledBack(transaction, insert, update, tellFailure);
            stored.push_back({r, insert.lastInsertId().toLongLong(), true});
        }
    }
    insert.finish();
    update.finish();
    if (!transaction.commit())
        return failed(tellFailure);

    writeBack(grid, stored, drawId);
    return true;
}

bool EditEntrantCell(
    grid::GridModel &grid, int row, int col, const QString &text, qint64 drawId, bool tellFailure)
{
    if (row < grid.FixedRows() || row >= grid.Rows() || col <= SerialColumn || col >= grid.Cols())
        return false;
    grid.setTextMatrix(row, col, text);
    const QString keyText = grid.TextMatrix(row, KeyColumn);
    // An empty key stays empty: the row has never been stored and is inserted.
    if (!keyText.isEmpty())
        grid.setTextMatrix(row, KeyColumn, QString::number(-std::llabs(integerValue(keyText))));
    if (SaveEntrantRows(grid, row, row, drawId, tellFailure))
        return true;
    // A key left negative would no longer name the entrant: a deletion by
    // key would then miss its record.
    grid.setTextMatrix(row, KeyColumn, keyText);
    return false;
}

} // namespace tombolix::data
