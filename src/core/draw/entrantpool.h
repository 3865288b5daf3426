#pragma once

#include "common/notary.h"
#include "draw/positionset.h"
#include "draw/randomsource.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace tombolix::draw {

// One entrant as the draw screen sees it. An entry whose Show is empty is not
// eligible: it is never shown and cannot be picked.
struct PoolEntry
{
    qint64 ID = 0;
    QString Show; // the number after fixed length and mask
    QString Number; // the stored number, trimmed: what a win records
    QString Name;
};

// The entrants of the draw on screen, indexed 1..size(); index 0 is an empty
// entry. Texts live in one buffer, so a million entrants stay compact, and
// the eligible indexes are kept in a list of their own, so a pick costs the
// same whether few or almost all entrants have already won.
class EntrantPool
{
public:
    void clear();
    void reserve(qsizetype count);
    // Adds an entrant; its display text starts as its trimmed number.
    void append(qint64 id, const QString &number, const QString &name);

    qsizetype size() const { return qsizetype(m_slots.size()) - 1; }
    PoolEntry entry(qsizetype index) const;
    qint64 id(qsizetype index) const;
    QString show(qsizetype index) const;
    QString number(qsizetype index) const;
    QString name(qsizetype index) const;
    // The same texts without a copy; valid until the pool changes.
    QStringView numberView(qsizetype index) const;
    QStringView nameView(qsizetype index) const;

    // The value of the one attribute the board shows beside the name (部门…);
    // empty for all until values are set. Each distinct value is kept once.
    void setAttribute(qsizetype index, const QString &value);
    QString attribute(qsizetype index) const;

    bool isEligible(qsizetype index) const;
    qsizetype eligibleCount() const { return qsizetype(m_eligible.size()); }
    // Sets the display text; an empty text takes the entry out of the draw.
    void setShow(qsizetype index, const QString &show);
    void makeIneligible(qsizetype index) { setShow(index, QString()); }

    // Up to `count` distinct eligible indexes, each eligible entrant equally
    // likely; fewer when fewer are eligible.
    std::vector<qsizetype> pick(qsizetype count, RandomSource &random);
    // The same among the eligible indexes within the ranges: what rolls on
    // the stage for an award only some may win.
    std::vector<qsizetype> pick(qsizetype count, RandomSource &random, const Ranges &within);

    // The winners of a checkable draw's round (DrawRound): up to `count`
    // eligible indexes within the award's ranges, each the stream.below(n)-th
    // of the n in ascending order that this round has not reached yet; a
    // winner's other entries (the same number and name) are passed over too.
    std::vector<qsizetype> pickInOrder(
        qsizetype count, notary::DerivedStream &stream, const Ranges &within = Ranges());
    // The eligible entries within the ranges.
    qsizetype eligibleWithin(const Ranges &within) const;
    // The entries of the same person as each index: equal number and name.
    const KeyIndex &people() const;
    // Index of an entry with this number and name; 0 when there is none.
    qsizetype find(QStringView number, QStringView name) const;
    // Takes the entry and every other entry of its person out of the draw.
    void makePersonIneligible(qsizetype index);
    // The indexes whose number is not empty, as spans.
    Ranges numbered() const;

    // Bytes held by the pool, for the memory figures.
    size_t memoryBytes() const;

private:
    struct Slot
    {
        qint64 id = 0;
        quint32 numberPos = 0, numberLen = 0;
        quint32 namePos = 0, nameLen = 0;
        quint32 showPos = 0, showLen = 0;
    };
    static constexpr quint32 NotEligible = 0xFFFFFFFFu;

    QString text(quint32 pos, quint32 len) const;
    QStringView view(quint32 pos, quint32 len) const;
    quint32 store(const QString &text);
    bool valid(qsizetype index) const { return index >= 1 && index < qsizetype(m_slots.size()); }

    std::vector<Slot> m_slots = std::vector<Slot>(1);
    std::vector<char16_t> m_text;
    std::vector<quint32> m_eligible; // eligible indexes, in no particular order
    std::vector<quint32> m_where; // position of each index in m_eligible
    // The eligible indexes with their ranks, built by the first ordered pick
    // (empty until then) and kept up to date after it.
    mutable PositionSet m_ranked;
    mutable bool m_rankedBuilt = false;
    void buildRanked() const;
    // The eligible indexes within one award's ranges, for an award only some
    // may win: its ranges are many spans, and a count or pick over them one
    // by one would cost as many steps. Built for the ranges last asked about
    // (known by their address and size: the commitment's own) and kept up to
    // date as entrants leave.
    PositionSet &within(const Ranges &ranges) const;
    mutable PositionSet m_within;
    mutable std::vector<quint8> m_inRanges;
    mutable const void *m_withinOf = nullptr;
    mutable size_t m_withinSpans = 0;
    mutable KeyIndex m_people;
    mutable bool m_peopleBuilt = false;
    std::vector<quint32> m_attribute; // by index: 0 none, else 1 + its place in m_attributeValues
    QStringList m_attributeValues;
    QHash<QString, quint32> m_attributeCodes;
};

// The positions 1..size() of a list (the pool, or any with numberView())
// whose number is not empty, as spans.
template<typename List> Ranges NumberedPositions(const List &list)
{
    Ranges ranges = Ranges::none();
    for (qsizetype i = 1; i <= list.size(); ++i) {
        if (!list.numberView(i).isEmpty())
            ranges.append(i);
    }
    return ranges;
}

// Reads the entrants of the draw: number trimmed, Null as empty text.
void LoadEntrantPool(EntrantPool &pool, qint64 drawId);
// Reads the values of the draw's attribute of that name into the pool
// loaded by LoadEntrantPool; false when they could not be read.
bool LoadPoolAttribute(EntrantPool &pool, qint64 drawId, const QString &name);
// A winner as 结果表 holds it: the entrant's trimmed number and name.
struct WinnerKey
{
    QString number;
    QString name;
};
// Takes the winners out of the draw: every eligible entry whose number and
// name are a winner's (the number compared trimmed), so a masked or padded
// display still matches, and two entrants of the same number and name both
// go. One pass over the pool whatever the number of winners. Returns the
// entries taken out.
qsizetype RemoveWinners(EntrantPool &pool, const QList<WinnerKey> &winners);

// Applies the fixed length and the mask to every display text.
void FormatDisplayTexts(EntrantPool &pool, qint64 length, const QString &mask);

} // namespace tombolix::draw
