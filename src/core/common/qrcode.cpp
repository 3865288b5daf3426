#include "common/qrcode.h"

#include <QPainter>
#include <cmath>
#include <qrencode.h>

namespace tombolix {

namespace {

constexpr int QuietZone = 4;

} // namespace

std::optional<QrCode> MakeQrCode(const QByteArray &text)
{
    QRcode *encoded = QRcode_encodeData(
        int(text.size()), reinterpret_cast<const unsigned char *>(text.constData()), 0, QR_ECLEVEL_M);
    if (!encoded)
        return std::nullopt;
    QrCode code;
    code.size = encoded->width;
    code.dark.resize(size_t(code.size) * size_t(code.size));
    for (size_t i = 0; i < code.dark.size(); ++i)
        code.dark[i] = encoded->data[i] & 1;
    QRcode_free(encoded);
    return code;
}

void PaintQrCode(QPainter &painter, const QRectF &area, const QrCode &code)
{
    // Whole units a module, without smoothing: no seam between two dark
    // modules for a reader to trip over.
    const double module
        = std::max(1.0, std::floor(std::min(area.width(), area.height()) / (code.size + 2 * QuietZone)));
    const double side = module * (code.size + 2 * QuietZone);
    const QPointF origin(area.x() + (area.width() - side) / 2 + QuietZone * module,
        area.y() + (area.height() - side) / 2 + QuietZone * module);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.fillRect(
        QRectF(area.x() + (area.width() - side) / 2, area.y() + (area.height() - side) / 2, side, side),
        Qt::white);
    painter.setBrush(Qt::black);
    for (int y = 0; y < code.size; ++y) {
        for (int x = 0; x < code.size; ++x) {
            if (code.isDark(x, y))
                painter.drawRect(QRectF(origin.x() + x * module, origin.y() + y * module, module, module));
        }
    }
    painter.restore();
}

QImage QrImage(const QrCode &code, int pixels)
{
    // Whole pixels per module, so no module blurs into its neighbour.
    const int modules = code.size + 2 * QuietZone;
    const int module = std::max(1, pixels / modules);
    QImage image(modules * module, modules * module, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < code.size; ++y) {
        for (int x = 0; x < code.size; ++x) {
            if (!code.isDark(x, y))
                continue;
            for (int dy = 0; dy < module; ++dy) {
                auto *line = reinterpret_cast<QRgb *>(image.scanLine((y + QuietZone) * module + dy));
                for (int dx = 0; dx < module; ++dx)
                    line[(x + QuietZone) * module + dx] = qRgb(0, 0, 0);
            }
        }
    }
    return image;
}

} // namespace tombolix
