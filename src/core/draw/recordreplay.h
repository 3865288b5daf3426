#pragma once

#include "draw/eligibility.h"
#include "draw/positionset.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>
#include <vector>

// A draw's record replayed entry by entry under its rule
// (docs/verifiable-draw.md, section 5 and appendix A): what stands after
// each entry, and the first entry that breaks the rule. The checker replays
// a record file with its lists; the program replays its own record, without
// lists, to take up a draw where it stopped.
namespace tombolix::draw::record {

// A person as the rule knows one: number and name.
struct Key
{
    QString number;
    QString name;
    bool operator==(const Key &other) const { return number == other.number && name == other.name; }
};
inline size_t qHash(const Key &key, size_t seed = 0)
{
    return ::qHash(key.number, seed) * 31 ^ ::qHash(key.name, seed);
}
// "number name"; the number or the name alone when the other is empty.
QString PersonText(const Key &key);

// What broke the rule: the check of section 6 and what a person reads.
struct Problem
{
    int check = 0;
    QString text;
};

struct CommittedAward
{
    qint64 id = 0;
    QString name;
    QString prize;
    QString range; // who may win it, in words; empty for everyone with a number
    qint64 count = 0;
    qint64 perRound = 1;
    bool repeat = false;
    Ranges eligible; // rule v1: every position
    // Rule v2, with a range: the conditions and the numbers left out that
    // `range` words; nobody's when the range is empty.
    AwardRange limits;
    qint64 order = 0; // rule v1 only
};

struct Commit
{
    int number = 0; // 1 for the record's first commitment
    qsizetype entry = 0; // its index among the entries
    QString time;
    QString hash; // the commit entry's hash
    QString code; // the 公证码, ungrouped
    QString commitment;
    QString fingerprint;
    QString name;
    QString reason; // for a v1 record, the reason of the restart before it
    qint64 draw = 0;
    qint64 entrants = 0;
    bool cleared = false;
    QList<CommittedAward> awards;
    std::vector<qsizetype> excluded;

    const CommittedAward *award(qint64 id) const;
};

struct StandingResult
{
    qint64 award = 0;
    QString number;
    QString name;
};

// A withdrawn win as the record names it.
struct WithdrawnResult
{
    qint64 award = 0;
    QString number;
    QString name;
    QString reason;
    QString time;
};

// One record entry, read from a file or the database; `content` parsed.
struct Entry
{
    qint64 sequence = 0;
    QString type;
    QString time;
    QJsonObject content;
    QString hash;
};

// The entrant list of the commitment in force and the positions still in
// the draw (E), for a replay that checks every position.
class ListContext
{
public:
    virtual ~ListContext() = default;
    // The list of this commitment becomes L; its length and fingerprint are
    // checked against the commit.
    virtual std::optional<Problem> takeListOf(const Commit &commit) = 0;
    virtual qsizetype size() const = 0;
    virtual Key keyAt(qsizetype position) const = 0;
    // The positions of L whose number is not empty, as spans (never `all`).
    virtual Ranges positionsWithNumber() const = 0;
    // Positions of L holding one of the keys, ascending.
    virtual std::vector<qsizetype> positionsOf(const QSet<Key> &keys) const = 0;
    // Positions of L whose number is one of these, ascending.
    virtual std::vector<qsizetype> positionsWithNumberIn(const QStringList &numbers) const = 0;
    virtual const KeyIndex &people() const = 0;
    virtual PositionSet &inDraw() = 0; // E
};

class Replay
{
public:
    // rule: 1 or 2. Without lists, what depends on positions is not checked.
    Replay(int rule, ListContext *lists);

    // The seed each commitment revealed, by the commit's entry index; a round
    // under a commitment whose seed is not known is not recomputed.
    void setSeed(qsizetype commitEntry, const QByteArray &seed) { m_seeds.insert(commitEntry, seed); }

    // The next entry, at `index` among the entries.
    std::optional<Problem> feed(qsizetype index, const Entry &entry);
    // After the last entry: no commitment left in force.
    std::optional<Problem> finish() const;

