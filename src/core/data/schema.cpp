#include "data/schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>

namespace tombolix::schema {

QStringList schemaStatements()
{
    QString text;
    const QStringList lines = QString::fromUtf8(schemaSql()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.trimmed().startsWith(QLatin1String("--")))
            text += line + QLatin1Char('\n');
    }
    QStringList statements;
    for (const QString &part : text.split(QLatin1Char(';'))) {
        if (!part.trimmed().isEmpty())
            statements << part.trimmed();
    }
    return statements;
}

namespace {

// Each step brings a file from its index to the next version.
const QList<QStringList> &upgradeSteps()
{
    static const QList<QStringList> steps {
        // 0 to 1: withdrawn wins are kept, so a continued draw leaves their
        // entrants out as the screen did; settings of a draw that have no
        // column in its row travel with the file.
        {
            QStringLiteral("CREATE TABLE 撤销表 (ID INTEGER PRIMARY KEY AUTOINCREMENT, CID INTEGER, "
                           "WID INTEGER, 结果ID INTEGER, 号码 TEXT, 姓名 TEXT, 时间 TEXT, 原因 TEXT)"),
            QStringLiteral("CREATE INDEX 撤销表_CID ON 撤销表 (CID)"),
            QStringLiteral("CREATE TABLE 抽奖设置表 (CID INTEGER NOT NULL, 键 TEXT NOT NULL, 值 TEXT, "
                           "PRIMARY KEY (CID, 键))"),
        },
        // 1 to 2: the checkable draw. Each draw's chained record of what
        // happened, and its seed with the commitment published before the
        // first round.
        {
            QStringLiteral(
                "CREATE TABLE 公证记录表 (ID INTEGER PRIMARY KEY AUTOINCREMENT, CID INTEGER NOT NULL, "
                "序号 INTEGER NOT NULL, 类型 TEXT NOT NULL, 时间 TEXT NOT NULL, 内容 TEXT NOT NULL, "
                "前哈希 TEXT NOT NULL, 哈希 TEXT NOT NULL, UNIQUE (CID, 序号))"),
            QStringLiteral("CREATE TABLE 公证种子表 (CID INTEGER PRIMARY KEY, 种子 TEXT NOT NULL, "
                           "承诺 TEXT NOT NULL, 公证码 TEXT NOT NULL, 已公开 INTEGER NOT NULL DEFAULT 0)"),
        },
        // 2 to 3: the entrant list each commitment was made to, kept once per
        // list, so a draw whose list changed between sittings still checks.
        {
            QStringLiteral("CREATE TABLE 公证名单表 (CID INTEGER NOT NULL, 指纹 TEXT NOT NULL, "
                           "名单 BLOB NOT NULL, PRIMARY KEY (CID, 指纹))"),
        },
        // 3 to 4: records of rule tombolix-draw-v2, which a program of the
        // rule before must not go on writing; the awards' results looked up
        // by award, as a draw taken up from its record does.
        {
            QStringLiteral("CREATE INDEX 结果表_WID ON 结果表 (WID)"),
        },
        // 4 to 5: who may win. The further columns of an entrant list
        // (部门, 入职日期…): a draw's attribute names in order, and each
        // entrant's values in that order in one text; an award's conditions
        // on them; the numbers that may not win an award, or (WID 0) any
        // award of the draw.
        {
            QStringLiteral("CREATE TABLE 属性名表 (CID INTEGER NOT NULL, 序号 INTEGER NOT NULL, "
                           "名称 TEXT NOT NULL, PRIMARY KEY (CID, 序号))"),
            QStringLiteral("CREATE TABLE 人员属性表 (人员ID INTEGER PRIMARY KEY, 属性 TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE 抽奖范围表 (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                           "WID INTEGER NOT NULL, 序号 INTEGER NOT NULL, 属性 TEXT NOT NULL, "
                           "条件 TEXT NOT NULL, 值 TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX 抽奖范围表_WID ON 抽奖范围表 (WID)"),
            QStringLiteral("CREATE TABLE 不参与名单表 (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                           "CID INTEGER NOT NULL, WID INTEGER NOT NULL DEFAULT 0, 号码 TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX 不参与名单表_CID ON 不参与名单表 (CID, WID)"),
        },
    };
    return steps;
}

} // namespace

QStringList upgradeStatements(int version)
{
    QStringList statements;
    const QList<QStringList> &steps = upgradeSteps();
    for (qsizetype step = std::max(0, version); step < steps.size(); ++step)
        statements << steps.at(step);
    if (version < CurrentVersion)
        statements << QStringLiteral("PRAGMA user_version = %1").arg(CurrentVersion);
    return statements;
}

bool createEmptyDatabase(const QString &path, QString *error)
{
    if (QFileInfo::exists(path))
        return true;

    // Build the file under a temporary name and move it into place, so an
    // interrupted build never leaves a half-made database behind.
    const QString temporary = path + QLatin1String(".tmp-") + QUuid::createUuid().toString(QUuid::Id128);
    const QString name = QLatin1String("tombolix-schema-") + QUuid::createUuid().toString(QUuid::Id128);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(temporary);
        if (!db.open()) {
            ok = false;
            if (error)
                *error = db.lastError().text();
        }
        // One transaction: a journal written and synced once, not once per
        // table and index.
        if (ok && !db.transaction()) {
            ok = false;
            if (error)
                *error = db.lastError().text();
        }
        QSqlQuery query(db);
        for (const QString &statement : schemaStatements() + upgradeStatements(0)) {
            if (!ok)
                break;
            if (!query.exec(statement)) {
                ok = false;
                if (error)
                    *error = query.lastError().text() + QLatin1String(": ") + statement;
            }
        }
        query.finish();
        if (ok && !db.commit()) {
            ok = false;
            if (error)
                *error = db.lastError().text();
        }
        // Made in the mode the program keeps its file in: the first start
        // that only reads it leaves it as shipped.
        if (ok)
            query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (ok && !QFile::rename(temporary, path)) {
        ok = QFileInfo::exists(path); // someone else made it meanwhile
        if (!ok && error)
            *error = QStringLiteral("cannot move the new file to ") + path;
    }
    QFile::remove(temporary);
    return ok;
}

} // namespace tombolix::schema
