#include "drawscreen/boardlist.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

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

void BoardList::setColumns(bool on)
{
    if (m_columns == on)
        return;
    m_columns = on;
    refit();
}

void BoardList::setRoom(const QRect &room)
{
    m_room = room;
    refit();
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

void BoardList::takeTextAsLines()
{
    if (m_linesText == text())
        return;
    m_linesText = text();
    m_lines = draw::BoardLinesOfText(m_linesText);
    m_widths.clear();
    refit();
}

void BoardList::refit()
{
    QRect area = rect();
    if (m_room)
        area = m_room->translated(-pos()).intersected(area);
    m_origin = area.topLeft();
    const QFontMetricsF metrics(font());
    draw::BoardFitRequest request;
    request.area = area.size();
    request.lineHeight = metrics.lineSpacing();
    request.columns = m_columns;
    // About one character of the font between two columns.
    request.columnGap = metrics.height();
    if (m_columns) {
        if (m_widths.size() != size_t(m_lines.size())) {
            if (m_measured.size() > 4 * m_lines.size() + 64)
                m_measured.clear(); // lines withdrawn or of another draw
            m_widths.resize(size_t(m_lines.size()));
            for (qsizetype i = 0; i < m_lines.size(); ++i) {
                const QString &text = m_lines[i].text;
                auto known = m_measured.constFind(text);
                if (known == m_measured.constEnd())
                    known = m_measured.insert(text, metrics.horizontalAdvance(text));
                m_widths[size_t(i)] = *known;
            }
        }
        request.lineWidth = [this](qsizetype line) { return m_widths[size_t(line)]; };
    }
    m_fit = draw::FitBoard(m_lines, request);
    update();
}

void BoardList::paintEvent(QPaintEvent *)
{
    takeTextAsLines();
    QPainter painter(this);
    painter.setFont(font());
    for (const draw::PlacedLine &placed : m_fit.placed) {
        // Each line is cut at its column's edge rather than run into the next.
        style()->drawItemText(&painter, lineRect(placed).toAlignedRect(), Qt::AlignLeft | Qt::AlignTop,
            palette(), isEnabled(), m_lines[placed.line].text, foregroundRole());
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
