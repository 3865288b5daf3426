#pragma once

#include "draw/board.h"

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <functional>

// Fitting the board's lines into the room the screen leaves them: when they
// are too many, the oldest winners give way and the newest stay in sight,
// each under the heading of its award.
namespace tombolix::draw {

struct BoardFitRequest
{
    QSizeF area; // the room for the lines, from its top left corner
    double lineHeight = 0;
    // Flow the lines into columns side by side, each as wide as the widest
    // line shown, with this gap between them.
    bool columns = false;
    double columnGap = 0;
    // In columns mode, the most columns in the area itself; 0: as many as fit.
    int areaColumns = 0;
    // The width a line takes, by its index; asked in columns mode only.
    std::function<double(qsizetype)> lineWidth;
    // In columns mode, free room to the left of the area (in the area's
    // coordinates, so further left than 0): when the area's own columns are
    // full, more columns go there, the nearest first. The lines still read
    // from the leftmost column used to the rightmost.
    QRectF spare;
};

struct PlacedLine
{
    qsizetype line = 0; // its index in the board's lines
    int column = 0; // counted from the leftmost column used
    int row = 0;
    QRectF rect; // within the area or the spare room; never beyond them
};

struct BoardFit
{
    QList<PlacedLine> placed; // in the order of the text
    int columns = 0; // the columns used
    double columnWidth = 0;
    qsizetype dropped = 0; // winner lines (and bare headings) left out, oldest first
    // The winners left out. They are never left out in silence: a line
    // after the last one shown says how many ("… 另有N名获奖者").
    qsizetype droppedWinners = 0;
    QRectF note; // where that line goes; empty when nobody is left out
};

// The line that stands for the winners a full board leaves out.
QString DroppedWinnersNote(qsizetype count);

// Which lines are shown and where. The oldest winners are left out first,
// whatever their place in the text; a heading stays while any line of its
// award is shown. In columns mode a heading is never the last line of a
// column when its award's lines follow it.
BoardFit FitBoard(const QList<BoardLine> &lines, const BoardFitRequest &request);

} // namespace tombolix::draw
