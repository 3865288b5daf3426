#pragma once

#include "draw/drawsession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

class QTimer;

namespace tombolix::draw {

// The roll of a draw, without a window: a press starts a round or stops it,
// the roll's timer shows a fresh pick on every tick, the stop stores its
// winners and lands on them in frames that slow like a reel, and the draw
// goes from award to award. What happens is signalled, so any view (the draw
// screen, or another following the same draw) shows it; the view answers
// only what needs a person (the hall's numbers, a question).
class RollControl : public QObject
{
    Q_OBJECT

public:
    explicit RollControl(std::unique_ptr<RandomSource> random, QObject *parent = nullptr);

    DrawSession &session() { return m_session; }
    const DrawSession &session() const { return m_session; }
    // Enters the draw; the roll and the timed stop take the draw's pace.
    StartReport start(qint64 drawId, Entry entry);
    // How the board lists the winners after a stop or a withdrawal.
    void setBoardOrder(bool ascending, bool oneAward);

    // Start or stop, as a click or a key asks.
    void press();
    // Ends the round under way, as its timer does.
    void stop();
    // One tick of the roll: a fresh pick on show.
    void tick();
    // Stops every timer: the screen is closing.
    void halt();

    bool isRolling() const { return m_rolling; }
    // A stop landing on its winners: they are stored, the frames slow to them.
    bool isLanding() const { return m_landing.has_value(); }
    // The next award's card is on show, between two awards.
    bool cardShown() const { return m_cardShown; }

    // Withdraws results (DrawSession::WithdrawResults) with the board as the
    // view lists it.
    DrawSession::WithdrawOutcome withdraw(
        const std::vector<DrawSession::WithdrawnResult> &results, const QString &reason);

    // The absent-winner key is about the round last landed at this sitting,
    // while its winners stand and nothing rolls or lands: its one winner is
    // asked about, or the operator picks among its winners still standing.
    enum class AbsentAsk
    {
        Nothing,
        TheOne,
        WhichOfThem,
    };
    struct AbsentWinners
    {
        AbsentAsk ask = AbsentAsk::Nothing;
        std::vector<DrawSession::WithdrawnResult> winners; // as stored, in the round's order
    };
    AbsentWinners absentWinners() const;
    // The place the last round's one winner left, withdrawn, is drawn at
    // once, as a start would, with no card and no guard in between; only
    // while that round's award is the current one again. True when a round
    // rolls.
    bool redrawFreedPlace();

    // A stop lands in this many frames, each longer than the last.
    static constexpr int LandingFrames = 8;
    static int LandingStep(int frame, int landingMs);

signals:
    // The first start of a commitment waits for the hall's numbers.
    void hallNumbersWanted();
    // The award on show changed (a round begun, the next award's card, the
    // end): the banner names it.
    void awardShown();
    // What the stage tells the hall beside the draw, once.
    void notice(const QString &text);
    void rollStarted();
    void rolled(const QStringList &lines);
    // The numbers stop rolling; the winners are being stored.
    void rollStopped();
    // A frame of the landing: lines passing by on their way to the winners.
    void landingStep(const QStringList &lines);
    // The stop's winners are shown (or what kept them from being stored).
    void landed(const StopOutcome &outcome);
    void withdrawn(const DrawSession::WithdrawOutcome &outcome);

private:
    void landingTick();
    void finish(const StopOutcome &outcome);

    DrawSession m_session;
    QTimer *m_roll = nullptr;
    QTimer *m_timed = nullptr;
    QTimer *m_landingTimer = nullptr;
    bool m_rolling = false;
    bool m_ascending = true;
    bool m_oneAward = false;
    QElapsedTimer m_stoppedAt; // starts too soon after it are not taken
    std::optional<StopOutcome> m_landing; // stored, being landed on
    int m_landingFrame = 0;
    bool m_cardShown = false;
    bool m_cardPending = false; // an award was completed: the next press shows the next one's card
    // The round last landed at this sitting: its winners still standing, how
    // many it drew and for which award.
    std::vector<DrawSession::WithdrawnResult> m_lastRound;
    size_t m_lastRoundSize = 0;
    qint64 m_lastRoundAward = 0;
    void noteLanded(const StopOutcome &outcome);
};

} // namespace tombolix::draw
