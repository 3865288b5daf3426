// Opening a database of the format before schema versions, holding a
// million entrants, as the program does at start: the file is recognised,
// backed up and upgraded in one transaction.
#include "benchutil.h"
#include "data/database.h"
#include "data/databasefile.h"
#include "data/schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tombolix::bench {

namespace {

[[noreturn]] void fail(const char *what)
{
    // A figure of work that failed would be the time of the failure.
    std::fprintf(stderr, "open_and_upgrade_1m: %s\n", what);
    std::exit(1);
}

// A file of the first format, made from that format's own schema: the five
// tables, user_version 0, a million entrants of one draw.
void writeEarlierFile(const QString &path)
{
    const QString name = QStringLiteral("earlier");
    {
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        file.setDatabaseName(path);
        if (!file.open())
            fail("the earlier file cannot be made");
        QSqlQuery query(file);
        for (const QString &statement : schema::schemaStatements()) {
            if (!query.exec(statement))
                fail("the earlier schema does not run");
        }
        file.transaction();
        if (!query.exec(QStringLiteral("INSERT INTO 奖次表 (抽奖内容) VALUES ('bench')")))
            fail("the earlier file takes no draw");
        const qint64 draw = query.lastInsertId().toLongLong();
        QSqlQuery insert(file);
        insert.prepare(QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (?, ?, ?)"));
        for (int i = 1; i <= 1000000; ++i) {
            insert.bindValue(0, draw);
            insert.bindValue(1, QString::number(100000 + i));
            insert.bindValue(2, QStringLiteral("员工%1").arg(i));
            if (!insert.exec())
                fail("the earlier file takes no entrant");
        }
        if (!file.commit() || !query.exec(QStringLiteral("PRAGMA user_version = 0")))
            fail("the earlier file is not written");
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

void benchOpenAndUpgrade()
{
    ScratchDatabase db;
    const QString path = data::DatabasePath();
    data::CloseConnection();
    const QString earlier = db.folder() + QStringLiteral("/earlier.mdb");
    writeEarlierFile(earlier);

    std::vector<double> seconds;
    for (int run = 0; run < 4; ++run) {
        data::CloseConnection();
        QFile::remove(path);
        QFile::copy(earlier, path);
        QDir(db.folder() + QStringLiteral("/备份")).removeRecursively();
        QElapsedTimer clock;
        clock.start();
        const data::DatabaseFileCheck check = data::CheckDatabaseFile(path);
        const bool upgraded = check.kind == data::DatabaseFileKind::Ours
            && data::UpgradeDatabase() == data::UpgradeOutcome::Current;
        const double elapsed = clock.nsecsElapsed() / 1e9;
        if (!upgraded)
            fail("the file was not upgraded");
        if (run > 0) // the first run warms the file cache
            seconds.push_back(elapsed);
    }
    // What the upgrade must leave: every entrant, at the newest version.
    QSqlQuery count(data::connection());
    if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM 号码表")) || !count.next()
        || count.value(0).toLongLong() != 1000000)
        fail("the upgraded file lost entrants");
    std::sort(seconds.begin(), seconds.end());
    report(QStringLiteral("open_and_upgrade_1m"), seconds[seconds.size() / 2], QStringLiteral("s"));
}

} // namespace tombolix::bench
