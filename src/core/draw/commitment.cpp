#include "draw/commitment.h"

#include "common/canonicaljson.h"
#include "common/conventions.h"
#include "common/notary.h"
#include "data/awardstore.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/notarystore.h"
#include "data/resultstore.h"
#include "data/storesupport.h"
#include "draw/notaryrecord.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QSaveFile>
#include <algorithm>
#include <thread>

namespace tombolix::draw {

using record::Key;

namespace {

// The draw's record read back from the database and replayed.
struct ReadBack
{
    bool readable = true;
    bool olderRule = false;
    std::optional<QString> broken;
    QList<data::NotaryEntry> entries;
    data::NotarySeed seed;
    std::unique_ptr<record::Replay> replay = std::make_unique<record::Replay>(2, nullptr);
    bool anyRound = false;
};

ReadBack readBack(qint64 drawId)
{
    ReadBack back;
    const std::optional<QList<data::NotaryEntry>> entries = data::NotaryStore().entries(drawId);
    const std::optional<data::NotarySeed> seed = data::NotaryStore().seedOf(drawId);
    if (!entries || !seed) {
        back.readable = false;
        return back;
    }
    back.entries = *entries;
    back.seed = *seed;
    if (!back.entries.isEmpty() && back.entries.constFirst().type == QLatin1String("entered")) {
        back.olderRule = true;
        return back;
    }
    QString previous = notary::GenesisHash();
    for (qsizetype i = 0; i < back.entries.size(); ++i) {
        const data::NotaryEntry &stored = back.entries.at(i);
        const QString name = record::EntryName(i, stored.type);
        const QByteArray content = stored.content.toUtf8();
        const std::optional<QJsonObject> object = json::ParseCanonicalObject(content);
        if (stored.sequence != i + 1 || stored.previous != previous || !object
            || !notary::IsEntryTime(stored.time)
            || stored.hash
                != notary::EntryHash(previous, stored.sequence, stored.type, stored.time, content)) {
            back.broken = QStringLiteral("%1已被改动").arg(name);
            return back;
        }
        previous = stored.hash;
        const record::Entry entry { stored.sequence, stored.type, stored.time, *object, stored.hash };
        if (std::optional<record::Problem> wrong = back.replay->feed(i, entry)) {
            back.broken = wrong->text;
            return back;
        }
        back.anyRound = back.anyRound || stored.type == QLatin1String("round");
    }
    if (const std::optional<record::Commit> &inForce = back.replay->inForce()) {
        if (back.seed.seed.size() != 32 || notary::Commitment(back.seed.seed) != inForce->commitment)
            back.broken = QStringLiteral("第%1次承诺的种子已丢失或被改动").arg(inForce->number);
    }
    return back;
}

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

Commitment commitmentOf(const record::Commit &commit, const record::Replay &replay, const QByteArray &seed)
{
    Commitment taken;
    taken.number = commit.number;
    taken.code = commit.code;
    taken.entryHash = commit.hash;
    taken.time = commit.time;
    taken.reason = commit.reason;
    taken.commitment = commit.commitment;
    taken.fingerprint = commit.fingerprint;
    taken.entrants = commit.entrants;
    taken.seed = seed;
    taken.awards = commit.awards;
    taken.hallGiven = replay.hallGiven();
    taken.hallNumbers = replay.hallNumbers();
    if (taken.hallGiven)
        taken.hallKey = notary::HallKey(seed, taken.hallNumbers);
    taken.roundsUnder = replay.roundsUnderCommit();
    taken.standing = replay.standing();
    taken.withdrawn = replay.withdrawn();
    for (const record::CommittedAward &award : commit.awards)
        taken.rounds.insert(award.id, replay.roundsOf(award.id));
    return taken;
}

} // namespace

qint64 Commitment::standingOf(qint64 awardId) const
{
    qint64 count = 0;
    for (const record::StandingResult &result : standing)
        count += result.award == awardId ? 1 : 0;
    return count;
}

const record::CommittedAward *Commitment::award(qint64 id) const
{
    for (const record::CommittedAward &each : awards) {
        if (each.id == id)
            return &each;
    }
    return nullptr;
}

RecordState InspectRecord(qint64 drawId)
{
    RecordState state;
    const ReadBack back = readBack(drawId);
    if (!back.readable) {
        state.readable = false;
        return state;
    }
    if (back.entries.isEmpty())
        return state;
    if (back.olderRule) {
        state.kind = RecordState::Kind::OlderRule;
        state.hasWins = true;
        return state;
    }
    if (back.broken) {
        state.kind = RecordState::Kind::Broken;
        state.problem = *back.broken;
        state.hasWins = true;
        return state;
    }
    state.kind = RecordState::Kind::Sound;
    state.hasWins = !back.replay->standing().isEmpty() || !back.replay->withdrawn().isEmpty();
    return state;
}

bool ClearRecordForRestart(qint64 drawId, const QString &keepAs)
{
    const std::optional<QList<data::NotaryEntry>> entries = data::NotaryStore().entries(drawId);
    if (!entries)
        return false;
    const bool rounds = std::any_of(entries->begin(), entries->end(),
        [](const data::NotaryEntry &entry) { return entry.type == QLatin1String("round"); });
    if (RecordIsV1(drawId) && rounds) {
        // The rounds drawn under the older rule stay checkable from the file.
        RevealSeed(drawId);
        const std::optional<QByteArray> file = ExportRecord(drawId);
        if (!file || !QDir().mkpath(QFileInfo(keepAs).absolutePath()))
            return false;
        QSaveFile out(keepAs);
        if (!out.open(QIODevice::WriteOnly) || out.write(*file) < 0 || !out.commit())
            return false;
    }
    data::Database &db = data::Database::run();
    return data::inOneTransaction(db, [&db, drawId] { return data::NotaryStore(db).deleteForDraw(drawId); });
}

std::optional<QList<record::CommittedAward>> CurrentAwards(qint64 drawId, const Ranges &numbered)
{
    std::optional<QList<data::AwardRecord>> awards = data::AwardStore().forDraw(drawId);
    if (!awards)
        return std::nullopt;
    // 顺序, then the order they were added in.
    std::stable_sort(
        awards->begin(), awards->end(), [](const data::AwardRecord &a, const data::AwardRecord &b) {
            const qint64 x = integerValue(a.order);
            const qint64 y = integerValue(b.order);
            return x != y ? x < y : a.id < b.id;
        });
    QList<record::CommittedAward> committed;
    for (const data::AwardRecord &award : *awards) {
        record::CommittedAward one;
        one.id = award.id;
        one.name = award.name;
        one.prize = award.prize;
        one.count = std::max<qint64>(0, integerValue(award.count));
        // An award that draws no one per round could never be finished: it
        // draws one at a time instead.
        one.perRound = std::max<qint64>(1, integerValue(award.perRound));
        one.repeat = award.repeat;
        one.eligible = numbered;
        committed.append(one);
    }
    return committed;
}

TakenUp TakeUpCommitment(qint64 drawId, Entry entry, EntrantPool &pool)
{
    TakenUp taken;
    ReadBack back = readBack(drawId);
    if (!back.readable) {
        taken.problem = QStringLiteral("无法读取此抽奖的公证记录，抽奖未开始，请检查数据库！");
        return taken;
    }
    if (back.olderRule && entry != Entry::Restart) {
        taken.problem
            = QStringLiteral("此抽奖的公证记录是旧版本按旧规则写的，不能在其上继续抽奖；请重新开始。");
        return taken;
    }
    if (back.broken && entry != Entry::Restart) {
        taken.problem
            = QStringLiteral("此抽奖的公证记录已损坏（%1），不能继续抽奖；请重新开始。").arg(*back.broken);
        return taken;
    }
    const record::Replay &replay = *back.replay;

    // The people's index, which the exclusions below need, is built beside
    // the fingerprint: both only read the list's texts.
    std::thread index([&pool] { pool.people(); });
    notary::ListFingerprint fingerprint;
    for (qsizetype i = 1; i <= pool.size(); ++i)
        fingerprint.add(pool.numberView(i), pool.nameView(i));
    const QString listPrint = fingerprint.result();
    index.join();
    const Ranges numbered = pool.numbered();
    const std::optional<QList<record::CommittedAward>> awardsNow = CurrentAwards(drawId, numbered);
    const std::optional<QList<data::ResultRecord>> results = data::ResultStore().forDraw(drawId);
    const std::optional<QList<data::WithdrawalRecord>> withdrawals
        = data::ResultStore().withdrawalsOf(drawId);
    const std::optional<data::DrawRecord> draw = data::DrawStore().load(drawId);
    if (!awardsNow || !results || !withdrawals || !draw) {
        taken.problem = QStringLiteral("无法读取此抽奖的奖项或结果，抽奖未开始，请检查数据库！");
        return taken;
    }

    // What changed since the last commitment, and what the database holds
    // that its record does not.
    QStringList reasons;
    const std::optional<record::Commit> &last = replay.lastCommit();
    if (entry != Entry::Restart && !back.olderRule && !back.broken) {
        if (last && last->fingerprint != listPrint)
            reasons << QStringLiteral("名单已改动：%1").arg(listChanges(drawId, last->fingerprint, pool));
        if (last) {
            const QString changed = awardChanges(last->awards, *awardsNow);
            if (!changed.isEmpty())
                reasons << QStringLiteral("奖项已改动：%1").arg(changed);
        }
        taken.differences = tableDifferences(*results, *withdrawals, replay, *awardsNow);
        if (!taken.differences.isEmpty())
            reasons << QStringLiteral("数据库与公证记录不符");
    }
    const std::optional<record::Commit> &inForce = replay.inForce();
    if (inForce && entry != Entry::Restart && reasons.isEmpty() && !back.olderRule && !back.broken) {
        taken.commitment = commitmentOf(*inForce, replay, back.seed.seed);
        return taken;
    }

    // A commitment made now: the one before revealed, the database brought
    // back to the record, the list kept for checking.
    const bool restart = entry == Entry::Restart;
    const bool cleared = restart && replay.commits() > 0 && !back.olderRule && !back.broken;
    QHash<qint64, record::StandingResult> standing
        = restart ? QHash<qint64, record::StandingResult>() : replay.standing();
    QSet<Key> withdrawn = restart ? QSet<Key>() : replay.withdrawn();
    for (auto it = standing.begin(); it != standing.end();) {
        const bool stays = std::any_of(awardsNow->begin(), awardsNow->end(),
            [&](const record::CommittedAward &award) { return award.id == it->award; });
        it = stays ? std::next(it) : standing.erase(it);
    }
    record::Commit made;
    made.number = restart && (back.olderRule || back.broken) ? 1 : replay.commits() + 1;
    made.awards = *awardsNow;
    made.reason = restart ? (made.number > 1 ? QStringLiteral("重新开始") : QString())
        : reasons.isEmpty() ? (made.number > 1 ? QStringLiteral("上一次承诺的种子已公开") : QString())
                            : reasons.join(QStringLiteral("；"));
    made.cleared = cleared;
    const QSet<Key> out = record::Replay::OutKeys(standing, withdrawn, made);
    std::vector<qsizetype> excluded;
    for (const Key &key : out) {
        const qsizetype first = pool.find(key.number, key.name);
        if (first == 0)
            continue;
        qsizetype each = first;
        do {
            excluded.push_back(each);
            each = pool.people().next(each);
        } while (each != first);
    }
    std::sort(excluded.begin(), excluded.end());
    // A draw continued with every award drawn (or nobody left to draw) has
    // nothing to commit to: its record stays as the end of the draw left it.
    if (entry == Entry::Continue && !inForce) {
        qsizetype eligible = 0;
        for (const auto &[first, last] : numbered.spans)
            eligible += last - first + 1;
        for (qsizetype position : excluded)
            eligible -= pool.numberView(position).isEmpty() ? 0 : 1;
        const bool open
            = eligible > 0 && std::any_of(made.awards.begin(), made.awards.end(), [&](const auto &award) {
                  qint64 won = 0;
                  for (const record::StandingResult &result : standing)
                      won += result.award == award.id ? 1 : 0;
                  return won < award.count;
              });
        if (!open && taken.differences.isEmpty()) {
            taken.nothingToDraw = true;
            return taken;
        }
    }
    QJsonArray excludedValue;
    for (qsizetype position : excluded)
        excludedValue.append(qint64(position));
    QJsonArray awardList;
    for (const record::CommittedAward &award : made.awards) {
        awardList.append(QJsonObject { { QStringLiteral("count"), award.count },
            { QStringLiteral("eligible"), record::RangesValue(award.eligible, pool.size()) },
            { QStringLiteral("id"), award.id }, { QStringLiteral("name"), award.name },
            { QStringLiteral("perRound"), award.perRound }, { QStringLiteral("prize"), award.prize },
            { QStringLiteral("range"), award.range }, { QStringLiteral("repeat"), award.repeat } });
    }
    const QByteArray seed = notary::NewSeed();
    made.commitment = notary::Commitment(seed);
    made.fingerprint = listPrint;

    data::Transaction transaction;
    bool written = transaction.isActive();
    if (written && restart && (back.olderRule || back.broken))
        written = data::NotaryStore().deleteForDraw(drawId);
    if (written && inForce && !back.broken && !back.olderRule)
        written = data::NotaryStore()
                      .append(drawId, QStringLiteral("reveal"),
                          QJsonObject { { QStringLiteral("seed"), notary::Hex(back.seed.seed) } })
                      .has_value();
    if (written && restart) {
        written = data::ResultStore().deleteForDraw(drawId);
    } else if (written) {
        QList<data::ResultRecord> keep;
        for (auto it = standing.cbegin(); it != standing.cend(); ++it)
            keep.append({ it.key(), drawId, it->award, it->number, it->name });
        std::sort(keep.begin(), keep.end(),
            [](const data::ResultRecord &a, const data::ResultRecord &b) { return a.id < b.id; });
        QList<data::WithdrawalRecord> named;
        for (auto it = replay.withdrawnResults().cbegin(); it != replay.withdrawnResults().cend(); ++it)
            named.append({ it.key(), it->award, it->number, it->name, it->time, it->reason });
        written = data::ResultStore().bringBack(drawId, keep, named);
    }
    std::optional<data::NotaryEntry> stored;
    if (written) {
        stored = data::NotaryStore().append(drawId, QStringLiteral("commit"),
            QJsonObject { { QStringLiteral("awards"), awardList }, { QStringLiteral("cleared"), cleared },
                { QStringLiteral("commitment"), made.commitment }, { QStringLiteral("draw"), drawId },
                { QStringLiteral("entrants"), qint64(pool.size()) },
                { QStringLiteral("excluded"), excludedValue }, { QStringLiteral("fingerprint"), listPrint },
                { QStringLiteral("name"), draw->name }, { QStringLiteral("reason"), made.reason } });
        written = stored.has_value();
    }
    written = written && data::NotaryStore().setSeed(drawId, { seed, made.commitment, stored->hash, false });
    if (written && !data::NotaryStore().hasList(drawId, listPrint).value_or(false)) {
        qsizetype next = 1;
        written = data::NotaryStore().keepList(drawId, listPrint,
            data::KeptList::encode([&](qint64 &id, QStringView &number, QStringView &name) {
                if (next > pool.size())
                    return false;
                id = pool.id(next);
                number = pool.numberView(next);
                name = pool.nameView(next);
                ++next;
                return true;
            }));
    }
    written = written && transaction.commit();
    if (!written) {
        taken.differences.clear();
        taken.problem = QStringLiteral(
            "公证承诺无法保存到数据库（磁盘可能已满，或文件只读、被锁定），抽奖未开始，请检查数据库！");
        return taken;
    }
    made.hash = stored->hash;
    made.code = notary::CodeOfHash(stored->hash);
    made.time = stored->time;
    Commitment commitment;
    commitment.number = made.number;
    commitment.code = made.code;
    commitment.entryHash = made.hash;
    commitment.time = made.time;
    commitment.reason = made.reason;
    commitment.commitment = made.commitment;
    commitment.fingerprint = listPrint;
    commitment.entrants = pool.size();
    commitment.seed = seed;
    commitment.awards = made.awards;
    commitment.standing = standing;
    commitment.withdrawn = withdrawn;
    for (const record::CommittedAward &award : made.awards)
        commitment.rounds.insert(award.id, restart && made.number == 1 ? 0 : replay.roundsOf(award.id));
    taken.commitment = commitment;
    taken.committedNow = true;
    return taken;
}

bool RecordHallNumbers(qint64 drawId, Commitment &commitment, const QString &numbers)
{
    if (commitment.hallGiven || !notary::IsHallNumbers(numbers))
        return false;
    data::Transaction transaction;
    if (!transaction.isActive()
        || !data::NotaryStore().append(
            drawId, QStringLiteral("hall"), QJsonObject { { QStringLiteral("numbers"), numbers } })
        || !transaction.commit())
        return false;
    commitment.hallGiven = true;
    commitment.hallNumbers = numbers;
    commitment.hallKey = notary::HallKey(commitment.seed, numbers);
    return true;
}

} // namespace tombolix::draw
