#include "draw/board.h"

#include "common/conventions.h"
#include "data/resultstore.h"
#include "draw/displayrules.h"

#include <QStringList>
#include <algorithm>

namespace tombolix::draw {

namespace {
const QString CrLf = QStringLiteral("\r\n");
}

namespace {

QString winnerLine(
    const data::BoardRow &row, qint64 fixLength, const QString &mask, const AttributeOf &attributeOf)
{
    QString line = QStringLiteral("     ") + DisplayText(row.number, fixLength, mask);
    if (!attributeOf) {
        if (!row.name.isEmpty())
            line += QLatin1Char('(') + row.name + QLatin1Char(')');
        return line;
    }
    if (!row.name.isEmpty())
        line += QLatin1Char(' ') + row.name;
    const QString attribute = attributeOf(row.number, row.name);
    if (!attribute.isEmpty())
        line += QStringLiteral("（") + attribute + QStringLiteral("）");
    return line;
}

} // namespace

BoardText WinnersText(qint64 drawId, qint64 awardId, bool ascending, bool onlyCurrent, qint64 fixLength,
    const QString &mask, const AttributeOf &attributeOf)
{
    BoardText board;
    const std::optional<qint64> onlyAward = onlyCurrent ? std::optional<qint64>(awardId) : std::nullopt;
    const std::optional<QList<data::BoardRow>> rows
        = data::ResultStore().boardRows(drawId, onlyAward, ascending);
    board.ok = rows.has_value();
    if (!rows)
        return board;
    board.lines.reserve(rows->size() + 16);
    bool first = true;
    qint64 lastOrder = -1;
    int group = -1;
    qsizetype headingLine = 0;
    for (const data::BoardRow &row : *rows) {
        if (first || row.order != lastOrder) {
            first = false;
            lastOrder = row.order;
            QString heading;
            if (onlyCurrent) {
                board.title = row.awardName + QStringLiteral("获奖名单");
                heading = row.awardName + QStringLiteral("(奖品：") + row.prize + QStringLiteral(")");
            } else {
                board.title = QStringLiteral("获奖名单");
                // Award and prize set apart, as the banner shows them.
                heading = row.awardName;
                if (!row.prize.trimmed().isEmpty())
                    heading += QStringLiteral(" · ") + row.prize;
            }
            board.text += heading + CrLf;
            headingLine = board.lines.size();
            board.lines.append({ heading, ++group, row.id, true });
        }
        BoardLine &heading = board.lines[headingLine];
        heading.age = std::max(heading.age, row.id);
        if (row.shown) {
            const QString line = winnerLine(row, fixLength, mask, attributeOf);
            board.text += line + CrLf;
            board.lines.append({ line, group, row.id, false });
        }
    }
    return board;
}

QList<BoardLine> BoardLinesOfText(const QString &text)
{
    QList<BoardLine> lines;
    if (text.isEmpty())
        return lines;
    QStringList parts = text.split(QLatin1Char('\n'));
    if (parts.constLast().isEmpty())
        parts.removeLast();
    for (QString &part : parts) {
        if (part.endsWith(QLatin1Char('\r')))
            part.chop(1);
        const int position = int(lines.size());
        lines.append({ part, position, position, false });
    }
    return lines;
}

QRectF PlaceBoardArea(const QSizeF &image)
{
    const float w = float(image.width());
    const float h = float(image.height());
    return QRectF(w * 4 / 7, h * 2 / 5, w / 3, h * 4 / 7);
}

BoardPlacement ResultBrd(const BoardInput &in)
{
    BoardPlacement out;
    const QRectF &area = in.area;
    out.title = QRectF((area.width() - in.titleSize.width()) / 2 + area.left(), area.top() + 60,
        in.titleSize.width(), in.titleSize.height());
    out.list = QRectF(area.left(), out.title.height() + out.title.top() + 60, area.width(),
        area.height() - out.title.height() - 120);
    out.end = QRectF(in.image.width() - in.endSize.width() - 100,
        in.image.height() - in.endSize.height() - 80, in.endSize.width(), in.endSize.height());
    out.start = QRectF(in.image.width() - in.startSize.width() - 140 - in.endSize.width(),
        in.image.height() - in.startSize.height() - 80, in.startSize.width(), in.startSize.height());
    out.boardVisible = !in.hidden;
    out.undoTop = out.start.top();
    if (!in.left.isEmpty()) {
        out.title = QRectF(
            numericValue(in.left), numericValue(in.top), numericValue(in.width), numericValue(in.height));
        out.list = QRectF(out.title.left(), out.title.top() + out.title.height(), out.title.width(), 50000);
    }
    return out;
}

BoardPlacement BuiltInBoardPlacement(const QRectF &column, const BoardInput &in, const QPointF &commandsEnd)
{
    constexpr double Gap = 180; // twips, 12 pixels
    BoardPlacement out;
    out.title = QRectF(column.left() + (column.width() - in.titleSize.width()) / 2, column.top(),
        in.titleSize.width(), in.titleSize.height());
    const double listTop = out.title.bottom() + 60;
    out.list = QRectF(column.left(), listTop, column.width(), std::max(0.0, column.bottom() - listTop));
    out.end = QRectF(
        QPointF(commandsEnd.x() - in.endSize.width(), commandsEnd.y() - in.endSize.height()), in.endSize);
    out.start = QRectF(
        QPointF(out.end.left() - Gap - in.startSize.width(), commandsEnd.y() - in.startSize.height()),
        in.startSize);
    out.undoTop = out.start.top();
    out.boardVisible = !in.hidden;
    return out;
}

} // namespace tombolix::draw
