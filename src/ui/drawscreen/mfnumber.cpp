#include "appearance/stagelayout.h"
#include "appearance/stagenumber.h"
#include "appearance/stagescale.h"
#include "common/conventions.h"
#include "common/notary.h"
#include "common/prompts.h"
#include "common/qrcode.h"
#include "common/settingsstore.h"
#include "data/drawstore.h"
#include "draw/awardbanner.h"
#include "draw/certificate.h"
#include "draw/displayrules.h"
#include "draw/rollcontrol.h"
#include "draw/stagepace.h"
#include "drawscreen/bannerlabel.h"
#include "drawscreen/boardlist.h"
#include "drawscreen/brdset.h"
#include "drawscreen/controlsfader.h"
#include "drawscreen/delaward.h"
#include "drawscreen/elementfont.h"
#include "drawscreen/frmset.h"
#include "drawscreen/hallnumbers.h"
#include "drawscreen/mf.h"
#include "drawscreen/picture.h"
#include "drawscreen/slidetext.h"
#include "drawscreen/stagefont.h"
#include "drawscreen/stageparts.h"
#include "drawscreen/stagesoundplayer.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVariantAnimation>
#include <cmath>

namespace tombolix {

using appearance::FrameLayout;
using namespace stage;

void MF::applyStop(const draw::StopOutcome &outcome)
{
    m_numberPage = 0;
    setNumberLines(
        outcome.numberText.isEmpty() ? QStringList() : outcome.numberText.split(QStringLiteral("\r\n")));
    m_shownResults = outcome.resultIds;
    showBoard(outcome.board);
    refreshAwardBanner();
    refreshNumberArea();
}

void MF::setNumberLines(const QStringList &lines)
{
    m_numberLines = lines;
    m_number->setText(lines.join(QStringLiteral("\r\n")));
    fitNumberLabel();
}

void MF::fitNumberLabel()
{
    if (m_builtInFrame)
        growBuiltInFrame();
    QSizeF textSize;
    if (m_frame.autoFit()) {
        const QFontMetricsF metrics(m_number->font());
        double width = 0;
        for (const QString &line : m_numberLines)
            width = std::max(width, metrics.horizontalAdvance(line));
        textSize
            = QSizeF(width * Twips, metrics.height() * Twips * std::max<qsizetype>(1, m_numberLines.size()));
        // The frame grows no wider than it is and no lower than the screen's
        // bottom; beyond that the lines are printed smaller.
        textSize.setWidth(std::min(textSize.width(), double(m_frame.Width)));
        if (height() > 0)
            textSize.setHeight(
                std::min(textSize.height(), std::max(0.0, height() * Twips - double(m_frame.Top) - 20)));
    }
    m_numberLabel = appearance::FitNumberLabel(m_frame, textSize);
    m_number->setGeometry(toPixels(m_numberLabel));
    // The number's back colour follows the frame's.
    QPalette palette = m_number->palette();
    palette.setColor(QPalette::Window, colorFromStored(quint32(m_frame.BackColor)));
    m_number->setPalette(palette);
    layOutNumber();
    // A frame grown for a longer round may stand where the board's columns went.
    if ((m_list->columns() || m_builtInBoard) && toPixels(m_frame.rect()) != m_frameAtBoardFit)
        fitBoardList();
}

void MF::growBuiltInFrame()
{
    // The built-in frame holds one line; a round of several gets a line's
    // pitch more for each, so every number keeps the size the room can read.
    // Near the screen's bottom it grows no further, and the lines shrink.
    const double pitch = QFontMetricsF(m_number->font()).height() * Twips - 20;
    m_frame.setRect(appearance::BuiltInFrameFor(QSizeF(size()), m_numberLines.size(), pitch));
}

namespace {

// Measured on ink: a line box is taller than the digits in it, and one line
// at the built-in size fits although its box does not.
appearance::NumberInk numberInk(const QFont &font, const QStringList &lines)
{
    const QFontMetricsF metrics(font);
    appearance::NumberInk ink;
    ink.lineHeight = metrics.height() * Twips;
    ink.ascent = metrics.ascent() * Twips;
    for (const QString &line : lines) {
        const QRectF box = metrics.tightBoundingRect(line);
        ink.inkAbove = std::max(ink.inkAbove, -box.top() * Twips);
        ink.inkBelow = std::max(ink.inkBelow, box.bottom() * Twips);
        ink.widestLine = std::max(ink.widestLine, metrics.horizontalAdvance(line) * Twips);
    }
    return ink;
}

} // namespace

void MF::layOutNumber()
{
    // Shrinking is a paint-time size: the stored number font stays as chosen.
    QFont font = m_number->font();
    // Lines as wide as the frame would touch its rounded sides.
    const QSizeF room(std::min(m_numberLabel.width(), m_frame.Width * 0.94), m_numberLabel.height());
    double scale = 1;
    const QStringList lines = numberPageToPrint(room, font, scale);
    int pixels = QFontInfo(font).pixelSize();
    // Metrics do not shrink quite in proportion; a second look settles it.
    for (int attempt = 0; scale < 1 && pixels > 1 && attempt < 6; ++attempt) {
        pixels = std::max(1, std::min(pixels - 1, int(std::floor(pixels * scale))));
        font.setPixelSize(pixels);
        scale = appearance::NumberFitScale(room, lines.size(), numberInk(font, lines));
    }
    if (!m_pageTimer) {
        // still being built
    } else if (m_numberPages > 1 && !isRolling() && !isLanding()) {
        if (!m_pageTimer->isActive() && draw::CurrentStagePace().pageTurnMs > 0)
            m_pageTimer->start(draw::CurrentStagePace().pageTurnMs);
    } else {
        m_pageTimer->stop();
    }
    printNumber(font, lines);
}

// Lines that would print below the floor go in pages of as many as fit at
// the floor, so that each is read from the back of the hall: the lines of the
// page on show, and the font set to the floor for them. All the lines when
// they fit. The scale the lines want in that font is set too.
QStringList MF::numberPageToPrint(const QSizeF &room, QFont &font, double &scale)
{
    const int pixels = QFontInfo(font).pixelSize();
    scale = appearance::NumberFitScale(room, m_numberLines.size(), numberInk(font, m_numberLines));
    m_numberPages = 1;
    if (scale >= 1 || m_numberLines.size() < 2 || m_numberFloorPixels <= 0
        || pixels * scale >= m_numberFloorPixels) {
        m_numberPage = 0;
        return m_numberLines;
    }
    font.setPixelSize(std::min(pixels, m_numberFloorPixels));
    const appearance::NumberInk ink = numberInk(font, m_numberLines);
    qsizetype low = 1;
    qsizetype high = m_numberLines.size();
    while (low < high) {
        const qsizetype middle = low + (high - low + 1) / 2;
        if (appearance::NumberFitScale(room, middle, ink) >= 1)
            low = middle;
        else
            high = middle - 1;
    }
    const qsizetype perPage = low;
    m_numberPages = int((m_numberLines.size() + perPage - 1) / perPage);
    m_numberPage = std::clamp(m_numberPage, 0, m_numberPages - 1);
    const QStringList page = m_numberLines.mid(qsizetype(m_numberPage) * perPage, perPage);
    scale = appearance::NumberFitScale(room, page.size(), numberInk(font, page));
    return page;
}

void MF::printNumber(const QFont &font, const QStringList &lines)
{
    m_printFont = font;
    const QFontMetricsF metrics(font);
    m_printAscent = metrics.ascent();
    m_printLineHeight = metrics.height();
    m_printedLines = appearance::PrintFrameText(m_numberLabel, lines, metrics.height() * Twips,
        [&metrics](const QString &line) { return metrics.horizontalAdvance(line) * Twips; });
    QRectF area;
    m_printedArea = QRect();
    // A line's box reaches above and below its ink, beyond the frame in a
    // family of tall line spacing; what is painted is the ink and the part
    // of the boxes within the frame.
    const QRectF frame(toPixels(m_frame.rect()));
    for (const appearance::PrintedLine &line : m_printedLines) {
        const QPointF origin(line.left / Twips, line.top / Twips);
        const QRectF box(origin, QSizeF(metrics.horizontalAdvance(line.text), m_printLineHeight));
        const QRectF ink
            = metrics.tightBoundingRect(line.text).translated(origin.x(), origin.y() + m_printAscent);
        area = area.united(box.intersected(frame)).united(ink);
    }
    if (!area.isEmpty())
        m_printedArea = area.toAlignedRect().adjusted(-3, -3, 3, 3); // antialiasing
}

void MF::turnNumberPage()
{
    if (m_numberPages < 2 || isRolling() || isLanding()) {
        m_pageTimer->stop();
        return;
    }
    m_numberPage = (m_numberPage + 1) % m_numberPages;
    layOutNumber();
    refreshNumberArea();
}

QRect MF::numberAreaPixels() const
{
    // The frame and the printed lines; refreshNumberArea adds what was there before.
    return toPixels(m_frame.rect())
        .united(m_printedArea)
        .adjusted(-2, -2, 2, 2)
        .intersected(m_canvas->rect());
}

void MF::refreshNumberArea()
{
    const QRect area = numberAreaPixels();
    m_canvas->update(area.united(m_paintedNumberArea));
    m_paintedNumberArea = area;
}

void MF::paintCanvas(QPainter &painter, const QRect &area) const
{
    if (m_scaledBackground.isNull())
        painter.fillRect(area, EmptyBackground);
    else
        painter.drawPixmap(area, m_scaledBackground, area);

    const QRect frame = toPixels(m_frame.rect());
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_frame.Opaque >= 1 && frame.intersects(area)) {
        const QColor colour = colorFromStored(quint32(m_frame.BackColor));
        painter.setPen(colour);
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(frame), 12.5, 12.5);
    }

    if (m_emphasis->state() == QAbstractAnimation::Running) {
        // Two pulses of a golden edge around the frame.
        const double t = m_emphasis->currentValue().toDouble();
        const double glow = std::pow(std::sin(t * 2 * M_PI), 2);
        const int width = EmphasisWidth();
        QColor gold(255, 215, 64);
        gold.setAlphaF(glow);
        painter.setPen(QPen(gold, width));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(frame).adjusted(-width / 2.0, -width / 2.0, width / 2.0, width / 2.0),
            12.5 + width / 2.0, 12.5 + width / 2.0);
    }
    if (m_numberPages > 1 && frame.intersects(area)) {
        // Which page of how many, at the frame's foot, small beside the lines.
        QFont small = m_printFont;
        small.setPixelSize(std::max(12, QFontInfo(m_printFont).pixelSize() / 2));
        painter.setFont(small);
        painter.setPen(m_number->palette().color(QPalette::WindowText));
        const int pad = std::max(4, frame.height() / 80);
        painter.drawText(frame.adjusted(pad, pad, -3 * pad, -pad), Qt::AlignRight | Qt::AlignBottom,
            QStringLiteral("第%1/%2页 · 共%3名")
                .arg(m_numberPage + 1)
                .arg(m_numberPages)
                .arg(m_numberLines.size()));
    }
    if (!m_printedArea.intersects(area))
        return;
    painter.setFont(m_printFont);
    painter.setPen(m_number->palette().color(QPalette::WindowText));
    for (const appearance::PrintedLine &line : m_printedLines) {
        const double top = line.top / Twips;
        if (top > area.bottom() || top + m_printLineHeight < area.top())
            continue; // only the lines that can be seen are drawn
        painter.drawText(QPointF(line.left / Twips, top + m_printAscent), line.text);
    }
}

