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
#include "draw/commitmentchanges.h"
#include "draw/eligibleset.h"
#include "draw/notaryrecord.h"
#include "draw/recordranges.h"

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

// Why the draw cannot be entered as its record stands; empty when it can.
QString refusalOf(const ReadBack &back, Entry entry)
{
    if (!back.readable)
        return QStringLiteral("无法读取此抽奖的公证记录，抽奖未开始，请检查数据库！");
    if (back.olderRule && entry != Entry::Restart)
        return QStringLiteral("此抽奖的公证记录是旧版本按旧规则写的，不能在其上继续抽奖；请重新开始。");
    if (back.broken && entry != Entry::Restart)
        return QStringLiteral("此抽奖的公证记录已损坏（%1），不能继续抽奖；请重新开始。").arg(*back.broken);
    return QString();
}

// The list's fingerprint. The people's index, which the exclusions need, is
// built beside it: both only read the list's texts.
QString fingerprintOf(EntrantPool &pool)
{
    std::thread index([&pool] { pool.people(); });
    notary::ListFingerprint fingerprint;
    for (qsizetype i = 1; i <= pool.size(); ++i)
        fingerprint.add(pool.numberView(i), pool.nameView(i));
    const QString listPrint = fingerprint.result();
    index.join();
    return listPrint;
}

// The wins a new commitment starts from: none after 重新开始, else the
// record's, of the awards still there.
QHash<qint64, record::StandingResult> standingInto(
    bool restart, const record::Replay &replay, const QList<record::CommittedAward> &awardsNow)
{
    QHash<qint64, record::StandingResult> standing
        = restart ? QHash<qint64, record::StandingResult>() : replay.standing();
    for (auto it = standing.begin(); it != standing.end();) {
        const bool stays = std::any_of(awardsNow.begin(), awardsNow.end(),
            [&](const record::CommittedAward &award) { return award.id == it->award; });
        it = stays ? std::next(it) : standing.erase(it);
    }
    return standing;
}

// The commitment to make: its number, awards, reason and whether it clears.
record::Commit commitToMake(Entry entry, const ReadBack &back, const QList<record::CommittedAward> &awardsNow,
    const QStringList &reasons)
{
    const record::Replay &replay = *back.replay;
    const bool restart = entry == Entry::Restart;
    record::Commit made;
    made.number = restart && (back.olderRule || back.broken) ? 1 : replay.commits() + 1;
    made.awards = awardsNow;
    made.reason = restart ? (made.number > 1 ? QStringLiteral("重新开始") : QString())
        : reasons.isEmpty() ? (made.number > 1 ? QStringLiteral("上一次承诺的种子已公开") : QString())
                            : reasons.join(QStringLiteral("；"));
    made.cleared = restart && replay.commits() > 0 && !back.olderRule && !back.broken;
    return made;
}

// The positions of the list held by the people out of the draw, ascending.
std::vector<qsizetype> excludedPositions(const QSet<Key> &out, EntrantPool &pool)
{
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
    return excluded;
}

// Whether an award of the commitment has anybody left to draw.
bool anythingToDraw(const Ranges &numbered, const std::vector<qsizetype> &excluded, EntrantPool &pool,
    const record::Commit &made, const QHash<qint64, record::StandingResult> &standing)
{
    qsizetype eligible = 0;
    for (const auto &[first, last] : numbered.spans)
        eligible += last - first + 1;
    for (qsizetype position : excluded)
        eligible -= pool.numberView(position).isEmpty() ? 0 : 1;
    return eligible > 0 && std::any_of(made.awards.begin(), made.awards.end(), [&](const auto &award) {
        qint64 won = 0;
        for (const record::StandingResult &result : standing)
            won += result.award == award.id ? 1 : 0;
        return won < award.count;
    });
}

