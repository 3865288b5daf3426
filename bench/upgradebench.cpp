// Opening a database of the format before schema versions, holding a
// million entrants, as the program does at start: the file is recognised,
// backed up and upgraded in one transaction.
#include "benchutil.h"
#include "data/database.h"
#include "data/databasefile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace tombolix::bench {

void benchOpenAndUpgrade()
{
    ScratchDatabase db;
    db.addEntrants(db.addDraw(QStringLiteral("bench")), 1000000);
    const QString path = data::DatabasePath();
    {
        // Back to the earlier format: without the newer tables and version.
        QSqlQuery query(data::connection());
        for (const char *statement :
            { "DROP TABLE 撤销表", "DROP TABLE 抽奖设置表", "PRAGMA user_version = 0" }) {
            if (!query.exec(QString::fromUtf8(statement)))
                std::fprintf(stderr, "open_and_upgrade: %s failed\n", statement);
        }
    }
    data::CloseConnection();
    const QString earlier = db.folder() + QStringLiteral("/earlier.mdb");
    QFile::copy(path, earlier);

    std::vector<double> seconds;
    for (int run = 0; run < 4; ++run) {
        data::CloseConnection();
        QFile::remove(path);
        QFile::copy(earlier, path);
        QDir(db.folder() + QStringLiteral("/备份")).removeRecursively();
        QElapsedTimer clock;
        clock.start();
        const data::DatabaseFileCheck check = data::CheckDatabaseFile(path);
        const bool upgraded = check.kind == data::DatabaseFileKind::Ours && data::UpgradeDatabase();
        const double elapsed = clock.nsecsElapsed() / 1e9;
        if (!upgraded)
            std::fprintf(stderr, "open_and_upgrade: the file was not upgraded\n");
        if (run > 0) // the first run warms the file cache
            seconds.push_back(elapsed);
    }
    std::sort(seconds.begin(), seconds.end());
    report(QStringLiteral("open_and_upgrade_1m"), seconds[seconds.size() / 2], QStringLiteral("s"));
}

} // namespace tombolix::bench
