#include "draw/drawsession.h"

#include "common/conventions.h"
#include "common/notary.h"
#include "common/prompts.h"
#include "data/awardstore.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/notarystore.h"
#include "data/resultstore.h"
#include "draw/displayrules.h"
#include "draw/notaryrecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace tombolix::draw {

DrawSettings ReadDrawSettings(qint64 drawId)
{
    DrawSettings settings;
    settings.drawId = drawId;
    using Setting = data::DrawStore::Setting;
    settings.P_Jpg = data::DrawStore::setting(drawId, Setting::Picture);
    settings.P_Speed = integerValue(data::DrawStore::setting(drawId, Setting::Speed));
    settings.P_Hide = data::DrawStore::setting(drawId, Setting::Mask);
    settings.P_Timer = integerValue(data::DrawStore::setting(drawId, Setting::Timer));
    // A length no screen can show (a telephone number typed into the box)
    // would build lines of billions of characters for every entrant.
    settings.P_Long
        = std::min(integerValue(data::DrawStore::setting(drawId, Setting::Length)), MaxFixedLength);
    return settings;
}

DrawSession::DrawSession(std::unique_ptr<RandomSource> random)
    : m_random(random ? std::move(random) : std::make_unique<RandomSource>())
{ }

void DrawSession::start(qint64 drawId, Entry entry)
{
    m_finished = false;
    m_lastRoundAward = 0;
    m_settings = ReadDrawSettings(drawId);
    LoadEntrantPool(m_pool, drawId);
    // A draw whose winners cannot be read draws no one: it could draw them
    // again. The database routine has told the operator.
    const bool winnersKnown = entry == Entry::Afresh || leaveOutStoredWinners();
    FormatDisplayTexts(m_pool, m_settings.P_Long, m_settings.P_Hide);
    commitToTheDraw(entry);
    const bool awardLeft = SelectNextAward();
    if (entry == Entry::Continue)
        m_finished = !awardLeft || !winnersKnown;
    m_picks.clear();
    m_picksValid = false;
    m_roundUnderway = false;
    m_reselectAfterRound = false;
    m_onShow.reset();
    m_toldShort.clear();
}

bool DrawSession::leaveOutStoredWinners()
{
    const std::optional<QList<data::ResultRecord>> results = data::ResultStore::forDraw(m_settings.drawId);
    if (!results)
        return false;
    // Entrants whose wins were withdrawn stay out, as the screen that
    // withdrew them left them.
    const std::optional<QList<data::ResultRecord>> withdrawn
        = data::ResultStore::withdrawnInDraw(m_settings.drawId);
    if (!withdrawn)
        return false;
    QList<WinnerKey> left;
    for (const data::ResultRecord &entrant : *withdrawn)
        left.append({ entrant.number, entrant.name });
    if (!left.isEmpty())
        RemoveWinners(m_pool, left);
    if (results->isEmpty())
        return true;
    m_lastRoundAward = results->constLast().awardId;
    const std::optional<QList<data::AwardRecord>> awards = data::AwardStore::forDraw(m_settings.drawId);
    if (!awards)
        return false;
    QSet<qint64> noRepeat;
    for (const data::AwardRecord &award : *awards) {
        if (!award.repeat)
            noRepeat.insert(award.id);
    }
    QList<WinnerKey> winners;
    for (const data::ResultRecord &result : *results) {
        if (noRepeat.contains(result.awardId))
            winners.append({ result.number, result.name });
    }
    RemoveWinners(m_pool, winners);
    return true;
}

