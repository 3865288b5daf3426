#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace tombolix::draw {
class EntrantPool;
}

namespace tombolix::bench {

// A million entrants numbered from 1, nine in ten of them already won.
void fillPoolMostlyWon(draw::EntrantPool &pool);

// Runs the body once to warm up, then `runs` times, and returns the median
// duration in seconds.
double medianSeconds(int runs, const std::function<void()> &body);

// Prints one figure: "name: value unit".
void report(const QString &name, double value, const QString &unit, int decimals = 2);

// A temporary database with the five empty tables, in use while it lives.
class ScratchDatabase
{
public:
    ScratchDatabase();
    ~ScratchDatabase();
    bool isValid() const { return m_valid; }
    QString folder() const { return m_dir.path(); }

    qint64 addDraw(const QString &name);
    // count entrants of the draw, numbered from 1, with Chinese names, in one transaction.
    void addEntrants(qint64 draw, qint64 count);

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

// Seconds since this process started, from /proc (to a clock tick); 0 where
// unknown.
double processSeconds();

// Resident memory of this process in megabytes, from /proc; 0 where unknown.
double residentMegabytes();
// Starts a fresh peak measurement (on Linux, the heap's free pages given
// back first: read the resident memory after it), and reads the peak
// resident memory since.
void resetPeakMemory();
double peakResidentMegabytes();

// A benchmark set up on a write that failed would measure nothing: it stops.
void must(bool done);

} // namespace tombolix::bench
