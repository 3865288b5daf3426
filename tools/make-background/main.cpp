// Generates the built-in background picture of the draw screen.
//
// Everything is drawn procedurally with QPainter: a deep red to wine-red
// gradient, a soft gold glow at the top centre, faint gold bokeh along the
// top and the left edge, thin silk-like gold ribbons, a fine lattice that
// fades out below the top band, and a thin double gold frame with fret
// corners. The middle of the picture and the lower-right area stay calm and
// dark so that white and gold text remains easy to read on a projector.
//
// The output is deterministic (fixed random seed).
//
// Usage: make-background <output.jpg> [quality]

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QStringList>
#include <QTextStream>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr quint32 kSeed = 20240202u;

QColor gold(double alpha, int r = 255, int g = 206, int b = 120)
{
    QColor c(r, g, b);
    c.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
    return c;
}

double smoothstep(double e0, double e1, double x)
{
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// How much decoration a point may carry: 1 along the top band and the left
// edge, falling to 0 in the middle and in the lower-right text area.
double decorationWeight(double x, double y)
{
    const double u = x / kWidth;
    const double v = y / kHeight;
    const double top = 1.0 - smoothstep(0.10, 0.34, v);
    const double left = (1.0 - smoothstep(0.05, 0.16, u)) * (1.0 - smoothstep(0.70, 0.95, v) * 0.6);
    const double right = (smoothstep(0.94, 0.99, u)) * (1.0 - smoothstep(0.25, 0.40, v));
    double w = std::max({ top, left, right });
    // Keep the upper-left number panel area quiet.
    if (u > 0.02 && u < 0.22 && v > 0.09 && v < 0.21)
        w *= 0.1;
    return w;
}

void paintBase(QPainter &p)
{
    QLinearGradient base(0, 0, 0, kHeight);
    base.setColorAt(0.00, QColor(124, 16, 30));
    base.setColorAt(0.35, QColor(96, 11, 24));
    base.setColorAt(0.70, QColor(66, 7, 18));
    base.setColorAt(1.00, QColor(40, 4, 12));
    p.fillRect(0, 0, kWidth, kHeight, base);

    // Warmer red light falling from the top centre.
    {
        QRadialGradient g(QPointF(kWidth * 0.5, -kHeight * 0.15), kWidth * 0.62);
        g.setColorAt(0.0, QColor(178, 34, 40, 150));
        g.setColorAt(0.5, QColor(150, 24, 36, 70));
        g.setColorAt(1.0, QColor(150, 24, 36, 0));
        p.save();
        p.translate(kWidth * 0.5, -kHeight * 0.15);
        p.scale(1.0, 0.85);
        p.translate(-kWidth * 0.5, kHeight * 0.15);
        p.fillRect(QRectF(-kWidth, -kHeight, kWidth * 3, kHeight * 3), g);
        p.restore();
    }

    // A faint lift on the left side, where the decoration lives.
    {
        QRadialGradient g(QPointF(-kWidth * 0.05, kHeight * 0.55), kWidth * 0.35);
        g.setColorAt(0.0, QColor(140, 22, 34, 70));
        g.setColorAt(1.0, QColor(140, 22, 34, 0));
        p.fillRect(0, 0, kWidth, kHeight, g);
    }

    // Deeper wine tone in the lower right, behind the announcement board.
    {
        QRadialGradient g(QPointF(kWidth * 0.74, kHeight * 0.72), kWidth * 0.42);
        g.setColorAt(0.0, QColor(30, 2, 10, 90));
        g.setColorAt(1.0, QColor(30, 2, 10, 0));
        p.fillRect(0, 0, kWidth, kHeight, g);
    }

    // Vignette.
    {
        QRadialGradient g(QPointF(kWidth * 0.5, kHeight * 0.42), kWidth * 0.72);
        g.setColorAt(0.0, QColor(10, 0, 4, 0));
        g.setColorAt(0.55, QColor(10, 0, 4, 0));
        g.setColorAt(1.0, QColor(10, 0, 4, 150));
        p.save();
        p.translate(kWidth * 0.5, kHeight * 0.42);
        p.scale(1.0, 0.75);
        p.translate(-kWidth * 0.5, -kHeight * 0.42);
        p.fillRect(QRectF(-kWidth, -kHeight, kWidth * 3, kHeight * 3), g);
        p.restore();
    }
}

void paintTopGlow(QPainter &p)
{
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Screen);
    const QPointF c(kWidth * 0.5, -kHeight * 0.02);
    QRadialGradient g(QPointF(0, 0), 1.0);
    g.setCoordinateMode(QGradient::LogicalMode);
    g.setColorAt(0.00, QColor(255, 190, 80, 96));
    g.setColorAt(0.30, QColor(235, 150, 50, 50));
    g.setColorAt(0.65, QColor(200, 100, 40, 14));
    g.setColorAt(1.00, QColor(200, 100, 40, 0));
    p.translate(c);
    p.scale(kWidth * 0.36, kHeight * 0.40);
    p.fillRect(QRectF(-1, -1, 2, 2), g);
    p.restore();
}