QJsonArray awardsValue(const QList<record::CommittedAward> &awards, qsizetype entrants)
{
    QJsonArray awardList;
    for (const record::CommittedAward &award : awards) {
        QJsonObject one { { QStringLiteral("count"), award.count },
            { QStringLiteral("eligible"), record::EligibleValue(award.eligible, entrants) },
            { QStringLiteral("id"), award.id }, { QStringLiteral("name"), award.name },
            { QStringLiteral("perRound"), award.perRound }, { QStringLiteral("prize"), award.prize },
            { QStringLiteral("range"), award.range }, { QStringLiteral("repeat"), award.repeat } };
        if (!award.range.isEmpty())
            record::AddLimits(one, award.limits);
        awardList.append(one);
    }
    return awardList;
}

// The results table brought back to the record: emptied after 重新开始.
bool resultsAsRecorded(qint64 drawId, bool restart, const QHash<qint64, record::StandingResult> &standing,
    const record::Replay &replay)
{
    if (restart)
        return data::ResultStore().deleteForDraw(drawId);
    QList<data::ResultRecord> keep;
    for (auto it = standing.cbegin(); it != standing.cend(); ++it)
        keep.append({ it.key(), drawId, it->award, it->number, it->name });
    std::sort(keep.begin(), keep.end(),
        [](const data::ResultRecord &a, const data::ResultRecord &b) { return a.id < b.id; });
    QList<data::WithdrawalRecord> named;
    for (auto it = replay.withdrawnResults().cbegin(); it != replay.withdrawnResults().cend(); ++it)
        named.append({ it.key(), it->award, it->number, it->name, it->time, it->reason });
    return data::ResultStore().bringBack(drawId, keep, named);
}

// The list committed to, kept for checking unless it is kept already.
bool keepCommittedList(qint64 drawId, const QString &listPrint, EntrantPool &pool)
{
    if (data::NotaryStore().hasList(drawId, listPrint).value_or(false))
        return true;
    qsizetype next = 1;
    return data::NotaryStore().keepList(
        drawId, listPrint, data::KeptList::encode([&](qint64 &id, QStringView &number, QStringView &name) {
            if (next > pool.size())
                return false;
            id = pool.id(next);
            number = pool.numberView(next);
            name = pool.nameView(next);
            ++next;
            return true;
        }));
}

// A commitment made now, in one transaction: the one before revealed, the
// database brought back to the record, the list kept for checking. The
// commit entry stored; nothing when the database refused any of it.
std::optional<data::NotaryEntry> storeCommitment(qint64 drawId, Entry entry, const ReadBack &back,
    const QHash<qint64, record::StandingResult> &standing, const record::Commit &made,
    const std::vector<qsizetype> &excluded, const QString &drawName, const QByteArray &seed,
    EntrantPool &pool)
{
    const bool restart = entry == Entry::Restart;
    const bool cleared = made.cleared;
    const QString &listPrint = made.fingerprint;
    const std::optional<record::Commit> &inForce = back.replay->inForce();
    QJsonArray excludedValue;
    for (qsizetype position : excluded)
        excludedValue.append(qint64(position));
    const QJsonArray awardList = awardsValue(made.awards, pool.size());

    data::Transaction transaction;
    bool written = transaction.isActive();
    if (written && restart && (back.olderRule || back.broken))
        written = data::NotaryStore().deleteForDraw(drawId);
    if (written && inForce && !back.broken && !back.olderRule)
        written = data::NotaryStore()
                      .append(drawId, QStringLiteral("reveal"),
                          QJsonObject { { QStringLiteral("seed"), notary::Hex(back.seed.seed) } })
                      .has_value();
    written = written && resultsAsRecorded(drawId, restart, standing, *back.replay);
    std::optional<data::NotaryEntry> stored;
    if (written) {
        stored = data::NotaryStore().append(drawId, QStringLiteral("commit"),
            QJsonObject { { QStringLiteral("awards"), awardList }, { QStringLiteral("cleared"), cleared },
                { QStringLiteral("commitment"), made.commitment }, { QStringLiteral("draw"), drawId },
                { QStringLiteral("entrants"), qint64(pool.size()) },
                { QStringLiteral("excluded"), excludedValue }, { QStringLiteral("fingerprint"), listPrint },
                { QStringLiteral("name"), drawName }, { QStringLiteral("reason"), made.reason } });
        written = stored.has_value();
    }
    written = written && data::NotaryStore().setSeed(drawId, { seed, made.commitment, stored->hash, false });
    written = written && keepCommittedList(drawId, listPrint, pool);
    written = written && transaction.commit();
    return written ? stored : std::nullopt;
}

