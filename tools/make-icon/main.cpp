// Generates the program's icon: a golden lottery ball bearing a red star on
// the deep red of the draw screen, with a few gold sparks around it.
//
// Drawn with QPainter from paths only (no font, no random numbers), so every
// run gives the same pictures. Each size is painted at its own size rather
// than scaled down, and the small ones leave out the sparks and the rim,
// which would only blur there.
//
// Usage: make-icon <output-folder>
//   writes <output-folder>/hicolor/<N>x<N>/apps/io.github.tombolix.Tombolix.png

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>
#include <QTextStream>
#include <cmath>

namespace {

const char *const IconName = "io.github.tombolix.Tombolix";
constexpr int Sizes[] = { 16, 22, 24, 32, 48, 64, 128, 256, 512 };

QPainterPath star(QPointF centre, double outer, double inner)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const double radius = i % 2 == 0 ? outer : inner;
        const QPointF point(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

// A four-pointed spark: two thin diamonds crossed.
QPainterPath spark(QPointF centre, double length)
{
    QPainterPath path;
    const double waist = length * 0.22;
    path.moveTo(centre.x(), centre.y() - length);
    path.lineTo(centre.x() + waist, centre.y() - waist);
    path.lineTo(centre.x() + length, centre.y());
    path.lineTo(centre.x() + waist, centre.y() + waist);
    path.lineTo(centre.x(), centre.y() + length);
    path.lineTo(centre.x() - waist, centre.y() + waist);
    path.lineTo(centre.x() - length, centre.y());
    path.lineTo(centre.x() - waist, centre.y() - waist);
    path.closeSubpath();
    return path;
}

QImage render(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const bool small = size < 32;

    // The tile: the draw screen's red, lit from the top.
    const double margin = small ? 0.0 : s * 0.04;
    const QRectF tile(margin, margin, s - 2 * margin, s - 2 * margin);
    QPainterPath tilePath;
    tilePath.addRoundedRect(tile, tile.width() * 0.22, tile.width() * 0.22);
    QLinearGradient base(0, tile.top(), 0, tile.bottom());
    base.setColorAt(0.0, QColor(196, 32, 44));
    base.setColorAt(0.55, QColor(138, 16, 32));
    base.setColorAt(1.0, QColor(86, 8, 22));
    p.fillPath(tilePath, base);
    if (!small) {
        QRadialGradient glow(QPointF(s * 0.5, tile.top()), s * 0.7);
        glow.setColorAt(0.0, QColor(255, 180, 90, 70));
        glow.setColorAt(1.0, QColor(255, 180, 90, 0));
        p.fillPath(tilePath, glow);
        p.setPen(QPen(QColor(255, 214, 130, 150), std::max(1.0, s / 96)));
        const double inset = s * 0.035;
        QPainterPath rim;
        rim.addRoundedRect(
            tile.adjusted(inset, inset, -inset, -inset), tile.width() * 0.19, tile.width() * 0.19);
        p.drawPath(rim);
    }

    // The ball.
    const QPointF centre(s * 0.5, s * 0.53);
    const double radius = s * (small ? 0.36 : 0.31);
    QRadialGradient gold(centre - QPointF(radius * 0.35, radius * 0.4), radius * 1.35);
    gold.setColorAt(0.0, QColor(255, 246, 200));
    gold.setColorAt(0.35, QColor(252, 206, 96));
    gold.setColorAt(0.8, QColor(214, 150, 30));
    gold.setColorAt(1.0, QColor(160, 100, 16));
    p.setPen(small ? Qt::NoPen : QPen(QColor(120, 60, 10, 160), std::max(1.0, s / 128)));
    p.setBrush(gold);
    p.drawEllipse(centre, radius, radius);

    // The star on it, and a gleam above the star.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 24, 40));
    p.drawPath(star(centre, radius * 0.62, radius * 0.26));
    if (!small) {
        QRadialGradient gleam(centre - QPointF(radius * 0.42, radius * 0.5), radius * 0.38);
        gleam.setColorAt(0.0, QColor(255, 255, 255, 190));
        gleam.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.setBrush(gleam);
        p.drawEllipse(centre - QPointF(radius * 0.42, radius * 0.5), radius * 0.38, radius * 0.38);
    }

    // Sparks where the ball leaves room: top left, top right, lower right.
    if (size >= 48) {
        p.setBrush(QColor(255, 222, 140));
        p.drawPath(spark(QPointF(s * 0.2, s * 0.2), s * 0.07));
        p.drawPath(spark(QPointF(s * 0.82, s * 0.24), s * 0.045));
        p.drawPath(spark(QPointF(s * 0.84, s * 0.82), s * 0.055));
    }
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "Usage: make-icon <output-folder>\n";
        return 2;
    }
    for (const int size : Sizes) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(args.at(1)).arg(size);
        const QString file = folder + QLatin1Char('/') + QLatin1String(IconName) + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !render(size).save(file, "png")) {
            err << "Cannot write " << file << "\n";
            return 1;
        }
    }
    return 0;
}
