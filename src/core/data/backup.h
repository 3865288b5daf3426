#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// Copies of Data.mdb the operator can go back to. Before anything deletes
// draws, awards, entrants or results, and once at the first start of a day,
// a copy goes into the folder "备份" beside the database, named with the
// date, the time and the reason: Data-20261208-203015-删除奖项.mdb. The
// newest KeptBackups are kept.
namespace tombolix::data {

inline constexpr int KeptBackups = 30;

// The reasons the program backs up for; the name of each backup ends with one.
namespace backupreason {
inline const QString Daily = QStringLiteral("每日备份");
inline const QString Restart = QStringLiteral("重新开始");
inline const QString DeleteDraws = QStringLiteral("删除设置");
inline const QString DeleteAwards = QStringLiteral("删除奖项");
inline const QString DeleteEntrants = QStringLiteral("删除数据");
inline const QString DeleteResults = QStringLiteral("删除结果");
inline const QString DeleteDuplicates = QStringLiteral("删除重复");
inline const QString Withdraw = QStringLiteral("删除无效获奖");
inline const QString Import = QStringLiteral("导入数据");
inline const QString Restore = QStringLiteral("恢复数据库");
inline const QString Upgrade = QStringLiteral("升级数据库");
} // namespace backupreason

// The folder "备份" beside the database file.
QString BackupFolder();

// Writes a consistent copy of the run database to a new file at path (an
// existing file there is not replaced). False when it could not be written;
// then no file is left behind. Must not run inside a transaction.
[[nodiscard]] bool CopyDatabaseTo(const QString &path);

// An automatic backup: the copy into the backup folder, then the oldest
// beyond KeptBackups go. Returns the copy's path, empty when it failed.
QString BackupDatabase(const QString &reason, const QDateTime &now = QDateTime::currentDateTime());

// What the operator is asked when a backup before an action failed; 否 is
// the default.
inline const QString BackupFailedQuestion = QStringLiteral("数据库备份失败，是否仍然继续？");

// Once a day, at the first start: true when a backup was made or not needed
// (one of the day exists, or there is no database file), false when it
// failed.
[[nodiscard]] bool BackUpDaily(const QDateTime &now = QDateTime::currentDateTime());

struct BackupFile
{
    QString path;
    QDateTime time;
    QString reason;
};
// The automatic backups, newest first.
QList<BackupFile> ListBackups();

// What a database file holds: whether it has the five tables with the
// columns the program reads, and how many draws, entrants and results.
struct DatabaseSummary
{
    bool valid = false;
    int version = 0; // the schema version it was written in
    qint64 draws = 0;
    qint64 entrants = 0;
    qint64 results = 0;
};
// Reads the file on a connection of its own, read-only; never changes it.
// The integrity check reads every page; without it only the tables and the
// counts are read, quick enough to describe a list of large backups.
DatabaseSummary InspectDatabase(const QString &path, bool checkIntegrity = true);

enum class RestoreOutcome
{
    Restored,
    NotADatabase, // not a database of the five tables: nothing changed
    Failed, // the file could not be put in place: nothing changed
    BackupFailed, // the backup before it could not be written: nothing changed
    Cancelled, // the operator chose not to go on without that backup
};
// Puts a copy of the file in place of the database. The run connection is
// closed first, so no statement runs while the file is replaced; the next
// routine opens the restored file.
RestoreOutcome RestoreDatabase(const QString &path);
// RestoreDatabase as the operator restores: the database as it is goes into
// a backup first (backupreason::Restore); when that cannot be written nothing
// changes and BackupFailed says so. The chosen file may be the oldest backup,
// which that backup prunes; it is copied aside before.
RestoreOutcome BackUpAndRestore(const QString &path);

// A copy the operator asked for: written under a temporary name beside path,
// then put in place, so a file already at path is replaced only by a complete
// copy. False when nothing was written.
bool SaveDatabaseCopy(const QString &path);

} // namespace tombolix::data
