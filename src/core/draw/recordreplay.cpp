#include "draw/recordreplay.h"

#include "common/notary.h"
#include "draw/recordfields.h"

#include <QJsonArray>
#include <algorithm>

namespace tombolix::draw::record {

namespace {

// A round entry not of its form: its members, and each winner's.
std::optional<Problem> roundFormProblem(qsizetype index, const Entry &entry, int rule)
{
    const QJsonObject &content = entry.content;
    if (!hasExactly(content, { "award", "eligible", "round", "winners" })
        || !typed(content, { { "award", 'p' }, { "eligible", 'n' }, { "round", 'p' }, { "winners", 'a' } }))
        return problem(1, form(index, entry.type));
    const QJsonArray winners = content.value(QLatin1String("winners")).toArray();
    for (const QJsonValue &each : winners) {
        const QJsonObject winner = each.toObject();
        const bool nullResult = rule == 1 && winner.value(QLatin1String("result")).isNull();
        if (!each.isObject() || !hasExactly(winner, { "name", "number", "position", "result" })
            || !typed(winner, { { "name", 's' }, { "number", 's' }, { "position", 'p' } })
            || (!nullResult && !typed(winner, { { "result", 'p' } })))
            return problem(1, form(index, entry.type));
    }
    return std::nullopt;
}

// A result ID of the round used before, in it or in an earlier one.
std::optional<Problem> usedResultProblem(qsizetype index, const Entry &entry, const QSet<qint64> &usedResults)
{
    QSet<qint64> ofRound;
    for (const QJsonValue &each : entry.content.value(QLatin1String("winners")).toArray()) {
        const QJsonValue result = each.toObject().value(QLatin1String("result"));
        if (result.isNull())
            continue;
        const qint64 id = result.toInteger();
        if (usedResults.contains(id) || ofRound.contains(id))
            return problem(
                6, QStringLiteral("%1的结果编号 %2 已用过").arg(EntryName(index, entry.type)).arg(id));
        ofRound.insert(id);
    }
    return std::nullopt;
}

} // namespace

QString PersonText(const Key &key)
{
    if (key.number.isEmpty() || key.name.isEmpty())
        return key.number + key.name;
    return key.number + QLatin1Char(' ') + key.name;
}

QString ListChangesText(const QHash<Key, qint64> &delta)
{
    QList<Key> keys = delta.keys();
    std::sort(keys.begin(), keys.end(),
        [](const Key &a, const Key &b) { return std::tie(a.number, a.name) < std::tie(b.number, b.name); });
    // One half for those who joined, one for those who left: the number of
    // entries, then up to five of the people.
    auto half = [&](const char *sign, bool joined) {
        QStringList shown;
        qint64 entries = 0;
        qsizetype people = 0;
        for (const Key &key : keys) {
            const qint64 n = delta.value(key);
            if ((n > 0) != joined || n == 0)
                continue;
            entries += std::abs(n);
            if (++people <= 5)
                shown << PersonText(key)
                        + (std::abs(n) > 1 ? QStringLiteral("×%1").arg(std::abs(n)) : QString());
        }
        if (people == 0)
            return QString();
        return QStringLiteral("%1%2 %3%4")
            .arg(QLatin1String(sign))
            .arg(entries)
            .arg(shown.join(QStringLiteral("、")), people > 5 ? QStringLiteral(" 等") : QString());
    };
    QStringList parts;
    for (const QString &part : { half("+", true), half("-", false) }) {
        if (!part.isEmpty())
            parts << part;
    }
    return parts.join(QStringLiteral("；"));
}

QString EntryName(qsizetype index, const QString &type)
{
    return QStringLiteral("第%1条记录（%2）").arg(index + 1).arg(type);
}

const CommittedAward *Commit::award(qint64 id) const
{
    for (const CommittedAward &each : awards) {
        if (each.id == id)
            return &each;
    }
    return nullptr;
}

Replay::Replay(int rule, ListContext *lists)
    : m_rule(rule)
    , m_lists(lists)
{ }

QSet<Key> Replay::OutKeys(
    const QHash<qint64, StandingResult> &standing, const QSet<Key> &withdrawn, const Commit &commit)
{
    QSet<Key> out = withdrawn;
    for (const StandingResult &result : standing) {
        const CommittedAward *award = commit.award(result.award);
        if (award && !award->repeat)
            out.insert(Key { result.number, result.name });
    }
    return out;
}

std::optional<Problem> Replay::feed(qsizetype index, const Entry &entry)
{
    if (m_rule == 2) {
        if (entry.type == QLatin1String("commit"))
            return commit(index, entry);
        if (entry.type == QLatin1String("hall"))
            return hall(index, entry);
    } else {
        if (entry.type == QLatin1String("entered"))
            return enteredV1(index, entry);
        if (entry.type == QLatin1String("restart"))
            return restartV1(index, entry);
    }
    if (entry.type == QLatin1String("round"))
        return round(index, entry);
    if (entry.type == QLatin1String("withdrawal"))
        return withdrawal(index, entry);
    if (entry.type == QLatin1String("reveal"))
        return reveal(index, entry);
    return problem(1, QStringLiteral("%1的类型不是本规则的").arg(EntryName(index, entry.type)));
}

std::optional<Problem> Replay::hall(qsizetype index, const Entry &entry)
{
    if (!hasExactly(entry.content, { "numbers" }) || !typed(entry.content, { { "numbers", 's' } }))
        return problem(1, form(index, entry.type));
    const QString numbers = text(entry.content, "numbers");
    if (!notary::IsHallNumbers(numbers))
        return problem(
            1, QStringLiteral("%1的现场随机数“%2”格式不对").arg(EntryName(index, entry.type), numbers));
    if (!m_inForce)
        return problem(3, QStringLiteral("%1之前没有生效的承诺").arg(EntryName(index, entry.type)));
    if (m_hallGiven)
        return problem(3,
            QStringLiteral("%1：第%2次承诺已有现场随机数")
                .arg(EntryName(index, entry.type))
                .arg(m_inForce->number));
    m_hallGiven = true;
    m_hallNumbers = numbers;
    if (!m_seed.isEmpty())
        m_hallKey = notary::HallKey(m_seed, numbers);
    m_events.append(Event { Event::Hall, index, entry.time, m_inForce->number, numbers, 0, QString(), {} });
    return std::nullopt;
}

qsizetype Replay::eligibleFor(const CommittedAward &award) const
{
    return m_lists->inDraw().countIn(award.eligible);
}

std::optional<const CommittedAward *> Replay::currentAward() const
{
    for (const CommittedAward &award : m_inForce->awards) {
        if (m_standingOf.value(award.id) >= award.count)
            continue;
        if (m_rule == 2) {
            if (!m_lists)
                return std::nullopt; // cannot tell without the list
            if (eligibleFor(award) == 0)
                continue;
        }
        return &award;
    }
    return nullptr;
}

std::optional<Problem> Replay::round(qsizetype index, const Entry &entry)
{
    const QJsonObject &content = entry.content;
    if (std::optional<Problem> wrong = roundFormProblem(index, entry, m_rule))
        return wrong;
    const QJsonArray winners = content.value(QLatin1String("winners")).toArray();
    if (winners.isEmpty())
        return problem(6, QStringLiteral("%1没有中奖者").arg(EntryName(index, entry.type)));
    if (!m_inForce)
        return problem(3, QStringLiteral("%1之前没有生效的承诺").arg(EntryName(index, entry.type)));
    if (m_rule == 2 && !m_hallGiven)
        return problem(3,
            QStringLiteral("%1之前第%2次承诺还没有现场随机数")
                .arg(EntryName(index, entry.type))
                .arg(m_inForce->number));
    const qint64 awardId = integer(content, "award");
    const qint64 roundNumber = integer(content, "round");
    const CommittedAward *award = m_inForce->award(awardId);
    if (!award)
        return problem(6,
            QStringLiteral("%1的奖项 %2 不在第%3次承诺的奖项中")
                .arg(EntryName(index, entry.type))
                .arg(awardId)
                .arg(m_inForce->number));
    const std::optional<const CommittedAward *> current = currentAward();
    if (current && *current != award)
        return problem(6,
            *current
                ? QStringLiteral("%1应抽“%2”，而不是“%3”：奖项按承诺的顺序抽")
                      .arg(EntryName(index, entry.type), (*current)->name, award->name)
                : QStringLiteral("%1：承诺的奖项都已抽完或已无可抽的人").arg(EntryName(index, entry.type)));
    if (roundNumber != m_rounds.value(awardId) + 1)
        return problem(6,
            QStringLiteral("%1应为“%2”的第%3轮")
                .arg(EntryName(index, entry.type), award->name)
                .arg(m_rounds.value(awardId) + 1));
    const qint64 left = award->count - m_standingOf.value(awardId);
    if (left < 1)
        return problem(6,
            QStringLiteral("%1：“%2”已抽满 %3 名")
                .arg(EntryName(index, entry.type), award->name)
                .arg(award->count));
    if (m_lists) {
        if (std::optional<Problem> wrong = redrawRound(index, entry, *award, left))
            return wrong;
    }
    if (std::optional<Problem> wrong = usedResultProblem(index, entry, m_usedResults))
        return wrong;
    standWinners(*award, winners);
    m_rounds[awardId] = roundNumber;
    ++m_roundsUnderCommit;
    ++m_roundCount;
    return std::nullopt;
}

// The round drawn again from the seed and the list: its winners must be the
// ones the record names.
std::optional<Problem> Replay::redrawRound(
    qsizetype index, const Entry &entry, const CommittedAward &award, qint64 left)
{
    const QJsonObject &content = entry.content;
    const QJsonArray winners = content.value(QLatin1String("winners")).toArray();
    const qint64 awardId = integer(content, "award");
    const qint64 roundNumber = integer(content, "round");
    const qsizetype eligible = eligibleFor(award);
    if (integer(content, "eligible") != eligible)
        return problem(
            6, QStringLiteral("%1抽奖时可抽人数应为 %2").arg(EntryName(index, entry.type)).arg(eligible));
    const qint64 m = std::min({ award.perRound, left, qint64(eligible) });
    if (m < 1)
        return problem(6, QStringLiteral("%1：已无可抽的人").arg(EntryName(index, entry.type)));
    if (m_seed.isEmpty())
        return problem(4,
            QStringLiteral("第%1次承诺的种子没有公开，%2无法验证")
                .arg(m_inForce->number)
                .arg(EntryName(index, entry.type)));
    notary::DerivedStream stream = m_rule == 2 ? notary::DerivedStream(m_hallKey, awardId, roundNumber)
                                               : notary::DerivedStream::v1(m_seed, awardId, roundNumber);
    const std::vector<qsizetype> picks
        = DrawRound(m_lists->inDraw(), award.eligible, m, stream, m_rule == 2 ? &m_lists->people() : nullptr);
    if (qsizetype(picks.size()) != winners.size())
        return problem(6,
            QStringLiteral("%1应有 %2 名中奖者，记录中有 %3 名")
                .arg(EntryName(index, entry.type))
                .arg(picks.size())
                .arg(winners.size()));
    for (qsizetype w = 0; w < winners.size(); ++w) {
        const QJsonObject winner = winners.at(w).toObject();
        const qsizetype position = picks[size_t(w)];
        const Key key = m_lists->keyAt(position);
        if (integer(winner, "position") != position || text(winner, "number") != key.number
            || text(winner, "name") != key.name)
            return problem(6,
                QStringLiteral("%1的第%2名中奖者应为第%3号名单（%4 %5）")
                    .arg(EntryName(index, entry.type))
                    .arg(w + 1)
                    .arg(position)
                    .arg(key.number, key.name));
    }
    return std::nullopt;
}

// The winners of a round stand; those of an award that allows no second win
// leave the draw.
void Replay::standWinners(const CommittedAward &award, const QJsonArray &winners)
{
    QSet<Key> won;
    for (const QJsonValue &each : winners) {
        const QJsonObject winner = each.toObject();
        if (winner.value(QLatin1String("result")).isNull())
            continue; // rule v1: refused by the database, the entrant stays in the draw
        const qint64 id = integer(winner, "result");
        m_usedResults.insert(id);
        m_standing.insert(id, StandingResult { award.id, text(winner, "number"), text(winner, "name") });
        m_standingOf[award.id] += 1;
        won.insert(Key { text(winner, "number"), text(winner, "name") });
        if (m_lists && !award.repeat && m_rule == 1)
            m_lists->inDraw().remove(integer(winner, "position"));
    }
    if (m_lists && !award.repeat && m_rule == 2) {
        for (qsizetype position : m_lists->positionsOf(won))
            m_lists->inDraw().remove(position);
    }
}

std::optional<Problem> Replay::withdrawal(qsizetype index, const Entry &entry)
{
    const QJsonObject &content = entry.content;
    if (!hasExactly(content, { "award", "name", "number", "reason", "result" })
        || !typed(content,
            { { "award", 'p' }, { "name", 's' }, { "number", 's' }, { "reason", 's' }, { "result", 'p' } }))
        return problem(1, form(index, entry.type));
    if (m_commits == 0)
        return problem(3, QStringLiteral("%1之前没有承诺").arg(EntryName(index, entry.type)));
    const qint64 id = integer(content, "result");
    const auto standing = m_standing.constFind(id);
    if (standing == m_standing.cend())
        return problem(7,
            QStringLiteral("%1撤销的结果 %2 不是记录中现有的中奖结果")
                .arg(EntryName(index, entry.type))
                .arg(id));
    if (standing->award != integer(content, "award") || standing->number != text(content, "number")
        || standing->name != text(content, "name"))
        return problem(7,
            QStringLiteral("%1撤销的结果 %2 是 %3 %4 的，记录所写的奖项或中奖者不对")
                .arg(EntryName(index, entry.type))
                .arg(id)
                .arg(standing->number, standing->name));
    const Key key { standing->number, standing->name };
    QString awardName;
    if (m_last) {
        if (const CommittedAward *award = m_last->award(standing->award))
            awardName = award->name;
    }
    m_withdrawnResults.insert(
        id, WithdrawnResult { standing->award, key.number, key.name, text(content, "reason"), entry.time });
    m_standingOf[standing->award] -= 1;
    m_standing.erase(standing);
    m_withdrawn.insert(key);
    if (m_lists && m_inForce) {
        for (qsizetype position : m_lists->positionsOf(QSet<Key> { key }))
            m_lists->inDraw().remove(position);
    }
    ++m_withdrawalCount;
    m_events.append(Event { Event::Withdrawn, index, entry.time, m_last ? m_last->number : 0,
        text(content, "reason"), id, awardName, key });
    return std::nullopt;
}

std::optional<Problem> Replay::reveal(qsizetype index, const Entry &entry)
{
    if (!hasExactly(entry.content, { "seed" }) || !typed(entry.content, { { "seed", 'h' } }))
        return problem(1, form(index, entry.type));
    if (!m_inForce)
        return problem(3, QStringLiteral("%1之前没有未公开的承诺").arg(EntryName(index, entry.type)));
    const QByteArray seed = *notary::HashBytes(text(entry.content, "seed"));
    if (notary::Commitment(seed) != m_inForce->commitment)
        return problem(4,
            QStringLiteral("%1公开的种子与第%2次承诺的 %3 不符")
                .arg(EntryName(index, entry.type))
                .arg(m_inForce->number)
                .arg(m_inForce->commitment));
    m_inForce.reset();
    return std::nullopt;
}

std::optional<Problem> Replay::restartV1(qsizetype index, const Entry &entry)
{
    const QJsonObject &content = entry.content;
    const bool withSeed = content.contains(QLatin1String("seed"));
    if (!(withSeed ? hasExactly(content, { "cleared", "reason", "seed" })
                   : hasExactly(content, { "cleared", "reason" }))
        || !typed(content, { { "cleared", 'b' }, { "reason", 's' } })
        || (withSeed && !typed(content, { { "seed", 'h' } })))
        return problem(1, form(index, entry.type));
    if (m_commits == 0)
        return problem(3, QStringLiteral("%1之前没有承诺").arg(EntryName(index, entry.type)));
    if (withSeed != m_inForce.has_value())
        return problem(3,
            withSeed ? QStringLiteral("%1公开种子时没有未公开的承诺").arg(EntryName(index, entry.type))
                     : QStringLiteral("%1应公开第%2次承诺的种子")
                           .arg(EntryName(index, entry.type))
                           .arg(m_inForce->number));
    if (withSeed) {
        const QByteArray seed = *notary::HashBytes(text(content, "seed"));
        if (notary::Commitment(seed) != m_inForce->commitment)
            return problem(4,
                QStringLiteral("%1公开的种子与第%2次承诺的 %3 不符")
                    .arg(EntryName(index, entry.type))
                    .arg(m_inForce->number)
                    .arg(m_inForce->commitment));
        m_inForce.reset();
    }
    if (content.value(QLatin1String("cleared")).toBool()) {
        m_standing.clear();
        m_standingOf.clear();
        m_withdrawn.clear();
        m_withdrawnResults.clear();
    }
    m_pendingReason = text(content, "reason");
    return std::nullopt;
}

std::optional<Problem> Replay::finish() const
{
    if (m_commits == 0)
        return problem(3, QStringLiteral("记录中没有承诺"));
    if (m_inForce)
        return problem(4,
            QStringLiteral("第%1次承诺的种子还没有公开：请在抽奖结束后再导出公证记录")
                .arg(m_inForce->number));
    return std::nullopt;
}

} // namespace tombolix::draw::record