// A fine diamond lattice that only shows in the top band.
void paintLattice(QPainter &p)
{
    QImage layer(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        QPen pen(gold(1.0), 1.0);
        lp.setPen(pen);
        const double step = 36.0;
        const double span = kHeight * 0.45;
        for (double x = -span; x < kWidth + span; x += step) {
            lp.drawLine(QPointF(x, 0), QPointF(x + span, span));
            lp.drawLine(QPointF(x, 0), QPointF(x - span, span));
        }
        // Small dots at the lattice crossings.
        lp.setPen(Qt::NoPen);
        lp.setBrush(gold(1.0));
        for (double y = step / 2; y < span; y += step / 2) {
            const int row = static_cast<int>(std::lround(y / (step / 2)));
            const double off = (row % 2) ? step / 2 : 0.0;
            for (double x = off; x < kWidth + step; x += step)
                lp.drawEllipse(QPointF(x, y), 1.3, 1.3);
        }
        // Fade: strongest at the very top, gone by ~30% height, and weaker
        // in the centre where the glow is.
        lp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QLinearGradient fade(0, 0, 0, kHeight * 0.32);
        fade.setColorAt(0.0, QColor(0, 0, 0, 255));
        fade.setColorAt(0.35, QColor(0, 0, 0, 120));
        fade.setColorAt(1.0, QColor(0, 0, 0, 0));
        lp.fillRect(0, 0, kWidth, kHeight, fade);
        QLinearGradient sides(0, 0, kWidth, 0);
        sides.setColorAt(0.0, QColor(0, 0, 0, 255));
        sides.setColorAt(0.30, QColor(0, 0, 0, 150));
        sides.setColorAt(0.5, QColor(0, 0, 0, 90));
        sides.setColorAt(0.70, QColor(0, 0, 0, 150));
        sides.setColorAt(1.0, QColor(0, 0, 0, 255));
        lp.fillRect(0, 0, kWidth, kHeight, sides);
    }
    p.save();
    p.setOpacity(0.075);
    p.drawImage(0, 0, layer);
    p.restore();
}