void DrawSession::commitToTheDraw(Entry entry)
{
    m_seed.clear();
    m_code.clear();
    m_codeOnShow = false;
    m_roundsOfAward.clear();
    const qint64 draw = m_settings.drawId;
    const std::optional<data::NotarySeed> stored = data::NotaryStore::seedOf(draw);
    const std::optional<QList<data::NotaryEntry>> entries = data::NotaryStore::entries(draw);
    if (!stored || !entries)
        return; // the database has said why; rounds are drawn as they roll

    notary::Fingerprint fingerprint;
    QJsonArray excluded;
    for (qsizetype i = 1; i <= m_pool.size(); ++i) {
        fingerprint.add(m_pool.numberView(i), m_pool.nameView(i));
        if (!m_pool.isEligible(i))
            excluded.append(i);
    }
    const QString listPrint = fingerprint.result();

    const std::optional<QList<data::AwardRecord>> awards = data::AwardStore::forDraw(draw);
    if (!awards)
        return;
    QList<notary::CommittedAward> committed;
    QJsonArray awardList;
    for (const data::AwardRecord &award : *awards) {
        const notary::CommittedAward one { award.id, integerValue(award.order), award.name, award.prize,
            integerValue(award.count), std::max<qint64>(1, integerValue(award.perRound)), award.repeat };
        committed.append(one);
        awardList.append(QJsonObject { { QStringLiteral("id"), one.id },
            { QStringLiteral("order"), one.order }, { QStringLiteral("name"), one.name },
            { QStringLiteral("prize"), one.prize }, { QStringLiteral("count"), one.count },
            { QStringLiteral("perRound"), one.perRound }, { QStringLiteral("repeat"), one.repeat } });
    }
    const QString digest = notary::AwardsDigest(committed);

    // Continued on the seed it committed to, while that is still secret and
    // the list and the awards are the ones it was committed with.
    QString lastPrint;
    QString lastDigest;
    bool roundSince = false;
    for (const data::NotaryEntry &each : *entries) {
        const QJsonObject content = QJsonDocument::fromJson(each.content.toUtf8()).object();
        if (each.type == QLatin1String("entered")) {
            lastPrint = content.value(QLatin1String("fingerprint")).toString();
            lastDigest = content.value(QLatin1String("awardsDigest")).toString();
            roundSince = false;
        } else if (each.type == QLatin1String("round")) {
            const qint64 award = content.value(QLatin1String("award")).toInteger();
            m_roundsOfAward[award]
                = std::max(m_roundsOfAward.value(award), content.value(QLatin1String("round")).toInteger());
            roundSince = true;
        }
    }
    if (entry == Entry::Continue && !stored->seed.isEmpty() && !stored->revealed && lastPrint == listPrint
        && lastDigest == digest) {
        m_seed = stored->seed;
        m_code = stored->code;
        m_codeOnShow = !roundSince;
        return;
    }

    data::NotarySeed fresh;
    fresh.seed = notary::NewSeed();
    fresh.commitment = notary::Commitment(fresh.seed);
    fresh.code = notary::NotaryCode(fresh.commitment, listPrint, digest);

    data::Transaction transaction;
    bool written = transaction.isActive();
    // A seed given up is revealed, so the rounds drawn from it can be checked;
    // 重新开始 says the results before it were cleared.
    const bool givenUp = !stored->seed.isEmpty() && !stored->revealed;
    if (written && (givenUp || (entry == Entry::Afresh && !entries->isEmpty()))) {
        QJsonObject restart { { QStringLiteral("reason"),
                                  entry == Entry::Afresh       ? QStringLiteral("重新开始")
                                      : lastPrint != listPrint ? QStringLiteral("名单已改动")
                                                               : QStringLiteral("奖项已改动") },
            { QStringLiteral("cleared"), entry == Entry::Afresh } };
        if (givenUp)
            restart.insert(QStringLiteral("seed"), notary::Hex(stored->seed));
        written = data::NotaryStore::append(draw, QStringLiteral("restart"), restart);
    }
    written = written
        && data::NotaryStore::append(draw, QStringLiteral("entered"),
            QJsonObject { { QStringLiteral("rule"), QLatin1String(notary::Rule) },
                { QStringLiteral("draw"), draw },
                { QStringLiteral("name"), data::DrawStore::load(draw).value_or(data::DrawRecord {}).name },
                { QStringLiteral("commitment"), fresh.commitment },
                { QStringLiteral("fingerprint"), listPrint },
                { QStringLiteral("entrants"), fingerprint.count() }, { QStringLiteral("awards"), awardList },
                { QStringLiteral("awardsDigest"), digest }, { QStringLiteral("code"), fresh.code },
                { QStringLiteral("excluded"), excluded } })
        && data::NotaryStore::setSeed(draw, fresh);
    // The list committed to is kept, once, for checking after it changed.
    if (written && !data::NotaryStore::hasList(draw, listPrint).value_or(false)) {
        QByteArray text;
        for (qsizetype i = 1; i <= m_pool.size(); ++i)
            notary::AppendListRow(text, m_pool.numberView(i), m_pool.nameView(i));
        written = data::NotaryStore::keepList(draw, listPrint, text);
    }
    written = written && transaction.commit();
    if (!written)
        return;
    m_seed = fresh.seed;
    m_code = fresh.code;
    m_codeOnShow = true;
}

