#include "draw/entryplan.h"

#include "common/conventions.h"
#include "data/awardstore.h"
#include "data/entrantstore.h"
#include "data/resultstore.h"
#include "draw/certificate.h"
#include "draw/eligibleset.h"

#include <QDir>

namespace tombolix::draw {

namespace {

// The awards with a range, counted in one pass over the list; an empty list
// when none has one, nothing when the database could not be read.
std::optional<QList<AwardReach>> readReach(qint64 drawId)
{
    const std::optional<QList<AwardEligibility>> ranges = AwardRanges(drawId);
    if (!ranges)
        return std::nullopt;
    const bool ranged = std::any_of(ranges->begin(), ranges->end(),
        [](const AwardEligibility &one) { return !one.range.everyone() || !one.badConditions.isEmpty(); });
    if (!ranged)
        return QList<AwardReach>();
    const std::optional<QList<data::AwardRecord>> awards = data::AwardStore().forDraw(drawId);
    const std::optional<QHash<qint64, AwardEligibility>> eligible
        = awards ? ComputeEligibility(drawId) : std::nullopt;
    const std::optional<QList<data::ResultRecord>> results
        = eligible ? data::ResultStore().forDraw(drawId) : std::nullopt;
    if (!results)
        return std::nullopt;
    QHash<qint64, qint64> won;
    for (const data::ResultRecord &result : *results)
        ++won[result.awardId];
    QList<AwardReach> reach;
    for (const data::AwardRecord &award : *awards) {
        const AwardEligibility one = eligible->value(award.id);
        if (one.range.everyone() && one.badConditions.isEmpty())
            continue;
        AwardReach line { award.name.trimmed(), std::max<qint64>(0, integerValue(award.count)), 0, one.count,
            one.words, one.badConditions, UnreadableLines(one) };
        line.placesLeft = std::max<qint64>(0, line.places - won.value(award.id));
        reach << line;
    }
    return reach;
}

QString reachText(const QList<AwardReach> &reach)
{
    QStringList lines;
    // Awards with conditions on the same column find the same unreadable
    // values: each is named once, after the awards.
    QStringList unreadable;
    for (const AwardReach &award : reach) {
        QString line = QStringLiteral("%1：可抽 %2 人").arg(award.name).arg(award.count);
        if (!award.words.isEmpty())
            line += QStringLiteral("（%1）").arg(award.words);
        lines << line;
        for (const QString &bad : award.badConditions)
            lines << QStringLiteral("    条件“%1”无法读取，没有人符合").arg(bad);
        for (const QString &value : award.unreadable) {
            if (!unreadable.contains(value))
                unreadable << value;
        }
    }
    if (!unreadable.isEmpty())
        lines << QStringLiteral("以下值无法读取，这些人不符合有关条件：") << unreadable;
    return lines.join(QLatin1Char('\n'));
}

// The awards with places to fill (all of them, or those not drawn yet) whose
// range leaves nobody.
QString emptyRanges(const QList<AwardReach> &reach, bool afresh)
{
    QStringList lines;
    for (const AwardReach &award : reach) {
        if (award.count == 0 && (afresh ? award.places : award.placesLeft) > 0)
            lines << QStringLiteral("%1 的抽奖范围内没有可抽的人，请修改抽奖范围。").arg(award.name);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

std::optional<EntryFacts> ReadEntryFacts(qint64 drawId)
{
    if (!data::OpenConnection())
        return std::nullopt;
    EntryFacts facts;
    // Winners wanted and entrants that can be drawn, of this draw: others'
    // entrants can never win here.
    const std::optional<double> total = data::AwardStore().totalWinners(drawId);
    const std::optional<qint64> entrants = total ? data::EntrantStore().countDrawable(drawId) : std::nullopt;
    const std::optional<qint64> earlier = entrants ? data::ResultStore().countForDraw(drawId) : std::nullopt;
    // Withdrawn wins count too: going on keeps their entrants out, starting
    // again lets them win.
    const std::optional<QList<data::ResultRecord>> withdrawn
        = earlier ? data::ResultStore().withdrawnInDraw(drawId) : std::nullopt;
    if (!withdrawn)
        return std::nullopt;
    facts.record = InspectRecord(drawId);
    if (!facts.record.readable)
        return std::nullopt;
    std::optional<QList<AwardReach>> reach = readReach(drawId);
    if (!reach)
        return std::nullopt;
    facts.reach = std::move(*reach);
    facts.winnersWanted = *total;
    facts.drawable = *entrants;
    facts.earlier = *earlier;
    facts.withdrawn = withdrawn->size();
    return facts;
}

EntryPlan PlanEntry(qint64 drawId, const EntryFacts &facts)
{
    EntryPlan plan;
    plan.tooFewEntrants = facts.drawable < roundHalfEven(facts.winnersWanted);
    // A draw held in parts (or cut short by a crash) goes on where it
    // stopped; starting again wipes an evening's winners, so it is asked
    // twice and backed up first.
    const QString count = QString::number(facts.earlier);
    plan.restartQuestion
        = QStringLiteral("重新开始将删除这") + count + QStringLiteral("条抽奖结果，是否继续？");
    const RecordState::Kind kind = facts.record.kind;
    if (kind == RecordState::Kind::Broken || kind == RecordState::Kind::OlderRule) {
        // Nothing can be drawn on a record that no longer checks; the
        // rounds of an older rule's record stay checkable from its file.
        plan.ask = EntryPlan::Ask::RecordUnusable;
        plan.keepRecordAs = NotaryRecordPathAtTheEnd(drawId);
        plan.question
            = (kind == RecordState::Kind::Broken
                      ? QStringLiteral("此抽奖的公证记录已损坏（%1），不能在其上继续抽奖。")
                            .arg(facts.record.problem)
                      : QStringLiteral(
                          "此抽奖的公证记录是旧版本按旧规则写的，不能在其上继续抽奖；原记录将保存为 %1。")
                            .arg(QDir::toNativeSeparators(plan.keepRecordAs)))
            + QStringLiteral("是否重新开始？");
    } else if (facts.earlier > 0 || facts.withdrawn > 0 || facts.record.hasWins) {
        plan.ask = EntryPlan::Ask::ContinueOrRestart;
        plan.question = QStringLiteral("该抽奖已有") + count + QStringLiteral("条抽奖结果。");
        if (facts.withdrawn > 0)
            plan.question += QStringLiteral("另有%1条结果已撤销。").arg(facts.withdrawn);
    }
    plan.reach = reachText(facts.reach);
    plan.restartRefusal = emptyRanges(facts.reach, true);
    // A record that cannot go on can only start again.
    plan.refusal
        = plan.ask == EntryPlan::Ask::RecordUnusable ? plan.restartRefusal : emptyRanges(facts.reach, false);
    return plan;
}

} // namespace tombolix::draw
