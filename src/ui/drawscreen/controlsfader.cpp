#include "drawscreen/controlsfader.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QVariantAnimation>
#include <QWidget>
#include <algorithm>

namespace tombolix {

namespace {

constexpr int FadeDuration = 400; // ms

} // namespace

ControlsFader::ControlsFader(QWidget *screen, const QList<QWidget *> &controls)
    : QObject(screen)
    , m_screen(screen)
{
    for (QWidget *control : controls) {
        auto *effect = new QGraphicsOpacityEffect(control);
        effect->setOpacity(1.0);
        control->setGraphicsEffect(effect);
        control->installEventFilter(this);
        m_effects << effect;
    }
    // Hover moves reach the screen from whichever child the pointer is over,
    // without turning on mouse tracking for the children.
    screen->setAttribute(Qt::WA_Hover);
    screen->installEventFilter(this);

    m_fade = new QVariantAnimation(this);
    m_fade->setDuration(FadeDuration);
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QVariantAnimation::valueChanged, this,
        [this](const QVariant &value) { setOpacity(value.toDouble()); });

    m_idle.setSingleShot(true);
    m_idle.setInterval(DefaultIdleInterval);
    connect(&m_idle, &QTimer::timeout, this, &ControlsFader::fadeOut);
    m_idle.start();
}

void ControlsFader::setIdleInterval(int ms)
{
    m_idle.setInterval(std::max(1, ms));
    wake();
}

void ControlsFader::wake()
{
    m_fade->stop();
    m_faded = false;
    setOpacity(1.0);
    m_idle.start();
}

void ControlsFader::fadeOut()
{
    m_faded = true;
    m_fade->start();
}

void ControlsFader::setOpacity(double opacity)
{
    for (const QPointer<QGraphicsOpacityEffect> &effect : std::as_const(m_effects)) {
        if (effect)
            effect->setOpacity(opacity);
    }
}

bool ControlsFader::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverMove:
        // Only a pointer that really moved: widgets appearing under a resting
        // pointer must not bring the controls back.
        if (watched == m_screen) {
            // A hover passed up from a child carries no old position of its own.
            const QPointF pointer = static_cast<QHoverEvent *>(event)->globalPosition();
            if (pointer != m_lastPointer) {
                m_lastPointer = pointer;
                wake();
            }
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // A press where a faded control sits only brings the controls back:
        // the operator cannot see what it would do. A visible control acts.
        if (watched != m_screen) {
            const bool faded = m_faded;
            wake();
            if (faded) {
                if (m_pressWhileFaded && event->type() == QEvent::MouseButtonPress
                    && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                    m_pressWhileFaded();
                return true;
            }
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tombolix