void paintBokeh(QPainter &p, QRandomGenerator &rng)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    int placed = 0;
    int attempts = 0;
    while (placed < 80 && attempts < 20000) {
        ++attempts;
        const double x = rng.generateDouble() * kWidth;
        const double y = rng.generateDouble() * kHeight;
        const double w = decorationWeight(x, y);
        if (rng.generateDouble() > w * w)
            continue;
        ++placed;

        const double sizePick = rng.generateDouble();
        const double r = 5.0 + std::pow(sizePick, 2.2) * 62.0;
        // Large circles are softer and fainter, small ones a bit brighter.
        const double a = (0.05 + 0.13 * (1.0 - sizePick)) * (0.55 + 0.45 * w);
        const int tint = static_cast<int>(rng.bounded(40));

        QRadialGradient g(QPointF(x, y), r);
        const QColor c(255, 206 - tint, 110 - tint * 2);
        auto at = [&](double alpha) {
            QColor k = c;
            k.setAlphaF(static_cast<float>(alpha));
            return k;
        };
        g.setColorAt(0.00, at(a * 0.55));
        g.setColorAt(0.70, at(a * 0.70));
        g.setColorAt(0.88, at(a * 1.00));
        g.setColorAt(0.96, at(a * 0.55));
        g.setColorAt(1.00, at(0.0));
        p.setBrush(g);
        p.drawEllipse(QPointF(x, y), r, r);
    }

    // Tiny sparkles.
    placed = 0;
    attempts = 0;
    while (placed < 140 && attempts < 40000) {
        ++attempts;
        const double x = rng.generateDouble() * kWidth;
        const double y = rng.generateDouble() * kHeight;
        const double w = decorationWeight(x, y);
        if (rng.generateDouble() > w * w * w)
            continue;
        ++placed;
        const double r = 1.0 + rng.generateDouble() * 2.2;
        const double a = 0.15 + rng.generateDouble() * 0.35;
        QRadialGradient g(QPointF(x, y), r * 2.5);
        g.setColorAt(0.0, QColor(255, 240, 200, static_cast<int>(a * 255)));
        g.setColorAt(0.35, QColor(255, 220, 150, static_cast<int>(a * 140)));
        g.setColorAt(1.0, QColor(255, 200, 120, 0));
        p.setBrush(g);
        p.drawEllipse(QPointF(x, y), r * 2.5, r * 2.5);
    }
    p.restore();
}

