#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QTimer>
#include <functional>

class QGraphicsOpacityEffect;
class QVariantAnimation;
class QWidget;

namespace tombolix {

// Fades the operator's controls out of the audience's sight once the pointer
// has rested over the screen for a while, and brings them back when it moves
// or when a faded control is pressed; that press does nothing else, unless
// the screen says it stands for a stop (a round rolls: any press stops it).
// Keys keep working while the controls are out of sight.
class ControlsFader : public QObject
{
    Q_OBJECT

public:
    ControlsFader(QWidget *screen, const QList<QWidget *> &controls);

    static constexpr int DefaultIdleInterval = 3000; // ms

    // How long the pointer may rest before the controls fade; restarts the wait.
    void setIdleInterval(int ms);
    int idleInterval() const { return m_idle.interval(); }
    // Shows the controls at once and keeps them for a full interval.
    void wake();
    // True once fading has begun, until the controls come back.
    bool isFaded() const { return m_faded; }
    // Called on a left press of a faded control, which does nothing else:
    // the screen decides whether it stands for a stop.
    void setPressWhileFaded(std::function<void()> handler) { m_pressWhileFaded = std::move(handler); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fadeOut();
    void setOpacity(double opacity);

    QWidget *m_screen;
    QList<QPointer<QGraphicsOpacityEffect>> m_effects;
    QTimer m_idle;
    QVariantAnimation *m_fade = nullptr;
    bool m_faded = false;
    QPointF m_lastPointer;
    std::function<void()> m_pressWhileFaded;
};

} // namespace tombolix
