#include "drawscreen/bannerlabel.h"

#include <QPainter>
#include <algorithm>

namespace tombolix {

void BannerLabel::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    const QColor colour = palette().color(QPalette::WindowText);
    const qreal ratio = devicePixelRatioF();
    if (m_rendered.isNull() || m_rendered.size() != size() * ratio || m_renderedText != text()
        || m_renderedFont != font() || m_renderedColour != colour)
        render();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_rendered);
}

void BannerLabel::render()
{
    const QColor colour = palette().color(QPalette::WindowText);
    const qreal ratio = devicePixelRatioF();
    m_rendered = QPixmap(size() * ratio);
    m_rendered.setDevicePixelRatio(ratio);
    m_rendered.fill(Qt::transparent);
    m_renderedText = text();
    m_renderedFont = font();
    m_renderedColour = colour;
    if (m_renderedText.isEmpty() || size().isEmpty())
        return;

    QPainter painter(&m_rendered);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font());
    const int flags = int(alignment()) | (wordWrap() ? int(Qt::TextWordWrap) : 0);
    // The shadow: the text stamped around a point below and to the right,
    // faint each time, dense in the middle and fading outwards.
    const int spread = std::max(2, QFontMetrics(font()).height() / 16);
    const QRect area = rect();
    painter.setPen(QColor(0, 0, 0, 22));
    for (int dy = -spread; dy <= spread; ++dy) {
        for (int dx = -spread; dx <= spread; ++dx) {
            if (dx * dx + dy * dy <= spread * spread)
                painter.drawText(area.translated(dx + spread / 2, dy + spread / 2), flags, m_renderedText);
        }
    }
    painter.setPen(colour);
    painter.drawText(area, flags, m_renderedText);
}

} // namespace tombolix
