#pragma once

#include "data/entrantrow.h"

#include <QString>
#include <QtGlobal>
#include <vector>

// The single writer of 号码表 rows.
namespace tombolix::data {

// Shown when a range could not be stored; nothing of it reached the database.
QString EntrantSaveFailedMessage();

// Stores the rows for the draw drawId in one transaction: new rows are
// inserted, take the ID they were given as their key and become saved;
// changed rows are updated by key (and moved to the draw) and become saved;
// saved rows are left alone. New rows whose number and name are both blank
// are skipped and stay new. Texts are stored exactly as they stand.
//
// All or nothing: when any statement fails (or a changed entrant no longer
// exists) the range is rolled back, no row changes, the operator is told
// (unless tellFailure is false) and the result is false. With no rows the
// result is true; with drawId <= 0 nothing happens, silently, and the result
// is false.
//
// Opens its own transaction, so it must not run inside another one.
bool SaveEntrantRows(std::vector<EntrantRow> &rows, qint64 drawId, bool tellFailure = true);

} // namespace tombolix::data
