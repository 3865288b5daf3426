#include "common/notary.h"
#include "draw/recordfields.h"
#include "draw/recordranges.h"
#include "draw/recordreplay.h"

#include <QJsonArray>
#include <algorithm>

// The replay of a commitment: its entry read, its list and exclusions
// checked, and the commitment put in force.
namespace tombolix::draw::record {

namespace {

bool isSubset(const Ranges &inner, const Ranges &outer)
{
    if (outer.all)
        return true;
    if (inner.all)
        return outer.spans.size() == 1 && outer.spans.front().first == 1 && inner.spans.empty();
    size_t o = 0;
    for (const auto &[first, last] : inner.spans) {
        while (o < outer.spans.size() && outer.spans[o].second < first)
            ++o;
        if (o == outer.spans.size() || outer.spans[o].first > first || outer.spans[o].second < last)
            return false;
    }
    return true;
}

QString positionsText(const std::vector<qsizetype> &positions)
{
    QStringList shown;
    for (size_t i = 0; i < positions.size() && i < 5; ++i)
        shown << QString::number(positions[i]);
    if (positions.size() > 5)
        shown << QStringLiteral("…");
    return shown.isEmpty() ? QStringLiteral("无") : shown.join(QLatin1Char(','));
}

// The awards of a commit entry, into `commit`.
std::optional<Problem> readAwards(qsizetype index, const Entry &entry, Commit &commit)
{
    const QJsonObject &content = entry.content;
    QSet<qint64> ids;
    for (const QJsonValue &each : content.value(QLatin1String("awards")).toArray()) {
        const QJsonObject award = each.toObject();
        const bool ranged = !award.value(QLatin1String("range")).toString().isEmpty();
        if (!each.isObject()
            || !(ranged ? hasExactly(award,
                     { "conditions", "count", "eligible", "excludedNumbers", "id", "name", "perRound",
                         "prize", "range", "repeat" })
                        : hasExactly(award,
                            { "count", "eligible", "id", "name", "perRound", "prize", "range", "repeat" }))
            || !typed(award,
                { { "count", 'n' }, { "id", 'p' }, { "name", 's' }, { "perRound", 'p' }, { "prize", 's' },
                    { "range", 's' }, { "repeat", 'b' } }))
            return problem(1, form(index, entry.type));
        const std::optional<Ranges> eligible
            = EligibleOf(award.value(QLatin1String("eligible")), commit.entrants);
        if (!eligible)
            return problem(1, form(index, entry.type));
        CommittedAward one;
        one.id = integer(award, "id");
        one.name = text(award, "name");
        one.prize = text(award, "prize");
        one.range = text(award, "range");
        one.count = integer(award, "count");
        one.perRound = integer(award, "perRound");
        one.repeat = award.value(QLatin1String("repeat")).toBool();
        one.eligible = *eligible;
        if (ranged) {
            const std::optional<AwardRange> limits = ReadLimits(award);
            if (!limits)
                return problem(1, form(index, entry.type));
            one.limits = *limits;
            if (limits->everyone() || RangeWords(*limits) != one.range)
                return problem(5,
                    QStringLiteral("%1中奖项“%2”的范围文字应为“%3”")
                        .arg(EntryName(index, entry.type), one.name, RangeWords(*limits)));
        }
        if (ids.contains(one.id))
            return problem(
                5, QStringLiteral("%1中奖项 %2 出现了两次").arg(EntryName(index, entry.type)).arg(one.id));
        ids.insert(one.id);
        commit.awards.append(one);
    }
    return std::nullopt;
}

// The awards of a rule v1 entered entry, into `commit`; what its digest is of.
std::optional<Problem> readAwardsV1(
    qsizetype index, const Entry &entry, Commit &commit, QList<notary::v1::CommittedAward> &digestOf)
{
    const QJsonObject &content = entry.content;
    QSet<qint64> ids;
    for (const QJsonValue &each : content.value(QLatin1String("awards")).toArray()) {
        const QJsonObject award = each.toObject();
        if (!each.isObject()
            || !hasExactly(award, { "count", "id", "name", "order", "perRound", "prize", "repeat" })
            || !typed(award,
                { { "count", 'i' }, { "id", 'p' }, { "name", 's' }, { "order", 'i' }, { "perRound", 'p' },
                    { "prize", 's' }, { "repeat", 'b' } }))
            return problem(1, form(index, entry.type));
        CommittedAward one;
        one.id = integer(award, "id");
        one.name = text(award, "name");
        one.prize = text(award, "prize");
        one.count = integer(award, "count");
        one.perRound = integer(award, "perRound");
        one.repeat = award.value(QLatin1String("repeat")).toBool();
        one.order = integer(award, "order");
        if (ids.contains(one.id))
            return problem(
                5, QStringLiteral("%1中奖项 %2 出现了两次").arg(EntryName(index, entry.type)).arg(one.id));
        ids.insert(one.id);
        commit.awards.append(one);
        digestOf.append({ one.id, one.order, one.name, one.prize, one.count, one.perRound, one.repeat });
    }
    return std::nullopt;
}

} // namespace

std::optional<Problem> Replay::takeUpCommit(qsizetype index, Commit commit)
{
    // The list of this commitment; its awards' eligible positions.
    if (m_lists) {
        if (std::optional<Problem> wrong = m_lists->takeListOf(commit))
            return wrong;
        const qsizetype size = m_lists->size();
        const QSet<Key> out = OutKeys(m_standing, m_withdrawn, commit);
        std::vector<qsizetype> expected = m_lists->positionsOf(out);
        if (m_rule == 1) {
            // Rule v1 kept the entrants without a number out from the start.
            const Ranges numbered = m_lists->positionsWithNumber();
            std::vector<qsizetype> unnumbered;
            qsizetype next = 1;
            for (const auto &[first, last] : numbered.spans) {
                for (; next < first; ++next)
                    unnumbered.push_back(next);
                next = last + 1;
            }
            for (; next <= size; ++next)
                unnumbered.push_back(next);
            std::vector<qsizetype> merged;
            std::set_union(expected.begin(), expected.end(), unnumbered.begin(), unnumbered.end(),
                std::back_inserter(merged));
            expected = std::move(merged);
        }
        if (expected != commit.excluded)
            return problem(5,
                QStringLiteral("%1排除的位置（%2）不符合规则，应为 %3")
                    .arg(EntryName(index, m_rule == 2 ? QStringLiteral("commit") : QStringLiteral("entered")),
                        positionsText(commit.excluded), positionsText(expected)));
        PositionSet &inDraw = m_lists->inDraw();
        inDraw.assign(size, true);
        for (qsizetype position : commit.excluded)
            inDraw.remove(position);
        if (m_rule == 2) {
            const Ranges normal = m_lists->positionsWithNumber();
            for (const CommittedAward &award : commit.awards) {
                // Within the numbered positions whose number is not left
                // out; all of them when no condition narrows it further.
                const Ranges allowed = award.limits.excluded.isEmpty()
                    ? normal
                    : Without(normal, m_lists->positionsWithNumberIn(award.limits.excluded));
                const bool right = award.limits.conditions.isEmpty() ? award.eligible == allowed
                                                                     : isSubset(award.eligible, allowed);
                if (!right)
                    return problem(5,
                        QStringLiteral("%1中奖项“%2”可中奖的位置不符合规则")
                            .arg(EntryName(index, QStringLiteral("commit")), award.name));
            }
        }
    }
    m_inForce = commit;
    m_last = commit;
    m_hallGiven = false;
    m_hallNumbers.clear();
    m_hallKey.clear();
    m_seed = m_seeds.value(index);
    m_roundsUnderCommit = 0;
    Event event { Event::Committed, index, commit.time, commit.number, commit.reason, 0, QString(), {} };
    m_events.append(event);
    return std::nullopt;
}

// What a commitment of either rule holds alike, read into commit: it may
// not come while another is in force, and its excluded positions must be
// positions of its entrants.
std::optional<Problem> Replay::openCommit(qsizetype index, const Entry &entry, Commit &commit)
{
    if (m_inForce)
        return problem(3,
            QStringLiteral("%1之前的第%2次承诺还没有公开种子")
                .arg(EntryName(index, entry.type))
                .arg(m_inForce->number));
    const QJsonObject &content = entry.content;
    commit.number = ++m_commits;
    commit.entry = index;
    commit.time = entry.time;
    commit.hash = entry.hash;
    commit.commitment = text(content, "commitment");
    commit.fingerprint = text(content, "fingerprint");
    commit.name = text(content, "name");
    commit.draw = integer(content, "draw");
    commit.entrants = integer(content, "entrants");
    const std::optional<std::vector<qsizetype>> excluded
        = PositionsOf(content.value(QLatin1String("excluded")), commit.entrants);
    if (!excluded)
        return problem(1, form(index, entry.type));
    commit.excluded = *excluded;
    return std::nullopt;
}

std::optional<Problem> Replay::commit(qsizetype index, const Entry &entry)
{
    const QJsonObject &content = entry.content;
    if (!hasExactly(content,
            { "awards", "cleared", "commitment", "draw", "entrants", "excluded", "fingerprint", "name",
                "reason" })
        || !typed(content,
            { { "awards", 'a' }, { "cleared", 'b' }, { "commitment", 'h' }, { "draw", 'p' },
                { "entrants", 'n' }, { "excluded", 'a' }, { "fingerprint", 'h' }, { "name", 's' },
                { "reason", 's' } }))
        return problem(1, form(index, entry.type));
    Commit commit;
    if (std::optional<Problem> wrong = openCommit(index, entry, commit))
        return wrong;
    commit.code = notary::CodeOfHash(entry.hash);
    commit.reason = text(content, "reason");
    commit.cleared = content.value(QLatin1String("cleared")).toBool();
    if (std::optional<Problem> wrong = readAwards(index, entry, commit))
        return wrong;
    if (commit.number == 1 && commit.cleared)
        return problem(5, QStringLiteral("%1是第一次承诺，不能是重新开始").arg(EntryName(index, entry.type)));
    if (commit.cleared) {
        m_standing.clear();
        m_standingOf.clear();
        m_withdrawn.clear();
        m_withdrawnResults.clear();
    }
    // A result of an award the commitment no longer names stands no more.
    for (auto it = m_standing.begin(); it != m_standing.end();) {
        if (!commit.award(it->award)) {
            m_standingOf[it->award] -= 1;
            it = m_standing.erase(it);
        } else {
            ++it;
        }
    }
    return takeUpCommit(index, std::move(commit));
}

std::optional<Problem> Replay::enteredV1(qsizetype index, const Entry &entry)
{
    const QJsonObject &content = entry.content;
    if (!hasExactly(content,
            { "awards", "awardsDigest", "code", "commitment", "draw", "entrants", "excluded", "fingerprint",
                "name", "rule" })
        || !typed(content,
            { { "awards", 'a' }, { "awardsDigest", 'h' }, { "code", 's' }, { "commitment", 'h' },
                { "draw", 'p' }, { "entrants", 'n' }, { "excluded", 'a' }, { "fingerprint", 'h' },
                { "name", 's' }, { "rule", 's' } }))
        return problem(1, form(index, entry.type));
    if (text(content, "rule") != QLatin1String(notary::RuleV1))
        return problem(5,
            QStringLiteral("%1的规则不是 %2")
                .arg(EntryName(index, entry.type), QLatin1String(notary::RuleV1)));
    Commit commit;
    if (std::optional<Problem> wrong = openCommit(index, entry, commit))
        return wrong;
    commit.code = text(content, "code");
    commit.reason = m_pendingReason;
    m_pendingReason.clear();
    QList<notary::v1::CommittedAward> digestOf;
    if (std::optional<Problem> wrong = readAwardsV1(index, entry, commit, digestOf))
        return wrong;
    const QString digest = notary::v1::AwardsDigest(digestOf);
    if (text(content, "awardsDigest") != digest)
        return problem(5, QStringLiteral("%1的奖项摘要应为 %2").arg(EntryName(index, entry.type), digest));
    const QString code = notary::v1::NotaryCode(commit.commitment, commit.fingerprint, digest);
    if (commit.code != code)
        return problem(5,
            QStringLiteral("%1的公证码应为 %2").arg(EntryName(index, entry.type), notary::GroupedCode(code)));
    return takeUpCommit(index, std::move(commit));
}

} // namespace tombolix::draw::record
