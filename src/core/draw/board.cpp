#include "draw/board.h"

#include "common/conventions.h"
#include "data/database.h"
#include "draw/displayrules.h"

namespace tombolix::draw {

namespace {
const QString CrLf = QStringLiteral("\r\n");
}

BoardText WinnersText(qint64 drawId, qint64 awardId, bool ascending, bool onlyCurrent, qint64 fixLength,
                      const QString &mask)
{
    QString sql = QStringLiteral("SELECT 结果表.*,奖项表.名称 AS 名称,奖项表.奖品 AS 奖品,奖项表.显示 AS 显示,"
                                 "奖项表.顺序 AS 顺序 FROM 结果表,奖项表 WHERE 结果表.CID=")
        + QString::number(drawId) + QStringLiteral(" AND 结果表.WID=奖项表.ID");
    if (onlyCurrent)
        sql += QStringLiteral(" AND 结果表.WID=") + QString::number(awardId);
    sql += QStringLiteral("  ORDER BY 奖项表.顺序");
    if (!ascending)
        sql += QStringLiteral(" DESC");
    sql += QStringLiteral(",结果表.ID");
    if (!ascending)
        sql += QStringLiteral(" DESC");

    BoardText board;
    data::Recordset rs = data::OpenRecordset(sql);
    board.ok = rs.isOpen();
    bool first = true;
    qint64 lastOrder = -1;
    for (; !rs.eof(); rs.moveNext()) {
        const qint64 order = integerValue(rs.field(QStringLiteral("顺序")));
        if (first || order != lastOrder) {
            first = false;
            lastOrder = order;
            const QString name = textOf(rs.field(QStringLiteral("名称")));
            const QString prize = textOf(rs.field(QStringLiteral("奖品")));
            if (onlyCurrent) {
                board.title = name + QStringLiteral("获奖名单");
                board.text += name + QStringLiteral("(奖品：") + prize + QStringLiteral(")") + CrLf;
            } else {
                board.title = QStringLiteral("获奖名单");
                board.text += name + prize + CrLf;
            }
        }
        if (flagFromColumn(rs.field(QStringLiteral("显示")))) {
            board.text += QStringLiteral("     ")
                + DisplayText(textOf(rs.field(QStringLiteral("号码"))), fixLength, mask);
            const QString winner = textOf(rs.field(QStringLiteral("姓名")));
            if (!winner.isEmpty())
                board.text += QLatin1Char('(') + winner + QLatin1Char(')');
            board.text += CrLf;
        }
    }
    return board;
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
    out.end = QRectF(in.image.width() - in.endSize.width() - 100, in.image.height() - in.endSize.height() - 80,
                     in.endSize.width(), in.endSize.height());
    out.start = QRectF(in.image.width() - in.startSize.width() - 140 - in.endSize.width(),
                       in.image.height() - in.startSize.height() - 80, in.startSize.width(), in.startSize.height());
    out.boardVisible = !in.hidden;
    out.undoTop = out.start.top();
    if (!in.left.isEmpty()) {
        out.title = QRectF(numericValue(in.left), numericValue(in.top), numericValue(in.width), numericValue(in.height));
        out.list = QRectF(out.title.left(), out.title.top() + out.title.height(), out.title.width(), 50000);
    }
    return out;
}

} // namespace tombolix::draw
