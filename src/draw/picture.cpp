#include "draw/picture.h"

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
}

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
    return scaled.copy((scaled.width() - size.width()) / 2, (scaled.height() - size.height()) / 2, size.width(),
                       size.height());
}

} // namespace tombolix::draw
