#pragma once

#include <QString>

// Progress of long loops. The computing code reports through these
// operations; the windowed program installs a progress window behind them,
// headless code runs with none.
namespace tombolix {

class ProgressSink
{
public:
    virtual ~ProgressSink() = default;
    virtual void open(const QString &text, qint64 total) = 0;
    virtual void advance(qint64 step, const QString &text) = 0;
    virtual void close() = 0;
};

// Installs the sink (not owned) and returns the previous one; nullptr for none.
ProgressSink *setProgressSink(ProgressSink *sink);

void OpenProgress(const QString &text, qint64 total);
// Advances by step; a non-empty text replaces the operation text, except
// "pages", which shows counts and times.
void AdvanceProgress(qint64 step, const QString &text);
void CloseProgress();

// Closes the progress window when it goes out of scope, also on early returns.
class ProgressScope
{
public:
    ProgressScope(const QString &text, qint64 total, bool show = true);
    ~ProgressScope();
    void advance(qint64 step = 1, const QString &text = QString());

private:
    bool m_shown;
};

// Seconds as hours:minutes:seconds with leading zero fields dropped, at most
// twice: 65 -> "1:5", 3725 -> "1:2:5", 0 -> "0:0".
QString FormatDuration(qint64 seconds);

// Where a long loop stands against its total, in the figures the progress
// window shows.
class ProgressReading
{
public:
    ProgressReading(qint64 done, qint64 total);

    qint64 done() const { return m_done; }
    // The done share in thousandths, cut down, never rounded up. With nothing
    // to measure against (a total of 0, which the workbook export passes for a
    // header-only grid) the share is 0.
    qint64 permille() const { return m_permille; }
    // The share as a percentage with at most one decimal: "12.3%", "50%",
    // "102.5%" past the total.
    QString percentText() const;
    // The share of the bar to fill, uncut: above 1 past the total.
    double barFraction() const;
    // "(done/total)".
    QString countText() const;

    // Times are estimated once a thousandth is done.
    bool canEstimate() const { return m_permille >= 1; }
    // The whole run's seconds: elapsed / share to the nearest second, halves
    // to even; 0 while nothing can be estimated.
    qint64 estimatedSeconds(qint64 elapsed) const;
    // "elapsed/remaining/estimated", each as FormatDuration writes it; past
    // the total the remainder falls below zero and shows as 0:0.
    QString timesText(qint64 elapsed) const;

private:
    qint64 m_done;
    qint64 m_total;
    qint64 m_permille;
};

} // namespace tombolix