void MF::placeBoard()
{
    const QSizeF image = toTwips(m_canvas->size());
    draw::BoardInput input;
    input.image = image;
    input.area = toTwips(m_boardArea->geometry());
    input.titleSize = toTwips(m_title->size());
    input.endSize = toTwips(m_end->size());
    input.startSize = toTwips(m_start->size());
    input.left = ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Left"), QString());
    input.top = ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Top"), QString());
    input.width = ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Width"), QString());
    input.height = ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Height"), QString());
    input.hidden = m_hideBoard;
    draw::BoardPlacement placement = draw::ResultBrd(input);
    // Without a stored rectangle the board stands in the built-in look's column.
    m_builtInBoard = input.left.isEmpty();
    if (m_builtInBoard) {
        const appearance::StageLayout layout = appearance::BuiltInStageLayout(QSizeF(size()));
        placement = draw::BuiltInBoardPlacement(toTwips(layout.board.toAlignedRect()), input,
            QPointF(layout.commandsRight, layout.commandsBottom) * Twips);
    }
    m_list->setCentred(m_builtInBoard);

    m_title->setGeometry(toPixels(placement.title));
    m_list->setGeometry(toPixels(placement.list));
    m_end->move(toPixels(placement.end).topLeft());
    m_start->move(toPixels(placement.start).topLeft());
    m_undo->move(m_start->x() - m_undo->width() - 12, int(std::lround(placement.undoTop / Twips)));
    m_title->setVisible(placement.boardVisible);
    m_list->setVisible(placement.boardVisible);
    m_start->show();
    m_end->show();
    m_undo->show();
    m_start->raise();
    m_end->raise();
    m_undo->raise();
    m_listPlace = m_list->geometry();
    // While the board dialog is open the board stands where its boxes say,
    // typed but not stored yet.
    if (auto *dialog = qobject_cast<BRDSet *>(m_brdSet.data()); dialog && dialog->isVisible()) {
        const QRectF typed = dialog->boxesRect();
        if (!typed.isEmpty())
            placeBoardTitle(typed);
    }
    fitBoardList();
    placeBanner();
    placeNotaryCode();
}

