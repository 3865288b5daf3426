#pragma once

#include "draw/board.h"
#include "draw/entrantpool.h"
#include "draw/randomsource.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace tombolix::draw {

// The settings a draw keeps in its row of 奖次表, read when its screen opens.
struct DrawSettings
{
    qint64 drawId = 0;
    QString P_Jpg; // background picture path
    qint64 P_Speed = 0; // rolling interval, ms
    QString P_Hide; // mask
    qint64 P_Timer = 0; // 1 or more: a round stops by itself after this many seconds
    qint64 P_Long = 0; // fixed length of displayed numbers, at most MaxFixedLength
};
DrawSettings ReadDrawSettings(qint64 drawId);

// The award being drawn.
struct AwardState
{
    qint64 Remaining = 0;
    qint64 PerRound = 1;
    bool RepeatAllowed = true;
    QString name; // 名称, for the room to read
    QString prize; // 奖品
};

// How a draw is entered: afresh, its earlier results deleted, or continued
// where it stopped, its stored winners kept.
enum class Entry
{
    Afresh,
    Continue,
};

// What a stop hands to the screen.
struct StopOutcome
{
    QString numberText; // the winners' display texts, one per line
    std::vector<qint64> resultIds; // the stored result of each line
    BoardText board;
    int recorded = 0;
    int failed = 0; // winners whose result could not be stored
};

// The award the banner names: the one whose winners are on show after a
// stop, else the current one.
struct BannerAward
{
    QString name;
    QString prize;
    qint64 remaining = 0; // 0: every winner of it is drawn
};

// A draw held on screen, without any widget: the pool, the current award,
// the rolling picks and the recording of winners.
class DrawSession
{
public:
    explicit DrawSession(std::unique_ptr<RandomSource> random = nullptr);

    // Reads the draw's settings and entrants and makes the first unfinished
    // award current. Continuing, the session stands as it would had it held
    // the stored rounds itself: their winners are out of the pool where
    // their award allows no repeat, and with every award complete the draw
    // is finished.
    void start(qint64 drawId, Entry entry = Entry::Afresh);

    const DrawSettings &settings() const { return m_settings; }
    qint64 drawId() const { return m_settings.drawId; }
    QString PID() const { return QString::number(m_settings.drawId); }
    QString WID() const { return m_wid; }
    const AwardState &awardState() const { return m_award; }
    bool DrawFinished() const { return m_finished; }
    EntrantPool &pool() { return m_pool; }
    const EntrantPool &pool() const { return m_pool; }

    // Makes the first award, in 顺序, whose results fall short of its 数量
    // current; false when there is none.
    bool SelectNextAward();

    // The number of lines a tick shows: the smaller of Remaining and PerRound.
    qint64 linesPerTick() const;

    // The number frame's lines name the entrants after their numbers; the
    // board is not affected.
    void setNamesShown(bool on) { m_namesShown = on; }
    bool namesShown() const { return m_namesShown; }

    // A round begins under the current award: the picks of the last round no
    // longer count. When fewer entrants are left than the award still draws,
    // the operator is told once per award; with nobody left, no award can
    // be drawn any more: the draw is finished and no round rolls (false).
    bool beginRound();
    // Between a start and its stop.
    bool roundUnderway() const { return m_roundUnderway; }
    // A fresh pick of eligible entrants; returns their lines (StageLine).
    QStringList RollTick();
    // The pool indexes the last tick showed.
    const std::vector<qsizetype> &picks() const { return m_picks; }

    // Records the entrants the last tick of this round showed (a fresh pick
    // when the round had no tick), rebuilds the board and moves on to the
    // next award when this one is complete. Stored winners leave the pool
    // unless the award allows winning again; a winner that cannot be stored
    // stays in the pool and is not counted.
    StopOutcome StopAndRecord(bool ascending, bool onlyCurrent);

    // A result the operator withdraws: its row and the winner it names.
    struct WithdrawnResult
    {
        qint64 id = 0;
        QString number;
        QString name;
    };
    struct WithdrawOutcome
    {
        int deleted = 0;
        bool failed = false; // the database refused: nothing was deleted, nothing changed
        BoardText board; // for the award that was current when the results went
    };
    // Deletes the results in one transaction and takes their winners out of
    // the pool, matched by the stored number and name (so a masked or padded
    // display still matches). The board is rebuilt for the award current
    // until now; then the current award is chosen again, at once, or, while
    // a round is under way, when it stops: a round records under the award
    // it started with.
    WithdrawOutcome WithdrawResults(
        const std::vector<WithdrawnResult> &results, bool ascending, bool onlyCurrent);

    // The 公证码 of the draw's committed seed, grouped for reading out; empty
    // when the draw could not commit. codeOnShow: no round since it was made.
    QString notaryCode() const;
    bool codeOnShow() const { return m_codeOnShow && !m_code.isEmpty(); }
    // Whether this screen drew rounds from a committed seed still secret.
    bool hasRecord() const { return !m_seed.isEmpty(); }
    // Reveals the seed into the record (抽奖结束, or an export of the record);
    // no round is drawn from it afterwards.
    bool revealSeed();

    // What the banner names; nothing when no award is on show or current.
    std::optional<BannerAward> bannerAward() const;

    // The board as it stands, for a redraw after results changed.
    BoardText WinnersText(bool ascending, bool onlyCurrent) const;
    // The board as the last stored round's stop built it: listing only the
    // current award, that round's award is listed, not the one after it.
    BoardText lastRoundBoard(bool ascending, bool onlyCurrent) const;

private:
    // False when the stored winners could not be read.
    bool leaveOutStoredWinners();
    // Makes and records the draw's commitment, or takes up the one it has.
    void commitToTheDraw(Entry entry);

    std::unique_ptr<RandomSource> m_random;
    DrawSettings m_settings;
    EntrantPool m_pool;
    AwardState m_award;
    QString m_wid;
    qint64 m_lastRoundAward = 0;
    bool m_finished = false;
    std::vector<qsizetype> m_picks;
    bool m_picksValid = false;
    bool m_namesShown = false;
    bool m_roundUnderway = false;
    bool m_reselectAfterRound = false; // results were withdrawn while the round rolled
    std::optional<BannerAward> m_onShow; // the award of the round the last stop showed
    QSet<qint64> m_toldShort; // awards the operator was told cannot be filled
    QByteArray m_seed; // the committed seed, while it is secret
    QString m_code;
    bool m_codeOnShow = false;
    QHash<qint64, qint64> m_roundsOfAward; // rounds recorded, by award
};

} // namespace tombolix::draw
