#pragma once

#include "common/conventions.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <cmath>

// What the draw screen's parts share: the units it converts between and the
// built-in colours and sizes of its texts.
namespace tombolix::stage {

constexpr double Twips = TwipsPerPixel;

inline QRect toPixels(const QRectF &twips)
{
    const int x1 = int(std::lround(twips.left() / Twips));
    const int y1 = int(std::lround(twips.top() / Twips));
    const int x2 = int(std::lround(twips.right() / Twips));
    const int y2 = int(std::lround(twips.bottom() / Twips));
    return QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1));
}

inline QRectF toTwips(const QRect &pixels)
{
    return QRectF(pixels.x() * Twips, pixels.y() * Twips, pixels.width() * Twips, pixels.height() * Twips);
}

inline QSizeF toTwips(const QSize &pixels)
{
    return QSizeF(pixels.width() * Twips, pixels.height() * Twips);
}

inline const QColor NumberColour(255, 215, 0);
inline const QColor TitleColour(255, 215, 0);
inline const QColor ListColour(255, 255, 255);
inline const QColor EmptyBackground(48, 4, 12);
inline const QColor BannerColour(255, 215, 0);
constexpr double BannerPixels = 46; // at 768 pixels high

// Built-in font sizes in pixels on a screen 768 pixels high. The number's
// digits fill half the built-in frame's height, so a hall reads them from the
// back with room around them.
constexpr int TitlePixels = 42;
constexpr int ListPixels = 26;
constexpr int NumberPixels = 104;
// In columns, a full board's list steps down to no less than this (28 pixels
// at 1080), still read from the back of a hall.
constexpr int SmallestListPixels = 20;
// A round's lines in the frame are printed no smaller (34 pixels at 1080);
// more than fit at this size are shown in pages.
constexpr int SmallestNumberPixels = 24;
constexpr int CommandPixels = 16;

inline QFont pixelFont(const QFont &base, int pixels, bool bold)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace tombolix::stage
