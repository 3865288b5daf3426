#include "grid/textwidth.h"

#include <algorithm>
#include <numeric>

namespace tombolix::grid {

namespace {

// Below this many texts every one is measured.
constexpr size_t MeasureAllUpTo = 400;
// Texts measured of a longer list from each end of the sample: the first
// rows, the longest and the widest by estimate.
constexpr size_t SampleSize = 48;

// Appends the indexes of the count largest keys (ties in any order).
void appendLargest(std::vector<size_t> &picked, const std::vector<double> &keys, size_t count)
{
    std::vector<size_t> order(keys.size());
    std::iota(order.begin(), order.end(), size_t(0));
    count = std::min(count, order.size());
    std::nth_element(order.begin(), order.begin() + qsizetype(count) - 1, order.end(),
        [&keys](size_t a, size_t b) { return keys[a] > keys[b]; });
    picked.insert(picked.end(), order.begin(), order.begin() + qsizetype(count));
}

} // namespace

CharAdvances::CharAdvances(const QFontMetricsF &metrics)
    : m_metrics(metrics)
{ }

double CharAdvances::estimate(QStringView text)
{
    if (m_advances.empty())
        m_advances.assign(0x10000, -1.0);
    double sum = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            // Rare enough to measure each time.
            sum += m_metrics.horizontalAdvance(text.mid(i, 2).toString());
            ++i;
            continue;
        }
        double &advance = m_advances[c.unicode()];
        if (advance < 0)
            advance = m_metrics.horizontalAdvance(c);
        sum += advance;
    }
    return sum;
}

double WidestTextWidth(const QFontMetricsF &metrics, CharAdvances &advances,
    const std::vector<QString> &texts, int measuredLength)
{
    const auto measure = [&](const QString &text) {
        return text.isEmpty() ? 0.0 : metrics.horizontalAdvance(text.left(measuredLength));
    };
    double widest = 0;
    if (texts.size() <= MeasureAllUpTo) {
        for (const QString &text : texts)
            widest = std::max(widest, measure(text));
        return widest;
    }

    std::vector<double> lengths(texts.size());
    std::vector<double> estimates(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        const QStringView text = QStringView(texts[i]).left(measuredLength);
        lengths[i] = double(text.size());
        estimates[i] = advances.estimate(text);
    }
    std::vector<size_t> picked(SampleSize);
    std::iota(picked.begin(), picked.end(), size_t(0));
    // A wide glyph may lose to a longer narrow text: both are sampled.
    appendLargest(picked, lengths, SampleSize);
    appendLargest(picked, estimates, SampleSize);
    std::sort(picked.begin(), picked.end());
    picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
    for (size_t i : picked)
        widest = std::max(widest, measure(texts[i]));
    return widest;
}

} // namespace tombolix::grid
