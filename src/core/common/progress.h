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

} // namespace tombolix
