#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <optional>
#include <vector>

class QPainter;

// QR codes (libqrencode) of what a hall or a finance officer photographs:
// the commitment on the stage and the 承诺单, the record's last hash on the
// certificate.
namespace tombolix {

struct QrCode
{
    int size = 0; // modules on a side
    std::vector<bool> dark; // row by row
    bool isDark(int x, int y) const { return dark[size_t(y) * size_t(size) + size_t(x)]; }
};

// The text as a QR code at error correction level M; nothing when it does
// not fit one.
std::optional<QrCode> MakeQrCode(const QByteArray &text);

// Black modules on white, with the quiet zone of four modules the readers
// need, filling the square area.
void PaintQrCode(QPainter &painter, const QRectF &area, const QrCode &code);
QImage QrImage(const QrCode &code, int pixels);

} // namespace tombolix
