#include "appearance/dragrect.h"

#include "appearance/stagelayout.h"
#include "common/conventions.h"

#include <algorithm>
#include <cmath>

namespace tombolix::appearance {

namespace {

bool hasLeft(Grip grip)
{
    return grip == Grip::Left || grip == Grip::TopLeft || grip == Grip::BottomLeft;
}

bool hasRight(Grip grip)
{
    return grip == Grip::Right || grip == Grip::TopRight || grip == Grip::BottomRight;
}

bool hasTop(Grip grip)
{
    return grip == Grip::Top || grip == Grip::TopLeft || grip == Grip::TopRight;
}

bool hasBottom(Grip grip)
{
    return grip == Grip::Bottom || grip == Grip::BottomLeft || grip == Grip::BottomRight;
}

// Where a rectangle of `size` may start within [low, high]: the low side
// wins when it does not fit.
double clampStart(double start, double size, double low, double high)
{
    return std::max(low, std::min(start, high - size));
}

} // namespace

Grip HitTest(const QRectF &rect, const QPointF &point, double band)
{
    if (!(rect.width() > 0) || !(rect.height() > 0))
        return Grip::None;
    if (point.x() < rect.left() - band || point.x() > rect.right() + band || point.y() < rect.top() - band
        || point.y() > rect.bottom() + band)
        return Grip::None;
    // Inside, the bands take at most a third each way: a small frame can
    // still be moved by its middle.
    const double inX = std::min(band, rect.width() / 3);
    const double inY = std::min(band, rect.height() / 3);
    const bool left = point.x() < rect.left() + inX;
    const bool right = point.x() > rect.right() - inX;
    const bool top = point.y() < rect.top() + inY;
    const bool bottom = point.y() > rect.bottom() - inY;
    if (top && left)
        return Grip::TopLeft;
    if (top && right)
        return Grip::TopRight;
    if (bottom && left)
        return Grip::BottomLeft;
    if (bottom && right)
        return Grip::BottomRight;
    if (left)
        return Grip::Left;
    if (right)
        return Grip::Right;
    if (top)
        return Grip::Top;
    if (bottom)
        return Grip::Bottom;
    return Grip::Body;
}

Grip HitTestBoard(const QRectF &title, double bottom, const QPointF &point, double band)
{
    const Grip onTitle = HitTest(title, point, band);
    if (onTitle != Grip::None || !(title.width() > 0) || !(title.height() > 0))
        return onTitle;
    const QRectF list(title.left(), title.bottom(), title.width(), bottom - title.bottom());
    const Grip onList = HitTest(list, point, band);
    if (hasLeft(onList))
        return Grip::Left;
    if (hasRight(onList))
        return Grip::Right;
    return onList == Grip::None ? Grip::None : Grip::Body;
}

QRectF DragRect(const QRectF &start, Grip grip, const QPointF &delta, const DragLimits &limits)
{
    const QRectF &bounds = limits.bounds;
    const double minimum = limits.minimumSize;
    if (grip == Grip::None)
        return start;
    if (grip == Grip::Body) {
        const double left
            = clampStart(start.left() + delta.x(), start.width(), bounds.left(), bounds.right());
        const double top = clampStart(start.top() + delta.y(), start.height(), bounds.top(), bounds.bottom());
        return QRectF(left, top, start.width(), start.height());
    }
    double left = start.left();
    double top = start.top();
    double right = start.right();
    double bottom = start.bottom();
    // A moved edge stops at the screen's edge, then at the minimum size: a
    // frame too small to grip would be lost.
    if (hasLeft(grip))
        left = std::min(std::max(start.left() + delta.x(), bounds.left()), right - minimum);
    if (hasRight(grip))
        right = std::max(std::min(start.right() + delta.x(), bounds.right()), left + minimum);
    if (hasTop(grip))
        top = std::min(std::max(start.top() + delta.y(), bounds.top()), bottom - minimum);
    if (hasBottom(grip))
        bottom = std::max(std::min(start.bottom() + delta.y(), bounds.bottom()), top + minimum);
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QRectF FitScreenRect(const QSizeF &screen, int lines, double digitHeight, const QRectF &keepClear)
{
    const int n = std::max(1, lines);
    // The number is printed with lines 20 twips closer than the font's
    // height, in a label 20 twips shorter than the frame.
    const double pitch = std::max(1.0, digitHeight - 20);
    const double block = pitch * n + 20;
    const double margin = pitch / 3;
    const QSizeF pixels(screen.width() / TwipsPerPixel, screen.height() / TwipsPerPixel);
    const StageLayout layout = BuiltInStageLayout(pixels);
    QRectF frame = layout.frame;
    const double lowest = (pixels.height() - layout.edge) * TwipsPerPixel;
    // Whole units: the layout dialog shows them, and the operator reads them.
    frame.setHeight(std::round(std::min(lowest - frame.top(), block + 20 + 2 * margin)));
    if (!keepClear.isEmpty() && frame.intersects(keepClear)) {
        constexpr double Gap = 300; // twips, 20 pixels
        QRectF beside = frame;
        if (keepClear.center().x() >= frame.center().x())
            beside.setRight(keepClear.left() - Gap);
        else
            beside.setLeft(keepClear.right() + Gap);
        if (beside.width() >= frame.width() / 2) {
            frame = beside;
        } else {
            frame.moveTop(keepClear.bottom() + Gap);
            frame.setHeight(std::max(750.0, std::min(frame.height(), lowest - frame.top())));
        }
    }
    return QRectF(std::round(frame.left()), std::round(frame.top()), std::round(frame.width()),
        std::round(frame.height()));
}

} // namespace tombolix::appearance
