#pragma once

#include "appearance/fontspec.h"
#include "appearance/framelayout.h"
#include "appearance/stagescale.h"

#include <QSizeF>

// The number on the stage: the built-in frame and fonts at the size of the
// screen, and the size a round's lines are printed at so that they stay in
// their frame.
namespace tombolix::appearance {

// A built-in font's pixel size (drawn for a 768-pixel-high screen) on a
// screen this much higher or lower; never below one pixel.
int ScaledFontPixels(int pixelsAt768, const StageScale &scale);

// Whether a stored frame record holds a layout (seven fields); without one
// the draw uses the built-in frame.
bool IsFrameRecord(const QString &record);
bool DrawHasFrameLayout(qint64 drawId);
// The draw's stored font of an element applied over `spec`; false, and
// `spec` unchanged, when the draw keeps none of its own.
bool ApplyStoredElementFont(qint64 drawId, const QString &column, FontSpec &spec);

// What the printed lines measure in one font, in twips: the line height
// PrintFrameText works with, the ascent, the ink above and below the
// baseline over all lines, and the advance of the widest line.
struct NumberInk
{
    double lineHeight = 0;
    double ascent = 0;
    double inkAbove = 0;
    double inkBelow = 0;
    double widestLine = 0;
};

// The factor (at most 1) by which the font must shrink so that `lines`
// lines, printed as PrintFrameText prints them (block centred, lines
// 20 twips closer than the line height), keep their ink inside the label's
// box, and the widest line within its width. Metrics are taken to shrink in
// proportion to the font; 1 when the lines fit as they are.
double NumberFitScale(const QSizeF &label, qsizetype lines, const NumberInk &ink);

} // namespace tombolix::appearance