QString DrawSession::notaryCode() const
{
    return notary::GroupedCode(m_code);
}

bool DrawSession::revealSeed()
{
    const bool revealed = RevealSeed(m_settings.drawId);
    if (revealed)
        m_seed.clear(); // a seed everyone knows draws no more rounds
    return revealed;
}

bool DrawSession::SelectNextAward()
{
    m_award = AwardState {};
    const std::optional<QList<data::AwardRecord>> awards = data::AwardStore::forDraw(m_settings.drawId);
    if (!awards)
        return false;
    for (const data::AwardRecord &award : *awards) {
        const qint64 drawn = data::ResultStore::countForAward(m_settings.drawId, award.id);
        const qint64 count = integerValue(award.count);
        if (drawn < count) {
            m_wid = QString::number(award.id);
            m_award.Remaining = count - drawn;
            // An award that draws no one per round could never be finished:
            // it draws one at a time instead.
            m_award.PerRound = std::max<qint64>(1, integerValue(award.perRound));
            m_award.RepeatAllowed = award.repeat;
            m_award.name = award.name;
            m_award.prize = award.prize;
            return true;
        }
    }
    return false;
}

qint64 DrawSession::linesPerTick() const
{
    return std::max<qint64>(0, std::min(m_award.Remaining, m_award.PerRound));
}

bool DrawSession::beginRound()
{
    m_picksValid = false;
    m_onShow.reset();
    const qsizetype left = m_pool.eligibleCount();
    // An award that allows winning again can be filled from anyone left.
    const qint64 needed = m_award.RepeatAllowed ? std::min<qint64>(1, m_award.Remaining) : m_award.Remaining;
    if (left < needed) {
        const qint64 award = integerValue(m_wid);
        if (!m_toldShort.contains(award)) {
            m_toldShort.insert(award);
            prompts().message(QStringLiteral("剩余可抽人数不足：%1 还差%2名，可抽的只有%3人。")
                                  .arg(m_award.name.trimmed())
                                  .arg(m_award.Remaining)
                                  .arg(left));
        }
        if (left == 0) {
            // Nobody is left for this award nor for any after it.
            m_finished = true;
            return false;
        }
    }
    m_roundUnderway = true;
    return true;
}

QStringList DrawSession::RollTick()
{
    m_picks = m_pool.pick(linesPerTick(), *m_random);
    m_picksValid = true;
    QStringList lines;
    lines.reserve(qsizetype(m_picks.size()));
    for (qsizetype index : m_picks)
        lines << StageLine(m_pool.show(index), m_pool.name(index), m_namesShown);
    return lines;
}

