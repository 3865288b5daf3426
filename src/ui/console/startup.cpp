#include "console/startup.h"

#include "common/backupquestion.h"
#include "common/prompts.h"
#include "console/fset.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/databasefile.h"
#include "data/databaselock.h"
#include "data/drawstore.h"

namespace tombolix {

std::unique_ptr<FSet> StartConsole(const QDateTime &now, StartRefusal *refusal)
{
    StartRefusal ignored;
    StartRefusal &why = refusal ? *refusal : ignored;
    why = StartRefusal::None;
    const QString path = data::DatabasePath();
    const data::DatabaseFileCheck check = data::CheckDatabaseFile(path);
    const QString notOurs = data::DatabaseFileMessage(check, path);
    if (!notOurs.isEmpty()) {
        prompts().message(notOurs);
        why = StartRefusal::NotOurFile;
        return nullptr;
    }
    // Held before anything is written on the file or beside it.
    static std::unique_ptr<data::DatabaseLock> held;
    held.reset();
    auto lock = std::make_unique<data::DatabaseLock>(path);
    if (lock->lock() == data::DatabaseLock::Result::HeldElsewhere) {
        prompts().message(data::HeldElsewhereMessage(path, lock->holder()));
        why = StartRefusal::InUse;
        return nullptr;
    }
    held = std::move(lock);
    if (check.kind == data::DatabaseFileKind::Ours) {
        if (!UpgradeOrAsk()) {
            prompts().message(data::UpgradeFailedMessage(path));
            why = StartRefusal::UpgradeFailed;
            return nullptr;
        }
        // Draw settings in the user's settings were written by the versions
        // that kept them there, for a file of theirs: only such a file takes
        // them, never one that has kept its own since.
        if (check.version == 0)
            data::DrawStore().carryOverStoredSettings();
    }
    if (!BackUpDailyOrAsk(now)) {
        why = StartRefusal::Declined;
        return nullptr;
    }
    return std::make_unique<FSet>();
}

} // namespace tombolix
