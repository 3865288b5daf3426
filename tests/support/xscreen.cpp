#include "support/xscreen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <cstdlib>

namespace tombolix::test {

namespace {

int lowestBit(quint32 mask)
{
    int shift = 0;
    while (mask && !(mask & 1u)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

bool near(QRgb pixel, const QColor &ink, int tolerance)
{
    return std::abs(qRed(pixel) - ink.red()) <= tolerance
        && std::abs(qGreen(pixel) - ink.green()) <= tolerance
        && std::abs(qBlue(pixel) - ink.blue()) <= tolerance;
}

} // namespace

QImage readXwd(const QByteArray &bytes)
{
    // The header is 25 big-endian 32-bit fields, whatever the pixels' order.
    constexpr int Fields = 25;
    if (bytes.size() < Fields * 4)
        return QImage();
    quint32 header[Fields];
    for (int i = 0; i < Fields; ++i)
        header[i] = qFromBigEndian<quint32>(bytes.constData() + 4 * i);
    const quint32 headerSize = header[0], format = header[2], width = header[4], height = header[5];
    const quint32 byteOrder = header[7], bitsPerPixel = header[11], bytesPerLine = header[12];
    const quint32 redMask = header[14], greenMask = header[15], blueMask = header[16];
    const quint32 colours = header[19];
    constexpr quint32 ZPixmap = 2;
    if (format != ZPixmap || (bitsPerPixel != 24 && bitsPerPixel != 32) || width == 0 || height == 0
        || width > 16384 || height > 16384)
        return QImage();
    const qint64 start = qint64(headerSize) + qint64(colours) * 12;
    if (start + qint64(bytesPerLine) * height > bytes.size())
        return QImage();
    const int pixelBytes = int(bitsPerPixel / 8);
    const int redShift = lowestBit(redMask), greenShift = lowestBit(greenMask),
              blueShift = lowestBit(blueMask);
    QImage image(int(width), int(height), QImage::Format_RGB32);
    for (quint32 y = 0; y < height; ++y) {
        const auto *line
            = reinterpret_cast<const uchar *>(bytes.constData() + start + qint64(y) * bytesPerLine);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (quint32 x = 0; x < width; ++x) {
            const uchar *p = line + x * quint32(pixelBytes);
            quint32 value = 0;
            for (int b = 0; b < pixelBytes; ++b) {
                const int byte = byteOrder == 0 ? b : pixelBytes - 1 - b; // 0: least significant first
                value |= quint32(p[byte]) << (8 * b);
            }
            out[x] = qRgb(int((value & redMask) >> redShift), int((value & greenMask) >> greenShift),
                int((value & blueMask) >> blueShift));
        }
    }
    return image;
}

QImage grabXScreen()
{
    QProcess xwd;
    xwd.start(QStringLiteral("xwd"), { QStringLiteral("-root"), QStringLiteral("-silent") });
    if (!xwd.waitForFinished(20000) || xwd.exitCode() != 0)
        return QImage();
    return readXwd(xwd.readAllStandardOutput());
}

int inkPixels(const QImage &image, const QRect &area, const QColor &ink, int tolerance)
{
    const QRect inside = area.intersected(image.rect());
    int count = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += near(line[x], ink, tolerance) ? 1 : 0;
    }
    return count;
}

QRect inkBounds(const QImage &image, const QRect &area, const QColor &ink, int tolerance)
{
    const QRect inside = area.intersected(image.rect());
    QRect bounds;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (near(line[x], ink, tolerance))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

QString xdotool(const QStringList &arguments, bool *ok, int timeoutMs)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    const bool done = tool.waitForFinished(timeoutMs);
    if (!done)
        tool.kill();
    if (ok)
        *ok = done && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

QString waitForXWindow(const QString &namePattern, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        bool ok = false;
        const QString found = xdotool({ QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                          QStringLiteral("--name"), namePattern },
            &ok, 5000);
        if (ok && !found.isEmpty())
            return found.split(QLatin1Char('\n')).constLast();
        QThread::msleep(100);
    }
    return QString();
}

void saveXShot(const QImage &image, const QString &name)
{
    const QString folder = qEnvironmentVariable("TOMBOLIX_SHOTS");
    if (folder.isEmpty() || image.isNull())
        return;
    QDir().mkpath(folder);
    image.save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

} // namespace tombolix::test