// The commitment just made, as the draw goes on under it.
Commitment commitmentMade(const record::Commit &made, qint64 entrants, const QByteArray &seed,
    const QHash<qint64, record::StandingResult> &standing, const QSet<Key> &withdrawn,
    const record::Replay &replay, bool restart)
{
    Commitment commitment;
    commitment.number = made.number;
    commitment.code = made.code;
    commitment.entryHash = made.hash;
    commitment.time = made.time;
    commitment.reason = made.reason;
    commitment.commitment = made.commitment;
    commitment.fingerprint = made.fingerprint;
    commitment.entrants = entrants;
    commitment.seed = seed;
    commitment.awards = made.awards;
    commitment.standing = standing;
    commitment.withdrawn = withdrawn;
    for (const record::CommittedAward &award : made.awards)
        commitment.rounds.insert(award.id, restart && made.number == 1 ? 0 : replay.roundsOf(award.id));
    return commitment;
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

std::optional<QList<record::CommittedAward>> CurrentAwards(
    qint64 drawId, const EntrantPool &pool, std::optional<RangesRead> ranges)
{
    const std::optional<QHash<qint64, AwardEligibility>> eligibility
        = ranges && ranges->ready() ? std::move(*ranges).judge(pool) : ComputeEligibility(drawId, pool);
    if (!eligibility)
        return std::nullopt;
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
        const AwardEligibility &who = eligibility->value(award.id);
        one.eligible = who.eligible;
        one.limits = who.range;
        one.range = who.words;
        committed.append(one);
    }
    return committed;
}

TakenUp TakeUpCommitment(qint64 drawId, Entry entry, EntrantPool &pool, std::optional<RangesRead> ranges)
{
    TakenUp taken;
    ReadBack back = readBack(drawId);
    taken.problem = refusalOf(back, entry);
    if (!taken.problem.isEmpty())
        return taken;
    const record::Replay &replay = *back.replay;

    const QString listPrint = fingerprintOf(pool);
    const Ranges numbered = pool.numbered();
    const std::optional<QList<record::CommittedAward>> awardsNow
        = CurrentAwards(drawId, pool, std::move(ranges));
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
    if (entry != Entry::Restart && !back.olderRule && !back.broken) {
        reasons = changesSince(drawId, replay.lastCommit(), listPrint, pool, *awardsNow);
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
    const QHash<qint64, record::StandingResult> standing = standingInto(restart, replay, *awardsNow);
    const QSet<Key> withdrawn = restart ? QSet<Key>() : replay.withdrawn();
    record::Commit made = commitToMake(entry, back, *awardsNow, reasons);
    const std::vector<qsizetype> excluded
        = excludedPositions(record::Replay::OutKeys(standing, withdrawn, made), pool);
    // A draw continued with every award drawn (or nobody left to draw) has
    // nothing to commit to: its record stays as the end of the draw left it.
    if (entry == Entry::Continue && !inForce && !anythingToDraw(numbered, excluded, pool, made, standing)
        && taken.differences.isEmpty()) {
        taken.nothingToDraw = true;
        return taken;
    }
    const QByteArray seed = notary::NewSeed();
    made.commitment = notary::Commitment(seed);
    made.fingerprint = listPrint;
    const std::optional<data::NotaryEntry> stored
        = storeCommitment(drawId, entry, back, standing, made, excluded, draw->name, seed, pool);
    if (!stored) {
        taken.differences.clear();
        taken.problem = QStringLiteral(
            "公证承诺无法保存到数据库（磁盘可能已满，或文件只读、被锁定），抽奖未开始，请检查数据库！");
        return taken;
    }
    made.hash = stored->hash;
    made.code = notary::CodeOfHash(stored->hash);
    made.time = stored->time;
    taken.commitment = commitmentMade(made, pool.size(), seed, standing, withdrawn, replay, restart);
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
