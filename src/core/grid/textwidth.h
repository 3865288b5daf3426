#pragma once

#include <QFontMetricsF>
#include <QString>
#include <QStringView>
#include <vector>

// The widest of many texts, for fitting a column to tens of thousands of
// cells: shaping every cell costs more than reading the whole file did.
namespace tombolix::grid {

// Advances of single characters, each measured once: their sum tells which
// texts may be the widest, not how wide they are (kerning and shaping act on
// whole texts).
class CharAdvances
{
public:
    explicit CharAdvances(const QFontMetricsF &metrics);

    double estimate(QStringView text);

private:
    const QFontMetricsF &m_metrics;
    std::vector<double> m_advances; // by UTF-16 unit, negative until measured
};

// The largest horizontalAdvance of the texts, each cut to its first
// measuredLength characters. Up to a few hundred texts are all measured; of
// more, the first rows, the longest by characters and the widest by their
// characters' advances are, which finds the widest of any ordinary list.
double WidestTextWidth(const QFontMetricsF &metrics, CharAdvances &advances,
    const std::vector<QString> &texts, int measuredLength);

} // namespace tombolix::grid
