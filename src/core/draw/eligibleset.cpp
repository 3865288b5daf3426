#include "draw/eligibleset.h"

#include "data/attributestore.h"
#include "data/awardstore.h"
#include "data/rangestore.h"

#include <QSet>
#include <thread>

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

// The attributes the conditions name, each read once: by entrant ID (on any
// thread, through a connection of its own), then laid out by the list's
// positions.
class Columns
{
public:
    // The columns wanted, among the draw's attribute names.
    bool choose(data::Database &db, qint64 drawId, const QStringList &wanted);
    // Their values, from rows of (entrant ID, attribute text) in ID order.
    using Rows = std::function<bool(const std::function<void(qint64, QStringView)> &)>;
    bool read(const Rows &rows);
    template<typename List> void place(const List &list);
    const Column *column(const QString &attribute) const
    {
        const auto found = m_byName.constFind(attribute);
        return found == m_byName.constEnd() ? nullptr : &m_columns[size_t(*found)];
    }

private:
    QHash<QString, int> m_byName;
    std::vector<Column> m_columns;
    std::vector<std::pair<int, int>> m_columnOfPlace; // place among the draw's names, column
    std::vector<qint64> m_ids; // the rows read, ascending
    std::vector<std::vector<quint32>> m_codes; // per column, per row read
};

bool Columns::choose(data::Database &db, qint64 drawId, const QStringList &wanted)
{
    const std::optional<QStringList> names = data::AttributeStore(db).names(drawId);
    if (!names)
        return false;
    for (const QString &attribute : wanted) {
        const qsizetype place = names->indexOf(attribute);
        if (place < 0 || m_byName.contains(attribute))
            continue;
        m_byName.insert(attribute, int(m_columns.size()));
        m_columnOfPlace.emplace_back(int(place), int(m_columns.size()));
        m_columns.emplace_back();
    }
    return true;
}

bool Columns::read(const Rows &rows)
{
    if (m_columns.empty())
        return true;
    m_codes.resize(m_columns.size());
    std::vector<Interned> interned(m_columns.size());
    QString scratch;
    return rows([&](qint64 id, QStringView text) {
        m_ids.push_back(id);
        for (const auto &[place, c] : m_columnOfPlace) {
            // Judged as a list file's cell is: trimmed.
            const QStringView value = TrimmedForRule(fieldAt(text, place, scratch));
            m_codes[size_t(c)].push_back(
                value.isEmpty() ? 0 : interned[size_t(c)].code(value, m_columns[size_t(c)].distinct));
        }
    });
}

template<typename List> void Columns::place(const List &list)
{
    const qsizetype n = list.size();
    for (Column &column : m_columns)
        column.valueAt.assign(size_t(n) + 1, 0);
    qsizetype position = 1;
    for (size_t row = 0; row < m_ids.size(); ++row) {
        while (position <= n && list.id(position) < m_ids[row])
            ++position;
        if (position > n)
            break;
        if (list.id(position) != m_ids[row])
            continue; // another draw's entrant
        for (size_t c = 0; c < m_columns.size(); ++c)
            m_columns[c].valueAt[size_t(position)] = m_codes[c][row];
    }
    m_ids = {};
    m_codes = {};
}

// A condition judged on one column, each distinct value once: bit 0 it
// meets the condition, bit 1 it cannot be read.
struct Judged
{
    const Condition *condition = nullptr;
    const Column *column = nullptr; // none: no entrant has the attribute
    std::vector<quint8> of; // per distinct value

    Judged(const Condition &judged, const Column *values)
        : condition(&judged)
        , column(values)
    {
        const qsizetype distinct = column ? column->distinct.size() : 1;
        of.resize(size_t(distinct));
        for (qsizetype v = 0; v < distinct; ++v) {
            const QString &text = column ? column->distinct.at(v) : QString();
            of[size_t(v)]
                = quint8((Meets(judged, text) ? 1 : 0) | (text.isEmpty() || Readable(judged, text) ? 0 : 2));
        }
    }
    quint8 at(qsizetype position) const { return of[column ? column->valueAt[size_t(position)] : 0]; }
};

