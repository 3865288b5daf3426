#pragma once

#include "common/notary.h"

#include <QHashFunctions>
#include <functional>
#include <utility>
#include <vector>

// The positions of an entrant list a round may draw from, and the people
// behind them: what the program and the record's checker share, so both
// draw a round's winners the same way.
namespace tombolix::draw {

// Spans of positions [first, last], ascending, neither overlapping nor
// touching. `all` stands for every position.
struct Ranges
{
    bool all = true;
    std::vector<std::pair<qsizetype, qsizetype>> spans;

    static Ranges none() { return Ranges { false, {} }; }
    // Adds a position above every one held so far, joining the last span
    // when it follows it.
    void append(qsizetype position)
    {
        if (!spans.empty() && spans.back().second == position - 1)
            spans.back().second = position;
        else
            spans.emplace_back(position, position);
    }
    bool operator==(const Ranges &other) const { return all == other.all && spans == other.spans; }
    bool operator!=(const Ranges &other) const { return !(*this == other); }
};

// A set of the positions 1..n that knows its members' ranks: how many lie
// up to a position, and which is the r-th in ascending order, each in
// O(log n) (a Fenwick tree).
class PositionSet
{
public:
    void assign(qsizetype n, bool allIn);
    // Positions 1..n, those for which `in` holds.
    void assign(qsizetype n, const std::function<bool(qsizetype)> &in);
    qsizetype size() const { return qsizetype(m_in.size()) - 1; }
    qsizetype count() const { return m_count; }
    bool contains(qsizetype position) const;
    void insert(qsizetype position);
    void remove(qsizetype position);
    // Members among 1..position.
    qsizetype countUpTo(qsizetype position) const;
    // The member of the given rank (0 for the smallest); 0 when there is none.
    qsizetype select(qsizetype rank) const;
    qsizetype countIn(const Ranges &within) const;
    qsizetype selectIn(const Ranges &within, qsizetype rank) const;
    size_t memoryBytes() const { return m_in.capacity() + m_tree.capacity() * sizeof(quint32); }

private:
    void add(qsizetype position, int delta);
    std::vector<quint8> m_in = std::vector<quint8>(1, 0);
    std::vector<quint32> m_tree = std::vector<quint32>(1, 0);
    qsizetype m_count = 0;
};

// The other positions of the same person (equal number and name), each
// position linked to the next in a circle; a person listed once is alone.
class KeyIndex
{
public:
    using Hash = std::function<size_t(qsizetype position)>;
    using Equal = std::function<bool(qsizetype a, qsizetype b)>;
    // Reads every position's key once; `hash` and `equal` look at the keys.
    void build(qsizetype n, const Hash &hash, const Equal &equal);
    bool hasDuplicates() const { return !m_next.empty(); }
    // The next position of the same person, the position itself when alone.
    qsizetype next(qsizetype position) const
    {
        return m_next.empty() ? position : qsizetype(m_next[size_t(position)]);
    }
    // A position whose key the probe matches, 0 when none: `hashOfKey` is
    // the hash the key would have, `matches` compares a position with it.
    qsizetype find(size_t hashOfKey, const std::function<bool(qsizetype)> &matches) const;
    size_t memoryBytes() const { return m_slots.capacity() * 8 + m_next.capacity() * 4; }

private:
    std::vector<quint64> m_slots; // a position and hash bits per slot, 0 for none
    std::vector<quint32> m_next;
    size_t m_mask = 0;
};

// Hash of a key made of two texts, the same for equal texts.
template<typename View> size_t KeyHash(View number, View name)
{
    return qHash(number) * 1000003u ^ qHash(name);
}

// The winners of one round (docs/verifiable-draw.md, section 5): up to m
// times, r = stream.below(|A|) and the winner is A's r-th position in
// ascending order, A being the set's members within the award's ranges not
// drawn yet this round. With `people`, every other position of a winner's
// person leaves A too (rule v2); without, only the winner's own (rule v1).
// The set is as it was afterwards.
std::vector<qsizetype> DrawRound(PositionSet &set, const Ranges &within, qsizetype m,
    notary::DerivedStream &stream, const KeyIndex *people);

} // namespace tombolix::draw
