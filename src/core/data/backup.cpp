#include "data/backup.h"

#include "common/prompts.h"
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

// The automatic backups by name, oldest first; the names sort by time.
QStringList backupNames(const QDir &folder)
{
    QStringList names;
    for (const QString &name : folder.entryList({ QStringLiteral("Data-*.mdb") }, QDir::Files, QDir::Name)) {
        if (backupName().match(name).hasMatch())
            names << name;
    }
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

DatabaseSummary inspect(QSqlDatabase &db)
{
    DatabaseSummary summary;
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("PRAGMA quick_check")) || !check.next()
        || check.value(0).toString() != QLatin1String("ok"))
        return summary;
    check.finish();
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
    summary.draws = countOf(db, draws::Table);
    summary.entrants = countOf(db, entrants::Table);
    summary.results = countOf(db, results::Table);
    summary.valid = summary.draws >= 0 && summary.entrants >= 0 && summary.results >= 0;
    return summary;
}

bool replaceFile(const QString &from, const QString &to)
{
    // Renamed over the old file in one step: the database is never missing.
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
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
    const QString stem
        = QStringLiteral("Data-") + now.toString(TimeFormat) + QLatin1Char('-') + fileNamePart(reason);
    QString path = folder.filePath(stem + QStringLiteral(".mdb"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder.filePath(stem + QStringLiteral("-%1.mdb").arg(n));
    if (!CopyDatabaseTo(path))
        return QString();
    pruneBackups(folder);
    return path;
}

bool BackUpBefore(const QString &reason)
{
    if (!BackupDatabase(reason).isEmpty())
        return true;
    return prompts().askYesNo(QStringLiteral("数据库备份失败，是否仍然继续？"), DefaultAnswer::No);
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
    if (!BackupDatabase(backupreason::Daily, now).isEmpty())
        return true;
    return prompts().askYesNo(QStringLiteral("数据库备份失败，是否仍然继续？"), DefaultAnswer::No);
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

DatabaseSummary InspectDatabase(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return {};
    const QString name = QStringLiteral("inspect-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    DatabaseSummary summary;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"));
        db.setDatabaseName(
            QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)
            + QStringLiteral("?mode=ro"));
        if (db.open())
            summary = inspect(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return summary;
}

RestoreOutcome RestoreDatabase(const QString &path)
{
    if (!InspectDatabase(path).valid)
        return RestoreOutcome::NotADatabase;
    const QString target = QFileInfo(DatabasePath()).absoluteFilePath();
    const QString staging = target + QStringLiteral(".restoring");
    QFile::remove(staging);
    if (!QFile::copy(path, staging)) {
        QFile::remove(staging);
        return RestoreOutcome::Failed;
    }
    QFile(staging).setPermissions(QFile(target).permissions());
    CloseConnection();
    if (!replaceFile(staging, target)) {
        QFile::remove(staging);
        return RestoreOutcome::Failed;
    }
    return RestoreOutcome::Restored;
}

} // namespace tombolix::data
