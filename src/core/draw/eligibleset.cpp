#include "draw/eligibleset.h"

#include "data/attributestore.h"
#include "data/awardstore.h"
#include "data/rangestore.h"

#include <QSet>
#include <algorithm>

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

// Calls `keep` with the column and the value of each place of the text (as
// EncodeAttributes writes it) that has a column and a value; a value is
// read in place unless it holds an escape.
template<typename Keep>
void forEachValue(QStringView text, const std::vector<int> &columnOfPlace, const Keep &keep)
{
    constexpr QChar Separator(0x1F);
    constexpr QChar Escape(0x1B);
    size_t place = 0;
    qsizetype start = 0;
    bool escaped = false;
    for (qsizetype i = 0; i <= text.size() && place < columnOfPlace.size(); ++i) {
        if (i < text.size()) {
            if (text[i] == Escape && i + 1 < text.size()) {
                escaped = true;
                ++i;
                continue;
            }
            if (text[i] != Separator)
                continue;
        }
        const QStringView value = text.mid(start, i - start);
        if (columnOfPlace[place] >= 0 && !value.isEmpty()) {
            if (escaped)
                keep(columnOfPlace[place], data::DecodeAttributes(value).value(0));
            else
                keep(columnOfPlace[place], value);
        }
        ++place;
        start = i + 1;
        escaped = false;
    }
}

// The attributes the conditions name, each read from the list once.
class Columns
{
public:
    bool load(data::Database &db, qint64 drawId, const EntrantPool &pool, const QStringList &wanted);
    const Column *column(const QString &attribute) const
    {
        const auto found = m_byName.constFind(attribute);
        return found == m_byName.constEnd() ? nullptr : &m_columns[size_t(*found)];
    }

private:
    QHash<QString, int> m_byName;
    std::vector<Column> m_columns;
};

bool Columns::load(data::Database &db, qint64 drawId, const EntrantPool &pool, const QStringList &wanted)
{
    const std::optional<QStringList> names = data::AttributeStore(db).names(drawId);
    if (!names)
        return false;
    std::vector<int> columnOfPlace; // place among the draw's names → column, -1 for none
    for (const QString &attribute : wanted) {
        const qsizetype place = names->indexOf(attribute);
        if (place < 0 || m_byName.contains(attribute))
            continue;
        m_byName.insert(attribute, int(m_columns.size()));
        columnOfPlace.resize(std::max(columnOfPlace.size(), size_t(place) + 1), -1);
        columnOfPlace[size_t(place)] = int(m_columns.size());
        m_columns.emplace_back();
        m_columns.back().valueAt.assign(size_t(pool.size()) + 1, 0);
    }
    if (m_columns.empty())
        return true;
    // Keyed by views into the distinct values themselves: a million values
    // are looked up without a copy of any of them.
    std::vector<QHash<QStringView, quint32>> interned(m_columns.size());
    qsizetype position = 1;
    const auto keep = [&](int c, QStringView value) {
        Column &column = m_columns[size_t(c)];
        QHash<QStringView, quint32> &ids = interned[size_t(c)];
        auto found = ids.constFind(value);
        if (found == ids.constEnd()) {
            column.distinct << value.toString();
            found = ids.insert(QStringView(column.distinct.constLast()), quint32(column.distinct.size() - 1));
        }
        column.valueAt[size_t(position)] = *found;
    };
    const qsizetype n = pool.size();
    return data::AttributeStore(db).forEach(drawId, [&](qint64 id, QStringView text) {
        while (position <= n && pool.id(position) < id)
            ++position;
        if (position > n || pool.id(position) != id)
            return;
        forEachValue(text, columnOfPlace, keep);
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
std::vector<std::vector<qsizetype>> excludedPositions(
    const EntrantPool &pool, QList<AwardEligibility> &awards)
{
    std::vector<std::vector<qsizetype>> excluded(size_t(awards.size()));
    QHash<QString, QList<int>> listsOf;
    for (int a = 0; a < awards.size(); ++a) {
        for (const QString &number : awards.at(a).range.excluded)
            listsOf[number] << a;
    }
    if (listsOf.isEmpty())
        return excluded;
    QSet<QString> found;
    for (qsizetype i = 1; i <= pool.size(); ++i) {
        const QStringView number = pool.numberView(i);
        if (number.isEmpty())
            continue;
        const auto lists = listsOf.constFind(number.toString());
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

void addPosition(Ranges &ranges, qsizetype position)
{
    if (!ranges.spans.empty() && ranges.spans.back().second == position - 1)
        ranges.spans.back().second = position;
    else
        ranges.spans.emplace_back(position, position);
}

void judge(AwardEligibility &award, const EntrantPool &pool, const Columns &columns,
    const std::vector<qsizetype> &excluded)
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
                    award.unreadable << UnreadableValue { i, pool.number(i), pool.name(i),
                        one.condition->attribute, one.column->distinct.at(v) };
                }
            }
        }
        if (all) {
            addPosition(award.eligible, i);
            ++award.count;
        }
    }
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

std::optional<QHash<qint64, AwardEligibility>> ComputeEligibility(
    qint64 drawId, const EntrantPool &pool, data::Database &db)
{
    const std::optional<QList<AwardEligibility>> ranges = AwardRanges(drawId, db);
    if (!ranges)
        return std::nullopt;
    QList<AwardEligibility> ranged;
    QHash<qint64, AwardEligibility> all;
    QStringList wanted;
    for (const AwardEligibility &one : *ranges) {
        if (one.range.everyone() && one.badConditions.isEmpty()) {
            all.insert(one.awardId, one);
            continue;
        }
        for (const Condition &condition : one.range.conditions)
            wanted << condition.attribute;
        ranged << one;
    }
    if (!all.isEmpty()) {
        const Ranges numbered = pool.numbered();
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

std::optional<QHash<qint64, AwardEligibility>> ComputeEligibility(qint64 drawId, data::Database &db)
{
    EntrantPool pool;
    LoadEntrantPool(pool, drawId);
    return ComputeEligibility(drawId, pool, db);
}

QStringList NumbersNotInDraw(qint64 drawId, const QStringList &numbers)
{
    if (numbers.isEmpty())
        return {};
    EntrantPool pool;
    LoadEntrantPool(pool, drawId);
    QSet<QString> wanted(numbers.begin(), numbers.end());
    for (qsizetype i = 1; i <= pool.size() && !wanted.isEmpty(); ++i)
        wanted.remove(pool.numberView(i).toString());
    QStringList unknown;
    for (const QString &number : numbers) {
        if (wanted.contains(number))
            unknown << number;
    }
    return unknown;
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