template<typename List>
void noteUnreadable(AwardEligibility &award, const List &pool, const std::vector<Judged> &judged, qsizetype i)
{
    for (const Judged &one : judged) {
        if (!(one.at(i) & 2))
            continue;
        if (++award.unreadableCount <= 10) {
            const quint32 v = one.column->valueAt[size_t(i)];
            award.unreadable << UnreadableValue { i, pool.id(i), pool.numberView(i).toString(), QString(),
                one.condition->attribute, one.column->distinct.at(v) };
        }
    }
}

// `drawList` is the draw's 不参与名单 in its one form already.
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
    one.range.excluded = stored.excluded.isEmpty() ? drawList : NormalNumbers(stored.excluded + drawList);
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
void judge(AwardEligibility &award, const List &pool, const std::vector<quint8> &numbered,
    const std::vector<Judged> &judged, const std::vector<qsizetype> &excluded)
{
    award.eligible = Ranges::none();
    if (!award.badConditions.isEmpty())
        return;
    size_t next = 0;
    const qsizetype n = pool.size();
    for (qsizetype i = 1; i <= n; ++i) {
        if (!numbered[size_t(i)])
            continue;
        if (next < excluded.size() && excluded[next] == i) {
            ++next;
            continue;
        }
        quint8 all = 1;
        quint8 unreadable = 0;
        for (const Judged &one : judged) {
            const quint8 value = one.at(i);
            all &= value;
            unreadable |= value;
        }
        if (unreadable & 2)
            noteUnreadable(award, pool, judged, i);
        if (all) {
            award.eligible.append(i);
            ++award.count;
        }
    }
}

// What the draw's awards and ranges say, read before the list: the awards
// everyone may win apart from those with a range.
struct Plan
{
    QList<AwardEligibility> ranged;
    QHash<qint64, AwardEligibility> all;
    QStringList wanted; // the attributes the conditions name
};

std::optional<Plan> planOf(qint64 drawId, data::Database &db)
{
    const std::optional<QList<data::AwardRecord>> awards = data::AwardStore(db).forDraw(drawId);
    const std::optional<QHash<qint64, data::AwardRange>> stored = data::RangeStore(db).ofDraw(drawId);
    const std::optional<QStringList> drawList = data::RangeStore(db).drawExclusions(drawId);
    if (!awards || !stored || !drawList)
        return std::nullopt;
    const QStringList normalDrawList = NormalNumbers(*drawList);
    Plan plan;
    for (const data::AwardRecord &award : *awards) {
        AwardEligibility one = rangeOf(award, stored->value(award.id), normalDrawList);
        if (one.range.everyone() && one.badConditions.isEmpty()) {
            plan.all.insert(award.id, one);
            continue;
        }
        for (const Condition &condition : one.range.conditions)
            plan.wanted << condition.attribute;
        plan.ranged << one;
    }
    return plan;
}

template<typename List> QHash<qint64, AwardEligibility> finish(Plan plan, const List &pool, Columns &columns)
{
    std::vector<quint8> numbered(size_t(pool.size()) + 1, 0);
    qsizetype count = 0;
    for (qsizetype i = 1; i <= pool.size(); ++i) {
        numbered[size_t(i)] = pool.numberView(i).isEmpty() ? 0 : 1;
        count += numbered[size_t(i)];
    }
    if (!plan.all.isEmpty()) {
        const Ranges positions = NumberedPositions(pool);
        for (AwardEligibility &one : plan.all) {
            one.eligible = positions;
            one.count = count;
        }
    }
    if (plan.ranged.isEmpty())
        return plan.all;
    // The lists' positions are found beside the attributes' laying out.
    std::vector<std::vector<qsizetype>> excluded;
    std::thread lists([&] { excluded = excludedPositions(pool, plan.ranged); });
    columns.place(pool);
    lists.join();
    // Each condition's values judged here, the list's positions then on two
    // threads, an award at a time.
    std::vector<std::vector<Judged>> judged(size_t(plan.ranged.size()));
    for (qsizetype a = 0; a < plan.ranged.size(); ++a) {
        for (const Condition &condition : plan.ranged[a].range.conditions)
            judged[size_t(a)].emplace_back(condition, columns.column(condition.attribute));
    }
    AwardEligibility *const awards = plan.ranged.data(); // unshared before the threads start
    const qsizetype rangedCount = plan.ranged.size();
    const auto judgeEvery = [&](qsizetype from) {
        for (qsizetype a = from; a < rangedCount; a += 2)
            judge(awards[a], pool, numbered, judged[size_t(a)], excluded[size_t(a)]);
    };
    std::thread second(judgeEvery, 1);
    judgeEvery(0);
    second.join();
    for (const AwardEligibility &one : std::as_const(plan.ranged))
        plan.all.insert(one.awardId, one);
    return plan.all;
}

} // namespace

