#include "draw/eligibleset.h"

#include "data/attributestore.h"
#include "data/awardstore.h"
#include "data/rangestore.h"

#include <QSet>

namespace tombolix::draw {

namespace {

// One attribute's values over the list: each position's value as an index
// into the distinct values (0 for none), so a condition is judged once per
// distinct value, not once per entrant.
struct Column
{
    QStringList distinct { QString() };
    std::vector<quint32> valueAt; // by position, 0 for none
};

// The numbers of a draw's entrants in the order of their IDs, trimmed, for
// the console's counts: what a count needs and no more.
class NumberList
{
public:
    void append(qint64 id, QStringView number)
    {
        const QStringView trimmed = number.trimmed();
        m_ids.push_back(id);
        m_starts.push_back(quint32(m_text.size()));
        m_text.insert(m_text.end(), trimmed.utf16(), trimmed.utf16() + trimmed.size());
    }
    qsizetype size() const { return qsizetype(m_ids.size()); }
    qint64 id(qsizetype i) const { return m_ids[size_t(i - 1)]; }
    QStringView numberView(qsizetype i) const
    {
        const quint32 start = m_starts[size_t(i - 1)];
        const quint32 end = size_t(i) < m_starts.size() ? m_starts[size_t(i)] : quint32(m_text.size());
        return QStringView(m_text.data() + start, qsizetype(end - start));
    }

private:
    std::vector<qint64> m_ids;
    std::vector<quint32> m_starts;
    std::vector<char16_t> m_text;
};

// One value of an attribute text as a view into it; through `scratch` when
// the value holds an escape.
QStringView fieldAt(QStringView text, int place, QString &scratch)
{
    qsizetype start = 0;
    for (int at = 0; at < place; ++at) {
        qsizetype i = start;
        while (i < text.size() && text[i] != QChar(0x1F))
            i += text[i] == QChar(0x1B) ? 2 : 1;
        if (i >= text.size())
            return QStringView();
        start = i + 1;
    }
    qsizetype end = start;
    bool escaped = false;
    while (end < text.size() && text[end] != QChar(0x1F)) {
        escaped = escaped || text[end] == QChar(0x1B);
        end += text[end] == QChar(0x1B) ? 2 : 1;
    }
    if (!escaped)
        return text.mid(start, std::min(end, text.size()) - start);
    scratch = data::AttributeAt(text, place);
    return scratch;
}

// The distinct values of a column, each given a code once: looked up by a
// view, so a million values cost no copy but for each new one.
class Interned
{
public:
    quint32 code(QStringView value, QStringList &distinct)
    {
        if (m_slots.empty())
            m_slots.assign(1024, 0);
        if ((size_t(distinct.size()) + 1) * 2 > m_slots.size())
            grow(distinct);
        const size_t mask = m_slots.size() - 1;
        for (size_t i = qHash(value) & mask;; i = (i + 1) & mask) {
            const quint32 slot = m_slots[i];
            if (slot == 0) {
                distinct << value.toString();
                m_slots[i] = quint32(distinct.size() - 1);
                return m_slots[i];
            }
            if (QStringView(distinct.at(slot)) == value)
                return slot;
        }
    }

private:
    void grow(const QStringList &distinct)
    {
        m_slots.assign(m_slots.size() * 2, 0);
        const size_t mask = m_slots.size() - 1;
        for (qsizetype code = 1; code < distinct.size(); ++code) {
            size_t i = qHash(QStringView(distinct.at(code))) & mask;
            while (m_slots[i] != 0)
                i = (i + 1) & mask;
            m_slots[i] = quint32(code);
        }
    }
    std::vector<quint32> m_slots; // codes, 0 for an empty slot (code 0 is "no value")
};

// The attributes the conditions name, each read from the list once.
class Columns
{
public:
    template<typename List>
    bool load(data::Database &db, qint64 drawId, const List &pool, const QStringList &wanted);
    const Column *column(const QString &attribute) const
    {
        const auto found = m_byName.constFind(attribute);
        return found == m_byName.constEnd() ? nullptr : &m_columns[size_t(*found)];
    }

private:
    QHash<QString, int> m_byName;
    std::vector<Column> m_columns;
};

template<typename List>
bool Columns::load(data::Database &db, qint64 drawId, const List &pool, const QStringList &wanted)
{
    const std::optional<QStringList> names = data::AttributeStore(db).names(drawId);
    if (!names)
        return false;
    QHash<int, int> columnOfPlace; // place among the draw's names → column
    for (const QString &attribute : wanted) {
        const qsizetype place = names->indexOf(attribute);
        if (place < 0 || m_byName.contains(attribute))
            continue;
        m_byName.insert(attribute, int(m_columns.size()));
        columnOfPlace.insert(int(place), int(m_columns.size()));
        m_columns.emplace_back();
        m_columns.back().valueAt.assign(size_t(pool.size()) + 1, 0);
    }
    if (m_columns.empty() || pool.size() == 0)
        return true;
    std::vector<Interned> interned(m_columns.size());
    qsizetype position = 1;
    const qsizetype n = pool.size();
    QString scratch;
    return data::AttributeStore(db).forEachBetween(pool.id(1), pool.id(n), [&](qint64 id, QStringView text) {
        while (position <= n && pool.id(position) < id)
            ++position;
        if (position > n || pool.id(position) != id)
            return;
        for (auto it = columnOfPlace.constBegin(); it != columnOfPlace.constEnd(); ++it) {
            // Judged as a list file's cell is: trimmed.
            const QStringView value = TrimmedForRule(fieldAt(text, it.key(), scratch));
            if (value.isEmpty())
                continue;
            Column &column = m_columns[size_t(it.value())];
            column.valueAt[size_t(position)] = interned[size_t(it.value())].code(value, column.distinct);
        }
    });
}

// A condition judged on one column, each distinct value once.
struct Judged
{
    const Condition *condition = nullptr;
    const Column *column = nullptr; // none: no entrant has the attribute
    mutable std::vector<qint8> meets; // per distinct value: -1 not judged yet
    mutable std::vector<qint8> readable;

