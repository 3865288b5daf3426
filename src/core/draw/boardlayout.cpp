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

// The winners out of sight when the oldest `dropped` units go.
qsizetype winnersBelow(const QList<BoardLine> &lines, const std::vector<qsizetype> &rank, qsizetype dropped)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < lines.size(); ++i)
        count += !lines[i].heading && rank[size_t(i)] < dropped ? 1 : 0;
    return count;
}

struct Slot
{
    double left = 0;
    double top = 0;
    qsizetype rows = 0;
};

// The lines that stay when some units go, laid out in the area's rows or
// columns (and the spare room's), with the note after them when any winner
// goes.
class Flow
{
public:
    Flow(const QList<BoardLine> &lines, const std::vector<qsizetype> &rank, const BoardFitRequest &request,
        qsizetype rows);

    // False when the lines that stay need more room than there is. With
    // `out`, records where they go.
    bool run(qsizetype dropped, BoardFit *out);
    double columnWidth() const { return m_columnWidth; }

private:
    double showLines(qsizetype dropped);
    qsizetype offerColumns();
    bool fill(qsizetype items, qsizetype inArea, qsizetype droppedWinners, BoardFit *out);
    bool place(qsizetype items, qsizetype droppedWinners, BoardFit *out);
    bool opensNextColumn(qsizetype s, size_t slot, qsizetype row) const;

    const QList<BoardLine> &m_lines;
    const std::vector<qsizetype> &m_rank;
    const BoardFitRequest &m_request;
    const qsizetype m_rows;
    const double m_lineHeight;
    const double m_areaWidth;
    const double m_gap;
    std::vector<double> m_widths;
    QRectF m_spare;
    qsizetype m_spareRows = 0;
    double m_sharedTop = 0;
    qsizetype m_sharedRows = 0;
    std::vector<Slot> m_preferred; // the area's columns, then the spare room's, nearest first
    std::vector<Slot> m_used; // the first of them, left to right
    std::vector<qsizetype> m_shown;
    double m_columnWidth;
};

Flow::Flow(const QList<BoardLine> &lines, const std::vector<qsizetype> &rank, const BoardFitRequest &request,
    qsizetype rows)
    : m_lines(lines)
    , m_rank(rank)
    , m_request(request)
    , m_rows(rows)
    , m_lineHeight(request.lineHeight)
    , m_areaWidth(request.area.width())
    , m_gap(std::max(0.0, request.columnGap))
    , m_columnWidth(request.area.width())
{
    if (request.columns && request.lineWidth) {
        m_widths.resize(size_t(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i)
            m_widths[size_t(i)] = request.lineWidth(i);
    }
    m_spare = request.columns ? request.spare : QRectF();
    m_spareRows = m_lineHeight > 0 && m_spare.height() > 0 ? qsizetype(m_spare.height() / m_lineHeight) : 0;
    // Once the spare room is taken, the area's columns start where the
    // spare room's do: the board reads left to right along one top line,
    // the oldest top left, the newest bottom right.
    m_sharedTop = std::max(0.0, m_spare.top());
    m_sharedRows = m_lineHeight > 0
        ? std::max<qsizetype>(0, qsizetype((request.area.height() - m_sharedTop) / m_lineHeight))
        : 0;
    m_shown.reserve(size_t(lines.size()));
}

bool Flow::run(qsizetype dropped, BoardFit *out)
{
    const double widest = showLines(dropped);
    const qsizetype droppedWinners = dropped > 0 ? winnersBelow(m_lines, m_rank, dropped) : 0;
    const qsizetype items = qsizetype(m_shown.size()) + (droppedWinners > 0 ? 1 : 0);
    m_columnWidth = m_request.columns && !m_widths.empty() ? std::min(widest, m_areaWidth) : m_areaWidth;
    if (m_request.columns && !(m_columnWidth > 0))
        m_columnWidth = m_areaWidth;
    const qsizetype inArea = offerColumns();
    return fill(items, inArea, droppedWinners, out);
}

// The lines that stay into m_shown; the widest of them.
double Flow::showLines(qsizetype dropped)
{
    m_shown.clear();
    double widest = 0;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_rank[size_t(i)] >= dropped) {
            m_shown.push_back(i);
            if (!m_widths.empty())
                widest = std::max(widest, m_widths[size_t(i)]);
        }
    }
    return widest;
}

// The columns the lines may take, in the order they are taken; the number
// of them in the area itself.
qsizetype Flow::offerColumns()
{
    m_preferred.clear();
    qsizetype inArea = m_request.columns
        ? std::max<qsizetype>(1, qsizetype((m_areaWidth + m_gap) / (m_columnWidth + m_gap)))
        : 1;
    if (m_request.areaColumns > 0)
        inArea = std::min<qsizetype>(inArea, m_request.areaColumns);
    for (qsizetype c = 0; c < inArea; ++c)
        m_preferred.push_back({ double(c) * (m_columnWidth + m_gap), 0, m_rows });
    if (m_spareRows > 0) {
        for (double right = std::min(m_spare.right(), -m_gap); right - m_columnWidth >= m_spare.left() - 1e-9;
             right -= m_columnWidth + m_gap)
            m_preferred.push_back({ right - m_columnWidth, m_spare.top(), m_spareRows });
    }
    return inArea;
}

