// The process's own figures, read from /proc.
#include "benchutil.h"

#include <QFile>
#include <algorithm>
#include <malloc.h>
#include <unistd.h>

namespace tombolix::bench {

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
    // The heap's free pages go back to the system first, so that the peak
    // counts what is allocated afresh rather than what lay freed in reach.
    malloc_trim(0);
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
