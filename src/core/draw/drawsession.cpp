#include "draw/drawsession.h"

#include "common/conventions.h"
#include "common/notary.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/notarystore.h"
#include "data/resultstore.h"
#include "draw/displayrules.h"
#include "draw/eligibility.h"
#include "draw/notaryrecord.h"

#include <QJsonArray>
#include <QJsonObject>
#include <thread>
#include <utility>

namespace tombolix::draw {

DrawSettings ReadDrawSettings(qint64 drawId)
{
    DrawSettings settings;
    settings.drawId = drawId;
    // One read of the draw's row; a draw that is not there has no settings.
    const data::DrawRecord draw = data::DrawStore().load(drawId).value_or(data::DrawRecord());
    settings.P_Jpg = draw.picture;
    settings.P_Speed = integerValue(draw.speed);
    settings.P_Hide = draw.mask;
    settings.P_Timer = integerValue(draw.timer);
    // A length no screen can show (a telephone number typed into the box)
    // would build lines of billions of characters for every entrant.
    settings.P_Long = std::min(integerValue(draw.length), MaxFixedLength);
    settings.boardAttribute = data::DrawStore().extraSetting(drawId, BoardAttributeKey);
    return settings;
}

namespace {

std::optional<QString> g_hallNumbersForTesting;

} // namespace

void SetHallNumbersForTesting(const std::optional<QString> &numbers)
{
    g_hallNumbersForTesting = numbers;
}

DrawSession::DrawSession(std::unique_ptr<RandomSource> random)
    : m_random(random ? std::move(random) : std::make_unique<RandomSource>())
{ }

StartReport DrawSession::start(qint64 drawId, Entry entry)
{
    m_finished = true;
    m_lastRoundAward = 0;
    m_picks.clear();
    m_roundUnderway = false;
    m_reselectAfterRound = false;
    m_onShow.reset();
    m_toldShort.clear();
    m_award = AwardState {};
    m_settings = ReadDrawSettings(drawId);
    // Who may win each award is read on a second thread while the pool
    // loads: a million people's attributes cost about as much as the pool.
    // Values that could not be read there are read with the pool's, after it.
    std::optional<RangesRead> ranges = RangesRead::plan(drawId, data::Database::run());
    std::thread reader([&ranges, path = data::Database::run().path()] {
        if (ranges)
            (void)ranges->readValues(path);
    });
    LoadEntrantPool(m_pool, drawId);
    reader.join();
    // Values that cannot be read leave the board's lines without them.
    if (!m_settings.boardAttribute.isEmpty())
        (void)LoadPoolAttribute(m_pool, drawId, m_settings.boardAttribute);

    StartReport report;
    const TakenUp taken = takeUp(entry, std::move(ranges));
    report.problem = taken.problem;
    report.differences = taken.differences;
    report.committedNow = taken.committedNow;
    FormatDisplayTexts(m_pool, m_settings.P_Long, m_settings.P_Hide);
    if (const std::optional<QList<data::ResultRecord>> results = data::ResultStore().forDraw(drawId);
        results && !results->isEmpty())
        m_lastRoundAward = results->constLast().awardId;
    m_finished = !SelectNextAward();
    return report;
}

TakenUp DrawSession::takeUp(Entry entry, std::optional<RangesRead> ranges)
{
    TakenUp taken = TakeUpCommitment(m_settings.drawId, entry, m_pool, std::move(ranges));
    m_commitment = taken.commitment;
    if (m_commitment) {
        // Out of the draw: the withdrawn, and the winners of the awards that
        // allow no second win.
        record::Commit fixed;
        fixed.awards = m_commitment->awards;
        for (const record::Key &key :
            record::Replay::OutKeys(m_commitment->standing, m_commitment->withdrawn, fixed))
            leaveOut(key.number, key.name);
        if (g_hallNumbersForTesting && needsHallNumbers() && !lockHallNumbers(*g_hallNumbersForTesting))
            qWarning("the hall's numbers for testing were not stored");
    }
    return taken;
}

void DrawSession::leaveOut(const QString &number, const QString &name)
{
    const qsizetype index = m_pool.find(number, name);
    if (index > 0)
        m_pool.makePersonIneligible(index);
}

const record::CommittedAward *DrawSession::currentAward() const
{
    if (!m_commitment)
        return nullptr;
    for (const record::CommittedAward &award : m_commitment->awards) {
        if (m_commitment->standingOf(award.id) >= award.count)
            continue;
        if (m_pool.eligibleWithin(award.eligible) == 0)
            continue; // nobody left who may win it
        return &award;
    }
    return nullptr;
}

bool DrawSession::SelectNextAward()
{
    m_award = AwardState {};
    const record::CommittedAward *award = currentAward();
    if (!award)
        return false;
    m_wid = QString::number(award->id);
    m_award.Remaining = award->count - m_commitment->standingOf(award->id);
    m_award.PerRound = award->perRound;
    m_award.RepeatAllowed = award->repeat;
    m_award.name = award->name;
    m_award.prize = award->prize;
    m_award.forWhom = StageWords(award->limits);
    return true;
}

Ranges DrawSession::rollingWithin() const
{
    // Only an award with a range rolls among its own people: the others
    // roll among everyone left, as fast as ever.
    const record::CommittedAward *award = m_commitment ? m_commitment->award(integerValue(m_wid)) : nullptr;
    return award && !award->range.isEmpty() ? award->eligible : Ranges();
}

qint64 DrawSession::linesPerTick() const
{
    return std::max<qint64>(0, std::min(m_award.Remaining, m_award.PerRound));
}

bool DrawSession::lockHallNumbers(const QString &numbers)
{
    return m_commitment && RecordHallNumbers(m_settings.drawId, *m_commitment, numbers);
}

bool DrawSession::beginRound()
{
    m_picks.clear();
    m_onShow.reset();
    if (m_finished || !m_commitment || needsHallNumbers())
        return false;
    const record::CommittedAward *award = m_commitment->award(integerValue(m_wid));
    if (!award)
        return false;
    const qsizetype left = m_pool.eligibleWithin(award->eligible);
    // An award that allows winning again can be filled from anyone left.
    const qint64 needed = m_award.RepeatAllowed ? std::min<qint64>(1, m_award.Remaining) : m_award.Remaining;
    // The stage says so beside the rolling numbers: a box would stop the
    // round the hall is waiting for.
    if (left < needed && !m_toldShort.contains(award->id)) {
        m_toldShort.insert(award->id);
        m_notice = QStringLiteral("剩余可抽人数不足：%1 还差%2名，可抽的只有%3人。")
                       .arg(m_award.name.trimmed())
                       .arg(m_award.Remaining)
                       .arg(left);
    }
    m_roundUnderway = true;
    return true;
}

QStringList DrawSession::RollTick()
{
    m_picks = m_pool.pick(linesPerTick(), *m_random, rollingWithin());
    QStringList lines;
    lines.reserve(qsizetype(m_picks.size()));
    for (qsizetype index : m_picks)
        lines << StageLine(m_pool.show(index), m_pool.name(index), m_namesShown);
    return lines;
}

QStringList DrawSession::passingLines(qsizetype count)
{
    QStringList lines;
    for (qsizetype index : m_pool.pick(count, *m_random, rollingWithin()))
        lines << StageLine(m_pool.show(index), m_pool.name(index), m_namesShown);
    return lines;
}

namespace {

// The round's results and its entry in the record, stored together: the IDs
// the results were given, or nothing and why (for the operator) when they
// could not be stored.
std::optional<std::vector<qint64>> storeRound(qint64 drawId, qint64 awardId, qint64 round, qsizetype eligible,
    const std::vector<qsizetype> &picks, const std::vector<data::ResultRecord> &winners, QString &problem)
{
    data::Transaction transaction;
    const data::ResultStore::RecordedRound stored = transaction.isActive()
        ? data::ResultStore().record(winners)
        : data::ResultStore::RecordedRound { {}, -1, true };
    bool written = stored.stored() && !picks.empty();
    if (written) {
        QJsonArray list;
        for (size_t i = 0; i < picks.size(); ++i) {
            list.append(QJsonObject { { QStringLiteral("name"), winners[i].name },
                { QStringLiteral("number"), winners[i].number },
                { QStringLiteral("position"), qint64(picks[i]) },
                { QStringLiteral("result"), stored.ids[i] } });
        }
        written = data::NotaryStore()
                      .append(drawId, QStringLiteral("round"),
                          QJsonObject { { QStringLiteral("award"), awardId },
                              { QStringLiteral("eligible"), qint64(eligible) },
                              { QStringLiteral("round"), round }, { QStringLiteral("winners"), list } })
                      .has_value()
            && transaction.commit();
    }
    if (written)
        return stored.ids;
    transaction.rollback();
    if (stored.refused >= 0) {
        const data::ResultRecord &refused = winners[size_t(stored.refused)];
        problem
            = QStringLiteral("抽奖结果无法保存：%1 的中奖记录被数据库拒绝，本轮不算。请检查数据库后再抽。")
                  .arg(refused.name.isEmpty() ? refused.number
                                              : refused.number + QLatin1Char(' ') + refused.name);
    } else if (!picks.empty()) {
        problem = QStringLiteral("抽奖结果保存失败（数据库无法写入），本轮不算。请检查数据库后再抽。");
    }
    return std::nullopt;
}

} // namespace

StopOutcome DrawSession::StopAndRecord(bool ascending, bool onlyCurrent)
{
    StopOutcome outcome;
    m_picks.clear();
    const bool underway = m_roundUnderway;
    m_roundUnderway = false;
    const record::CommittedAward *award
        = underway && m_commitment ? m_commitment->award(integerValue(m_wid)) : nullptr;
    if (!award || !m_commitment->hallGiven) {
        outcome.board = WinnersText(ascending, onlyCurrent);
        return outcome;
    }
    const qint64 awardId = award->id;
    const qint64 round = m_commitment->rounds.value(awardId) + 1;
    const qsizetype eligible = m_pool.eligibleWithin(award->eligible);
    const qint64 m = std::min({ award->perRound, m_award.Remaining, qint64(eligible) });
    // The winners come from the commitment, whatever the last tick showed:
    // what stops on the screen is what anyone can recompute.
    notary::DerivedStream stream(m_commitment->hallKey, awardId, round);
    const std::vector<qsizetype> picks = m_pool.pickInOrder(m, stream, award->eligible);

    std::vector<data::ResultRecord> winners;
    for (qsizetype index : picks)
        winners.push_back({ 0, m_settings.drawId, awardId, m_pool.number(index), m_pool.name(index) });
    const std::optional<std::vector<qint64>> ids
        = storeRound(m_settings.drawId, awardId, round, eligible, picks, winners, outcome.problem);
    if (!ids) {
        outcome.board = WinnersText(ascending, onlyCurrent);
        return outcome;
    }

    m_commitment->rounds[awardId] = round;
    m_commitment->roundsUnder += 1;
    outcome.resultIds = *ids;
    QStringList shown;
    for (size_t i = 0; i < picks.size(); ++i) {
        const qsizetype index = picks[i];
        shown << StageLine(m_pool.show(index), m_pool.name(index), m_namesShown);
        m_commitment->standing.insert((*ids)[i], { awardId, winners[i].number, winners[i].name });
        --m_award.Remaining;
    }
    if (!award->repeat) {
        for (qsizetype index : picks)
            m_pool.makePersonIneligible(index);
    }
    outcome.recorded = int(picks.size());
    m_lastRoundAward = awardId;
    // The room sees this award's winners: the banner names it until the next
    // round starts, also when it is complete now.
    // Places a withdrawal freed meanwhile count as left.
    m_onShow = BannerAward { m_award.name, m_award.prize,
        std::max<qint64>(0, award->count - m_commitment->standingOf(awardId)), m_award.forWhom };
    outcome.numberText = shown.join(QStringLiteral("\r\n"));
    outcome.board = WinnersText(ascending, onlyCurrent);
    if (m_award.Remaining < 1 || m_reselectAfterRound || m_pool.eligibleWithin(award->eligible) == 0) {
        m_reselectAfterRound = false;
        m_finished = !SelectNextAward();
    }
    return outcome;
}

DrawSession::WithdrawOutcome DrawSession::WithdrawResults(
    const std::vector<WithdrawnResult> &results, bool ascending, bool onlyCurrent, const QString &reason)
{
    WithdrawOutcome outcome;
    if (results.empty())
        return outcome;
    QList<qint64> ids;
    for (const WithdrawnResult &result : results)
        ids << result.id;
    if (!data::ResultStore().withdraw(ids, reason)) {
        outcome.failed = true;
        return outcome;
    }
    outcome.deleted = int(results.size());
    for (const WithdrawnResult &result : results) {
        QString number = result.number.trimmed();
        QString name = result.name;
        if (m_commitment) {
            if (const auto it = m_commitment->standing.constFind(result.id);
                it != m_commitment->standing.cend()) {
                number = it->number;
                name = it->name;
                m_commitment->standing.erase(it);
            }
            m_commitment->withdrawn.insert(record::Key { number, name });
        }
        leaveOut(number, name);
    }
    outcome.board = WinnersText(ascending, onlyCurrent);
    m_onShow.reset();
    // A draw that had ended draws the freed places under a commitment of
    // its own: its last one was revealed when it ended.
    if (!m_commitment)
        takeUp(Entry::Continue, std::nullopt);
    if (m_roundUnderway)
        m_reselectAfterRound = true;
    else
        m_finished = !SelectNextAward();
    return outcome;
}

QString DrawSession::notaryCode() const
{
    return m_commitment ? notary::GroupedCode(m_commitment->code) : QString();
}

bool DrawSession::revealSeed()
{
    const bool revealed = RevealSeed(m_settings.drawId);
    if (revealed) {
        // A seed everyone knows draws no more rounds.
        m_commitment.reset();
        m_finished = true;
    }
    return revealed;
}

QString DrawSession::takeNotice()
{
    return std::exchange(m_notice, QString());
}

QStringList DrawSession::shortAwards() const
{
    QStringList named;
    if (!m_commitment)
        return named;
    const record::CommittedAward *current = m_finished ? nullptr : currentAward();
    for (const record::CommittedAward &award : m_commitment->awards) {
        if (&award == current)
            break; // the awards after the current one are still to come
        const qint64 missing = award.count - m_commitment->standingOf(award.id);
        if (missing > 0)
            named << QStringLiteral("%1 差%2名").arg(award.name.trimmed()).arg(missing);
    }
    return named;
}

std::optional<BannerAward> DrawSession::bannerAward() const
{
    if (m_onShow)
        return m_onShow;
    if (m_finished || m_award.Remaining < 1)
        return std::nullopt;
    return BannerAward { m_award.name, m_award.prize, m_award.Remaining, m_award.forWhom };
}

AttributeOf DrawSession::attributeOf() const
{
    if (m_settings.boardAttribute.isEmpty())
        return {};
    return [this](const QString &number, const QString &name) {
        return m_pool.attribute(m_pool.find(number.trimmed(), name));
    };
}

BoardText DrawSession::WinnersText(bool ascending, bool onlyCurrent) const
{
    return draw::WinnersText(m_settings.drawId, integerValue(m_wid), ascending, onlyCurrent,
        m_settings.P_Long, m_settings.P_Hide, attributeOf());
}

BoardText DrawSession::lastRoundBoard(bool ascending, bool onlyCurrent) const
{
    const qint64 award = m_lastRoundAward != 0 ? m_lastRoundAward : integerValue(m_wid);
    return draw::WinnersText(m_settings.drawId, award, ascending, onlyCurrent, m_settings.P_Long,
        m_settings.P_Hide, attributeOf());
}

} // namespace tombolix::draw