std::optional<QList<AwardEligibility>> AwardRanges(qint64 drawId, data::Database &db)
{
    const std::optional<QList<data::AwardRecord>> awards = data::AwardStore(db).forDraw(drawId);
    const std::optional<QHash<qint64, data::AwardRange>> stored = data::RangeStore(db).ofDraw(drawId);
    const std::optional<QStringList> drawList = data::RangeStore(db).drawExclusions(drawId);
    if (!awards || !stored || !drawList)
        return std::nullopt;
    const QStringList normalDrawList = NormalNumbers(*drawList);
    QList<AwardEligibility> ranges;
    for (const data::AwardRecord &award : *awards)
        ranges << rangeOf(award, stored->value(award.id), normalDrawList);
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
    std::optional<Plan> plan = planOf(drawId, db);
    Columns columns;
    if (!plan || !columns.choose(db, drawId, plan->wanted) || !columns.read([&](const auto &each) {
            return data::AttributeStore(db).forEachWithinDraw(drawId, each);
        }))
        return std::nullopt;
    return finish(std::move(*plan), pool, columns);
}

struct RangesRead::Read
{
    Plan plan;
    Columns columns;
    bool valuesRead = false;
};

RangesRead::RangesRead() = default;
RangesRead::~RangesRead() = default;
RangesRead::RangesRead(RangesRead &&) noexcept = default;
RangesRead &RangesRead::operator=(RangesRead &&) noexcept = default;

std::optional<RangesRead> RangesRead::plan(qint64 drawId, data::Database &db)
{
    std::optional<Plan> plan = planOf(drawId, db);
    if (!plan)
        return std::nullopt;
    RangesRead read;
    read.m_read = std::make_unique<Read>();
    read.m_read->plan = std::move(*plan);
    read.m_drawId = drawId;
    if (!read.m_read->columns.choose(db, drawId, read.m_read->plan.wanted))
        return std::nullopt;
    return read;
}

bool RangesRead::readValues(const QString &path)
{
    m_read->valuesRead = m_read->columns.read(
        [&](const auto &each) { return data::ForEachValueWithinDraw(path, m_drawId, each); });
    return m_read->valuesRead;
}

bool RangesRead::ready() const
{
    return m_read && m_read->valuesRead;
}

QHash<qint64, AwardEligibility> RangesRead::judge(const EntrantPool &pool) &&
{
    return finish(std::move(m_read->plan), pool, m_read->columns);
}

std::optional<QHash<qint64, AwardEligibility>> ComputeEligibility(qint64 drawId, data::Database &db)
{
    std::optional<Plan> plan = planOf(drawId, db);
    if (!plan)
        return std::nullopt;
    NumberList list;
    const bool numbers = data::AttributeStore(db).forEachNumber(
        drawId, [&](qint64 id, QStringView number) { list.append(id, number); });
    Columns columns;
    const bool read = columns.choose(db, drawId, plan->wanted) && columns.read([&](const auto &each) {
        return data::AttributeStore(db).forEachWithinDraw(drawId, each);
    });
    if (!numbers || !read)
        return std::nullopt;
    QHash<qint64, AwardEligibility> found = finish(std::move(*plan), list, columns);
    // The names of the few whose values could not be read, for the operator.
    for (AwardEligibility &award : found) {
        for (UnreadableValue &one : award.unreadable)
            one.name = data::LookupValue(
                QStringLiteral("号码表"), one.entrantId, QStringLiteral("ID"), QStringLiteral("姓名"), db)
                           .toString();
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
