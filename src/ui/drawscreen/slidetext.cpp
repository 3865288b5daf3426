#include "drawscreen/slidetext.h"

#include <QPainter>

namespace tombolix {

void SlideText::setFirstLineFont(const QFont &font)
{
    m_first = font;
    update();
}

void SlideText::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    QStringList lines = text().split(QLatin1Char('\n'));
    // "公证码 XXXX XXXX …": the word on a line of its own, the code in two
    // halves of large print under it.
    QList<bool> large(lines.size(), false);
    if (!lines.isEmpty()) {
        const QString first = lines.takeFirst();
        const qsizetype word = first.indexOf(QLatin1Char(' '));
        const QString code = word < 0 ? first : first.mid(word + 1);
        const QStringList groups = code.split(QLatin1Char(' '));
        const qsizetype half = (groups.size() + 1) / 2;
        QStringList head;
        if (word >= 0)
            head << first.left(word);
        head << groups.mid(0, half).join(QLatin1Char(' '));
        if (groups.size() > half)
            head << groups.mid(half).join(QLatin1Char(' '));
        for (qsizetype i = head.size() - 1; i >= 0; --i) {
            lines.prepend(head.at(i));
            large.prepend(i > 0 || word < 0);
        }
    }
    double top = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QFont &font = large.value(i) ? m_first : this->font();
        const QFontMetricsF metrics(font);
        painter.setFont(font);
        painter.drawText(QPointF(0, top + metrics.ascent()), lines.at(i));
        top += metrics.lineSpacing() * (large.value(i) ? 1.1 : 1.3);
    }
}

void CardText::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QStringList lines = text().split(QLatin1Char('\n'));
    QFont caption = font();
    caption.setPixelSize(std::max(1, int(QFontInfo(font()).pixelSize() * CaptionShare)));
    auto fontOf = [&](qsizetype line) -> const QFont & { return line == 0 ? caption : font(); };
    double height = 0;
    for (qsizetype i = 0; i < lines.size(); ++i)
        height += QFontMetricsF(fontOf(i)).lineSpacing();
    double top = std::max(0.0, (this->height() - height) / 2);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QFontMetricsF metrics(fontOf(i));
        painter.setFont(fontOf(i));
        const double left = (width() - metrics.horizontalAdvance(lines.at(i))) / 2;
        painter.drawText(QPointF(left, top + metrics.ascent()), lines.at(i));
        top += metrics.lineSpacing();
    }
}

} // namespace tombolix
