#pragma once

#include "draw/eligibleset.h"
#include "draw/entrantpool.h"
#include "draw/recordreplay.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// The program's side of the checkable draw: before any round, the draw's
// record is read back and compared with the database; the commitment in
// force is taken up where they agree, and a new one is made where they do
// not, or when the draw starts again. Rounds are drawn only under a
// commitment, from what it fixed.
namespace tombolix::draw {

// How a draw is entered: with nothing drawn yet, on from where it stopped
// (继续抽奖), or from the beginning, its results cleared (重新开始).
enum class Entry
{
    Afresh,
    Continue,
    Restart,
};

// What a draw's record allows, told before the operator is asked how to enter.
struct RecordState
{
    enum class Kind
    {
        None, // no record yet
        Sound,
        Broken, // changed behind the program's back, or its seed lost: only 重新开始
        OlderRule, // written by version 1.12: only 重新开始
    };
    Kind kind = Kind::None;
    QString problem; // for Broken, what is wrong
    bool hasWins = false; // results or withdrawals stand in it
    bool readable = true; // false: the database could not be read
};
RecordState InspectRecord(qint64 drawId);

// For a record that cannot go on: 重新开始 clears it. A record of version
// 1.12 with rounds in it is first revealed and written to `keepAs`.
[[nodiscard]] bool ClearRecordForRestart(qint64 drawId, const QString &keepAs);

// The commitment a draw is drawn under, with the state its record gives.
struct Commitment
{
    int number = 0; // 第N次承诺
    QString code; // the 公证码, ungrouped
    QString entryHash;
    QString time;
    QString reason; // why this commitment was made, for a recommitment
    QString commitment; // SHA-256 of the seed, in hex
    QString fingerprint; // of the entrant list
    qint64 entrants = 0;
    QByteArray seed;
    QList<record::CommittedAward> awards;
    bool hallGiven = false;
    QString hallNumbers;
    QByteArray hallKey;
    qsizetype roundsUnder = 0; // rounds drawn under it so far
    QHash<qint64, record::StandingResult> standing;
    QSet<record::Key> withdrawn;
    QHash<qint64, qint64> rounds; // per award, over the whole record

    qint64 standingOf(qint64 award) const;
    const record::CommittedAward *award(qint64 id) const;
};

struct TakenUp
{
    std::optional<Commitment> commitment; // nothing: no round may be drawn
    QString problem; // why not, for the operator
    // What the database had that the record did not, or the other way
    // round: the window tells the operator, the database was brought back to the
    // record, and the draw was committed to afresh.
    QStringList differences;
    bool committedNow = false; // a new commitment was made on entering
    // Continued with every award drawn: nothing to commit to, nothing to draw.
    bool nothingToDraw = false;
};

// Takes up the draw's commitment, or makes one. `pool` is the draw's list as
// loaded now (its numbers trimmed), in the draw's order; `ranges`, when
// given, the awards' ranges read beside its loading.
[[nodiscard]] TakenUp TakeUpCommitment(
    qint64 drawId, Entry entry, EntrantPool &pool, std::optional<RangesRead> ranges = std::nullopt);

// Stores the hall's numbers for the commitment in force (empty: the operator
// went on without them, after confirming); false when the database refused.
[[nodiscard]] bool RecordHallNumbers(qint64 drawId, Commitment &commitment, const QString &numbers);

// The committed form of the draw's awards now, as a new commitment would fix
// them; nothing when they could not be read.
std::optional<QList<record::CommittedAward>> CurrentAwards(
    qint64 drawId, const EntrantPool &pool, std::optional<RangesRead> ranges = std::nullopt);

} // namespace tombolix::draw
