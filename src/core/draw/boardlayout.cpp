#include "draw/boardlayout.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace tombolix::draw {

namespace {

// The lines as the fitting drops them. A unit is a winner line, or the
// heading of an award that lists no winners; units go oldest first. Each
// line carries the rank of the newest unit it depends on: it is shown
// exactly when fewer units than that rank are dropped.
std::vector<qsizetype> keepRanks(const QList<BoardLine> &lines, qsizetype &units)
{
    const qsizetype count = lines.size();
    int groups = 0;
    for (const BoardLine &line : lines)
        groups = std::max(groups, line.group + 1);
    std::vector<char> listsWinners(size_t(groups), 0);
    for (const BoardLine &line : lines) {
        if (!line.heading && line.group >= 0)
            listsWinners[size_t(line.group)] = 1;
    }
    auto isUnit = [&](const BoardLine &line) {
        return !line.heading || line.group < 0 || !listsWinners[size_t(line.group)];
    };

    std::vector<qsizetype> order;
    order.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        if (isUnit(lines[i]))
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
        [&lines](qsizetype a, qsizetype b) { return lines[a].age < lines[b].age; });
    units = qsizetype(order.size());

    std::vector<qsizetype> rank(size_t(count), -1);
    for (size_t r = 0; r < order.size(); ++r)
        rank[size_t(order[r])] = qsizetype(r);
    std::vector<qsizetype> newestInGroup(size_t(groups), -1);
    for (qsizetype i = 0; i < count; ++i) {
        const BoardLine &line = lines[i];
        if (rank[size_t(i)] >= 0 && line.group >= 0)
            newestInGroup[size_t(line.group)] = std::max(newestInGroup[size_t(line.group)], rank[size_t(i)]);
    }
    for (qsizetype i = 0; i < count; ++i) {
        if (rank[size_t(i)] < 0)
            rank[size_t(i)] = newestInGroup[size_t(lines[i].group)];
    }
    return rank;
}

} // namespace

BoardFit FitBoard(const QList<BoardLine> &lines, const BoardFitRequest &request)
{
    BoardFit fit;
    qsizetype units = 0;
    const std::vector<qsizetype> rank = keepRanks(lines, units);
    const double lineHeight = request.lineHeight;
    const double areaWidth = request.area.width();
    const qsizetype rows
        = lineHeight > 0 && request.area.height() > 0 ? qsizetype(request.area.height() / lineHeight) : 0;
    if (lines.isEmpty() || rows < 1 || !(areaWidth > 0)) {
        fit.dropped = units;
        return fit;
    }

    const double gap = std::max(0.0, request.columnGap);
    std::vector<double> widths;
    if (request.columns && request.lineWidth) {
        widths.resize(size_t(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i)
            widths[size_t(i)] = request.lineWidth(i);
    }

    std::vector<qsizetype> shown;
    shown.reserve(size_t(lines.size()));
    double columnWidth = areaWidth;
    qsizetype columnsThatFit = 1;
    // Lays out the lines that stay when `dropped` units go; false when they
    // need more room than there is. With `out`, records where they go.
    auto flow = [&](qsizetype dropped, BoardFit *out) {
        shown.clear();
        double widest = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (rank[size_t(i)] >= dropped) {
                shown.push_back(i);
                if (!widths.empty())
                    widest = std::max(widest, widths[size_t(i)]);
            }
        }
        if (!request.columns) {
            columnWidth = areaWidth;
            columnsThatFit = 1;
        } else {
            columnWidth = std::min(widest, areaWidth);
            columnsThatFit = std::max<qsizetype>(1, qsizetype((areaWidth + gap) / (columnWidth + gap)));
        }
        qsizetype column = 0;
        qsizetype row = 0;
        for (size_t s = 0; s < shown.size(); ++s) {
            const BoardLine &line = lines[shown[s]];
            // A heading at the foot of a column would stand apart from its
            // winners: it opens the next column instead.
            if (request.columns && line.heading && rows > 1 && row == rows - 1 && s + 1 < shown.size()) {
                const BoardLine &next = lines[shown[s + 1]];
                if (!next.heading && next.group == line.group) {
                    ++column;
                    row = 0;
                }
            }
            if (column >= columnsThatFit)
                return false;
            if (out) {
                const double left = double(column) * (columnWidth + gap);
                out->placed.append({ shown[s], int(column), int(row),
                    QRectF(left, double(row) * lineHeight, columnWidth, lineHeight) });
            }
            if (++row == rows) {
                ++column;
                row = 0;
            }
        }
        if (out)
            out->columns = int(column + (row > 0 ? 1 : 0));
        return true;
    };

    // The fewest units dropped that let the rest fit; dropping all always fits.
    qsizetype low = 0;
    qsizetype high = units;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (flow(middle, nullptr))
            high = middle;
        else
            low = middle + 1;
    }
    fit.placed.reserve(qsizetype(std::min<qsizetype>(lines.size(), rows * columnsThatFit)));
    flow(low, &fit);
    fit.dropped = low;
    fit.columnWidth = columnWidth;
    return fit;
}

} // namespace tombolix::draw
