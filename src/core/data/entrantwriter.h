#pragma once

#include "data/database.h"
#include "data/entrantrow.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

// The single writer of 号码表 rows.
namespace tombolix::data {

// What the operator is told when a range could not be stored; nothing of it
// reached the database.
QString EntrantSaveFailedMessage();

// What became of a range given to the writer: true when it was stored.
struct [[nodiscard]] EntrantSave
{
    enum Outcome
    {
        Stored, // every row, or there were none
        NoDraw, // no draw to store them for: nothing happened
        Failed, // the database refused: no row changed
    };
    Outcome outcome = Failed;

    explicit operator bool() const { return outcome == Stored; }
    // A refusal the operator should hear of (EntrantSaveFailedMessage()).
    bool failed() const { return outcome == Failed; }
};

// Stores the rows for the draw drawId in one transaction: new rows are
// inserted, take the ID they were given as their key and become saved;
// changed rows are updated by key (and moved to the draw) and become saved;
// saved rows are left alone. New rows whose number and name are both blank
// are skipped and stay new. Texts are stored exactly as they stand.
//
// All or nothing: when any statement fails (or a changed entrant no longer
// exists) the range is rolled back, no row changes and the result is Failed.
// With drawId <= 0 nothing happens and the result is NoDraw.
//
// Opens its own transaction, so it must not run inside another one.
EntrantSave SaveEntrantRows(std::vector<EntrantRow> &rows, qint64 drawId, Database &db = Database::run());

// The same, with the rows' attributes stored in the same transaction: each
// row's attributes are the values of attributeNames in that order (a name
// the draw has not got is added to its names). A changed row's values
// replace what the entrant had; a new row's are stored when any is not
// empty. Without names no entrant's attributes change.
EntrantSave SaveEntrantRows(std::vector<EntrantRow> &rows, qint64 drawId, const QStringList &attributeNames,
    Database &db = Database::run());

} // namespace tombolix::data