    // What stands now.
    const QHash<qint64, StandingResult> &standing() const { return m_standing; }
    const QSet<Key> &withdrawn() const { return m_withdrawn; }
    // The withdrawn wins since the last 重新开始, by result id.
    const QHash<qint64, WithdrawnResult> &withdrawnResults() const { return m_withdrawnResults; }
    qint64 roundsOf(qint64 award) const { return m_rounds.value(award); }
    qint64 standingOf(qint64 award) const { return m_standingOf.value(award); }
    const std::optional<Commit> &inForce() const { return m_inForce; }
    const std::optional<Commit> &lastCommit() const { return m_last; }
    bool hallGiven() const { return m_hallGiven; }
    QString hallNumbers() const { return m_hallNumbers; }
    qsizetype roundsUnderCommit() const { return m_roundsUnderCommit; }
    int commits() const { return m_commits; }
    qsizetype rounds() const { return m_roundCount; }
    qsizetype withdrawals() const { return m_withdrawalCount; }

    // Entrants out of the draw at a commitment: the withdrawn, and the
    // winners of the awards that allow no second win.
    static QSet<Key> OutKeys(
        const QHash<qint64, StandingResult> &standing, const QSet<Key> &withdrawn, const Commit &commit);

    // What a person compares, as the replay met it.
    struct Event
    {
        enum Kind
        {
            Committed,
            Hall,
            Withdrawn,
        } kind;
        qsizetype entry = 0;
        QString time;
        int commit = 0;
        QString text; // the hall's numbers; the withdrawal's reason
        qint64 result = 0;
        QString award;
        Key key;
    };
    const QList<Event> &events() const { return m_events; }

private:
    std::optional<Problem> commit(qsizetype index, const Entry &entry);
    std::optional<Problem> enteredV1(qsizetype index, const Entry &entry);
    std::optional<Problem> hall(qsizetype index, const Entry &entry);
    std::optional<Problem> round(qsizetype index, const Entry &entry);
    // The round drawn again from the seed and the list.
    std::optional<Problem> redrawRound(
        qsizetype index, const Entry &entry, const CommittedAward &award, qint64 left);
    void standWinners(const CommittedAward &award, const QJsonArray &winners);
    std::optional<Problem> withdrawal(qsizetype index, const Entry &entry);
    std::optional<Problem> reveal(qsizetype index, const Entry &entry);
    std::optional<Problem> restartV1(qsizetype index, const Entry &entry);
    std::optional<Problem> openCommit(qsizetype index, const Entry &entry, Commit &commit);
    std::optional<Problem> takeUpCommit(qsizetype index, Commit commit);
    // The award a round must be for; nothing when none is open, or unknown
    // without lists.
    std::optional<const CommittedAward *> currentAward() const;
    qsizetype eligibleFor(const CommittedAward &award) const;

    int m_rule;
    ListContext *m_lists;
    QHash<qsizetype, QByteArray> m_seeds;
    QHash<qint64, StandingResult> m_standing;
    QHash<qint64, qint64> m_standingOf;
    QSet<Key> m_withdrawn;
    QHash<qint64, WithdrawnResult> m_withdrawnResults;
    QHash<qint64, qint64> m_rounds;
    QSet<qint64> m_usedResults;
    std::optional<Commit> m_inForce;
    std::optional<Commit> m_last;
    QByteArray m_hallKey;
    QByteArray m_seed;
    bool m_hallGiven = false;
    QString m_hallNumbers;
    qsizetype m_roundsUnderCommit = 0;
    int m_commits = 0;
    qsizetype m_roundCount = 0;
    qsizetype m_withdrawalCount = 0;
    QString m_pendingReason; // rule v1: a restart's reason, for the entered after it
    QList<Event> m_events;
};

// Who joined (+) and who left (-) a list, as a person reads it: "+1 2001
// 迟到者；-2 1003 王五 等".
QString ListChangesText(const QHash<Key, qint64> &delta);

// The name a person reads for an entry: "第3条记录（round）".
QString EntryName(qsizetype index, const QString &type);

// Reads ranges and positions as a record writes them; nothing when the
// value is not of that form (within 1..size).
std::optional<Ranges> RangesOf(const QJsonValue &value, qsizetype size);
std::optional<std::vector<qsizetype>> PositionsOf(const QJsonValue &value, qsizetype size);
QJsonValue RangesValue(const Ranges &ranges, qsizetype size);
// An award's eligible positions: ranges, or a bitmap in base64 when that is
// shorter (each byte eight positions, the first in the lowest bit).
std::optional<Ranges> EligibleOf(const QJsonValue &value, qsizetype size);
QJsonValue EligibleValue(const Ranges &ranges, qsizetype size);

} // namespace tombolix::draw::record
