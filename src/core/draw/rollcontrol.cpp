#include "draw/rollcontrol.h"

#include "draw/stagepace.h"

#include <QTimer>
#include <algorithm>

namespace tombolix::draw {

RollControl::RollControl(std::unique_ptr<RandomSource> random, QObject *parent)
    : QObject(parent)
    , m_session(std::move(random))
{
    setObjectName(QStringLiteral("rollControl"));
    m_roll = new QTimer(this);
    m_roll->setObjectName(QStringLiteral("Scr"));
    m_roll->setTimerType(Qt::PreciseTimer);
    connect(m_roll, &QTimer::timeout, this, &RollControl::tick);

    m_timed = new QTimer(this);
    m_timed->setObjectName(QStringLiteral("Fin"));
    m_timed->setSingleShot(true);
    m_timed->setInterval(1000); // until the draw's 定时 is read
    m_timed->setTimerType(Qt::PreciseTimer);
    connect(m_timed, &QTimer::timeout, this, &RollControl::stop);

    m_landingTimer = new QTimer(this);
    m_landingTimer->setObjectName(QStringLiteral("landing"));
    m_landingTimer->setSingleShot(true);
    m_landingTimer->setTimerType(Qt::PreciseTimer);
    connect(m_landingTimer, &QTimer::timeout, this, &RollControl::landingTick);
}

StartReport RollControl::start(qint64 drawId, Entry entry)
{
    const StartReport report = m_session.start(drawId, entry);
    const DrawSettings &settings = m_session.settings();
    constexpr qint64 Day = 24 * 3600 * 1000; // ms; anything longer fits no evening, nor an int
    if (settings.P_Speed > 0)
        m_roll->setInterval(int(std::min<qint64>(settings.P_Speed, Day)));
    // The draw editor asks for the timed stop in seconds.
    if (settings.P_Timer >= 1)
        m_timed->setInterval(int(std::min<qint64>(settings.P_Timer, Day / 1000) * 1000));
    return report;
}

void RollControl::setBoardOrder(bool ascending, bool oneAward)
{
    m_ascending = ascending;
    m_oneAward = oneAward;
}

void RollControl::press()
{
    if (m_session.DrawFinished()) {
        // The hall is told the draw has ended, not the last award again.
        m_session.endShowing();
        emit awardShown();
        return;
    }
    const DrawSettings &settings = m_session.settings();
    if (!m_rolling && m_session.needsHallNumbers()) {
        // The hall speaks before the first round of a commitment.
        emit hallNumbersWanted();
        return;
    }
    if (m_landing)
        return; // the stop is landing on its winners
    // A start right after a stop is the same hand pressing twice: the hall
    // would see the winners for an instant only.
    if (!m_rolling && m_stoppedAt.isValid() && m_stoppedAt.elapsed() < CurrentStagePace().startGuardMs)
        return;
    if (!m_rolling && m_cardPending) {
        // An award is done: the hall first sees which comes next.
        m_cardPending = false;
        m_cardShown = true;
        m_session.endShowing(); // the banner too names the award to come
        emit awardShown();
        return;
    }
    if (!m_rolling) {
        m_cardShown = false;
        // The banner names the award this round draws.
        const bool rolls = m_session.beginRound();
        emit notice(m_session.takeNotice());
        emit awardShown();
        if (!rolls) // nobody left to draw: the draw has ended
            return;
        m_rolling = true;
        if (settings.P_Timer >= 1)
            m_timed->start();
        // An interval of 0 means the timer never fires: the round shows
        // nothing until it is stopped.
        if (settings.P_Speed > 0)
            m_roll->start();
        emit rollStarted();
        return;
    }
    if (settings.P_Timer < 1)
        stop(); // a timed round ends by itself
}

void RollControl::tick()
{
    emit rolled(m_session.RollTick());
}

void RollControl::stop()
{
    m_timed->stop();
    m_roll->stop();
    if (!m_rolling)
        return;
    m_rolling = false;
    emit rollStopped();
    // The winners are drawn and stored now; the view then lands on them.
    const QString award = m_session.WID();
    const StopOutcome outcome = m_session.StopAndRecord(m_ascending, m_oneAward);
    m_cardPending = CurrentStagePace().nextAwardCard && outcome.recorded > 0 && !m_session.DrawFinished()
        && m_session.WID() != award;
    const int landing = CurrentStagePace().landingMs;
    if (outcome.recorded > 0 && outcome.problem.isEmpty() && landing > 0) {
        m_landing.emplace(outcome);
        m_landingFrame = 0;
        m_landingTimer->start(LandingStep(0, landing));
        return;
    }
    finish(outcome);
}

int RollControl::LandingStep(int frame, int landingMs)
{
    // Each frame stays a little longer than the one before, as a reel slows:
    // steps a, 2a, … LandingFrames·a add up to the landing's length.
    const int a = std::max(1, 2 * landingMs / (LandingFrames * (LandingFrames + 1)));
    return a * (frame + 1);
}

void RollControl::landingTick()
{
    if (!m_landing)
        return;
    ++m_landingFrame;
    if (m_landingFrame < LandingFrames) {
        const qsizetype lines = qsizetype(m_landing->resultIds.size());
        QStringList passing = m_session.passingLines(lines);
        if (passing.size() < lines) // too few left to pass by: the winners' own lines
            passing = m_landing->numberText.split(QStringLiteral("\r\n"));
        m_landingTimer->start(LandingStep(m_landingFrame, CurrentStagePace().landingMs));
        emit landingStep(passing);
        return;
    }
    const StopOutcome outcome = *m_landing;
    m_landing.reset();
    finish(outcome);
}

void RollControl::finish(const StopOutcome &outcome)
{
    m_stoppedAt.start();
    noteLanded(outcome);
    emit landed(outcome);
}

void RollControl::noteLanded(const StopOutcome &outcome)
{
    m_lastRound.clear();
    m_lastRoundSize = 0;
    const std::optional<Commitment> &commitment = m_session.commitment();
    if (outcome.recorded < 1 || !commitment)
        return;
    for (const qint64 id : outcome.resultIds) {
        const auto it = commitment->standing.constFind(id);
        if (it == commitment->standing.cend())
            continue;
        m_lastRound.push_back({ id, it->number, it->name });
        m_lastRoundAward = it->award;
    }
    m_lastRoundSize = m_lastRound.size();
}

RollControl::AbsentWinners RollControl::absentWinners() const
{
    if (m_rolling || m_landing || m_lastRound.empty())
        return {};
    return { m_lastRoundSize == 1 ? AbsentAsk::TheOne : AbsentAsk::WhichOfThem, m_lastRound };
}

bool RollControl::redrawFreedPlace()
{
    if (m_rolling || m_landing || m_lastRoundSize != 1 || !m_lastRound.empty() || m_session.DrawFinished()
        || m_session.WID() != QString::number(m_lastRoundAward))
        return false;
    m_cardPending = false; // the hall knows the award: its freed place follows
    m_stoppedAt.invalidate(); // a question was answered, no hand pressed twice
    press();
    return m_rolling;
}

void RollControl::halt()
{
    m_roll->stop();
    m_timed->stop();
    m_landingTimer->stop();
}

DrawSession::WithdrawOutcome RollControl::withdraw(
    const std::vector<DrawSession::WithdrawnResult> &results, const QString &reason)
{
    const DrawSession::WithdrawOutcome outcome
        = m_session.WithdrawResults(results, m_ascending, m_oneAward, reason);
    if (outcome.failed)
        return outcome;
    const auto gone = [&results](const DrawSession::WithdrawnResult &standing) {
        return std::any_of(results.begin(), results.end(),
            [&standing](const DrawSession::WithdrawnResult &result) { return result.id == standing.id; });
    };
    m_lastRound.erase(std::remove_if(m_lastRound.begin(), m_lastRound.end(), gone), m_lastRound.end());
    emit withdrawn(outcome);
    return outcome;
}

} // namespace tombolix::draw
