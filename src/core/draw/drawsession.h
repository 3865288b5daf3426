#pragma once

#include "draw/board.h"
#include "draw/commitment.h"
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
    QString boardAttribute; // the attribute the board shows beside the names; none when empty
};
DrawSettings ReadDrawSettings(qint64 drawId);

// Test hook, as the database's are: tests of other things than the hall's
// numbers have every new commitment take these as if the hall had called
// them. The program itself never sets it.
void SetHallNumbersForTesting(const std::optional<QString> &numbers);

// The award being drawn.
struct AwardState
{
    qint64 Remaining = 0;
    qint64 PerRound = 1;
    bool RepeatAllowed = true;
    QString name; // 名称, for the room to read
    QString prize; // 奖品
    QString forWhom; // StageWords of its range; empty for everyone
};

// What a stop hands to the screen.
struct StopOutcome
{
    QString numberText; // the winners' display texts, one per line
    std::vector<qint64> resultIds; // the stored result of each line
    BoardText board;
    int recorded = 0;
    // Why the round was not stored (a winner's row refused, the database
    // failing): nothing of it counts, and the next start draws it again.
    QString problem;
};

// The award the banner names: the one whose winners are on show after a
// stop, else the current one.
struct BannerAward
{
    QString name;
    QString prize;
    qint64 remaining = 0; // 0: every winner of it is drawn
    QString forWhom; // who may win it, for the hall ("仅限员工"); empty for everyone
};

// What entering told, for the window to say.
struct StartReport
{
    QString problem; // the draw cannot be drawn: why
    QStringList differences; // the database disagreed with the record; it was set right
    bool committedNow = false;
};

// A draw held on screen, without any widget: the pool, the current award,
// the rolling picks and the recording of winners. Winners are drawn only
// under the draw's commitment, from the seed, the hall's numbers and what
// the commitment fixed: the awards' order, sizes and who may win them.
class DrawSession
{
public:
    explicit DrawSession(std::unique_ptr<RandomSource> random = nullptr);

    // Reads the draw's settings, entrants and record, takes up its
    // commitment or makes a new one (see TakeUpCommitment), and makes the
    // first award current that is not drawn in full.
    StartReport start(qint64 drawId, Entry entry = Entry::Afresh);

    const DrawSettings &settings() const { return m_settings; }
    qint64 drawId() const { return m_settings.drawId; }
    QString PID() const { return QString::number(m_settings.drawId); }
    QString WID() const { return m_wid; }
    const AwardState &awardState() const { return m_award; }
    bool DrawFinished() const { return m_finished; }
    EntrantPool &pool() { return m_pool; }
    const EntrantPool &pool() const { return m_pool; }

    // Makes the first award of the commitment current that has places left
    // and someone left to fill them; false when there is none.
    bool SelectNextAward();

    // The number of lines a tick shows: the smaller of Remaining and PerRound.
    qint64 linesPerTick() const;
    Ranges rollingWithin() const;

    // The number frame's lines name the entrants after their numbers; the
    // board is not affected.
    void setNamesShown(bool on) { m_namesShown = on; }
    bool namesShown() const { return m_namesShown; }

    // The hall's numbers are asked for once per commitment, before its first
    // round; locking stores them (empty: going on without, confirmed).
    bool needsHallNumbers() const { return m_commitment && !m_commitment->hallGiven; }
    [[nodiscard]] bool lockHallNumbers(const QString &numbers);

    // A round begins under the current award: the picks of the last round no
    // longer count. When fewer entrants are left than the award still draws,
    // the round draws who is left and a notice says so, once per award.
    // False when no round can roll: nothing is left to draw, or the hall's
    // numbers have not been given.
    bool beginRound();
    // Between a start and its stop.
    bool roundUnderway() const { return m_roundUnderway; }
    // A fresh pick of eligible entrants; returns their lines (StageLine).
    QStringList RollTick();
    // Lines of entrants still in the draw, picked for show only: what passes
    // by while a stop lands on its winners.
    QStringList passingLines(qsizetype count);
    // The pool indexes the last tick showed.
    const std::vector<qsizetype> &picks() const { return m_picks; }

    // Draws the round's winners from the commitment and stores them with the
    // round's entry in the record, all or nothing; rebuilds the board and
    // moves on to the next award when this one is complete.
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
    // Deletes the results in one transaction, records the withdrawals and
    // takes their winners out of the draw, each with the reason given. The
    // board is rebuilt for the award current until now; then the current
    // award is chosen again, at once, or, while a round is under way, when it
    // stops.
    WithdrawOutcome WithdrawResults(const std::vector<WithdrawnResult> &results, bool ascending,
        bool onlyCurrent, const QString &reason = QStringLiteral("取消结果"));

    // The commitment in force: its 公证码 grouped for reading out, its number
    // (第N次) and reason, and the hash the QR code holds. codeOnShow: no
    // round drawn under it yet.
    QString notaryCode() const;
    bool codeOnShow() const { return m_commitment && m_commitment->roundsUnder == 0; }
    const std::optional<Commitment> &commitment() const { return m_commitment; }
    // Whether this screen draws under a commitment whose seed is still secret.
    bool hasRecord() const { return m_commitment.has_value(); }
    // Reveals the seed into the record (抽奖结束); no round is drawn under it
    // afterwards.
    bool revealSeed();

    // What the stage is to tell the hall and the operator once, beside the
    // draw (an award that cannot be filled); empty when nothing.
    QString takeNotice();
    // The awards passed over with places unfilled ("三等奖 差1名"), in the
    // commitment's order: all of them once the draw has ended.
    QStringList shortAwards() const;

    // What the banner names; nothing when no award is on show or current.
    std::optional<BannerAward> bannerAward() const;
    // The winners on show leave the banner (a start pressed on a draw that
    // has ended: the banner tells the hall so).
    void endShowing() { m_onShow.reset(); }

    // The board as it stands, for a redraw after results changed.
    BoardText WinnersText(bool ascending, bool onlyCurrent) const;
    // The board as the last stored round's stop built it: listing only the
    // current award, that round's award is listed, not the one after it.
    BoardText lastRoundBoard(bool ascending, bool onlyCurrent) const;

private:
    // Takes up the draw's commitment or makes one, and leaves out of the
    // pool whoever is out of the draw.
    TakenUp takeUp(Entry entry, std::optional<RangesRead> ranges);
    const record::CommittedAward *currentAward() const;
    void leaveOut(const QString &number, const QString &name);
    // The board's look-up of a winner's attribute; none when it shows none.
    AttributeOf attributeOf() const;

    std::unique_ptr<RandomSource> m_random;
    DrawSettings m_settings;
    EntrantPool m_pool;
    AwardState m_award;
    QString m_wid;
    qint64 m_lastRoundAward = 0;
    bool m_finished = false;
    std::vector<qsizetype> m_picks;
    bool m_namesShown = false;
    bool m_roundUnderway = false;
    bool m_reselectAfterRound = false; // results were withdrawn while the round rolled
    std::optional<BannerAward> m_onShow; // the award of the round the last stop showed
    QSet<qint64> m_toldShort; // awards the operator was told cannot be filled
    QString m_notice;
    std::optional<Commitment> m_commitment;
};

} // namespace tombolix::draw
