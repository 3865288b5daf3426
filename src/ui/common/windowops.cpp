#include "common/windowops.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QHash>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace tombolix {

namespace {

// The first shown top-level window with exactly this caption.
// Quits the loop when the watched window is hidden, closed or destroyed.
class CloseWatcher : public QObject
{
public:
    CloseWatcher(QWidget *window, QEventLoop *loop)
        : m_loop(loop)
    {
        window->installEventFilter(this);
        connect(window, &QObject::destroyed, loop, &QEventLoop::quit);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide || event->type() == QEvent::Close)
            QMetaObject::invokeMethod(m_loop, &QEventLoop::quit, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop *m_loop;
};

QHash<const QWidget *, QPointer<QWidget>> &dialogHosts()
{
    static QHash<const QWidget *, QPointer<QWidget>> hosts;
    return hosts;
}

} // namespace

void SetDialogHost(QWidget *window, QWidget *host)
{
    if (!window)
        return;
    if (!host) {
        dialogHosts().remove(window);
        return;
    }
    if (!dialogHosts().contains(window))
        QObject::connect(window, &QObject::destroyed, [window] { dialogHosts().remove(window); });
    dialogHosts().insert(window, host);
}

QWidget *DialogHostOf(QWidget *window)
{
    if (!window)
        return nullptr;
    const QPointer<QWidget> host = dialogHosts().value(window);
    return host ? host.data() : window;
}

void CentreOnWorkArea(QWidget *form)
{
    if (!form)
        return;
    QScreen *screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    // A dialog of a window in the audience's view opens on its host's screen.
    QWidget *owner = form->parentWidget() ? form->parentWidget()->window() : nullptr;
    QWidget *host = DialogHostOf(owner);
    if (host && host != owner && host->screen()) {
        screen = host->screen();
        form->setScreen(screen);
    }
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = form->frameGeometry().size();
    form->move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

void MakeTopmost(QWidget *form)
{
    if (!form)
        return;
    const bool visible = form->isVisible();
    form->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (visible)
        form->show(); // changing the flags hides the window
}

void WaitUntilClosed(QWidget *form)
{
    const QPointer<QWidget> guard(form);
    while (guard && guard->isVisible()) {
        QEventLoop loop;
        CloseWatcher watcher(guard, &loop);
        // Once the program has been told to quit, no event loop runs any
        // more: exec returns -1 at once, and waiting on for a window shown
        // after the quit would spin for ever instead of letting it end.
        const bool quitting = loop.exec() < 0;
        if (guard)
            guard->removeEventFilter(&watcher);
        if (quitting)
            return;
    }
}

void ShowWithGeometry(QWidget *window, const QByteArray &geometry)
{
    window->restoreGeometry(geometry);
    const QPoint wanted = window->pos();
    window->show();
    constexpr int Checks = 20;
    constexpr int CheckInterval = 50; // ms
    auto *timer = new QTimer(window);
    timer->setInterval(CheckInterval);
    QObject::connect(timer, &QTimer::timeout, window, [window, timer, wanted, checks = 0]() mutable {
        // Hidden, maximized or minimized meanwhile, it has a place of its own.
        if (!window->isVisible() || window->windowState() != Qt::WindowNoState || ++checks == Checks) {
            timer->deleteLater();
            return;
        }
        if (window->pos() != wanted)
            window->move(wanted);
    });
    timer->start();
}

} // namespace tombolix
