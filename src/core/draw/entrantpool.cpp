#include "draw/entrantpool.h"

#include "data/attributestore.h"
#include "data/entrantstore.h"
#include "draw/displayrules.h"

#include <QMultiHash>
#include <QSet>
#include <algorithm>
#include <numeric>

namespace tombolix::draw {

void EntrantPool::clear()
{
    m_slots.assign(1, Slot {});
    m_text.clear();
    m_eligible.clear();
    m_where.assign(1, NotEligible);
    m_ranked = PositionSet();
    m_rankedBuilt = false;
    m_people = KeyIndex();
    m_peopleBuilt = false;
    m_within = PositionSet();
    m_withinOf = nullptr;
    m_attribute.clear();
    m_attributeValues.clear();
    m_attributeCodes.clear();
}

void EntrantPool::reserve(qsizetype count)
{
    m_slots.reserve(size_t(count) + 1);
    m_where.reserve(size_t(count) + 1);
    m_eligible.reserve(size_t(count));
    m_text.reserve(size_t(count) * 16);
}

quint32 EntrantPool::store(const QString &text)
{
    const auto pos = quint32(m_text.size());
    m_text.insert(m_text.end(), reinterpret_cast<const char16_t *>(text.utf16()),
        reinterpret_cast<const char16_t *>(text.utf16()) + text.size());
    return pos;
}

QString EntrantPool::text(quint32 pos, quint32 len) const
{
    if (len == 0)
        return QString();
    return QString(reinterpret_cast<const QChar *>(m_text.data() + pos), qsizetype(len));
}

void EntrantPool::append(qint64 id, const QString &number, const QString &name)
{
    if (m_where.empty())
        m_where.push_back(NotEligible);
    m_rankedBuilt = false;
    m_peopleBuilt = false;
    m_withinOf = nullptr;
    const QString trimmed = number.trimmed();
    Slot slot;
    slot.id = id;
    slot.numberLen = quint32(trimmed.size());
    slot.numberPos = store(trimmed);
    slot.nameLen = quint32(name.size());
    slot.namePos = store(name);
    slot.showPos = slot.numberPos;
    slot.showLen = slot.numberLen;
    m_slots.push_back(slot);
    const auto index = quint32(m_slots.size() - 1);
    if (slot.showLen > 0) {
        m_where.push_back(quint32(m_eligible.size()));
        m_eligible.push_back(index);
    } else {
        m_where.push_back(NotEligible);
    }
}

QStringView EntrantPool::view(quint32 pos, quint32 len) const
{
    return QStringView(m_text.data() + pos, qsizetype(len));
}

PoolEntry EntrantPool::entry(qsizetype index) const
{
    if (!valid(index))
        return PoolEntry {};
    return PoolEntry { id(index), show(index), number(index), name(index) };
}

qint64 EntrantPool::id(qsizetype index) const
{
    return valid(index) ? m_slots[size_t(index)].id : 0;
}

QString EntrantPool::show(qsizetype index) const
{
    return valid(index) ? text(m_slots[size_t(index)].showPos, m_slots[size_t(index)].showLen) : QString();
}

QString EntrantPool::number(qsizetype index) const
{
    return valid(index) ? text(m_slots[size_t(index)].numberPos, m_slots[size_t(index)].numberLen)
                        : QString();
}

QString EntrantPool::name(qsizetype index) const
{
    return valid(index) ? text(m_slots[size_t(index)].namePos, m_slots[size_t(index)].nameLen) : QString();
}

QStringView EntrantPool::numberView(qsizetype index) const
{
    return valid(index) ? view(m_slots[size_t(index)].numberPos, m_slots[size_t(index)].numberLen)
                        : QStringView();
}

QStringView EntrantPool::nameView(qsizetype index) const
{
    return valid(index) ? view(m_slots[size_t(index)].namePos, m_slots[size_t(index)].nameLen)
                        : QStringView();
}

bool EntrantPool::isEligible(qsizetype index) const
{
    return valid(index) && m_where[size_t(index)] != NotEligible;
}

void EntrantPool::setShow(qsizetype index, const QString &show)
{
    if (!valid(index))
        return;
    Slot &slot = m_slots[size_t(index)];
    if (show.isEmpty()) {
        slot.showLen = 0;
    } else if (show != view(slot.showPos, slot.showLen)) {
        if (show == view(slot.numberPos, slot.numberLen)) {
            slot.showPos = slot.numberPos;
        } else {
            slot.showPos = store(show);
        }
        slot.showLen = quint32(show.size());
    }

    const quint32 where = m_where[size_t(index)];
    if (m_rankedBuilt) {
        if (slot.showLen == 0)
            m_ranked.remove(index);
        else
            m_ranked.insert(index);
    }
    if (m_withinOf) {
        if (slot.showLen == 0)
            m_within.remove(index);
        else if (m_inRanges[size_t(index)])
            m_within.insert(index);
    }
    if (slot.showLen == 0 && where != NotEligible) {
        // Swap the last eligible index into the freed place.
        const quint32 moved = m_eligible.back();
        m_eligible[where] = moved;
        m_where[moved] = where;
        m_eligible.pop_back();
        m_where[size_t(index)] = NotEligible;
    } else if (slot.showLen > 0 && where == NotEligible) {
        m_where[size_t(index)] = quint32(m_eligible.size());
        m_eligible.push_back(quint32(index));
    }
}

std::vector<qsizetype> EntrantPool::pick(qsizetype count, RandomSource &random)
{
    const size_t available = m_eligible.size();
    const size_t wanted = count <= 0 ? 0 : std::min(size_t(count), available);
    std::vector<qsizetype> picks;
    picks.reserve(wanted);
    // A partial Fisher-Yates shuffle of the eligible list: every eligible
    // entrant is equally likely on every line, and no line repeats another.
    for (size_t k = 0; k < wanted; ++k) {
        const size_t j = k + size_t(random.below(available - k));
        std::swap(m_eligible[k], m_eligible[j]);
        m_where[m_eligible[k]] = quint32(k);
        m_where[m_eligible[j]] = quint32(j);
        picks.push_back(qsizetype(m_eligible[k]));
    }
    return picks;
}

std::vector<qsizetype> EntrantPool::pick(qsizetype count, RandomSource &random, const Ranges &within)
{
    if (within.all)
        return pick(count, random);
    const bool many = within.spans.size() > 8;
    if (!many && !m_rankedBuilt)
        buildRanked();
    PositionSet &set = many ? this->within(within) : m_ranked;
    const Ranges &among = many ? Ranges() : within;
    const qsizetype available = set.countIn(among);
    const qsizetype wanted = std::clamp<qsizetype>(count, 0, available);
    // Distinct ranks among those within: drawn afresh until new while they
    // are few, shuffled from all of them when most are wanted.
    std::vector<qsizetype> ranks;
    if (wanted * 2 > available) {
        ranks.resize(size_t(available));
        std::iota(ranks.begin(), ranks.end(), 0);
        for (qsizetype k = 0; k < wanted; ++k)
            std::swap(ranks[size_t(k)], ranks[size_t(k + qsizetype(random.below(quint64(available - k))))]);
        ranks.resize(size_t(wanted));
    } else {
        QSet<qsizetype> seen;
        while (qsizetype(ranks.size()) < wanted) {
            const auto rank = qsizetype(random.below(quint64(available)));
            if (!seen.contains(rank)) {
                seen.insert(rank);
                ranks.push_back(rank);
            }
        }
    }
    std::vector<qsizetype> picks;
    picks.reserve(ranks.size());
    for (qsizetype rank : ranks)
        picks.push_back(set.selectIn(among, rank));
    return picks;
}

void EntrantPool::buildRanked() const
{
    m_ranked.assign(size(), [this](qsizetype i) { return m_where[size_t(i)] != NotEligible; });
    m_rankedBuilt = true;
}

const KeyIndex &EntrantPool::people() const
{
    if (!m_peopleBuilt) {
        m_people.build(
            size(), [this](qsizetype i) { return KeyHash(numberView(i), nameView(i)); },
            [this](qsizetype a, qsizetype b) {
                return numberView(a) == numberView(b) && nameView(a) == nameView(b);
            });
        m_peopleBuilt = true;
    }
    return m_people;
}

qsizetype EntrantPool::find(QStringView number, QStringView name) const
{
    return people().find(
        KeyHash(number, name), [&](qsizetype i) { return numberView(i) == number && nameView(i) == name; });
}

void EntrantPool::makePersonIneligible(qsizetype index)
{
    if (!valid(index))
        return;
    const KeyIndex &same = people();
    qsizetype each = index;
    do {
        makeIneligible(each);
        each = same.next(each);
    } while (each != index);
}

Ranges EntrantPool::numbered() const
{
    return NumberedPositions(*this);
}

PositionSet &EntrantPool::within(const Ranges &ranges) const
{
    if (m_withinOf == ranges.spans.data() && m_withinSpans == ranges.spans.size())
        return m_within;
    m_inRanges.assign(m_slots.size(), 0);
    for (const auto &[first, last] : ranges.spans) {
        for (qsizetype i = std::max<qsizetype>(first, 1); i <= std::min(last, size()); ++i)
            m_inRanges[size_t(i)] = 1;
    }
    m_within.assign(
        size(), [this](qsizetype i) { return m_inRanges[size_t(i)] && m_where[size_t(i)] != NotEligible; });
    m_withinOf = ranges.spans.data();
    m_withinSpans = ranges.spans.size();
    return m_within;
}

qsizetype EntrantPool::eligibleWithin(const Ranges &ranges) const
{
    if (ranges.all)
        return eligibleCount();
    if (ranges.spans.size() > 8)
        return within(ranges).count();
    if (!m_rankedBuilt)
        buildRanked();
    return m_ranked.countIn(ranges);
}

std::vector<qsizetype> EntrantPool::pickInOrder(
    qsizetype count, notary::DerivedStream &stream, const Ranges &ranges)
{
    if (!ranges.all && ranges.spans.size() > 8)
        return DrawRound(within(ranges), Ranges(), count, stream, &people());
    if (!m_rankedBuilt)
        buildRanked();
    return DrawRound(m_ranked, ranges, count, stream, &people());
}

void EntrantPool::setAttribute(qsizetype index, const QString &value)
{
    if (!valid(index))
        return;
    if (m_attribute.size() < m_slots.size())
        m_attribute.resize(m_slots.size(), 0);
    quint32 code = 0;
    if (!value.isEmpty()) {
        const auto known = m_attributeCodes.constFind(value);
        if (known != m_attributeCodes.constEnd()) {
            code = *known;
        } else {
            m_attributeValues << value;
            code = quint32(m_attributeValues.size());
            m_attributeCodes.insert(value, code);
        }
    }
    m_attribute[size_t(index)] = code;
}

QString EntrantPool::attribute(qsizetype index) const
{
    if (!valid(index) || size_t(index) >= m_attribute.size() || m_attribute[size_t(index)] == 0)
        return QString();
    return m_attributeValues.at(m_attribute[size_t(index)] - 1);
}

size_t EntrantPool::memoryBytes() const
{
    size_t values = 0;
    for (const QString &value : m_attributeValues)
        values += size_t(value.capacity()) * sizeof(QChar) * 2; // the list's and the hash's
    return m_slots.capacity() * sizeof(Slot) + m_text.capacity() * sizeof(char16_t)
        + m_eligible.capacity() * sizeof(quint32) + m_where.capacity() * sizeof(quint32)
        + m_ranked.memoryBytes() + m_people.memoryBytes() + m_attribute.capacity() * sizeof(quint32) + values;
}

void LoadEntrantPool(EntrantPool &pool, qint64 drawId)
{
    pool.clear();
    data::EntrantRows rows = data::EntrantStore().ofDraw(drawId, data::EntrantStore::Order::ById);
    if (!rows.isOpen())
        return;
    pool.reserve(rows.count());
    for (data::EntrantRecord entrant; rows.next(entrant);)
        pool.append(entrant.id, entrant.number, entrant.name);
}

bool LoadPoolAttribute(EntrantPool &pool, qint64 drawId, const QString &name)
{
    data::AttributeStore store;
    const std::optional<QStringList> names = store.names(drawId);
    if (!names)
        return false;
    const qsizetype place = names->indexOf(name);
    if (place < 0)
        return true; // the draw has no such attribute (any more): nothing to show
    // Both in the order of the entrants' IDs.
    qsizetype index = 1;
    return store.forEach(drawId, [&](qint64 id, QStringView text) {
        while (index <= pool.size() && pool.id(index) < id)
            ++index;
        if (index <= pool.size() && pool.id(index) == id)
            pool.setAttribute(index, data::DecodeAttribute(text, place));
    });
}

qsizetype RemoveWinners(EntrantPool &pool, const QList<WinnerKey> &winners)
{
    if (winners.isEmpty())
        return 0;
    // Looked up by views into the pool's own texts, so the pass over a
    // million entrants copies none of them; the name is compared only where
    // the number is a winner's.
    QStringList trimmed; // the keys' numbers live here while the hash does
    trimmed.reserve(winners.size());
    QMultiHash<QStringView, QStringView> namesOf;
    namesOf.reserve(winners.size());
    for (const WinnerKey &winner : winners) {
        trimmed << winner.number.trimmed();
        namesOf.insert(trimmed.constLast(), winner.name);
    }
    qsizetype removed = 0;
    const qsizetype n = pool.size();
    for (qsizetype i = 1; i <= n; ++i) {
        if (!pool.isEligible(i))
            continue;
        const auto [first, last] = namesOf.equal_range(pool.numberView(i));
        if (first != last && std::find(first, last, pool.nameView(i)) != last) {
            pool.makeIneligible(i);
            ++removed;
        }
    }
    return removed;
}

void FormatDisplayTexts(EntrantPool &pool, qint64 length, const QString &mask)
{
    if (length <= 0 && !mask.contains(QLatin1Char('*')))
        return; // nothing to change
    const qsizetype n = pool.size();
    for (qsizetype i = 1; i <= n; ++i) {
        if (!pool.isEligible(i))
            continue;
        pool.setShow(i, DisplayText(pool.show(i), length, mask));
    }
}

} // namespace tombolix::draw