StopOutcome DrawSession::StopAndRecord(bool ascending, bool onlyCurrent)
{
    const qint64 award = integerValue(m_wid);
    const qint64 round = m_roundsOfAward.value(award) + 1;
    const qsizetype eligibleBefore = m_pool.eligibleCount();
    if (!m_seed.isEmpty()) {
        // The winners come from the committed seed, whatever the last tick
        // showed: what stops on the screen is what anyone can recompute.
        notary::DerivedStream stream(m_seed, award, round);
        m_picks = m_pool.pickInOrder(std::min<qint64>(linesPerTick(), m_award.Remaining), stream);
    } else if (!m_picksValid) {
        RollTick(); // a stop before the round's first tick draws afresh
    }
    m_picksValid = false;

    m_roundUnderway = false;

    StopOutcome outcome;
    std::vector<qsizetype> eligible;
    std::vector<data::ResultRecord> winners;
    for (qsizetype index : m_picks) {
        // An award never holds more winners than its 数量.
        if (!m_pool.isEligible(index) || qint64(eligible.size()) >= m_award.Remaining)
            continue;
        eligible.push_back(index);
        winners.push_back({ 0, m_settings.drawId, award, m_pool.number(index), m_pool.name(index) });
    }
    std::vector<size_t> stored;
    if (m_seed.isEmpty()) {
        stored = data::ResultStore::record(winners, &outcome.resultIds);
    } else if (!eligible.empty()) {
        // The round and its entry in the record stand or fall together. A
        // winner the results table refuses is named in the entry without a
        // result, and stays in the draw.
        data::Transaction transaction;
        bool failed = false;
        stored = data::ResultStore::record(winners, &outcome.resultIds, &failed);
        bool written = transaction.isActive() && !failed && !stored.empty();
        if (written) {
            std::vector<qint64> resultOf(eligible.size(), 0);
            for (size_t k = 0; k < stored.size(); ++k)
                resultOf[stored[k]] = outcome.resultIds[k];
            QJsonArray list;
            for (size_t i = 0; i < eligible.size(); ++i) {
                list.append(QJsonObject { { QStringLiteral("position"), qint64(eligible[i]) },
                    { QStringLiteral("number"), winners[i].number },
                    { QStringLiteral("name"), winners[i].name },
                    { QStringLiteral("result"), resultOf[i] ? QJsonValue(resultOf[i]) : QJsonValue() } });
            }
            written
                = data::NotaryStore::append(m_settings.drawId, QStringLiteral("round"),
                      QJsonObject { { QStringLiteral("award"), award }, { QStringLiteral("round"), round },
                          { QStringLiteral("eligible"), qint64(eligibleBefore) },
                          { QStringLiteral("winners"), list } })
                && transaction.commit();
        }
        if (!written) {
            stored.clear();
            outcome.resultIds.clear();
        } else {
            m_roundsOfAward[award] = round;
            m_codeOnShow = false;
        }
    }
    outcome.failed = int(eligible.size() - stored.size());

    QStringList shown;
    for (size_t position : stored) {
        const qsizetype index = eligible[position];
        shown << StageLine(m_pool.show(index), m_pool.name(index), m_namesShown);
        if (!m_award.RepeatAllowed)
            m_pool.makeIneligible(index);
        --m_award.Remaining;
    }
    outcome.recorded = int(stored.size());
    if (outcome.recorded > 0) {
        m_lastRoundAward = integerValue(m_wid);
        // The room sees this award's winners: the banner names it until the
        // next round starts, also when it is complete now.
        m_onShow = BannerAward { m_award.name, m_award.prize, std::max<qint64>(0, m_award.Remaining) };
    }
    if (outcome.failed > 0)
        prompts().message(QStringLiteral("抽奖结果保存失败，该号码未计入获奖名单！"));
    outcome.numberText = shown.join(QStringLiteral("\r\n"));
    outcome.board = WinnersText(ascending, onlyCurrent);
    if (m_award.Remaining < 1 || m_reselectAfterRound) {
        m_reselectAfterRound = false;
        m_finished = !SelectNextAward();
    }
    m_picks.clear();
    return outcome;
}

DrawSession::WithdrawOutcome DrawSession::WithdrawResults(
    const std::vector<WithdrawnResult> &results, bool ascending, bool onlyCurrent)
{
    WithdrawOutcome outcome;
    if (results.empty())
        return outcome;
    QList<qint64> ids;
    QList<WinnerKey> winners;
    for (const WithdrawnResult &result : results) {
        ids << result.id;
        winners.append({ result.number, result.name });
    }
    if (!data::ResultStore::withdraw(ids, data::withdrawreason::OnStage)) {
        outcome.failed = true;
        return outcome;
    }
    outcome.deleted = int(results.size());
    RemoveWinners(m_pool, winners);
    outcome.board = WinnersText(ascending, onlyCurrent);
    m_onShow.reset();
    if (m_roundUnderway)
        m_reselectAfterRound = true;
    else
        m_finished = !SelectNextAward();
    return outcome;
}

std::optional<BannerAward> DrawSession::bannerAward() const
{
    if (m_onShow)
        return m_onShow;
    if (m_finished || m_award.Remaining < 1)
        return std::nullopt;
    return BannerAward { m_award.name, m_award.prize, m_award.Remaining };
}

BoardText DrawSession::WinnersText(bool ascending, bool onlyCurrent) const
{
    return draw::WinnersText(
        m_settings.drawId, integerValue(m_wid), ascending, onlyCurrent, m_settings.P_Long, m_settings.P_Hide);
}

BoardText DrawSession::lastRoundBoard(bool ascending, bool onlyCurrent) const
{
    const qint64 award = m_lastRoundAward != 0 ? m_lastRoundAward : integerValue(m_wid);
    return draw::WinnersText(
        m_settings.drawId, award, ascending, onlyCurrent, m_settings.P_Long, m_settings.P_Hide);
}

} // namespace tombolix::draw