// Draws a set of nearly parallel thin curves that read as a silk ribbon.
void paintRibbon(QPainter &p, const QPointF &a, const QPointF &c1, const QPointF &c2, const QPointF &b,
    const QPointF &spread, int strands, double alpha, double fadeStart, double fadeEnd)
{
    for (int i = 0; i < strands; ++i) {
        const double t = strands > 1 ? double(i) / (strands - 1) : 0.0;
        // Strands fan out towards the middle of the curve.
        const QPointF d1 = spread * (t - 0.5) * 0.3;
        const QPointF d2 = spread * (t - 0.5) * 1.6;
        const QPointF d3 = spread * (t - 0.5) * 1.0;
        QPainterPath path(a + d1);
        path.cubicTo(c1 + d2, c2 + d3, b + d1);

        const double edge = 1.0 - std::abs(t - 0.5) * 1.6;
        const double strandAlpha = alpha * (0.35 + 0.65 * edge);
        QLinearGradient g(a, b);
        g.setColorAt(0.0, gold(0.0));
        g.setColorAt(fadeStart, gold(strandAlpha));
        g.setColorAt(fadeEnd, gold(strandAlpha * 0.9));
        g.setColorAt(1.0, gold(0.0));
        QPen pen(QBrush(g), (i % 3 == 0) ? 1.4 : 0.9);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
}

void paintRibbons(QPainter &p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setCompositionMode(QPainter::CompositionMode_Screen);

    // A long sweep across the top, rising from the left edge.
    paintRibbon(p, QPointF(-60, kHeight * 0.36), QPointF(kWidth * 0.22, kHeight * 0.06),
        QPointF(kWidth * 0.55, kHeight * 0.24), QPointF(kWidth + 60, kHeight * 0.03), QPointF(0, 46), 14,
        0.22, 0.12, 0.80);

    // A second, fainter sweep crossing it.
    paintRibbon(p, QPointF(-60, kHeight * 0.12), QPointF(kWidth * 0.30, kHeight * 0.30),
        QPointF(kWidth * 0.62, kHeight * 0.02), QPointF(kWidth + 60, kHeight * 0.17), QPointF(0, 30), 9, 0.13,
        0.10, 0.85);

    // A gentle curve in the lower-left corner.
    paintRibbon(p, QPointF(-60, kHeight * 0.70), QPointF(kWidth * 0.10, kHeight * 0.86),
        QPointF(kWidth * 0.24, kHeight * 0.92), QPointF(kWidth * 0.46, kHeight + 40), QPointF(0, 36), 10,
        0.14, 0.15, 0.55);
    p.restore();
}

// Fret ("key") pattern corner ornament, drawn for the top-left corner in a
// local coordinate system whose origin is the outer frame corner.
QPainterPath cornerFret()
{
    QPainterPath path;
    const double u = 6.0; // grid unit

    // The key spiral filling the corner block (8 x 8 units).
    path.moveTo(0, 8 * u);
    path.lineTo(0, 0);
    path.lineTo(8 * u, 0);
    path.lineTo(8 * u, 8 * u);
    path.lineTo(2 * u, 8 * u);
    path.lineTo(2 * u, 2 * u);
    path.lineTo(6 * u, 2 * u);
    path.lineTo(6 * u, 6 * u);
    path.lineTo(4 * u, 6 * u);
    path.lineTo(4 * u, 4 * u);

    // An arm running along the edge, ending in a smaller key hook, with a
    // shorter companion line below it.
    QPainterPath arm;
    arm.moveTo(8 * u, 0);
    arm.lineTo(34 * u, 0);
    arm.lineTo(34 * u, 6 * u);
    arm.lineTo(28 * u, 6 * u);
    arm.lineTo(28 * u, 2 * u);
    arm.lineTo(32 * u, 2 * u);
    arm.lineTo(32 * u, 4 * u);
    arm.lineTo(30 * u, 4 * u);
    arm.moveTo(8 * u, 3 * u);
    arm.lineTo(24 * u, 3 * u);
    // Small diamond closing the companion line.
    arm.moveTo(24 * u, 3 * u);
    arm.lineTo(25 * u, 2 * u);
    arm.lineTo(26 * u, 3 * u);
    arm.lineTo(25 * u, 4 * u);
    arm.closeSubpath();
    path.addPath(arm);
    path.addPath(QTransform(0, 1, 1, 0, 0, 0).map(arm)); // mirror over the diagonal
    return path;
}

void paintFrame(QPainter &p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);

    const double outer = 22.0;
    const double inner = 30.0;

    // Edge lines fade out towards the middle of each side so the frame stays
    // quiet; corners keep full strength.
    auto edgePen = [&](const QPointF &from, const QPointF &to, double alpha, double width) {
        QLinearGradient g(from, to);
        g.setColorAt(0.0, gold(alpha));
        g.setColorAt(0.25, gold(alpha * 0.55));
        g.setColorAt(0.5, gold(alpha * 0.35));
        g.setColorAt(0.75, gold(alpha * 0.55));
        g.setColorAt(1.0, gold(alpha));
        QPen pen(QBrush(g), width);
        pen.setCapStyle(Qt::FlatCap);
        return pen;
    };

    auto rectLines = [&](double inset, double alpha, double width) {
        const double l = inset, t = inset, r = kWidth - inset, b = kHeight - inset;
        p.setPen(edgePen(QPointF(l, t), QPointF(r, t), alpha, width));
        p.drawLine(QPointF(l, t), QPointF(r, t));
        p.setPen(edgePen(QPointF(l, b), QPointF(r, b), alpha * 0.8, width));
        p.drawLine(QPointF(l, b), QPointF(r, b));
        p.setPen(edgePen(QPointF(l, t), QPointF(l, b), alpha, width));
        p.drawLine(QPointF(l, t), QPointF(l, b));
        p.setPen(edgePen(QPointF(r, t), QPointF(r, b), alpha * 0.8, width));
        p.drawLine(QPointF(r, t), QPointF(r, b));
    };
    rectLines(outer, 0.60, 1.4);
    rectLines(inner, 0.26, 0.9);

    // Corner ornaments.
    const QPainterPath fret = cornerFret();
    const double o = inner + 12.0;
    struct Corner
    {
        double sx, sy, tx, ty, alpha;
    };
    const Corner corners[] = {
        { 1, 1, o, o, 0.70 },
        { -1, 1, kWidth - o, o, 0.70 },
        { 1, -1, o, kHeight - o, 0.55 },
        { -1, -1, kWidth - o, kHeight - o, 0.34 },
    };
    for (const Corner &c : corners) {
        p.save();
        p.translate(c.tx, c.ty);
        p.scale(c.sx, c.sy);
        QRadialGradient g(QPointF(0, 0), 260);
        g.setColorAt(0.0, gold(c.alpha));
        g.setColorAt(0.6, gold(c.alpha * 0.8));
        g.setColorAt(1.0, gold(0.0));
        QPen pen(QBrush(g), 1.5);
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setCapStyle(Qt::SquareCap);
        p.setPen(pen);
        p.drawPath(fret);
        // Small diamond accent on the frame corner itself.
        p.setPen(Qt::NoPen);
        p.setBrush(gold(c.alpha * 0.9));
        QPainterPath d;
        const double k = o - (outer + inner) / 2.0;
        d.moveTo(-k, -k - 5);
        d.lineTo(-k + 5, -k);
        d.lineTo(-k, -k + 5);
        d.lineTo(-k - 5, -k);
        d.closeSubpath();
        p.drawPath(d);
        p.restore();
    }

    // A small ornament in the middle of the top edge: a diamond flanked by
    // two short tapering lines, sitting in the glow.
    {
        const double cx = kWidth * 0.5;
        const double y = (outer + inner) / 2.0;
        QLinearGradient g(cx - 220, y, cx + 220, y);
        g.setColorAt(0.0, gold(0.0));
        g.setColorAt(0.4, gold(0.55));
        g.setColorAt(0.6, gold(0.55));
        g.setColorAt(1.0, gold(0.0));
        p.setPen(QPen(QBrush(g), 1.2));
        p.drawLine(QPointF(cx - 220, y + 14), QPointF(cx - 16, y + 14));
        p.drawLine(QPointF(cx + 16, y + 14), QPointF(cx + 220, y + 14));
        p.setPen(Qt::NoPen);
        p.setBrush(gold(0.65));
        QPainterPath d;
        d.moveTo(cx, y + 6);
        d.lineTo(cx + 8, y + 14);
        d.lineTo(cx, y + 22);
        d.lineTo(cx - 8, y + 14);
        d.closeSubpath();
        p.drawPath(d);
    }
    p.restore();
}

