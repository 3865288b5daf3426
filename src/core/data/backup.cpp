#include "data/backup.h"

#include "common/filereplace.h"
#include "data/database.h"
#include "data/tables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>
#include <algorithm>
#include <cstdio>

namespace tombolix::data {

namespace {

const QString FolderName = QStringLiteral("备份");
const QString TimeFormat = QStringLiteral("yyyyMMdd-HHmmss");

// Data-20261208-203015-删除奖项.mdb, or Data-20261208-203015-删除奖项-2.mdb
// for a second one within the same second.
const QRegularExpression &backupName()
{
    static const QRegularExpression name(QStringLiteral("^Data-(\\d{8}-\\d{6})-(.+?)(?:-(\\d+))?\\.mdb$"));
    return name;
}

// A reason as part of a file name: no separators, no characters a file
// system refuses.
QString fileNamePart(const QString &reason)
{
    QString part = reason;
    part.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|\\s]")), QStringLiteral("_"));
    return part.isEmpty() ? QStringLiteral("备份") : part;
}

// The place of a backup within its second: 1, or the number after the reason.
int sequenceOf(const QRegularExpressionMatch &match)
{
    return match.captured(3).isEmpty() ? 1 : match.captured(3).toInt();
}

// The automatic backups, oldest first: by their time and, within one second,
// by their number, whatever their reasons.
QStringList backupNames(const QDir &folder)
{
    struct Named
    {
        QString time;
        int sequence;
        QString name;
    };
    QList<Named> backups;
    for (const QString &name : folder.entryList({ QStringLiteral("Data-*.mdb") }, QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch match = backupName().match(name);
        if (match.hasMatch())
            backups.append({ match.captured(1), sequenceOf(match), name });
    }
    std::stable_sort(backups.begin(), backups.end(), [](const Named &a, const Named &b) {
        return a.time != b.time ? a.time < b.time : a.sequence < b.sequence;
    });
    QStringList names;
    for (const Named &backup : backups)
        names << backup.name;
    return names;
}

void pruneBackups(const QDir &folder)
{
    const QStringList names = backupNames(folder);
    for (qsizetype i = 0; i + KeptBackups < names.size(); ++i)
        QFile::remove(folder.filePath(names.at(i)));
}

// The columns the program reads, table by table.
const QList<QPair<QString, QStringList>> &expectedTables()
{
    static const QList<QPair<QString, QStringList>> tables {
        { draws::Table,
            { draws::Id, draws::Name, draws::Picture, draws::Speed, draws::Mask, draws::Timer, draws::Length,
                draws::Frame, draws::TitleFont, draws::ListFont, draws::NumberFont } },
        { awards::Table,
            { awards::Id, awards::DrawId, awards::Order, awards::Name, awards::Count, awards::PerRound,
                awards::Shown, awards::Repeat, awards::Prize } },
        { entrants::Table, { entrants::Id, entrants::DrawId, entrants::Number, entrants::Name } },
        { results::Table,
            { results::Id, results::DrawId, results::AwardId, results::Number, results::Name } },
        { presets::Table, { presets::DrawId, presets::AwardId } },
    };
    return tables;
}

qint64 countOf(QSqlDatabase &db, const QString &table)
{
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) || !count.next())
        return -1;
    return count.value(0).toLongLong();
}

DatabaseSummary inspect(QSqlDatabase &db, bool checkIntegrity)
{
    DatabaseSummary summary;
    if (checkIntegrity) {
        QSqlQuery check(db);
        if (!check.exec(QStringLiteral("PRAGMA quick_check")) || !check.next()
            || check.value(0).toString() != QLatin1String("ok"))
            return summary;
    }
    for (const auto &[table, columns] : expectedTables()) {
        QSqlQuery info(db);
        if (!info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)))
            return summary;
        QStringList present;
        while (info.next())
            present << info.value(1).toString();
        for (const QString &column : columns) {
            if (!present.contains(column, Qt::CaseInsensitive))
                return summary;
        }
    }
    QSqlQuery version(db);
    if (version.exec(QStringLiteral("PRAGMA user_version")) && version.next())
        summary.version = version.value(0).toInt();
    summary.draws = countOf(db, draws::Table);
    summary.entrants = countOf(db, entrants::Table);
    summary.results = countOf(db, results::Table);
    summary.valid = summary.draws >= 0 && summary.entrants >= 0 && summary.results >= 0;
    return summary;
}

