#include "benchutil.h"

#include "common/settingsstore.h"
#include "data/database.h"
#include "data/schema.h"
#include "draw/entrantpool.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace tombolix::bench {

double medianSeconds(int runs, const std::function<void()> &body)
{
    body();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        body();
        times.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const QString &name, double value, const QString &unit, int decimals)
{
    std::printf("%s: %.*f %s\n", qPrintable(name), decimals, value, qPrintable(unit));
    std::fflush(stdout);
}

ScratchDatabase::ScratchDatabase()
{
    const QString path = m_dir.filePath(QStringLiteral("Data.mdb"));
    m_valid = m_dir.isValid() && schema::createEmptyDatabase(path);
    data::setDatabasePath(path);
    setSettingsFile(m_dir.filePath(QStringLiteral("settings.ini")));
}

ScratchDatabase::~ScratchDatabase()
{
    data::CloseConnection();
    data::setDatabasePath(QString());
    setSettingsFile(QString());
}

qint64 ScratchDatabase::addDraw(const QString &name)
{
    QSqlQuery query(data::connection());
    query.prepare(
        QStringLiteral("INSERT INTO 奖次表 (抽奖内容, 速度, 定时, 定长) VALUES (?, '1', '0', '0')"));
    query.addBindValue(name);
    query.exec();
    return query.lastInsertId().toLongLong();
}

void ScratchDatabase::addEntrants(qint64 draw, qint64 count)
{
    data::Transaction transaction;
    QSqlQuery query(data::connection());
    query.prepare(QStringLiteral("INSERT INTO 号码表 (CID, 号码, 姓名) VALUES (?, ?, ?)"));
    for (qint64 i = 1; i <= count; ++i) {
        query.bindValue(0, draw);
        query.bindValue(1, QString::number(i));
        query.bindValue(2, QStringLiteral("员工%1").arg(i));
        query.exec();
    }
    must(transaction.commit());
}

void fillPoolMostlyWon(draw::EntrantPool &pool)
{
    pool.reserve(1000000);
    for (int i = 1; i <= 1000000; ++i)
        pool.append(i, QString::number(i), QString());
    draw::RandomSource random(1);
    for (qsizetype index : pool.pick(900000, random))
        pool.makeIneligible(index);
}

void must(bool done)
{
    if (!done)
        qFatal("a write the benchmark needs failed");
}

} // namespace tombolix::bench
