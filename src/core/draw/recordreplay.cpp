#include "draw/recordreplay.h"

#include "common/notary.h"

#include <QJsonArray>
#include <algorithm>

namespace tombolix::draw::record {

namespace {

bool hasExactly(const QJsonObject &object, std::initializer_list<const char *> names)
{
    if (object.size() != qsizetype(names.size()))
        return false;
    for (const char *name : names) {
        if (!object.contains(QLatin1String(name)))
            return false;
    }
    return true;
}

bool isInteger(const QJsonValue &value, qint64 least = std::numeric_limits<qint64>::min())
{
    return value.isDouble() && value.toInteger() >= least;
}

qint64 integer(const QJsonObject &object, const char *name)
{
    return object.value(QLatin1String(name)).toInteger();
}

QString text(const QJsonObject &object, const char *name)
{
    return object.value(QLatin1String(name)).toString();
}

// Whether every member named has the type: 's' string, 'i' integer, 'p'
// positive integer, 'n' integer of at least 0, 'b' boolean, 'h' hash,
// 'a' array, 'o' object.
bool typed(const QJsonObject &object, std::initializer_list<std::pair<const char *, char>> members)
{
    for (const auto &[name, type] : members) {
        const QJsonValue value = object.value(QLatin1String(name));
        bool ok = false;
        switch (type) {
        case 's':
            ok = value.isString();
            break;
        case 'i':
            ok = isInteger(value);
            break;
        case 'p':
            ok = isInteger(value, 1);
            break;
        case 'n':
            ok = isInteger(value, 0);
            break;
        case 'b':
            ok = value.isBool();
            break;
        case 'h':
            ok = value.isString() && notary::IsHash(value.toString());
            break;
        case 'a':
            ok = value.isArray();
            break;
        case 'o':
            ok = value.isObject();
            break;
        default:
            break;
        }
        if (!ok)
            return false;
    }
    return true;
}

QString form(qsizetype index, const QString &type)
{
    return QStringLiteral("%1的内容格式不对").arg(EntryName(index, type));
}

Problem problem(int check, const QString &text)
{
    return Problem { check, text };
}

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

std::optional<Ranges> RangesOf(const QJsonValue &value, qsizetype size)
{
    if (!value.isArray())
        return std::nullopt;
    Ranges ranges = Ranges::none();
    qsizetype previous = -1;
    for (const QJsonValue &each : value.toArray()) {
        const QJsonArray pair = each.toArray();
        if (!each.isArray() || pair.size() != 2 || !isInteger(pair.at(0), 1) || !isInteger(pair.at(1), 1))
            return std::nullopt;
        const qsizetype first = pair.at(0).toInteger();
        const qsizetype last = pair.at(1).toInteger();
        if (first > last || last > size || (previous >= 0 && first <= previous + 1))
            return std::nullopt;
        ranges.spans.emplace_back(first, last);
        previous = last;
    }
    return ranges;
}

QJsonValue RangesValue(const Ranges &ranges, qsizetype size)
{
    QJsonArray array;
    if (ranges.all) {
        if (size > 0)
            array.append(QJsonArray { 1, qint64(size) });
        return array;
    }
    for (const auto &[first, last] : ranges.spans)
        array.append(QJsonArray { qint64(first), qint64(last) });
    return array;
}

std::optional<std::vector<qsizetype>> PositionsOf(const QJsonValue &value, qsizetype size)
{
    if (!value.isArray())
        return std::nullopt;
    std::vector<qsizetype> positions;
    for (const QJsonValue &each : value.toArray()) {
        if (!isInteger(each, 1) || each.toInteger() > size
            || (!positions.empty() && each.toInteger() <= positions.back()))
            return std::nullopt;
        positions.push_back(each.toInteger());
    }
    return positions;
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
                const bool right
                    = award.range.isEmpty() ? award.eligible == normal : isSubset(award.eligible, normal);
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
    if (m_inForce)
        return problem(3,
            QStringLiteral("%1之前的第%2次承诺还没有公开种子")
                .arg(EntryName(index, entry.type))
                .arg(m_inForce->number));
    Commit commit;
    commit.number = ++m_commits;
    commit.entry = index;
    commit.time = entry.time;
    commit.hash = entry.hash;
    commit.code = notary::CodeOfHash(entry.hash);
    commit.commitment = text(content, "commitment");
    commit.fingerprint = text(content, "fingerprint");
    commit.name = text(content, "name");
    commit.reason = text(content, "reason");
    commit.draw = integer(content, "draw");
    commit.entrants = integer(content, "entrants");
    commit.cleared = content.value(QLatin1String("cleared")).toBool();
    const std::optional<std::vector<qsizetype>> excluded
        = PositionsOf(content.value(QLatin1String("excluded")), commit.entrants);
    if (!excluded)
        return problem(1, form(index, entry.type));
    commit.excluded = *excluded;
    QSet<qint64> ids;
    for (const QJsonValue &each : content.value(QLatin1String("awards")).toArray()) {
        const QJsonObject award = each.toObject();
        if (!each.isObject()
            || !hasExactly(
                award, { "count", "eligible", "id", "name", "perRound", "prize", "range", "repeat" })
            || !typed(award,
                { { "count", 'n' }, { "eligible", 'a' }, { "id", 'p' }, { "name", 's' }, { "perRound", 'p' },
                    { "prize", 's' }, { "range", 's' }, { "repeat", 'b' } }))
            return problem(1, form(index, entry.type));
        const std::optional<Ranges> eligible
            = RangesOf(award.value(QLatin1String("eligible")), commit.entrants);
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
        if (ids.contains(one.id))
            return problem(
                5, QStringLiteral("%1中奖项 %2 出现了两次").arg(EntryName(index, entry.type)).arg(one.id));
        ids.insert(one.id);
        commit.awards.append(one);
    }
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
    if (m_inForce)
        return problem(3,
            QStringLiteral("%1之前的第%2次承诺还没有公开种子")
                .arg(EntryName(index, entry.type))
                .arg(m_inForce->number));
    Commit commit;
    commit.number = ++m_commits;
    commit.entry = index;
    commit.time = entry.time;
    commit.hash = entry.hash;
    commit.code = text(content, "code");
    commit.commitment = text(content, "commitment");
    commit.fingerprint = text(content, "fingerprint");
    commit.name = text(content, "name");
    commit.reason = m_pendingReason;
    m_pendingReason.clear();
    commit.draw = integer(content, "draw");
    commit.entrants = integer(content, "entrants");
    const std::optional<std::vector<qsizetype>> excluded
        = PositionsOf(content.value(QLatin1String("excluded")), commit.entrants);
    if (!excluded)
        return problem(1, form(index, entry.type));
    commit.excluded = *excluded;
    QList<notary::v1::CommittedAward> digestOf;
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
    const QString digest = notary::v1::AwardsDigest(digestOf);
    if (text(content, "awardsDigest") != digest)
        return problem(5, QStringLiteral("%1的奖项摘要应为 %2").arg(EntryName(index, entry.type), digest));
    const QString code = notary::v1::NotaryCode(commit.commitment, commit.fingerprint, digest);
    if (commit.code != code)
        return problem(5,
            QStringLiteral("%1的公证码应为 %2").arg(EntryName(index, entry.type), notary::GroupedCode(code)));
    return takeUpCommit(index, std::move(commit));
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
    if (!hasExactly(content, { "award", "eligible", "round", "winners" })
        || !typed(content, { { "award", 'p' }, { "eligible", 'n' }, { "round", 'p' }, { "winners", 'a' } }))
        return problem(1, form(index, entry.type));
    const QJsonArray winners = content.value(QLatin1String("winners")).toArray();
    for (const QJsonValue &each : winners) {
        const QJsonObject winner = each.toObject();
        const bool nullResult = m_rule == 1 && winner.value(QLatin1String("result")).isNull();
        if (!each.isObject() || !hasExactly(winner, { "name", "number", "position", "result" })
            || !typed(winner, { { "name", 's' }, { "number", 's' }, { "position", 'p' } })
            || (!nullResult && !typed(winner, { { "result", 'p' } })))
            return problem(1, form(index, entry.type));
    }
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
        const qsizetype eligible = eligibleFor(*award);
        if (integer(content, "eligible") != eligible)
            return problem(
                6, QStringLiteral("%1抽奖时可抽人数应为 %2").arg(EntryName(index, entry.type)).arg(eligible));
        const qint64 m = std::min({ award->perRound, left, qint64(eligible) });
        if (m < 1)
            return problem(6, QStringLiteral("%1：已无可抽的人").arg(EntryName(index, entry.type)));
        if (m_seed.isEmpty())
            return problem(4,
                QStringLiteral("第%1次承诺的种子没有公开，%2无法验证")
                    .arg(m_inForce->number)
                    .arg(EntryName(index, entry.type)));
        notary::DerivedStream stream = m_rule == 2 ? notary::DerivedStream(m_hallKey, awardId, roundNumber)
                                                   : notary::DerivedStream::v1(m_seed, awardId, roundNumber);
        const std::vector<qsizetype> picks = DrawRound(
            m_lists->inDraw(), award->eligible, m, stream, m_rule == 2 ? &m_lists->people() : nullptr);
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
    }