void MF::fitBoardList()
{
    // The list ends above the command labels where they sit below its top,
    // and never below the screen. In columns a list placed by the operator
    // may reach the screen's right edge, and any list may take free room to
    // its left, below whatever stands there, before its font gives way.
    if (m_listPlace.isNull())
        return; // not placed yet: the first resize places and fits it
    constexpr int Margin = 8;
    const appearance::StageLayout layout = appearance::BuiltInStageLayout(QSizeF(size()));
    const int edge = m_builtInBoard ? int(std::lround(layout.edge)) : Margin;
    auto bottomAbove = [this, edge](int left, int right, int top) {
        int bottom = height() - edge;
        for (const QWidget *command : { m_start, m_end, m_undo }) {
            const QRect place = command->geometry();
            if (place.bottom() >= top && place.left() <= right && place.right() >= left)
                bottom = std::min(bottom, place.top() - Margin);
        }
        return bottom;
    };
    QRect list = m_listPlace;
    if (m_list->columns() && !m_builtInBoard)
        list.setRight(std::max(list.right(), width() - Margin - 1));
    const int bottom = bottomAbove(list.left(), list.right(), list.top());
    const QRect room(list.left(), list.top(), list.width(), std::max(0, bottom - list.top()));

    // The built-in board, in one column, goes on under the frame when its
    // column is full, rather than leave that room empty and winners out.
    m_list->setOverflow(m_builtInBoard);
    QRect spare;
    if (m_list->columns() || m_builtInBoard) {
        const int left = m_builtInBoard ? int(std::lround(layout.stage.left())) : Margin;
        const int right = room.left() - Margin;
        int top = room.top();
        QList<QRect> standing { toPixels(m_frame.rect()) };
        if (m_slide->isVisibleTo(this)) // the 公证码 or the next award stands over the frame
            standing << m_slide->geometry();
        for (const QWidget *widget : { static_cast<QWidget *>(m_banner), static_cast<QWidget *>(m_title) }) {
            if (widget->isVisibleTo(this))
                standing << widget->geometry();
        }
        for (const QRect &place : std::as_const(standing)) {
            if (place.right() >= left && place.left() <= right && place.bottom() >= top)
                top = std::max(top, place.bottom() + 2 * Margin);
        }
        const int spareBottom = bottomAbove(left, right, top);
        if (right > left && spareBottom > top)
            spare = QRect(QPoint(left, top), QPoint(right, spareBottom));
    }
    m_frameAtBoardFit = toPixels(m_frame.rect());
    const QRect covered = spare.isEmpty() ? list : list.united(spare);
    if (m_list->geometry() != covered)
        m_list->setGeometry(covered);
    m_list->setSpare(spare);
    m_list->setRoom(room.isEmpty() ? QRect() : room.intersected(rect()));
}

} // namespace tombolix