// Puts a copy of the file in place of the database, after the backup of the
// database as it is when backUpFirst is set. The copy is made and checked
// before that backup: pruning may take the chosen file, the oldest backup.
RestoreOutcome restoreFrom(const QString &path, bool backUpFirst)
{
    if (!QFileInfo(path).isFile())
        return RestoreOutcome::NotADatabase;
    const QString target = QFileInfo(DatabasePath()).absoluteFilePath();
    const QString staging = target + QStringLiteral(".restoring");
    QFile::remove(staging);
    if (!QFile::copy(path, staging)) {
        QFile::remove(staging);
        return RestoreOutcome::Failed;
    }
    // What is checked is what goes in place.
    if (!InspectDatabase(staging).valid) {
        QFile::remove(staging);
        return RestoreOutcome::NotADatabase;
    }
    if (backUpFirst && BackupDatabase(backupreason::Restore).isEmpty()) {
        QFile::remove(staging);
        return RestoreOutcome::BackupFailed;
    }
    QFile(staging).setPermissions(QFile(target).permissions());
    CloseConnection();
    if (!ReplaceFileWith(staging, target)) {
        QFile::remove(staging);
        return RestoreOutcome::Failed;
    }
    // A log the closed connection left behind belongs to the file replaced:
    // read with the restored one it would write the old pages into it.
    QFile::remove(target + QStringLiteral("-wal"));
    QFile::remove(target + QStringLiteral("-shm"));
    return RestoreOutcome::Restored;
}

} // namespace

QString BackupFolder()
{
    return QFileInfo(DatabasePath()).absoluteDir().filePath(FolderName);
}

QString BackupDatabase(const QString &reason, const QDateTime &now)
{
    QDir folder(BackupFolder());
    if (!folder.exists() && !QDir().mkpath(folder.path()))
        return QString();
    // Backups within one second are numbered across their reasons, so the
    // names still tell which came last.
    const QString time = now.toString(TimeFormat);
    int sequence = 1;
    for (const QString &name : backupNames(folder)) {
        const QRegularExpressionMatch match = backupName().match(name);
        if (match.captured(1) == time)
            sequence = std::max(sequence, sequenceOf(match) + 1);
    }
    const QString stem = QStringLiteral("Data-") + time + QLatin1Char('-') + fileNamePart(reason);
    QString path;
    for (int n = sequence;; ++n) {
        path = folder.filePath(stem + (n > 1 ? QStringLiteral("-%1.mdb").arg(n) : QStringLiteral(".mdb")));
        if (!QFileInfo::exists(path))
            break;
    }
    if (!CopyDatabaseTo(path))
        return QString();
    pruneBackups(folder);
    return path;
}

bool CopyDatabaseTo(const QString &path)
{
    return Database::run().copyTo(path);
}

bool BackUpDaily(const QDateTime &now)
{
    // With no database there is nothing to keep; the first routine that needs
    // it says so.
    if (!QFileInfo(DatabasePath()).isFile())
        return true;
    const QString today
        = QStringLiteral("Data-") + now.date().toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('-');
    for (const QString &name : backupNames(QDir(BackupFolder()))) {
        const QRegularExpressionMatch match = backupName().match(name);
        if (name.startsWith(today) && match.captured(2) == fileNamePart(backupreason::Daily))
            return true;
    }
    return !BackupDatabase(backupreason::Daily, now).isEmpty();
}

QList<BackupFile> ListBackups()
{
    const QDir folder(BackupFolder());
    QList<BackupFile> backups;
    const QStringList names = backupNames(folder);
    for (auto it = names.crbegin(); it != names.crend(); ++it) {
        const QRegularExpressionMatch match = backupName().match(*it);
        backups.append({ folder.filePath(*it), QDateTime::fromString(match.captured(1), TimeFormat),
            match.captured(2) });
    }
    return backups;
}

DatabaseSummary InspectDatabase(const QString &path, bool checkIntegrity)
{
    if (!QFileInfo(path).isFile())
        return {};
    const QString name = QStringLiteral("inspect-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    DatabaseSummary summary;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"));
        // A file in WAL mode would get -shm (and -wal) beside it even read
        // only; with no -wal of its own there is nothing the file alone does
        // not hold, and it is read as immutable: nothing is created beside it.
        QString options = QStringLiteral("?mode=ro");
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray header = file.read(20);
            if (header.size() == 20 && header.at(18) == 2
                && !QFileInfo::exists(path + QStringLiteral("-wal")))
                options += QStringLiteral("&immutable=1");
        }
        db.setDatabaseName(
            QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) + options);
        if (db.open())
            summary = inspect(db, checkIntegrity);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return summary;
}

RestoreOutcome RestoreDatabase(const QString &path)
{
    return restoreFrom(path, false);
}

RestoreOutcome BackUpAndRestore(const QString &path)
{
    return restoreFrom(path, true);
}

bool SaveDatabaseCopy(const QString &path)
{
    const QFileInfo target(path);
    // Over the database itself it would be no copy at all.
    if (target.exists() && target.canonicalFilePath() == QFileInfo(DatabasePath()).canonicalFilePath())
        return false;
    const QString partial = target.absoluteDir().filePath(QStringLiteral(".") + target.fileName()
        + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128));
    if (!CopyDatabaseTo(partial))
        return false;
    if (!ReplaceFileWith(partial, target.absoluteFilePath())) {
        QFile::remove(partial);
        return false;
    }
    return true;
}

} // namespace tombolix::data
