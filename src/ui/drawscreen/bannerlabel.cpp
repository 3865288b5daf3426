#include "drawscreen/bannerlabel.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace tombolix {

namespace {

// One pass of a box blur over an 8-bit alpha image, along its rows or its
// columns: a running sum, so the cost does not grow with the radius.
void blurPass(QImage &alpha, int radius, bool alongRows)
{
    const int length = alongRows ? alpha.width() : alpha.height();
    const int lines = alongRows ? alpha.height() : alpha.width();
    const qsizetype stride = alpha.bytesPerLine();
    const int window = 2 * radius + 1;
    std::vector<uchar> source(size_t(length), 0);
    uchar *bits = alpha.bits();
    for (int l = 0; l < lines; ++l) {
        uchar *first = alongRows ? bits + l * stride : bits + l;
        const qsizetype step = alongRows ? 1 : stride;
        for (int k = 0; k < length; ++k)
            source[size_t(k)] = first[k * step];
        int sum = 0;
        for (int k = 0; k <= radius && k < length; ++k)
            sum += source[size_t(k)];
        for (int k = 0; k < length; ++k) {
            first[k * step] = uchar(sum / window);
            const int in = k + radius + 1;
            const int out = k - radius;
            sum += (in < length ? source[size_t(in)] : 0) - (out >= 0 ? source[size_t(out)] : 0);
        }
    }
}

// A soft shadow of an image's opaque parts: its alpha, blurred twice both ways.
QImage softShadow(const QImage &image, int radius)
{
    QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
    for (int pass = 0; pass < 2; ++pass) {
        blurPass(alpha, radius, true);
        blurPass(alpha, radius, false);
    }
    // Thin strokes blur to almost nothing; the shadow is made denser again.
    for (int y = 0; y < alpha.height(); ++y) {
        uchar *line = alpha.scanLine(y);
        for (int x = 0; x < alpha.width(); ++x)
            line[x] = uchar(std::min(255, line[x] * 5 / 2));
    }
    return alpha;
}

} // namespace

void BannerLabel::setShownLines(const QString &lines)
{
    if (lines == m_lines)
        return;
    m_lines = lines;
    update();
}

void BannerLabel::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    const QColor colour = palette().color(QPalette::WindowText);
    const qreal ratio = devicePixelRatioF();
    const QString &shown = m_lines.isEmpty() ? text() : m_lines;
    if (m_rendered.isNull() || m_rendered.size() != size() * ratio || m_renderedText != shown
        || m_renderedFont != font() || m_renderedColour != colour)
        render();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_rendered);
}

void BannerLabel::render()
{
    const QColor colour = palette().color(QPalette::WindowText);
    const qreal ratio = devicePixelRatioF();
    m_renderedText = m_lines.isEmpty() ? text() : m_lines;
    m_renderedFont = font();
    m_renderedColour = colour;
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    if (!m_renderedText.isEmpty() && !size().isEmpty()) {
        QImage glyphs = image;
        {
            QPainter painter(&glyphs);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.setFont(font());
            painter.setPen(colour);
            const int flags = int(alignment()) | (wordWrap() ? int(Qt::TextWordWrap) : 0);
            painter.drawText(rect(), flags, m_renderedText);
        }
        const int spread = std::max(2, int(QFontMetrics(font()).height() * ratio / 20));
        QImage shadow = softShadow(glyphs, spread);
        shadow.setDevicePixelRatio(ratio);
        QPainter painter(&image);
        // The shadow falls a little below and to the right, dark enough to
        // set gold apart from a light picture.
        painter.setPen(Qt::NoPen);
        QImage tinted(shadow.size(), QImage::Format_ARGB32_Premultiplied);
        tinted.setDevicePixelRatio(ratio);
        tinted.fill(QColor(0, 0, 0, 220));
        {
            QPainter mask(&tinted);
            mask.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            mask.drawImage(0, 0, shadow);
        }
        const qreal offset = spread / ratio / 2;
        painter.drawImage(QPointF(offset, offset), tinted);
        painter.drawImage(0, 0, glyphs);
    }
    m_rendered = QPixmap::fromImage(image);
}

} // namespace tombolix
