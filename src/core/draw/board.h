#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <functional>
#include <optional>

// The announcement board: the list of winners built from the results table,
// and the placement of the board and the command labels on the draw screen.
namespace tombolix::draw {

// One line of the board's text, as the board's fitting sees it.
struct BoardLine
{
    QString text; // without its line end
    int group = 0; // the heading it is listed under, counted from 0 down the text
    // The newest result the line stands for (its ID; a heading's, the newest
    // of its award's), so the oldest lines are the first to go when the
    // board is short of room.
    qint64 age = 0;
    bool heading = false;
};

struct BoardText
{
    QString text; // lines ending in CR LF
    QList<BoardLine> lines; // the same lines, one by one
    std::optional<QString> title; // the new title, when any result was listed
    bool ok = false; // the results could be read
};

// The draw setting (抽奖设置表) naming the attribute the board shows beside
// each winner's name; none when empty.
inline const QString BoardAttributeKey = QStringLiteral("BoardAttribute");

// A winner's value of the attribute the board shows, by number and name.
using AttributeOf = std::function<QString(const QString &number, const QString &name)>;

// The winners of the draw grouped by award in the order of 顺序 (reversed when
// not ascending), each under a heading of the award's name and prize
// ("三等奖 · 小米手环9"), each line indented by five blanks, the number brought
// to the fixed length and masked. With onlyCurrent, just the given award.
// With attributeOf a line names the winner's attribute after the name
// ("1234 张三（销售部）").
BoardText WinnersText(qint64 drawId, qint64 awardId, bool ascending, bool onlyCurrent, qint64 fixLength,
    const QString &mask, const AttributeOf &attributeOf = {});

// The lines of a text that was not built by WinnersText: each its own group,
// later lines newer.
QList<BoardLine> BoardLinesOfText(const QString &text);

// The board area within the background picture's size (twips).
QRectF PlaceBoardArea(const QSizeF &image);

// Where ResultBrd puts the board and the command labels, all in twips.
struct BoardInput
{
    QSizeF image; // the background picture's size
    QRectF area; // the board area
    QSizeF titleSize; // the title label's own size
    QSizeF endSize;
    QSizeF startSize;
    // The stored board rectangle, as text; an empty left means none is stored.
    QString left, top, width, height;
    bool hidden = false;
};

struct BoardPlacement
{
    QRectF title;
    QRectF list;
    QRectF end;
    QRectF start;
    double undoTop = 0;
    bool boardVisible = true;
};

BoardPlacement ResultBrd(const BoardInput &input);

// The board of the built-in look, while no rectangle is stored: the title
// centred at the top of the board's column, the list right below it as wide
// as the column and down to its foot; 结束抽奖 ends at `commandsEnd`, with
// 开始抽奖 to its left. All in twips.
BoardPlacement BuiltInBoardPlacement(
    const QRectF &column, const BoardInput &input, const QPointF &commandsEnd);

} // namespace tombolix::draw
