// The process's own figures, from the system's process information.
#include "benchutil.h"

#include <algorithm>
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

namespace tombolix::bench {

namespace {

double seconds(const FILETIME &time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return double(value.QuadPart) / 1e7; // 100-nanosecond units
}

PROCESS_MEMORY_COUNTERS counters()
{
    PROCESS_MEMORY_COUNTERS memory {};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        memory = {};
    return memory;
}

} // namespace

double processSeconds()
{
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    GetSystemTimeAsFileTime(&now);
    return std::max(0.0, seconds(now) - seconds(created));
}

double residentMegabytes()
{
    return double(counters().WorkingSetSize) / (1024.0 * 1024.0);
}

void resetPeakMemory()
{
    // The system keeps one peak for the process's life; the peak read after
    // this is the peak since the process started.
}

double peakResidentMegabytes()
{
    return double(counters().PeakWorkingSetSize) / (1024.0 * 1024.0);
}

} // namespace tombolix::bench
