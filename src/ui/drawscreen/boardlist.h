#pragma once

#include "draw/boardlayout.h"
#include "drawscreen/mf.h"

#include <QHash>
#include <QPointer>
#include <QRegion>
#include <optional>
#include <vector>

namespace tombolix {

// The board's list. Its text stays the whole list, as the board builds it;
// what it paints is the part that fits the room the screen leaves it, the
// newest winners under their headings, in one column or several. In columns
// the font steps down to a floor before anyone is left out; whoever is left
// out is counted on a line of its own.
class BoardList : public ClickLabel
{
    Q_OBJECT

public:
    explicit BoardList(QWidget *parent = nullptr);

    // The text, and the same lines one by one with their awards and ages. A
    // text set any other way is painted as plain lines, the last newest.
    void setBoard(const QString &text, const QList<draw::BoardLine> &lines);

    // The sibling painted beneath the list (the picture), repainted where
    // lines were or are: a shrinking mask or moving lines leave nothing.
    void setBackdrop(QWidget *backdrop);

    bool columns() const { return m_columns; }
    void setColumns(bool on);

    // One column that, when full, goes on in columns in the spare room
    // (the built-in board, in one column, taking the room under the frame).
    void setOverflow(bool on);

    // Where the lines may go, in the parent's coordinates; the part of it
    // this label covers is used. Until a room is given, the label's own rect.
    void setRoom(const QRect &room);
    QRect room() const { return m_room.value_or(geometry()); }
    // In columns, free room to the left of the room (parent's coordinates),
    // taken when the room's own columns are full.
    void setSpare(const QRect &spare);
    // The smallest pixel size the font steps down to in columns; 0: none.
    void setSmallestPixelSize(int pixels);
    // The lines as a block centred under the title, rather than from the left.
    void setCentred(bool on);
    // The award headings stand apart from the names: bold, in this colour
    // (the board title's), and made smaller rather than cut at their
    // column's edge. Until set, the list's own colour.
    void setHeadingColour(const QColor &colour);

    // What is painted: the lines shown and their places, in this label's
    // coordinates.
    const draw::BoardFit &fit() const { return m_fit; }
    QString lineText(const draw::PlacedLine &placed) const;
    QRectF lineRect(const draw::PlacedLine &placed) const;
    QStringList shownLines() const;
    // "… 另有N名获奖者" and where it is painted; empty while nobody is left out.
    QString noteText() const;
    QRectF noteRect() const;
    // The font the lines are painted in: the list's, or smaller in columns.
    const QFont &paintedFont() const { return m_paintFont; }
    // The font a heading is painted in, within its rect.
    QFont headingFont(const draw::PlacedLine &placed) const;
    // The font a winner's line is painted in: the list's, or a little
    // smaller for a line that would not fit its room (a long name, a
    // department beside it); a line wider still is cut at the room's edge.
    QFont winnerFont(const draw::PlacedLine &placed) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool flowing() const; // lines flow into columns: 公告分栏, or overflow into the spare room
    void takeTextAsLines();
    void refit();
    draw::BoardFit fitIn(const QRect &area, const QFont &font, double scale);
    double measured(const QString &text);

    QList<draw::BoardLine> m_lines;
    QString m_linesText; // the text m_lines stand for
    std::vector<double> m_widths; // of m_lines in the current font; empty until columns need them
    // Widths measured in the current font: a stop adds a few lines to a list
    // of hundreds measured before.
    QHash<QString, double> m_measured;
    bool m_columns = false;
    bool m_centred = false;
    bool m_overflow = false;
    int m_smallestPixels = 0;
    std::optional<QRect> m_room;
    QRect m_spare;
    QPointF m_origin; // the top left corner of the lines' area, in this label
    draw::BoardFit m_fit;
    QFont m_paintFont;
    QPointer<QWidget> m_backdrop;
    QColor m_headingColour;
    QRegion m_inked; // where the lines and the note are painted, in the parent's coordinates
};

} // namespace tombolix
