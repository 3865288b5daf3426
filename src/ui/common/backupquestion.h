#pragma once

#include "data/backup.h"

#include <QDateTime>
#include <QString>

// The backups taken before an action, with the question the operator answers
// when one cannot be written.
namespace tombolix {

// A backup for the reason, and when it cannot be written the question
// "数据库备份失败，是否仍然继续？" (default 否). True to go on with the action.
bool BackUpBefore(const QString &reason);

// The day's backup at the first start, with the same question when it fails:
// false when the operator chose not to go on.
bool BackUpDailyOrAsk(const QDateTime &now);

// Restores the database from the file as the operator does: a backup of the
// database as it is first, and when that cannot be written the question;
// Cancelled when the operator chose not to go on.
data::RestoreOutcome BackUpAndRestoreOrAsk(const QString &path);

// Brings the database to the program's version, asking the question when the
// backup before the upgrade fails; true when the file is at the version now.
bool UpgradeOrAsk();

} // namespace tombolix
