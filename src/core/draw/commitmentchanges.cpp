#include "draw/commitmentchanges.h"

#include "data/notarystore.h"

#include <QHash>
#include <algorithm>

namespace tombolix::draw {

using record::Key;

namespace {

QString awardChanges(const QList<record::CommittedAward> &before, const QList<record::CommittedAward> &after)
{
    QStringList changes;
    QHash<qint64, const record::CommittedAward *> old;
    for (const record::CommittedAward &award : before)
        old.insert(award.id, &award);
    QList<qint64> kept;
    for (const record::CommittedAward &award : after) {
        const record::CommittedAward *was = old.value(award.id);
        if (!was) {
            changes << QStringLiteral("新增 %1").arg(award.name);
            continue;
        }
        kept << award.id;
        const QString name = was->name;
        if (was->name != award.name)
            changes << QStringLiteral("%1 改名为 %2").arg(was->name, award.name);
        if (was->count != award.count)
            changes << QStringLiteral("%1 数量 %2→%3").arg(name).arg(was->count).arg(award.count);
        if (was->perRound != award.perRound)
            changes << QStringLiteral("%1 每次 %2→%3").arg(name).arg(was->perRound).arg(award.perRound);
        if (was->repeat != award.repeat)
            changes << (award.repeat ? QStringLiteral("%1 允许重复中奖")
                                     : QStringLiteral("%1 不再允许重复中奖"))
                           .arg(name);
        if (was->prize != award.prize)
            changes << QStringLiteral("%1 奖品 %2→%3").arg(name, was->prize, award.prize);
        // The eligible positions follow from the list and the range; a
        // latecomer changes the first, not what the award is for.
        if (was->range != award.range)
            changes << QStringLiteral("%1 抽奖范围 %2→%3").arg(name, was->range, award.range);
        else if (was->limits != award.limits)
            changes << QStringLiteral("%1 不参与名单已改动").arg(name);
    }
    for (const record::CommittedAward &award : before) {
        if (std::none_of(after.begin(), after.end(),
                [&](const record::CommittedAward &a) { return a.id == award.id; }))
            changes << QStringLiteral("删除 %1").arg(award.name);
    }
    QList<qint64> oldOrder;
    for (const record::CommittedAward &award : before) {
        if (kept.contains(award.id))
            oldOrder << award.id;
    }
    if (oldOrder != kept)
        changes << QStringLiteral("抽奖顺序改变");
    return changes.join(QStringLiteral("，"));
}

// Who joined and left the list since the commitment was made to it.
QString listChanges(qint64 drawId, const QString &fingerprint, EntrantPool &pool)
{
    const std::optional<data::KeptList> kept = data::NotaryStore().list(drawId, fingerprint);
    QHash<Key, qint64> delta;
    if (!kept)
        return QStringLiteral("承诺时的名单已不在数据库中");
    if (kept->hasIds()) {
        // Both in the order of the entrants' IDs.
        qsizetype i = 0;
        qsizetype p = 1;
        auto keptKey = [&](qsizetype row) {
            return Key { QString::fromUtf8(kept->number(row)), QString::fromUtf8(kept->name(row)) };
        };
        while (i < kept->size() || p <= pool.size()) {
            if (p > pool.size() || (i < kept->size() && kept->id(i) < pool.id(p))) {
                delta[keptKey(i++)] -= 1;
            } else if (i >= kept->size() || pool.id(p) < kept->id(i)) {
                delta[Key { pool.number(p), pool.name(p) }] += 1;
                ++p;
            } else {
                if (kept->number(i) != pool.numberView(p).toUtf8()
                    || kept->name(i) != pool.nameView(p).toUtf8()) {
                    delta[keptKey(i)] -= 1;
                    delta[Key { pool.number(p), pool.name(p) }] += 1;
                }
                ++i;
                ++p;
            }
        }
    } else {
        for (qsizetype row = 0; row < kept->size(); ++row)
            delta[Key { QString::fromUtf8(kept->number(row)), QString::fromUtf8(kept->name(row)) }] -= 1;
        for (qsizetype p = 1; p <= pool.size(); ++p)
            delta[Key { pool.number(p), pool.name(p) }] += 1;
    }
    for (auto it = delta.begin(); it != delta.end();)
        it = it.value() == 0 ? delta.erase(it) : std::next(it);
    return record::ListChangesText(delta);
}

} // namespace

// What changed since the last commitment: its list, its awards.
QStringList changesSince(qint64 drawId, const std::optional<record::Commit> &last, const QString &listPrint,
    EntrantPool &pool, const QList<record::CommittedAward> &awardsNow)
{
    QStringList reasons;
    if (last && last->fingerprint != listPrint)
        reasons << QStringLiteral("名单已改动：%1").arg(listChanges(drawId, last->fingerprint, pool));
    if (last) {
        const QString changed = awardChanges(last->awards, awardsNow);
        if (!changed.isEmpty())
            reasons << QStringLiteral("奖项已改动：%1").arg(changed);
    }
    // The same list and ranges, yet other people may win an award: an
    // entrant's attributes were changed.
    if (last && last->fingerprint == listPrint && reasons.isEmpty()) {
        QStringList whose;
        for (const record::CommittedAward &award : awardsNow) {
            const record::CommittedAward *was = last->award(award.id);
            if (was && was->eligible != award.eligible)
                whose << award.name;
        }
        if (!whose.isEmpty())
            reasons
                << QStringLiteral("人员属性已改动：%1 可中奖的人改变").arg(whose.join(QStringLiteral("、")));
    }
    return reasons;
}

// The database's results and withdrawals against the record's: what differs,
// for the operator to read.
QStringList tableDifferences(const QList<data::ResultRecord> &results,
    const QList<data::WithdrawalRecord> &withdrawals, const record::Replay &replay,
    const QList<record::CommittedAward> &awardsNow)
{
    QStringList differences;
    auto awardStays = [&](qint64 id) {
        return std::any_of(
            awardsNow.begin(), awardsNow.end(), [id](const record::CommittedAward &a) { return a.id == id; });
    };
    QStringList extra;
    QStringList changed;
    QSet<qint64> seen;
    for (const data::ResultRecord &row : results) {
        seen.insert(row.id);
        const auto standing = replay.standing().constFind(row.id);
        if (standing == replay.standing().cend())
            extra << record::PersonText(Key { row.number, row.name });
        else if (standing->award != row.awardId || standing->number != row.number
            || standing->name != row.name)
            changed << record::PersonText(Key { standing->number, standing->name });
    }
    QStringList missing;
    for (auto it = replay.standing().cbegin(); it != replay.standing().cend(); ++it) {
        if (!seen.contains(it.key()) && awardStays(it->award))
            missing << record::PersonText(Key { it->number, it->name });
    }
    if (!extra.isEmpty())
        differences << QStringLiteral("结果表中有 %1 条记录中没有的结果（%2），已删除")
                           .arg(extra.size())
                           .arg(extra.mid(0, 3).join(QStringLiteral("、")));
    if (!missing.isEmpty())
        differences << QStringLiteral("结果表中少了 %1 条记录中的结果（%2），已按记录恢复")
                           .arg(missing.size())
                           .arg(missing.mid(0, 3).join(QStringLiteral("、")));
    if (!changed.isEmpty())
        differences << QStringLiteral("结果表中有 %1 条结果被改动（%2），已按记录改回")
                           .arg(changed.size())
                           .arg(changed.mid(0, 3).join(QStringLiteral("、")));
    QStringList extraWithdrawals;
    QSet<qint64> withdrawn;
    for (const data::WithdrawalRecord &row : withdrawals) {
        withdrawn.insert(row.resultId);
        const auto named = replay.withdrawnResults().constFind(row.resultId);
        if (named == replay.withdrawnResults().cend() || named->number != row.number
            || named->name != row.name || named->award != row.awardId)
            extraWithdrawals << record::PersonText(Key { row.number, row.name });
    }
    qsizetype missingWithdrawals = 0;
    for (auto it = replay.withdrawnResults().cbegin(); it != replay.withdrawnResults().cend(); ++it)
        missingWithdrawals += withdrawn.contains(it.key()) ? 0 : 1;
    if (!extraWithdrawals.isEmpty())
        differences << QStringLiteral("撤销表中有 %1 条记录中没有的撤销（%2），不予采用，已删除")
                           .arg(extraWithdrawals.size())
                           .arg(extraWithdrawals.mid(0, 3).join(QStringLiteral("、")));
    if (missingWithdrawals > 0)
        differences << QStringLiteral("撤销表中少了 %1 条记录中的撤销，已按记录恢复").arg(missingWithdrawals);
    return differences;
}

} // namespace tombolix::draw
