#pragma once

#include <QDateTime>
#include <memory>

namespace tombolix {

class FSet;

// How a start ended before the console opened.
enum class StartRefusal
{
    None,
    Declined, // the day's backup failed and the operator chose not to go on
    NotOurFile, // the database file is not one the program opens: told, left as it was
    UpgradeFailed, // an older file of ours could not be upgraded: told, left as it was
    InUse, // another copy of the program has the file open: told, left as it was
};

// The console of one start of the program. Before anything is written beside
// the database file, the file is looked at: one that is not the program's
// (an Access database, another file, an empty one, a newer version's) is
// named to the operator and left alone. An older file of ours is upgraded
// (after a backup), settings earlier versions kept per draw come into it,
// and the day's first backup is made. The file is held for this start (one
// program per file) until the next start or the end of the program. Null,
// with the reason in *refusal, when the program is to end without opening a
// window.
std::unique_ptr<FSet> StartConsole(
    const QDateTime &now = QDateTime::currentDateTime(), StartRefusal *refusal = nullptr);

} // namespace tombolix
