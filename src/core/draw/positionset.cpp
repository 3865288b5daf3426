#include "draw/positionset.h"

#include <algorithm>

namespace tombolix::draw {

void PositionSet::assign(qsizetype n, bool allIn)
{
    m_in.assign(size_t(n) + 1, allIn ? 1 : 0);
    m_in[0] = 0;
    m_tree.assign(size_t(n) + 1, 0);
    m_count = allIn ? n : 0;
    if (!allIn)
        return;
    // Each node holds the members of its stretch; built in one pass.
    for (size_t i = 1; i <= size_t(n); ++i) {
        m_tree[i] += 1;
        const size_t parent = i + (i & (~i + 1));
        if (parent <= size_t(n))
            m_tree[parent] += m_tree[i];
    }
}

void PositionSet::assign(qsizetype n, const std::function<bool(qsizetype)> &in)
{
    m_in.assign(size_t(n) + 1, 0);
    m_tree.assign(size_t(n) + 1, 0);
    m_count = 0;
    for (size_t i = 1; i <= size_t(n); ++i) {
        if (in(qsizetype(i))) {
            m_in[i] = 1;
            m_tree[i] += 1;
            ++m_count;
        }
        const size_t parent = i + (i & (~i + 1));
        if (parent <= size_t(n))
            m_tree[parent] += m_tree[i];
    }
}

bool PositionSet::contains(qsizetype position) const
{
    return position >= 1 && position < qsizetype(m_in.size()) && m_in[size_t(position)];
}

void PositionSet::add(qsizetype position, int delta)
{
    const size_t size = m_tree.size();
    for (size_t i = size_t(position); i < size; i += i & (~i + 1))
        m_tree[i] = quint32(qint64(m_tree[i]) + delta);
}

void PositionSet::insert(qsizetype position)
{
    if (position < 1 || position >= qsizetype(m_in.size()) || m_in[size_t(position)])
        return;
    m_in[size_t(position)] = 1;
    ++m_count;
    add(position, 1);
}

void PositionSet::remove(qsizetype position)
{
    if (!contains(position))
        return;
    m_in[size_t(position)] = 0;
    --m_count;
    add(position, -1);
}

qsizetype PositionSet::countUpTo(qsizetype position) const
{
    position = std::min<qsizetype>(position, qsizetype(m_tree.size()) - 1);
    qint64 sum = 0;
    for (qsizetype i = position; i > 0; i -= i & (~i + 1))
        sum += m_tree[size_t(i)];
    return qsizetype(sum);
}

qsizetype PositionSet::select(qsizetype rank) const
{
    if (rank < 0 || rank >= m_count)
        return 0;
    // Walks down the tree to the position below which `rank` members lie.
    size_t position = 0;
    quint64 left = quint64(rank) + 1;
    size_t step = 1;
    while (step * 2 < m_tree.size())
        step *= 2;
    for (; step > 0; step /= 2) {
        if (position + step < m_tree.size() && m_tree[position + step] < left) {
            position += step;
            left -= m_tree[position];
        }
    }
    return qsizetype(position + 1);
}

qsizetype PositionSet::countIn(const Ranges &within) const
{
    if (within.all)
        return m_count;
    qsizetype total = 0;
    for (const auto &[first, last] : within.spans)
        total += countUpTo(last) - countUpTo(first - 1);
    return total;
}

qsizetype PositionSet::selectIn(const Ranges &within, qsizetype rank) const
{
    if (within.all)
        return select(rank);
    for (const auto &[first, last] : within.spans) {
        const qsizetype before = countUpTo(first - 1);
        const qsizetype inside = countUpTo(last) - before;
        if (rank < inside)
            return select(before + rank);
        rank -= inside;
    }
    return 0;
}

namespace {

// A slot holds a position in its low half and bits of its key's hash in the
// high half, so a probe passes over other keys without reading their texts.
quint64 tagOf(size_t hash)
{
    return (quint64(hash) * 0x9E3779B97F4A7C15ull) & 0xFFFFFFFF00000000ull;
}

void prefetch(const void *address)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

} // namespace

void KeyIndex::build(qsizetype n, const Hash &hash, const Equal &equal)
{
    size_t capacity = 16;
    while (capacity < size_t(n) * 2)
        capacity *= 2;
    m_mask = capacity - 1;
    m_slots.assign(capacity, 0);
    std::vector<quint32> next;
    bool duplicates = false;
    // The table is far larger than the cache: the hashes a few positions
    // ahead are taken and their slots fetched while this one is placed.
    constexpr qsizetype Ahead = 16;
    size_t ahead[Ahead];
    for (qsizetype p = 1; p <= std::min(n, Ahead); ++p)
        ahead[p % Ahead] = hash(p);
    for (qsizetype p = 1; p <= n; ++p) {
        const size_t h = ahead[p % Ahead];
        if (p + Ahead <= n) {
            const size_t later = hash(p + Ahead);
            ahead[(p + Ahead) % Ahead] = later;
            prefetch(&m_slots[later & m_mask]);
        }
        const quint64 tag = tagOf(h);
        size_t slot = h & m_mask;
        while (m_slots[slot] != 0
            && ((m_slots[slot] & 0xFFFFFFFF00000000ull) != tag
                || !equal(qsizetype(quint32(m_slots[slot])), p)))
            slot = (slot + 1) & m_mask;
        if (m_slots[slot] == 0) {
            m_slots[slot] = tag | quint32(p);
            continue;
        }
        if (!duplicates) {
            duplicates = true;
            next.resize(size_t(n) + 1);
            for (size_t i = 0; i < next.size(); ++i)
                next[i] = quint32(i);
        }
        const quint32 head = quint32(m_slots[slot]);
        next[size_t(p)] = next[head];
        next[head] = quint32(p);
    }
    if (duplicates)
        m_next = std::move(next);
    else
        m_next.clear();
}

qsizetype KeyIndex::find(size_t hashOfKey, const std::function<bool(qsizetype)> &matches) const
{
    if (m_slots.empty())
        return 0;
    const quint64 tag = tagOf(hashOfKey);
    for (size_t slot = hashOfKey & m_mask; m_slots[slot] != 0; slot = (slot + 1) & m_mask) {
        if ((m_slots[slot] & 0xFFFFFFFF00000000ull) == tag && matches(qsizetype(quint32(m_slots[slot]))))
            return qsizetype(quint32(m_slots[slot]));
    }
    return 0;
}

std::vector<qsizetype> DrawRound(PositionSet &set, const Ranges &within, qsizetype m,
    notary::DerivedStream &stream, const KeyIndex *people)
{
    std::vector<qsizetype> winners;
    std::vector<qsizetype> aside; // out of A for the rest of the round
    for (qsizetype i = 0; i < m; ++i) {
        const qsizetype left = set.countIn(within);
        if (left == 0)
            break;
        const qsizetype winner = set.selectIn(within, qsizetype(stream.below(quint64(left))));
        winners.push_back(winner);
        if (people) {
            qsizetype same = winner;
            do {
                if (set.contains(same)) {
                    set.remove(same);
                    aside.push_back(same);
                }
                same = people->next(same);
            } while (same != winner);
        } else {
            set.remove(winner);
            aside.push_back(winner);
        }
    }
    for (qsizetype position : aside)
        set.insert(position);
    return winners;
}

} // namespace tombolix::draw