    QSet<qint64> ofRound;
    for (const QJsonValue &each : winners) {
        const QJsonValue result = each.toObject().value(QLatin1String("result"));
        if (result.isNull())
            continue;
        const qint64 id = result.toInteger();
        if (m_usedResults.contains(id) || ofRound.contains(id))
            return problem(
                6, QStringLiteral("%1的结果编号 %2 已用过").arg(EntryName(index, entry.type)).arg(id));
        ofRound.insert(id);
    }
    QSet<Key> won;
    for (const QJsonValue &each : winners) {
        const QJsonObject winner = each.toObject();
        if (winner.value(QLatin1String("result")).isNull())
            continue; // rule v1: refused by the database, the entrant stays in the draw
        const qint64 id = integer(winner, "result");
        m_usedResults.insert(id);
        m_standing.insert(id, StandingResult { awardId, text(winner, "number"), text(winner, "name") });
        m_standingOf[awardId] += 1;
        won.insert(Key { text(winner, "number"), text(winner, "name") });
        if (m_lists && !award->repeat && m_rule == 1)
            m_lists->inDraw().remove(integer(winner, "position"));
    }
    if (m_lists && !award->repeat && m_rule == 2) {
        for (qsizetype position : m_lists->positionsOf(won))
            m_lists->inDraw().remove(position);
    }
    m_rounds[awardId] = roundNumber;
    ++m_roundsUnderCommit;
    ++m_roundCount;
    return std::nullopt;
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
