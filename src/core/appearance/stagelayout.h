#pragma once

#include <QRectF>
#include <QSizeF>

// The stage's built-in look, set as for a hall and used for what a draw has
// not stored: the number frame and the award's banner centred over the left
// part of the screen, the board in a column of its own on the right with its
// title over its list, the operator's controls at the foot of that column.
// Nothing reaches into the corners or along the edges, where the built-in
// picture has its ornaments (gold fret corners and a double rule, drawn for
// 1920 x 1080 and scaled to cover the screen).
namespace tombolix::appearance {

struct StageLayout
{
    QRectF frame; // the number frame for one line, in twips
    QRectF stage; // the part the banner and the frame are centred over, in pixels
    QRectF board; // the board's column, in pixels
    double commandsRight = 0; // the operator's controls end here (pixels)
    double commandsBottom = 0;
    double edge = 0; // kept clear along every edge (pixels)
};

// The layout on a screen of this size in pixels.
StageLayout BuiltInStageLayout(const QSizeF &screen);

// The built-in frame grown for `lines` printed lines, each `pitch` twips
// below the last, no lower than the screen's bottom edge allows (twips).
QRectF BuiltInFrameFor(const QSizeF &screen, qsizetype lines, double pitch);

} // namespace tombolix::appearance
