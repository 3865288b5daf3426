#include "draw/entryplan.h"

#include "common/conventions.h"
#include "data/awardstore.h"
#include "data/entrantstore.h"
#include "data/resultstore.h"
#include "draw/certificate.h"

#include <QDir>

namespace tombolix::draw {

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
    return plan;
}

} // namespace tombolix::draw