// Takes the fewest columns offered that hold the items.
bool Flow::fill(qsizetype items, qsizetype inArea, qsizetype droppedWinners, BoardFit *out)
{
    qsizetype capacity = 0;
    for (size_t k = 0; k < m_preferred.size(); ++k) {
        const bool spareUsed = k >= size_t(inArea);
        if (spareUsed && k == size_t(inArea))
            capacity = qsizetype(inArea) * m_sharedRows;
        capacity += m_preferred[k].rows;
        if (capacity < items)
            continue; // too few rows for the lines, whatever their order
        m_used.assign(m_preferred.begin(), m_preferred.begin() + qsizetype(k) + 1);
        if (spareUsed) {
            for (qsizetype c = 0; c < inArea; ++c)
                m_used[size_t(c)] = { m_used[size_t(c)].left, m_sharedTop, m_sharedRows };
        }
        std::sort(m_used.begin(), m_used.end(), [](const Slot &a, const Slot &b) { return a.left < b.left; });
        // With the spare room taken, the leftmost column holds what the
        // others leave, so that the area's column, under the board's
        // title, is never the empty one.
        const qsizetype leftmostRows = m_used.front().rows;
        qsizetype first = leftmostRows;
        if (spareUsed)
            first = std::clamp<qsizetype>(items - (capacity - leftmostRows), 1, leftmostRows);
        for (; first <= leftmostRows; ++first) {
            m_used.front().rows = first;
            if (place(items, droppedWinners, out))
                return true;
        }
    }
    return false;
}

// A heading at the foot of a column would stand apart from its winners: it
// opens the next column instead.
bool Flow::opensNextColumn(qsizetype s, size_t slot, qsizetype row) const
{
    const BoardLine &line = m_lines[m_shown[size_t(s)]];
    if (line.heading && slot < m_used.size() && m_used[slot].rows > 1 && row == m_used[slot].rows - 1
        && s + 1 < qsizetype(m_shown.size())) {
        const BoardLine &next = m_lines[m_shown[size_t(s + 1)]];
        return !next.heading && next.group == line.group;
    }
    return false;
}

// Places `items` into the columns m_used, left to right; false when they do
// not all go in.
bool Flow::place(qsizetype items, qsizetype droppedWinners, BoardFit *out)
{
    size_t slot = 0;
    qsizetype row = 0;
    if (out)
        out->placed.clear();
    for (qsizetype s = 0; s < items; ++s) {
        const bool isLine = s < qsizetype(m_shown.size());
        while (slot < m_used.size() && m_used[slot].rows < 1)
            ++slot; // an area column with no row below the spare room's top
        if (isLine && m_request.columns && opensNextColumn(s, slot, row)) {
            ++slot;
            row = 0;
        }
        if (slot >= m_used.size())
            return false;
        if (out) {
            const QRectF rect(m_used[slot].left, m_used[slot].top + double(row) * m_lineHeight, m_columnWidth,
                m_lineHeight);
            if (isLine)
                out->placed.append({ m_shown[size_t(s)], int(slot), int(row), rect });
            else
                out->note = rect;
        }
        if (++row == m_used[slot].rows) {
            ++slot;
            row = 0;
        }
    }
    if (out) {
        out->columns = int(slot + (row > 0 ? 1 : 0));
        out->droppedWinners = droppedWinners;
    }
    return true;
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
    const double lineHeight = request.lineHeight;
    const double areaWidth = request.area.width();
    const qsizetype rows
        = lineHeight > 0 && request.area.height() > 0 ? qsizetype(request.area.height() / lineHeight) : 0;
    if (lines.isEmpty() || rows < 1 || !(areaWidth > 0)) {
        fit.dropped = units;
        fit.droppedWinners = winnersBelow(lines, rank, units);
        return fit;
    }

    // The fewest units dropped that let the rest fit; dropping all always
    // fits, but for the note, which needs a row of its own.
    Flow flow(lines, rank, request, rows);
    qsizetype low = 0;
    qsizetype high = units;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (flow.run(middle, nullptr))
            high = middle;
        else
            low = middle + 1;
    }
    fit.placed.reserve(lines.size());
    if (!flow.run(low, &fit)) {
        fit.placed.clear();
        fit.note = QRectF();
        fit.droppedWinners = winnersBelow(lines, rank, units);
    }
    fit.dropped = low;
    fit.columnWidth = flow.columnWidth();
    return fit;
}

} // namespace tombolix::draw
