#include "appearance/stagelayout.h"

#include "common/conventions.h"

#include <algorithm>
#include <cmath>

namespace tombolix::appearance {

namespace {

// The built-in picture, 16:9, and where its ornaments lie, as fractions of
// it: the fret corners reach 13.5% of its width and 23% of its height in,
// its double rule runs close to the edges.
constexpr double PictureAspect = 16.0 / 9.0;
constexpr double CornerWidth = 0.135;
constexpr double RuleX = 0.03;
constexpr double RuleY = 0.05;
// Fractions of the screen.
constexpr double Top = 0.24; // the frame and the board's title
constexpr double BoardLeft = 0.625;
constexpr double Gap = 0.03; // between the stage's part and the board's column
constexpr double FrameShare = 0.9; // of the stage's part
constexpr double FrameHeight = 0.2; // for one line

double whole(double twips)
{
    return std::round(twips);
}

} // namespace

StageLayout BuiltInStageLayout(const QSizeF &screen)
{
    const double w = std::max(1.0, screen.width());
    const double h = std::max(1.0, screen.height());
    // The picture covers the screen: on a screen narrower than 16:9 its
    // sides, and the ornaments on them, are cut off.
    const double pictureWidth = std::max(w, h * PictureAspect);
    const double pictureHeight = pictureWidth / PictureAspect;
    const double cropX = (pictureWidth - w) / 2;
    const double cropY = (pictureHeight - h) / 2;
    const double least = 0.02 * std::min(w, h);
    const double corner
        = std::max({ least, RuleX * pictureWidth - cropX, CornerWidth * pictureWidth - cropX });
    StageLayout layout;
    layout.edge = std::max(least, RuleY * pictureHeight - cropY);
    const double right = w - corner;
    layout.board = QRectF(QPointF(w * BoardLeft, h * Top), QPointF(right, h - layout.edge));
    layout.stage = QRectF(QPointF(corner, layout.edge), QPointF(w * (BoardLeft - Gap), h - layout.edge));
    const double frameWidth = layout.stage.width() * FrameShare;
    const double frameLeft = layout.stage.center().x() - frameWidth / 2;
    // Whole twips, as the layout dialog shows them.
    layout.frame = QRectF(whole(frameLeft * TwipsPerPixel), whole(h * Top * TwipsPerPixel),
        whole(frameWidth * TwipsPerPixel), whole(h * FrameHeight * TwipsPerPixel));
    layout.commandsRight = right;
    layout.commandsBottom = h - layout.edge;
    return layout;
}

QRectF BuiltInFrameFor(const QSizeF &screen, qsizetype lines, double pitch)
{
    QRectF frame = BuiltInStageLayout(screen).frame;
    const double lowest = (screen.height() - BuiltInStageLayout(screen).edge) * TwipsPerPixel;
    const double grown = frame.height() + std::max(0.0, pitch) * double(std::max<qsizetype>(0, lines - 1));
    frame.setHeight(whole(std::max(frame.height(), std::min(grown, lowest - frame.top()))));
    return frame;
}

} // namespace tombolix::appearance
