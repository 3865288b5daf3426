#pragma once

#include "appearance/dragrect.h"

#include <QCursor>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <functional>
#include <vector>

class QMouseEvent;
class QWidget;

namespace tombolix {

class MF;

// Lets the operator move and size the element a layout dialog edits (the
// number frame or the board) with the mouse on the draw screen, while the
// dialog is shown. Presses on the element are the drag's alone: they neither
// start nor stop a round, nor open the menu. The dialog's boxes follow the
// drag and their own rule moves the element.
class LayoutDrag : public QObject
{
    Q_OBJECT

public:
    struct Target
    {
        // The element's rectangle in twips; an empty one cannot be gripped.
        std::function<QRectF()> rect;
        // Shows a dragged rectangle in the dialog's boxes, which apply it.
        std::function<void(const QRectF &)> apply;
        // The board: its list, below the rectangle, belongs to it.
        bool board = false;
    };

    // Watches the draw screen's canvas and board labels while `dialog` is shown.
    LayoutDrag(MF *screen, QWidget *dialog, Target target);
    ~LayoutDrag() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Watched
    {
        QPointer<QWidget> widget;
        bool tracking = false;
        bool hadCursor = false;
        QCursor cursor;
    };

    void activate();
    void deactivate();
    bool mouseEvent(QWidget *widget, QEvent::Type type, QMouseEvent *event);
    appearance::Grip gripAt(QWidget *widget, const QPoint &screenPos) const;
    void showCursor(QWidget *widget, appearance::Grip grip);

    // Held as a widget: while the screen is being destroyed its children are
    // hidden, and this filter sees it as no more than a widget by then.
    QPointer<QWidget> m_screen;
    QWidget *m_dialog;
    Target m_target;
    std::vector<Watched> m_watched;
    QPointer<QWidget> m_list; // the board's list, wider than its title where it was placed afresh
    bool m_active = false;
    appearance::Grip m_grip = appearance::Grip::None;
    QPoint m_pressedAt; // screen pixels
    QRectF m_startRect; // twips
};

} // namespace tombolix
