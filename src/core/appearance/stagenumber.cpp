#include "appearance/stagenumber.h"

#include "data/drawstore.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace tombolix::appearance {

namespace {

// What PrintFrameText takes off the line height between two lines.
constexpr double LineGap = 20;
// Below this the text no longer reads at all; it shrinks no further.
constexpr double SmallestScale = 0.02;

} // namespace

int ScaledFontPixels(int pixelsAt768, const StageScale &scale)
{
    return std::max(1, int(std::lround(pixelsAt768 * scale.y)));
}

bool IsFrameRecord(const QString &record)
{
    const QString trimmed = record.trimmed();
    return !trimmed.isEmpty() && trimmed.split(FieldSeparator).size() >= 7;
}

bool DrawHasFrameLayout(qint64 drawId)
{
    return IsFrameRecord(data::DrawStore().frame(drawId));
}

bool ApplyStoredElementFont(qint64 drawId, const QString &column, FontSpec &spec)
{
    return ApplyFontRecord(data::DrawStore().font(drawId, column), spec);
}

double NumberFitScale(const QSizeF &label, qsizetype lines, const NumberInk &ink)
{
    if (lines < 1)
        return 1;
    const double n = double(lines);
    const double height = label.height();
    // With the font scaled by s, the block's first line starts at
    // height/2 - n*L*s/2 + (n-1)*gap/2 below the label's top; its ink starts
    // (ascent - inkAbove)*s below that, and the last line's ink ends
    // (n-1)*(L*s - gap) + (ascent + inkBelow)*s below it. Both limits are
    // linear in s.
    const double room = height / 2 + (n - 1) * LineGap / 2;
    double scale = 1;
    const double topRate = n * ink.lineHeight / 2 - (ink.ascent - ink.inkAbove);
    if (topRate > 0)
        scale = std::min(scale, room / topRate);
    const double bottomRate = (n / 2 - 1) * ink.lineHeight + ink.ascent + ink.inkBelow;
    if (bottomRate > 0)
        scale = std::min(scale, room / bottomRate);
    if (ink.widestLine > 0)
        scale = std::min(scale, label.width() / ink.widestLine);
    if (!std::isfinite(scale))
        return SmallestScale;
    return std::max(scale, SmallestScale);
}

} // namespace tombolix::appearance
