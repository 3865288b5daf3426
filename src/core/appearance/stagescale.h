#pragma once

#include <QSizeF>

// The built-in layout of the draw screen and its built-in fonts were drawn for
// a 1024 x 768 screen. While a draw has stored nothing of its own, they keep
// their proportions on any screen: positions and widths follow the width,
// heights and font sizes the height.
namespace tombolix::appearance {

struct StageScale
{
    double x = 1;
    double y = 1;
};

inline StageScale StageScaleFor(const QSizeF &screen)
{
    if (screen.width() <= 0 || screen.height() <= 0)
        return {};
    return { screen.width() / 1024.0, screen.height() / 768.0 };
}

} // namespace tombolix::appearance
