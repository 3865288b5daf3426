#include "drawscreen/boardlist.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <cmath>

namespace tombolix {

BoardList::BoardList(QWidget *parent)
    : ClickLabel(parent)
{ }

void BoardList::setBoard(const QString &text, const QList<draw::BoardLine> &lines)
{
    m_lines = lines;
    m_linesText = text;
    m_widths.clear();
    setText(text);
    refit();
}

void BoardList::setBackdrop(QWidget *backdrop)
{
    m_backdrop = backdrop;
}

void BoardList::setColumns(bool on)
{
    if (m_columns == on)
        return;
    m_columns = on;
    refit();
}

void BoardList::setOverflow(bool on)
{
    if (m_overflow == on)
        return;
    m_overflow = on;
    refit();
}

bool BoardList::flowing() const
{
    return m_columns || (m_overflow && !m_spare.isEmpty());
}

void BoardList::setRoom(const QRect &room)
{
    m_room = room;
    refit();
}

void BoardList::setSpare(const QRect &spare)
{
    if (m_spare == spare)
        return;
    m_spare = spare;
    refit();
}

void BoardList::setSmallestPixelSize(int pixels)
{
    if (m_smallestPixels == pixels)
        return;
    m_smallestPixels = pixels;
    refit();
}

void BoardList::setCentred(bool on)
{
    if (m_centred == on)
        return;
    m_centred = on;
    refit();
}

void BoardList::setHeadingColour(const QColor &colour)
{
    if (m_headingColour == colour)
        return;
    m_headingColour = colour;
    update();
}

QFont BoardList::headingFont(const draw::PlacedLine &placed) const
{
    QFont font = m_paintFont;
    font.setBold(true);
    const QString &text = m_lines.value(placed.line).text;
    const double room = lineRect(placed).width();
    const double wide = QFontMetricsF(font).horizontalAdvance(text);
    const int pixels = QFontInfo(font).pixelSize();
    if (wide > room && room > 0 && pixels > 1)
        font.setPixelSize(std::max(1, int(std::floor(pixels * room / wide))));
    return font;
}

QFont BoardList::winnerFont(const draw::PlacedLine &placed) const
{
    QFont font = m_paintFont;
    const double room = lineRect(placed).width();
    const double wide = QFontMetricsF(font).horizontalAdvance(m_lines.value(placed.line).text);
    const int pixels = QFontInfo(font).pixelSize();
    if (wide > room && room > 0 && pixels > 1) {
        const int smallest = std::max(1, pixels * 3 / 4);
        font.setPixelSize(std::max(smallest, int(std::floor(pixels * room / wide))));
    }
    return font;
}

QString BoardList::lineText(const draw::PlacedLine &placed) const
{
    return m_lines.value(placed.line).text;
}

QRectF BoardList::lineRect(const draw::PlacedLine &placed) const
{
    return placed.rect.translated(m_origin);
}

QStringList BoardList::shownLines() const
{
    QStringList lines;
    for (const draw::PlacedLine &placed : m_fit.placed)
        lines << lineText(placed);
    return lines;
}

QString BoardList::noteText() const
{
    return m_fit.droppedWinners > 0 ? draw::DroppedWinnersNote(m_fit.droppedWinners) : QString();
}

QRectF BoardList::noteRect() const
{
    return m_fit.note.isEmpty() ? QRectF() : m_fit.note.translated(m_origin);
}

void BoardList::takeTextAsLines()
{
    if (m_linesText == text())
        return;
    m_linesText = text();
    m_lines = draw::BoardLinesOfText(m_linesText);
    m_widths.clear();
    refit();
}

double BoardList::measured(const QString &text)
{
    auto known = m_measured.constFind(text);
    if (known == m_measured.constEnd())
        known = m_measured.insert(text, QFontMetricsF(font()).horizontalAdvance(text));
    return *known;
}

// The fit in a font `scale` times the list's own: widths measured once in
// the list's font and scaled, with a little to spare for hinting.
draw::BoardFit BoardList::fitIn(const QRect &area, const QFont &font, double scale)
{
    const QFontMetricsF metrics(font);
    draw::BoardFitRequest request;
    request.area = area.size();
    request.lineHeight = metrics.lineSpacing();
    request.columns = flowing();
    request.areaColumns = m_columns ? 0 : 1;
    // About one character of the font between two columns.
    request.columnGap = metrics.height();
    if (request.columns) {
        if (m_widths.size() != size_t(m_lines.size())) {
            if (m_measured.size() > 4 * m_lines.size() + 64)
                m_measured.clear(); // lines withdrawn or of another draw
            m_widths.resize(size_t(m_lines.size()));
            for (qsizetype i = 0; i < m_lines.size(); ++i)
                m_widths[size_t(i)] = measured(m_lines[i].text);
        }
        const double slack = scale < 1 ? 1.03 : 1.0;
        request.lineWidth
            = [this, scale, slack](qsizetype line) { return m_widths[size_t(line)] * scale * slack; };
        if (!m_spare.isEmpty())
            request.spare = QRectF(m_spare.translated(-pos()).translated(-area.topLeft()));
    }
    return draw::FitBoard(m_lines, request);
}

void BoardList::refit()
{
    QRect area = rect();
    if (m_room)
        area = m_room->translated(-pos()).intersected(area);
    m_origin = area.topLeft();
    m_paintFont = font();
    m_fit = fitIn(area, m_paintFont, 1.0);

    // In columns the font gives way before any winner does, down to a size
    // still read from the back of the hall.
    const int pixels = QFontInfo(font()).pixelSize();
    if (flowing() && m_fit.droppedWinners > 0 && m_smallestPixels > 0 && pixels > m_smallestPixels) {
        int low = m_smallestPixels;
        int high = pixels - 1;
        int best = 0;
        draw::BoardFit bestFit;
        while (low <= high) {
            const int middle = (low + high) / 2;
            QFont smaller = font();
            smaller.setPixelSize(middle);
            draw::BoardFit fit = fitIn(area, smaller, double(middle) / pixels);
            if (fit.droppedWinners == 0) {
                best = middle;
                bestFit = std::move(fit);
                low = middle + 1;
            } else {
                high = middle - 1;
            }
        }
        m_paintFont.setPixelSize(best > 0 ? best : m_smallestPixels);
        m_fit = best > 0 ? std::move(bestFit) : fitIn(area, m_paintFont, double(m_smallestPixels) / pixels);
    }

    // Centred under the title while the lines keep to their own room.
    bool spareUsed = false;
    double right = 0;
    for (const draw::PlacedLine &placed : std::as_const(m_fit.placed)) {
        spareUsed = spareUsed || placed.rect.left() < 0;
        double width = placed.rect.width();
        if (!flowing())
            width = std::min(width, QFontMetricsF(m_paintFont).horizontalAdvance(m_lines[placed.line].text));
        right = std::max(right, placed.rect.left() + width);
    }
    if (m_centred && !spareUsed && right > 0 && right < area.width()) {
        for (draw::PlacedLine &placed : m_fit.placed)
            placed.rect.setRight(std::min(placed.rect.right(), right));
        if (!m_fit.note.isEmpty())
            m_fit.note.setRight(std::min(m_fit.note.right(), right));
        m_origin.rx() += std::floor((area.width() - right) / 2);
    }

    QRegion painted;
    for (const draw::PlacedLine &placed : std::as_const(m_fit.placed))
        painted += lineRect(placed).toAlignedRect();
    if (!m_fit.note.isEmpty())
        painted += noteRect().toAlignedRect();
    // Spread over free room, the list lets presses through where it paints
    // nothing outside its own room: to the number frame beside its columns.
    if (flowing() && !m_spare.isEmpty())
        setMask(painted + area);
    else if (!mask().isEmpty())
        clearMask();
    // What the last paint inked is painted over by what lies beneath: a mask
    // that shrinks, or lines that move, must not leave their old pixels.
    // Updating the parent is not enough on X: the opaque picture beneath
    // keeps its pixels there unless asked itself.
    const QRegion inked = painted.translated(pos());
    if (m_backdrop && isVisible())
        m_backdrop->update((m_inked + inked).translated(-m_backdrop->pos()));
    m_inked = inked;
    update();
}

void BoardList::paintEvent(QPaintEvent *)
{
    takeTextAsLines();
    QPainter painter(this);
    painter.setFont(m_paintFont);
    const QColor lineColour = palette().color(foregroundRole());
    const QColor headingColour = m_headingColour.isValid() ? m_headingColour : lineColour;
    for (const draw::PlacedLine &placed : std::as_const(m_fit.placed)) {
        const QRect rect = lineRect(placed).toAlignedRect();
        const draw::BoardLine &line = m_lines[placed.line];
        if (line.heading) {
            painter.setFont(headingFont(placed));
            painter.setPen(headingColour);
            painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, line.text);
            painter.setFont(m_paintFont);
            continue;
        }
        // Each line is cut at its column's edge rather than run into the next.
        const QFont font = winnerFont(placed);
        const bool smaller = font.pixelSize() != m_paintFont.pixelSize();
        painter.setFont(font);
        style()->drawItemText(&painter, rect, Qt::AlignLeft | (smaller ? Qt::AlignVCenter : Qt::AlignTop),
            palette(), isEnabled(), line.text, foregroundRole());
        painter.setFont(m_paintFont);
    }
    if (!m_fit.note.isEmpty()) {
        style()->drawItemText(&painter, noteRect().toAlignedRect(), Qt::AlignLeft | Qt::AlignTop, palette(),
            isEnabled(), noteText(), foregroundRole());
    }
}

void BoardList::resizeEvent(QResizeEvent *event)
{
    ClickLabel::resizeEvent(event);
    refit();
}

void BoardList::moveEvent(QMoveEvent *event)
{
    ClickLabel::moveEvent(event);
    refit();
}

void BoardList::changeEvent(QEvent *event)
{
    ClickLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_widths.clear();
        m_measured.clear();
        refit();
    }
}

} // namespace tombolix
