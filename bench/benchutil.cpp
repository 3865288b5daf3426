#include "benchutil.h"

#include "common/settingsstore.h"
#include "data/database.h"
#include "data/schema.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
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
    transaction.commit();
}

namespace {

double statusMegabytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    const QByteArray key(field);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0.0;
}

} // namespace

double processSeconds()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return 0;
    // The command may hold spaces: the fields counted from its closing bracket.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const long ticks = sysconf(_SC_CLK_TCK);
    if (fields.size() < 20 || ticks <= 0)
        return 0;
    const double started = fields.at(19).toDouble() / double(ticks);
    const double now = uptime.readAll().split(' ').value(0).toDouble();
    return std::max(0.0, now - started);
}

double residentMegabytes()
{
    return statusMegabytes("VmRSS:");
}

void resetPeakMemory()
{
    // Writing 5 to clear_refs resets the peak resident size (Linux 4.0 on).
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double peakResidentMegabytes()
{
    return statusMegabytes("VmHWM:");
}

} // namespace tombolix::bench
