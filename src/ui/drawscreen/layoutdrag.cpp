#include "drawscreen/layoutdrag.h"

#include "common/conventions.h"
#include "drawscreen/mf.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace tombolix {

using appearance::Grip;

namespace {

constexpr int GripPixels = 8;
// Twice the grip: a frame sized down that far can still be taken by its middle.
constexpr double MinimumTwips = 2 * GripPixels * TwipsPerPixel;

Qt::CursorShape cursorFor(Grip grip)
{
    switch (grip) {
    case Grip::Left:
    case Grip::Right:
        return Qt::SizeHorCursor;
    case Grip::Top:
    case Grip::Bottom:
        return Qt::SizeVerCursor;
    case Grip::TopLeft:
    case Grip::BottomRight:
        return Qt::SizeFDiagCursor;
    case Grip::TopRight:
    case Grip::BottomLeft:
        return Qt::SizeBDiagCursor;
    case Grip::Body:
        return Qt::SizeAllCursor;
    case Grip::None:
        break;
    }
    return Qt::ArrowCursor;
}

} // namespace

LayoutDrag::LayoutDrag(MF *screen, QWidget *dialog, Target target)
    : QObject(dialog)
    , m_screen(screen)
    , m_dialog(dialog)
    , m_target(std::move(target))
{
    // The board's labels lie over the canvas; a press on them is the board's.
    QList<QWidget *> widgets { screen->canvas() };
    if (auto *title = screen->findChild<QWidget *>(QStringLiteral("LL_0")))
        widgets << title;
    m_list = screen->findChild<QWidget *>(QStringLiteral("LL_1"));
    if (m_list)
        widgets << m_list;
    for (QWidget *widget : widgets) {
        Watched watched;
        watched.widget = widget;
        m_watched.push_back(watched);
        widget->installEventFilter(this);
    }
    dialog->installEventFilter(this);
    if (dialog->isVisible())
        activate();
}

LayoutDrag::~LayoutDrag()
{
    deactivate();
    for (const Watched &watched : m_watched) {
        if (watched.widget)
            watched.widget->removeEventFilter(this);
    }
}

void LayoutDrag::activate()
{
    if (m_active)
        return;
    m_active = true;
    // Tracking lets the cursor show the grip before a button is pressed.
    for (Watched &watched : m_watched) {
        if (!watched.widget)
            continue;
        watched.tracking = watched.widget->hasMouseTracking();
        watched.hadCursor = watched.widget->testAttribute(Qt::WA_SetCursor);
        watched.cursor = watched.widget->cursor();
        watched.widget->setMouseTracking(true);
    }
}

void LayoutDrag::deactivate()
{
    if (!m_active)
        return;
    m_active = false;
    m_grip = Grip::None;
    for (const Watched &watched : m_watched) {
        if (!watched.widget)
            continue;
        watched.widget->setMouseTracking(watched.tracking);
        if (watched.hadCursor)
            watched.widget->setCursor(watched.cursor);
        else
            watched.widget->unsetCursor();
    }
}

bool LayoutDrag::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_dialog) {
        if (event->type() == QEvent::Show)
            activate();
        else if (event->type() == QEvent::Hide)
            deactivate();
        return false;
    }
    if (!m_active || !m_screen)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return mouseEvent(static_cast<QWidget *>(watched), event->type(), static_cast<QMouseEvent *>(event));
    default:
        return false;
    }
}

bool LayoutDrag::mouseEvent(QWidget *widget, QEvent::Type type, QMouseEvent *event)
{
    // Screen pixels from the global position: a dragged label moves under
    // the pointer, its own coordinates with it.
    const QPoint at = m_screen->mapFromGlobal(event->globalPosition().toPoint());
    if (type == QEvent::MouseMove) {
        if (m_grip == Grip::None) {
            if (event->buttons() == Qt::NoButton)
                showCursor(widget, gripAt(widget, at));
            return false;
        }
        const QPointF delta = QPointF(at - m_pressedAt) * TwipsPerPixel;
        const QRectF bounds(
            0, 0, m_screen->width() * double(TwipsPerPixel), m_screen->height() * double(TwipsPerPixel));
        const QRectF dragged = appearance::DragRect(m_startRect, m_grip, delta, { bounds, MinimumTwips });
        if (dragged != m_target.rect())
            m_target.apply(dragged);
        return true;
    }
    if (type == QEvent::MouseButtonRelease) {
        if (m_grip == Grip::None)
            return false;
        if (event->button() == Qt::LeftButton)
            m_grip = Grip::None;
        return true;
    }
    // A press, or the second press of a double-click.
    if (m_grip != Grip::None)
        return true; // another button while dragging
    const Grip grip = gripAt(widget, at);
    if (grip == Grip::None)
        return false;
    if (type == QEvent::MouseButtonPress && event->button() == Qt::LeftButton) {
        m_grip = grip;
        m_pressedAt = at;
        m_startRect = m_target.rect();
        showCursor(widget, grip);
    }
    return true;
}

Grip LayoutDrag::gripAt(QWidget *widget, const QPoint &screenPos) const
{
    const QRectF rect = m_target.rect();
    const QPointF point = QPointF(screenPos) * TwipsPerPixel;
    const double band = GripPixels * TwipsPerPixel;
    if (!m_target.board)
        return appearance::HitTest(rect, point, band);
    const Grip grip = appearance::HitTestBoard(rect, m_screen->height() * double(TwipsPerPixel), point, band);
    // Placed afresh, the list spans the board area, wider than its title: all
    // of it is the board's, and taking it moves the board.
    if (grip == Grip::None && widget == m_list && rect.isValid())
        return Grip::Body;
    return grip;
}

void LayoutDrag::showCursor(QWidget *widget, Grip grip)
{
    if (grip != Grip::None) {
        widget->setCursor(cursorFor(grip));
        return;
    }
    for (const Watched &watched : m_watched) {
        if (watched.widget != widget)
            continue;
        if (watched.hadCursor)
            widget->setCursor(watched.cursor);
        else
            widget->unsetCursor();
    }
}

} // namespace tombolix