    bool at(qsizetype position, bool &unreadable) const
    {
        const quint32 value = column ? column->valueAt[size_t(position)] : 0;
        if (meets.empty()) {
            meets.assign(column ? size_t(column->distinct.size()) : 1, -1);
            readable.assign(meets.size(), 1);
        }
        if (meets[value] < 0) {
            const QString &text = column ? column->distinct.at(value) : QString();
            meets[value] = Meets(*condition, text) ? 1 : 0;
            readable[value] = text.isEmpty() || Readable(*condition, text) ? 1 : 0;
        }
        unreadable = !readable[value];
        return meets[value] == 1;
    }
};

AwardEligibility rangeOf(
    const data::AwardRecord &award, const data::AwardRange &stored, const QStringList &drawList)
{
    AwardEligibility one;
    one.awardId = award.id;
    for (const Condition &condition : stored.conditions) {
        if (const std::optional<Condition> normal = NormalCondition(condition))
            one.range.conditions << *normal;
        else
            one.badConditions << ConditionWords(condition);
    }
    one.range.excluded = NormalNumbers(stored.excluded + drawList);
    one.words = RangeWords(one.range);
    return one;
}

// Which positions each award's 不参与名单 names, in one pass over the list;
// the numbers no entrant has are kept for the operator.
template<typename List>
std::vector<std::vector<qsizetype>> excludedPositions(const List &pool, QList<AwardEligibility> &awards)
{
    std::vector<std::vector<qsizetype>> excluded(size_t(awards.size()));
    // Looked up by views of the lists' own texts: no copy of a million
    // numbers.
    QHash<QStringView, QList<int>> listsOf;
    for (int a = 0; a < awards.size(); ++a) {
        for (const QString &number : std::as_const(awards[a].range.excluded))
            listsOf[QStringView(number)] << a;
    }
    if (listsOf.isEmpty())
        return excluded;
    QSet<QStringView> found;
    for (qsizetype i = 1; i <= pool.size(); ++i) {
        const QStringView number = pool.numberView(i);
        if (number.isEmpty())
            continue;
        const auto lists = listsOf.constFind(number);
        if (lists == listsOf.constEnd())
            continue;
        found.insert(lists.key());
        for (int a : *lists)
            excluded[size_t(a)].push_back(i);
    }
    for (AwardEligibility &award : awards) {
        for (const QString &number : award.range.excluded) {
            if (!found.contains(number))
                award.unknownNumbers << number;
        }
    }
    return excluded;
}

template<typename List>
void judge(
    AwardEligibility &award, const List &pool, const Columns &columns, const std::vector<qsizetype> &excluded)
{
    std::vector<Judged> judged;
    for (const Condition &condition : award.range.conditions)
        judged.push_back(Judged { &condition, columns.column(condition.attribute), {}, {} });
    award.eligible = Ranges::none();
    if (!award.badConditions.isEmpty())
        return;
    size_t next = 0;
    for (qsizetype i = 1; i <= pool.size(); ++i) {
        if (pool.numberView(i).isEmpty())
            continue;
        if (next < excluded.size() && excluded[next] == i) {
            ++next;
            continue;
        }
        bool all = true;
        for (const Judged &one : judged) {
            bool unreadable = false;
            if (!one.at(i, unreadable))
                all = false;
            if (unreadable) {
                if (++award.unreadableCount <= 10) {
                    const quint32 v = one.column->valueAt[size_t(i)];
                    award.unreadable << UnreadableValue { i, pool.id(i), pool.numberView(i).toString(),
                        QString(), one.condition->attribute, one.column->distinct.at(v) };
                }
            }
        }
        if (all) {
            award.eligible.append(i);
            ++award.count;
        }
    }
}

template<typename List>
std::optional<QHash<qint64, AwardEligibility>> compute(qint64 drawId, const List &pool, data::Database &db)
{
    const std::optional<QList<data::AwardRecord>> awards = data::AwardStore(db).forDraw(drawId);
    const std::optional<QHash<qint64, data::AwardRange>> stored = data::RangeStore(db).ofDraw(drawId);
    const std::optional<QStringList> drawList = data::RangeStore(db).drawExclusions(drawId);
    if (!awards || !stored || !drawList)
        return std::nullopt;
    QList<AwardEligibility> ranged;
    QHash<qint64, AwardEligibility> all;
    QStringList wanted;
    for (const data::AwardRecord &award : *awards) {
        AwardEligibility one = rangeOf(award, stored->value(award.id), *drawList);
        if (one.range.everyone() && one.badConditions.isEmpty()) {
            all.insert(award.id, one);
            continue;
        }
        for (const Condition &condition : one.range.conditions)
            wanted << condition.attribute;
        ranged << one;
    }
    if (!all.isEmpty()) {
        const Ranges numbered = NumberedPositions(pool);
        qsizetype count = 0;
        for (const auto &[first, last] : numbered.spans)
            count += last - first + 1;
        for (AwardEligibility &one : all) {
            one.eligible = numbered;
            one.count = count;
        }
    }
    Columns columns;
    if (!columns.load(db, drawId, pool, wanted))
        return std::nullopt;
    const std::vector<std::vector<qsizetype>> excluded = excludedPositions(pool, ranged);
    for (qsizetype a = 0; a < ranged.size(); ++a) {
        judge(ranged[a], pool, columns, excluded[size_t(a)]);
        all.insert(ranged[a].awardId, ranged[a]);
    }
    return all;
}

} // namespace

std::optional<QList<AwardEligibility>> AwardRanges(qint64 drawId, data::Database &db)
{
    const std::optional<QList<data::AwardRecord>> awards = data::AwardStore(db).forDraw(drawId);
    const std::optional<QHash<qint64, data::AwardRange>> stored = data::RangeStore(db).ofDraw(drawId);
    const std::optional<QStringList> drawList = data::RangeStore(db).drawExclusions(drawId);
    if (!awards || !stored || !drawList)
        return std::nullopt;
    QList<AwardEligibility> ranges;
    for (const data::AwardRecord &award : *awards)
        ranges << rangeOf(award, stored->value(award.id), *drawList);
    return ranges;
}

QStringList NumbersNotInDraw(qint64 drawId, const QStringList &numbers)
{
    if (numbers.isEmpty())
        return {};
    QSet<QString> wanted(numbers.begin(), numbers.end());
    if (!data::AttributeStore().forEachNumber(drawId, [&](qint64, QStringView number) {
            if (!wanted.isEmpty())
                wanted.remove(number.trimmed().toString());
        }))
        return {};
    QStringList unknown;
    for (const QString &number : numbers) {
        if (wanted.contains(number))
            unknown << number;
    }
    return unknown;
}

std::optional<QHash<qint64, AwardEligibility>> ComputeEligibility(
    qint64 drawId, const EntrantPool &pool, data::Database &db)
{
    return compute(drawId, pool, db);
}

std::optional<QHash<qint64, AwardEligibility>> ComputeEligibility(qint64 drawId, data::Database &db)
{
    NumberList list;
    if (!data::AttributeStore(db).forEachNumber(
            drawId, [&](qint64 id, QStringView number) { list.append(id, number); }))
        return std::nullopt;
    std::optional<QHash<qint64, AwardEligibility>> found = compute(drawId, list, db);
    // The names of the few whose values could not be read, for the operator.
    if (found) {
        for (AwardEligibility &award : *found) {
            for (UnreadableValue &one : award.unreadable)
                one.name = data::LookupValue(
                    QStringLiteral("号码表"), one.entrantId, QStringLiteral("ID"), QStringLiteral("姓名"), db)
                               .toString();
        }
    }
    return found;
}

QStringList UnreadableLines(const AwardEligibility &award, qsizetype atMost)
{
    QStringList lines;
    for (const UnreadableValue &one : award.unreadable) {
        if (lines.size() >= atMost)
            break;
        QString who = one.number;
        if (!one.name.isEmpty())
            who += (who.isEmpty() ? QString() : QStringLiteral(" ")) + one.name;
        const bool date = std::any_of(
            award.range.conditions.begin(), award.range.conditions.end(), [&](const Condition &c) {
                return c.attribute == one.attribute
                    && (c.kind == ConditionKind::OnOrBefore || c.kind == ConditionKind::OnOrAfter);
            });
        lines << QStringLiteral("第%1行 %2：%3“%4”不是%5")
                     .arg(one.position)
                     .arg(who, one.attribute, one.value,
                         date ? QStringLiteral("日期") : QStringLiteral("数字"));
    }
    if (award.unreadableCount > lines.size())
        lines << QStringLiteral("……共 %1 处").arg(award.unreadableCount);
    return lines;
}

} // namespace tombolix::draw
