#pragma once

#include "data/database.h"
#include "data/records.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

// What the stores share: statements built from column names, and the ways a
// row is saved and rows are deleted.
namespace tombolix::data {

// "INSERT INTO table (a, b) VALUES (?, ?)".
QString insertStatement(const QString &table, const QStringList &columns);
// "UPDATE table SET a=?, b=? WHERE key=?".
QString updateStatement(const QString &table, const QStringList &columns, const QString &keyColumn);

// Whether the table holds a row with this ID; nothing when that could not be
// read (the database has reported the failure).
std::optional<bool> rowExists(Database &db, const QString &table, const QString &idColumn, qint64 id);

// How many rows of the table hold the value in the column; nothing when that
// could not be read (the database has reported the failure).
std::optional<qint64> countWhere(
    Database &db, const QString &table, const QString &column, const QVariant &value);

// Writes the values into the columns of the row with this ID when it exists,
// into a new row otherwise: a row deleted from under an editor is written
// back as a new one.
SaveResult saveRow(Database &db, const QString &table, const QString &idColumn, qint64 id,
    const QStringList &columns, QVariantList values);

// Deletes the rows whose column holds the value; one statement, inside the
// caller's transaction when there is one.
bool deleteWhere(Database &db, const QString &table, const QString &column, const QVariant &value);

// Runs the work in one transaction, committed only when the work succeeds:
// all of it is stored or none. The connection is opened first, with its
// message when it cannot be.
bool inOneTransaction(Database &db, const std::function<bool()> &work);

} // namespace tombolix::data
