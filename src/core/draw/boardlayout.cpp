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

QString DroppedWinnersNote(qsizetype count)
{
    return QStringLiteral("… 另有%1名获奖者").arg(count);
}

BoardFit FitBoard(const QList<BoardLine> &lines, const BoardFitRequest &request)
{
    BoardFit fit;
    qsizetype units = 0;
    const std::vector<qsizetype> rank = keepRanks(lines, units);
    // The winners out of sight when the oldest `dropped` units go.
    auto winnersBelow = [&lines, &rank](qsizetype dropped) {
        qsizetype count = 0;
        for (qsizetype i = 0; i < lines.size(); ++i)
            count += !lines[i].heading && rank[size_t(i)] < dropped ? 1 : 0;
        return count;
    };
    const double lineHeight = request.lineHeight;
    const double areaWidth = request.area.width();
    const qsizetype rows
        = lineHeight > 0 && request.area.height() > 0 ? qsizetype(request.area.height() / lineHeight) : 0;
    if (lines.isEmpty() || rows < 1 || !(areaWidth > 0)) {
        fit.dropped = units;
        fit.droppedWinners = winnersBelow(units);
        return fit;
    }

    const double gap = std::max(0.0, request.columnGap);
    std::vector<double> widths;
    if (request.columns && request.lineWidth) {
        widths.resize(size_t(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i)
            widths[size_t(i)] = request.lineWidth(i);
    }
    const QRectF spare = request.columns ? request.spare : QRectF();
    const qsizetype spareRows
        = lineHeight > 0 && spare.height() > 0 ? qsizetype(spare.height() / lineHeight) : 0;

    struct Slot
    {
        double left = 0;
        double top = 0;
        qsizetype rows = 0;
    };
    std::vector<Slot> preferred; // the area's columns, then the spare room's, nearest first
    std::vector<Slot> used; // the first of them, left to right
    std::vector<qsizetype> shown;
    shown.reserve(size_t(lines.size()));
    double columnWidth = areaWidth;

    // Lays out the lines that stay when `dropped` units go, with the note
    // after them when any winner goes; false when they need more room than
    // there is. With `out`, records where they go.
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
        const qsizetype droppedWinners = dropped > 0 ? winnersBelow(dropped) : 0;
        const qsizetype items = qsizetype(shown.size()) + (droppedWinners > 0 ? 1 : 0);
        columnWidth = request.columns && !widths.empty() ? std::min(widest, areaWidth) : areaWidth;
        if (request.columns && !(columnWidth > 0))
            columnWidth = areaWidth;

        preferred.clear();
        qsizetype inArea = request.columns
            ? std::max<qsizetype>(1, qsizetype((areaWidth + gap) / (columnWidth + gap)))
            : 1;
        if (request.areaColumns > 0)
            inArea = std::min<qsizetype>(inArea, request.areaColumns);
        for (qsizetype c = 0; c < inArea; ++c)
            preferred.push_back({ double(c) * (columnWidth + gap), 0, rows });
        if (spareRows > 0) {
            for (double right = std::min(spare.right(), -gap); right - columnWidth >= spare.left() - 1e-9;
                 right -= columnWidth + gap)
                preferred.push_back({ right - columnWidth, spare.top(), spareRows });
        }
        // Once the spare room is taken, the area's columns start where the
        // spare room's do: the board reads left to right along one top line,
        // the oldest top left, the newest bottom right.
        const double sharedTop = std::max(0.0, spare.top());
        const qsizetype sharedRows = lineHeight > 0
            ? std::max<qsizetype>(0, qsizetype((request.area.height() - sharedTop) / lineHeight))
            : 0;

        // Places `items` into the columns `used`, left to right; false when
        // they do not all go in.
        auto place = [&](qsizetype items, BoardFit *out) {
            size_t slot = 0;
            qsizetype row = 0;
            if (out)
                out->placed.clear();
            for (qsizetype s = 0; s < items; ++s) {
                const bool isLine = s < qsizetype(shown.size());
                while (slot < used.size() && used[slot].rows < 1)
                    ++slot; // an area column with no row below the spare room's top
                if (isLine && request.columns) {
                    // A heading at the foot of a column would stand apart
                    // from its winners: it opens the next column instead.
                    const BoardLine &line = lines[shown[size_t(s)]];
                    if (line.heading && slot < used.size() && used[slot].rows > 1
                        && row == used[slot].rows - 1 && s + 1 < qsizetype(shown.size())) {
                        const BoardLine &next = lines[shown[size_t(s + 1)]];
                        if (!next.heading && next.group == line.group) {
                            ++slot;
                            row = 0;
                        }
                    }
                }
                if (slot >= used.size())
                    return false;
                if (out) {
                    const QRectF rect(
                        used[slot].left, used[slot].top + double(row) * lineHeight, columnWidth, lineHeight);
                    if (isLine)
                        out->placed.append({ shown[size_t(s)], int(slot), int(row), rect });
                    else
                        out->note = rect;
                }
                if (++row == used[slot].rows) {
                    ++slot;
                    row = 0;
                }
            }
            if (out) {
                out->columns = int(slot + (row > 0 ? 1 : 0));
                out->droppedWinners = droppedWinners;
            }
            return true;
        };

        qsizetype capacity = 0;
        for (size_t k = 0; k < preferred.size(); ++k) {
            const bool spareUsed = k >= size_t(inArea);
            if (spareUsed && k == size_t(inArea))
                capacity = qsizetype(inArea) * sharedRows;
            capacity += preferred[k].rows;
            if (capacity < items)
                continue; // too few rows for the lines, whatever their order
            used.assign(preferred.begin(), preferred.begin() + qsizetype(k) + 1);
            if (spareUsed) {
                for (qsizetype c = 0; c < inArea; ++c)
                    used[size_t(c)] = { used[size_t(c)].left, sharedTop, sharedRows };
            }
            std::sort(used.begin(), used.end(), [](const Slot &a, const Slot &b) { return a.left < b.left; });
            // With the spare room taken, the leftmost column holds what the
            // others leave, so that the area's column, under the board's
            // title, is never the empty one.
            const qsizetype leftmostRows = used.front().rows;
            qsizetype first = leftmostRows;
            if (spareUsed)
                first = std::clamp<qsizetype>(items - (capacity - leftmostRows), 1, leftmostRows);
            for (; first <= leftmostRows; ++first) {
                used.front().rows = first;
                if (place(items, out))
                    return true;
            }
        }
        return false;
    };

    // The fewest units dropped that let the rest fit; dropping all always
    // fits, but for the note, which needs a row of its own.
    qsizetype low = 0;
    qsizetype high = units;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (flow(middle, nullptr))
            high = middle;
        else
            low = middle + 1;
    }
    fit.placed.reserve(lines.size());
    if (!flow(low, &fit)) {
        fit.placed.clear();
        fit.note = QRectF();
        fit.droppedWinners = winnersBelow(units);
    }
    fit.dropped = low;
    fit.columnWidth = columnWidth;
    return fit;
}

} // namespace tombolix::draw
