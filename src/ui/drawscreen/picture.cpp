#include "drawscreen/picture.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

static void initDrawResources()
{
    Q_INIT_RESOURCE(draw);
}

namespace tombolix::draw {

namespace {

constexpr int MaxPictureSide = 16384;

// A JPEG or PNG cut short still decodes, with a grey or black rest; such a
// file is treated as no picture rather than shown half broken.
bool looksComplete(const QString &path, const QByteArray &format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return false;
    file.seek(std::max<qint64>(0, file.size() - 64));
    QByteArray tail = file.read(64);
    while (!tail.isEmpty()
        && (tail.endsWith('\0') || tail.endsWith('\n') || tail.endsWith('\r') || tail.endsWith(' ')))
        tail.chop(1);
    if (format == "jpeg" || format == "jpg")
        return tail.endsWith("\xFF\xD9");
    if (format == "png")
        return tail.contains("IEND");
    return true;
}

} // namespace

QPixmap BuiltInBackground()
{
    initDrawResources();
    return LoadPictureIfExists(QStringLiteral(":/tombolix/background.jpg"));
}

QPixmap LoadPictureIfExists(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return QPixmap();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > MaxPictureSide || size.height() > MaxPictureSide)
        return QPixmap();
    if (!looksComplete(path, reader.format()))
        return QPixmap();
    const QImage image = reader.read();
    if (image.isNull())
        return QPixmap();
    return QPixmap::fromImage(image);
}

QPixmap ScaledToCover(const QPixmap &picture, const QSize &size)
{
    if (picture.isNull() || size.isEmpty())
        return QPixmap();
    const QPixmap scaled = picture.scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return scaled.copy((scaled.width() - size.width()) / 2, (scaled.height() - size.height()) / 2,
        size.width(), size.height());
}

} // namespace tombolix::draw
