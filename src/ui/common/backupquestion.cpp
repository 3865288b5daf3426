#include "common/backupquestion.h"

#include "common/prompts.h"
#include "data/backup.h"
#include "data/databasefile.h"

namespace tombolix {

namespace {

bool goOnWithoutBackup()
{
    return prompts().askYesNo(data::BackupFailedQuestion, DefaultAnswer::No);
}

} // namespace

bool BackUpBefore(const QString &reason)
{
    return !data::BackupDatabase(reason).isEmpty() || goOnWithoutBackup();
}

bool BackUpDailyOrAsk(const QDateTime &now)
{
    return data::BackUpDaily(now) || goOnWithoutBackup();
}

data::RestoreOutcome BackUpAndRestoreOrAsk(const QString &path)
{
    const data::RestoreOutcome outcome = data::BackUpAndRestore(path);
    if (outcome != data::RestoreOutcome::BackupFailed)
        return outcome;
    return goOnWithoutBackup() ? data::RestoreDatabase(path) : data::RestoreOutcome::Cancelled;
}

bool UpgradeOrAsk()
{
    data::UpgradeOutcome outcome = data::UpgradeDatabase();
    if (outcome == data::UpgradeOutcome::BackupFailed && goOnWithoutBackup())
        outcome = data::UpgradeDatabase(data::BackupFirst::No);
    return outcome == data::UpgradeOutcome::Current;
}

} // namespace tombolix
