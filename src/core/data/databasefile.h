#pragma once

#include <QString>

// What the file named as the database is, told before anything is written
// beside it, and bringing an older file of ours up to the program's version.
namespace tombolix::data {

enum class DatabaseFileKind
{
    Ours, // a database of the program's tables, at this version or an older one
    Missing, // no file: the routines say so as they need it
    Empty, // zero bytes
    Access, // a Microsoft Access (Jet or ACE) database
    NotSqlite, // any other file
    ForeignSqlite, // an SQLite database without the program's tables
    TooNew, // ours, of a version newer than the program knows
    Unreadable, // the file cannot be read: the routines say so as they need it
};

struct DatabaseFileCheck
{
    DatabaseFileKind kind = DatabaseFileKind::Missing;
    int version = 0; // the file's, for Ours and TooNew
};

// Reads the file without writing anything, on it or beside it.
DatabaseFileCheck CheckDatabaseFile(const QString &path);

// What the operator is told about a file the program will not open, naming
// the file and what it is; empty for one it opens.
QString DatabaseFileMessage(const DatabaseFileCheck &check, const QString &path);

enum class UpgradeOutcome
{
    Current, // the file is at the program's version now
    BackupFailed, // the backup before the upgrade could not be written: nothing changed
    Failed, // the file could not be upgraded and stays as it was
};
enum class BackupFirst
{
    Yes,
    No
};
// Brings the database in use to the program's version: a backup first
// (backupreason::Upgrade) unless told otherwise, then every step in one
// transaction. A failed upgrade leaves the file as it was.
[[nodiscard]] UpgradeOutcome UpgradeDatabase(BackupFirst backup = BackupFirst::Yes);
// "数据文件 … 升级失败，数据未作改动。"
QString UpgradeFailedMessage(const QString &path);

} // namespace tombolix::data