// Adds a very light, deterministic grain so the smooth gradients do not
// band after JPEG compression.
void addGrain(QImage &img)
{
    std::uint32_t state = kSeed ^ 0x9E3779B9u;
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int n = static_cast<int>(state % 5u) - 2; // -2..2
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                std::clamp(qBlue(c) + n, 0, 255));
        }
    }
}

QImage render()
{
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    img.fill(Qt::black);
    QRandomGenerator rng(kSeed);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        paintBase(p);
        paintTopGlow(p);
        paintLattice(p);
        paintBokeh(p, rng);
        paintRibbons(p);
        paintFrame(p);
    }
    addGrain(img);
    return img;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() < 2 || args.size() > 3) {
        err << "Usage: make-background <output.jpg> [quality]\n";
        return 2;
    }
    const QString out = args.at(1);
    int quality = 88;
    if (args.size() == 3) {
        bool ok = false;
        quality = args.at(2).toInt(&ok);
        if (!ok || quality < 1 || quality > 100) {
            err << "Quality must be between 1 and 100\n";
            return 2;
        }
    }

    const QImage img = render();
    QImageWriter writer(out);
    if (out.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive)
        || out.endsWith(QLatin1String(".jpeg"), Qt::CaseInsensitive)) {
        writer.setFormat("jpeg");
        writer.setQuality(quality);
        writer.setOptimizedWrite(true);
        writer.setProgressiveScanWrite(true);
    }
    if (!writer.write(img)) {
        err << "Cannot write " << out << ": " << writer.errorString() << "\n";
        return 1;
    }
    return 0;
}
