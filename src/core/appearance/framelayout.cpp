#include "appearance/framelayout.h"

#include "common/conventions.h"
#include "data/drawstore.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tombolix::appearance {

namespace {

bool fitsFloat(double value)
{
    return std::isfinite(value) && std::fabs(value) <= double(std::numeric_limits<float>::max());
}

} // namespace

QString FrameNumberText(float value)
{
    // Plain decimal, no exponent: 840, 12.5.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return QStringLiteral("0");
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

void FrameLayout::setRect(const QRectF &twips)
{
    Left = float(twips.left());
    Top = float(twips.top());
    Width = float(twips.width());
    Height = float(twips.height());
}

bool FrameLayout::autoFit() const
{
    return numericValue(AutoFit) > 0;
}

bool FrameLayout::operator==(const FrameLayout &other) const
{
    return Left == other.Left && Top == other.Top && Width == other.Width && Height == other.Height
        && AutoFit == other.AutoFit && BackColor == other.BackColor && Opaque == other.Opaque;
}

void ApplyFrameRecord(const QString &record, FrameLayout &layout)
{
    const QString trimmed = record.trimmed();
    if (trimmed.isEmpty())
        return;
    const QStringList parts = trimmed.split(FieldSeparator);
    if (parts.size() < 7)
        return;
    const double left = numericValue(parts.at(0));
    const double top = numericValue(parts.at(1));
    const double width = numericValue(parts.at(2));
    const double height = numericValue(parts.at(3));
    if (fitsFloat(left))
        layout.Left = float(left);
    if (fitsFloat(top))
        layout.Top = float(top);
    if (fitsFloat(width) && width >= 0)
        layout.Width = float(width);
    if (fitsFloat(height) && height >= 0)
        layout.Height = float(height);
    layout.AutoFit = parts.at(4);
    const double colour = numericValue(parts.at(5));
    if (colour >= double(std::numeric_limits<qint32>::min()) - 0.5
        && colour <= double(std::numeric_limits<qint32>::max()) + 0.5)
        layout.BackColor = qint32(roundHalfEven(colour));
    const qint64 opaque = roundHalfEven(numericValue(parts.at(6)));
    if (opaque == 0 || opaque == 1)
        layout.Opaque = qint16(opaque);
}

QString FrameRecord(const FrameLayout &layout)
{
    return QStringList { FrameNumberText(layout.Left), FrameNumberText(layout.Top),
        FrameNumberText(layout.Width), FrameNumberText(layout.Height), layout.AutoFit,
        QString::number(layout.BackColor), QString::number(layout.Opaque) }
        .join(FieldSeparator);
}

FrameLayout LoadFrameLayout(qint64 drawId, FrameLayout layout)
{
    ApplyFrameRecord(data::DrawStore().frame(drawId), layout);
    return layout;
}

bool SaveFrameLayout(const FrameLayout &layout, qint64 drawId)
{
    return data::DrawStore().saveFrame(drawId, FrameRecord(layout));
}

QRectF FitNumberLabel(const FrameLayout &layout, const QSizeF &textSize)
{
    if (layout.autoFit())
        return QRectF(layout.Left + (layout.Width - textSize.width()) / 2, layout.Top, textSize.width(),
            textSize.height());
    return QRectF(layout.Left, layout.Top, layout.Width, layout.Height - 20);
}

bool RepairFrameSize(FrameLayout &layout)
{
    bool changed = false;
    if (layout.Width <= 15) {
        layout.Width = 4500;
        changed = true;
    }
    if (layout.Height <= 15) {
        layout.Height = 750;
        changed = true;
    }
    return changed;
}

std::vector<PrintedLine> PrintFrameText(const QRectF &label, const QStringList &lines, double digitHeight,
    const std::function<double(const QString &)> &lineWidth)
{
    std::vector<PrintedLine> printed;
    const double pitch = digitHeight - 20;
    const double block = pitch * lines.size() + 20;
    printed.reserve(size_t(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        printed.push_back({ line, label.left() + (label.width() - lineWidth(line)) / 2,
            label.top() + (label.height() - block) / 2 + pitch * double(i) });
    }
    return printed;
}

} // namespace tombolix::appearance
