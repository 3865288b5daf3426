#include "common/progress.h"

namespace tombolix {

namespace {

ProgressSink *g_sink = nullptr;

qint64 floorDiv(qint64 num, qint64 den)
{
    qint64 q = num / den;
    if (num % den != 0 && ((num < 0) != (den < 0)))
        --q;
    return q;
}

} // namespace

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

ProgressReading::ProgressReading(qint64 done, qint64 total)
    : m_done(done)
    , m_total(total)
    , m_permille(total > 0 ? floorDiv(done * 1000, total) : 0)
{ }

QString ProgressReading::percentText() const
{
    const qint64 whole = m_permille / 10;
    const qint64 tenth = m_permille % 10;
    QString text = QString::number(whole);
    if (tenth != 0) {
        if (m_permille < 0 && whole == 0)
            text.prepend(QLatin1Char('-'));
        text += QLatin1Char('.') + QString::number(qAbs(tenth));
    }
    return text + QLatin1Char('%');
}

double ProgressReading::barFraction() const
{
    return m_total > 0 ? double(m_done) / double(m_total) : 0.0;
}

QString ProgressReading::countText() const
{
    return QStringLiteral("(%1/%2)").arg(m_done).arg(m_total);
}

// In exact integer arithmetic, so that true halves are recognised.
qint64 ProgressReading::estimatedSeconds(qint64 elapsed) const
{
    if (!canEstimate())
        return 0;
    const qint64 num = elapsed * 1000;
    qint64 q = floorDiv(num, m_permille);
    const qint64 twiceRest = 2 * (num - q * m_permille);
    if (twiceRest > m_permille || (twiceRest == m_permille && q % 2 != 0))
        ++q;
    return q;
}

QString ProgressReading::timesText(qint64 elapsed) const
{
    const qint64 estimated = estimatedSeconds(elapsed);
    return FormatDuration(elapsed) + QLatin1Char('/') + FormatDuration(estimated - elapsed) + QLatin1Char('/')
        + FormatDuration(estimated);
}

} // namespace tombolix
