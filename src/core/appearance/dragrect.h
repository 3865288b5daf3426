#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Moving and sizing a rectangle of the draw screen with the mouse: which part
// of it a point grips, and where a drag from that grip puts it. Units are the
// caller's (the draw screen works in twips).
namespace tombolix::appearance {

enum class Grip
{
    None,
    Body,
    Left,
    Top,
    Right,
    Bottom,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

// The grip a point takes: an edge or a corner within `band` of it, on either
// side; the body inside. The band shrinks on a small rectangle so that its
// middle third still moves it. An empty rectangle grips nothing.
Grip HitTest(const QRectF &rect, const QPointF &point, double band);

// The board: its title is gripped as any rectangle; the list hanging below
// it, down to `bottom`, moves the board by its body and sizes its width by
// its left and right edges.
Grip HitTestBoard(const QRectF &title, double bottom, const QPointF &point, double band);

struct DragLimits
{
    QRectF bounds; // the rectangle stays within it
    double minimumSize = 0; // neither width nor height goes below it
};

// The rectangle after dragging `grip` by `delta` from `start`: the body moves
// it whole, an edge or corner moves those edges only. A moved rectangle is
// kept within the bounds (its left and top win when it is larger); a moved
// edge stops at the bounds and at the minimum size from the opposite edge.
QRectF DragRect(const QRectF &start, Grip grip, const QPointF &delta, const DragLimits &limits);

// The number frame fitted to the screen (all in twips): where the built-in
// look puts it, below the banner's band, as high as `lines` printed lines
// (each `digitHeight` high and spaced as the number is printed) and a margin
// above and below, no lower than the screen's foot allows (the number then
// prints smaller to stay inside). It keeps clear of `keepClear`, the board's
// title where the operator has put it: narrower beside it, or below it.
QRectF FitScreenRect(const QSizeF &screen, int lines, double digitHeight, const QRectF &keepClear = QRectF());

} // namespace tombolix::appearance
