#include "console/startup.h"

#include "common/prompts.h"
#include "console/fset.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/databasefile.h"
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
    if (check.kind == data::DatabaseFileKind::Ours) {
        if (!data::UpgradeDatabase()) {
            prompts().message(data::UpgradeFailedMessage(path));
            why = StartRefusal::UpgradeFailed;
            return nullptr;
        }
        data::DrawStore::carryOverStoredSettings();
    }
    if (!data::BackUpDaily(now)) {
        why = StartRefusal::Declined;
        return nullptr;
    }
    return std::make_unique<FSet>();
}

} // namespace tombolix
