#include "common/progress.h"

namespace tombolix {

namespace {
ProgressSink *g_sink = nullptr;
}

ProgressSink *setProgressSink(ProgressSink *sink)
{
    ProgressSink *previous = g_sink;
    g_sink = sink;
    return previous;
}

void OpenProgress(const QString &text, qint64 total)
{
    if (g_sink)
        g_sink->open(text, total);
}

void AdvanceProgress(qint64 step, const QString &text)
{
    if (g_sink)
        g_sink->advance(step, text);
}

void CloseProgress()
{
    if (g_sink)
        g_sink->close();
}

ProgressScope::ProgressScope(const QString &text, qint64 total, bool show)
    : m_shown(show)
{
    if (m_shown)
        OpenProgress(text, total);
}

ProgressScope::~ProgressScope()
{
    if (m_shown)
        CloseProgress();
}

void ProgressScope::advance(qint64 step, const QString &text)
{
    if (m_shown)
        AdvanceProgress(step, text);
}

QString FormatDuration(qint64 seconds)
{
    qint64 a = 0, b = 0, c = 0, d = 0;
    if (seconds > 0) {
        const qint64 hours = seconds / 3600;
        d = seconds % 60;
        c = (seconds / 60) % 60;
        b = hours % 60;
        a = (hours / 60) % 24;
    }
    QString text = QStringLiteral("%1:%2:%3:%4").arg(a).arg(b).arg(c).arg(d);
    for (int i = 0; i < 2 && text.startsWith(QLatin1String("0:")); ++i)
        text.remove(0, 2);
    return text;
}

} // namespace tombolix
