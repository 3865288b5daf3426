#include "common/indicator.h"

#include "common/windowops.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace tombolix {

namespace {

const QColor BarColour(0x1e, 0x63, 0xd6);
const QColor TrackColour(0xe3, 0xe8, 0xef);
const QColor TextColour(0x1f, 0x29, 0x37);
const QColor QuietColour(0x6b, 0x72, 0x80);

QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

// The bar area: a flat track with the done share filled from the left and
// clipped at the track's edge.
class IndicatorBar : public QWidget
{
public:
    explicit IndicatorBar(QWidget *parent)
        : QWidget(parent)
    {
        setFixedHeight(14);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    double fraction() const { return m_fraction; }

    void setFraction(double fraction)
    {
        const int before = filledWidth();
        m_fraction = fraction;
        // Long loops advance far more often than the bar gains a pixel.
        if (filledWidth() != before)
            update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area = rect();
        const qreal radius = area.height() / 2;
        QPainterPath track;
        track.addRoundedRect(area, radius, radius);
        painter.fillPath(track, TrackColour);
        const int filled = filledWidth();
        if (filled <= 0)
            return;
        painter.setClipPath(track);
        painter.fillRect(QRectF(0, 0, filled, area.height()), BarColour);
    }

private:
    int filledWidth() const
    {
        if (!(m_fraction > 0))
            return 0;
        return m_fraction >= 1 ? width() : qRound(m_fraction * width());
    }

    double m_fraction = 0;
};

Indicator::Indicator(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Indicator"));
    setWindowTitle(caption());
    setModal(false);
    setAttribute(Qt::WA_ShowWithoutActivating);

    QPalette shades = palette();
    shades.setColor(QPalette::Window, Qt::white);
    shades.setColor(QPalette::WindowText, TextColour);
    setPalette(shades);
    setAutoFillBackground(true);

    m_operation = makeLabel(QStringLiteral("LBL"), QStringLiteral("进度条指示器"), this);
    m_operation->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont operationFont = m_operation->font();
    operationFont.setPointSizeF(operationFont.pointSizeF() + 1);
    m_operation->setFont(operationFont);

    m_bar = new IndicatorBar(this);
    m_bar->setObjectName(QStringLiteral("Pic"));

    m_percent = makeLabel(QStringLiteral("Percent"), QStringLiteral("0%"), this);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_percent->setMinimumWidth(m_percent->fontMetrics().horizontalAdvance(QStringLiteral("100.0%")) + 8);
    QFont percentFont = m_percent->font();
    percentFont.setBold(true);
    m_percent->setFont(percentFont);
    QPalette percentShades = m_percent->palette();
    percentShades.setColor(QPalette::WindowText, BarColour);
    m_percent->setPalette(percentShades);

    m_count = makeLabel(QStringLiteral("L1"), QString(), this);
    m_count->setToolTip(QStringLiteral("已完成/总数"));
    m_times = makeLabel(QStringLiteral("L2"), QString(), this);
    m_times->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_times->setToolTip(QStringLiteral("已用时间/剩余时间/预计总时间"));
    for (QLabel *quiet : { m_count, m_times }) {
        QPalette quietShades = quiet->palette();
        quietShades.setColor(QPalette::WindowText, QuietColour);
        quiet->setPalette(quietShades);
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 16, 22, 16);
    layout->setSpacing(12);
    layout->addStretch(1);
    layout->addWidget(m_operation);
    auto *barRow = new QHBoxLayout;
    barRow->setSpacing(12);
    barRow->addWidget(m_bar, 1, Qt::AlignVCenter);
    barRow->addWidget(m_percent);
    layout->addLayout(barRow);
    auto *detailRow = new QHBoxLayout;
    detailRow->addWidget(m_count);
    detailRow->addStretch(1);
    detailRow->addWidget(m_times);
    layout->addLayout(detailRow);
    layout->addStretch(1);

    setFixedSize(420, 150);
    MakeTopmost(this);
    CentreOnWorkArea(this);
}

void Indicator::setOperationText(const QString &text)
{
    m_operation->setText(text);
}

void Indicator::setPercentText(const QString &text)
{
    m_percent->setText(text);
}

void Indicator::setCountText(const QString &text)
{
    m_count->setText(text);
}

void Indicator::setTimesText(const QString &text)
{
    m_times->setText(text);
}

void Indicator::setBarFraction(double fraction)
{
    m_bar->setFraction(fraction);
}

QString Indicator::operationText() const
{
    return m_operation->text();
}

QString Indicator::percentText() const
{
    return m_percent->text();
}

QString Indicator::countText() const
{
    return m_count->text();
}

QString Indicator::timesText() const
{
    return m_times->text();
}

double Indicator::barFraction() const
{
    return m_bar->fraction();
}

// The loop behind the window goes on whatever the operator does, so the
// window cannot be dismissed by hand: Escape and the window's close box are
// ignored. Closes asked for by the program itself still go through.
void Indicator::reject()
{ }

void Indicator::closeEvent(QCloseEvent *event)
{
    // QDialog would route the close through reject(), which does nothing here.
    if (event->spontaneous())
        event->ignore();
    else
        QWidget::closeEvent(event);
}

IndicatorProgress::IndicatorProgress(QWidget *parent)
    : m_parent(parent)
    , m_clock([] { return QDateTime::currentSecsSinceEpoch(); })
{ }

IndicatorProgress::~IndicatorProgress()
{
    // Leave no dangling sink behind.
    ProgressSink *installed = setProgressSink(nullptr);
    if (installed != this)
        setProgressSink(installed);
    delete m_window;
}

void IndicatorProgress::setClock(SecondsClock clock)
{
    m_clock = std::move(clock);
}

// All state is settled before the single yield at the end: an advance made
// by an event handler during the yield then counts against the new total
// instead of being wiped by a reset that comes after it.
void IndicatorProgress::open(const QString &text, qint64 total)
{
    Indicator *window = ensureWindow();
    window->setOperationText(text);
    m_total = total;
    m_current = 0;
    m_start = m_clock();
    window->setBarFraction(0);
    window->show();
    yieldToEvents();
}

void IndicatorProgress::advance(qint64 step, const QString &text)
{
    const ProgressReading reading(m_current + step, m_total);
    Indicator *window = ensureWindow();
    window->setPercentText(reading.percentText());
    if (!text.isEmpty()) {
        if (text.toLower() != QLatin1String("pages")) {
            window->setOperationText(text);
        } else if (reading.canEstimate()) {
            window->setTimesText(reading.timesText(m_clock() - m_start));
            window->setCountText(reading.countText());
        }
    }
    m_current = reading.done();
    window->setBarFraction(reading.barFraction());
    yieldToEvents();
}

void IndicatorProgress::close()
{
    delete m_window;
    yieldToEvents();
}

QString IndicatorProgress::operationText() const
{
    return m_window ? m_window->operationText() : QString();
}

QString IndicatorProgress::percentText() const
{
    return m_window ? m_window->percentText() : QString();
}

QString IndicatorProgress::countText() const
{
    return m_window ? m_window->countText() : QString();
}

QString IndicatorProgress::timesText() const
{
    return m_window ? m_window->timesText() : QString();
}

double IndicatorProgress::barFraction() const
{
    return m_window ? m_window->barFraction() : 0.0;
}

// Advancing while no window exists brings one back, hidden; only open shows it.
Indicator *IndicatorProgress::ensureWindow()
{
    if (!m_window)
        m_window = new Indicator(m_parent);
    return m_window;
}

// Lets the window repaint and the program stay responsive inside the caller's
// loop. Handlers that run meanwhile may open, advance or close the progress
// themselves; every operation has finished its bookkeeping before it yields,
// and a yield never nests inside another, so the event loop is not re-entered
// from within itself however the handlers call back.
void IndicatorProgress::yieldToEvents()
{
    if (m_yielding)
        return;
    m_yielding = true;
    const auto done = qScopeGuard([this] { m_yielding = false; });
    QCoreApplication::processEvents();
}

} // namespace tombolix
