#include "data/databasefile.h"

#include "data/backup.h"
#include "data/database.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

namespace tombolix::data {

namespace {

int runVersion()
{
    QSqlQuery query(connection());
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return -1;
    return query.value(0).toInt();
}

} // namespace

DatabaseFileCheck CheckDatabaseFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return { DatabaseFileKind::Missing };
    if (!info.isFile())
        return { DatabaseFileKind::NotSqlite };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return { DatabaseFileKind::Unreadable };
    const QByteArray header = file.read(100);
    file.close();
    if (header.isEmpty())
        return { info.size() == 0 ? DatabaseFileKind::Empty : DatabaseFileKind::Unreadable };
    const QByteArray signature = header.mid(4, 15);
    if (signature == "Standard Jet DB" || signature == "Standard ACE DB")
        return { DatabaseFileKind::Access };
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return { DatabaseFileKind::NotSqlite };
    // The tables are read on a read-only connection of its own: nothing is
    // written, not even a journal. The version is read there too: the header
    // of a file in WAL mode may not hold its last writes yet.
    const DatabaseSummary summary = InspectDatabase(path, false);
    if (!summary.valid)
        return { DatabaseFileKind::ForeignSqlite };
    const int version = summary.version;
    if (version > schema::CurrentVersion)
        return { DatabaseFileKind::TooNew, version };
    return { DatabaseFileKind::Ours, version };
}

QString DatabaseFileMessage(const DatabaseFileCheck &check, const QString &path)
{
    const QString file = QStringLiteral("数据文件 ") + QDir::toNativeSeparators(path);
    const QString moveIt = QStringLiteral("请把它移到别处保存，或用 --database 指定另一个数据文件。");
    switch (check.kind) {
    case DatabaseFileKind::Empty:
        return file + QStringLiteral(" 是一个空文件，不是本程序的数据库。") + moveIt;
    case DatabaseFileKind::Access:
        return file + QStringLiteral(" 是旧版 Access 数据库，本程序不能直接打开。") + moveIt;
    case DatabaseFileKind::NotSqlite:
        return file + QStringLiteral(" 不是本程序的数据库。") + moveIt;
    case DatabaseFileKind::ForeignSqlite:
        return file + QStringLiteral(" 是 SQLite 数据库，但其中没有本程序的数据表。") + moveIt;
    case DatabaseFileKind::TooNew:
        return file
            + QStringLiteral(
                " 由较新版本的程序建立（数据库版本 %1），本程序只能打开版本 %2 及以前的数据文件。"
                "请用新版程序打开它，或用 --database 指定另一个数据文件。")
                  .arg(check.version)
                  .arg(schema::CurrentVersion);
    case DatabaseFileKind::Ours:
    case DatabaseFileKind::Missing:
    case DatabaseFileKind::Unreadable:
        break;
    }
    return QString();
}

UpgradeOutcome UpgradeDatabase(BackupFirst backup)
{
    if (!OpenConnection())
        return UpgradeOutcome::Failed;
    const int version = runVersion();
    if (version < 0 || version > schema::CurrentVersion)
        return UpgradeOutcome::Failed;
    if (version == schema::CurrentVersion)
        return UpgradeOutcome::Current;
    if (backup == BackupFirst::Yes && BackupDatabase(backupreason::Upgrade).isEmpty())
        return UpgradeOutcome::BackupFailed;
    Transaction transaction;
    if (!transaction.isActive())
        return UpgradeOutcome::Failed;
    QSqlQuery query(connection());
    for (const QString &statement : schema::upgradeStatements(version)) {
        if (!query.exec(statement))
            return UpgradeOutcome::Failed; // the transaction rolls back: the file stays as it was
    }
    query.finish();
    return transaction.commit() ? UpgradeOutcome::Current : UpgradeOutcome::Failed;
}

QString UpgradeFailedMessage(const QString &path)
{
    return QStringLiteral("数据文件 ") + QDir::toNativeSeparators(path)
        + QStringLiteral(
            " 升级失败，数据未作改动。请检查该文件能否写入，或用 --database 指定另一个数据文件。");
}

} // namespace tombolix::data
