#pragma once

#include "data/database.h"
#include "draw/eligibility.h"
#include "draw/entrantpool.h"

#include <QHash>
#include <QList>
#include <memory>
#include <optional>

// Who may win each award of a draw now: the positions of its list (the pool
// in the order the entrants were entered) that have a number, are not on the
// award's or the draw's 不参与名单, and meet all the award's conditions.
namespace tombolix::draw {

// An attribute value a condition cannot read (a date that is no date): the
// entrant does not meet the condition, and the operator is told.
struct UnreadableValue
{
    qsizetype position = 0; // in the list, from 1
    qint64 entrantId = 0;
    QString number;
    QString name;
    QString attribute;
    QString value;
};

struct AwardEligibility
{
    qint64 awardId = 0;
    AwardRange range; // its conditions in their one form, both lists merged
    QString words; // RangeWords(range)
    Ranges eligible;
    qsizetype count = 0; // positions in eligible
    // Conditions that could not be put in their one form stand for no one;
    // they are named here.
    QStringList badConditions;
    QList<UnreadableValue> unreadable; // the first few, in list order
    qsizetype unreadableCount = 0;
    QStringList unknownNumbers; // exclusion numbers no entrant has
};

// Each award's range as ComputeEligibility takes it (its conditions in their
// one form, both lists merged, its words, the conditions that could not be
// put in it), in drawing order, read without the list: nobody is counted.
// Nothing when the database could not be read.
std::optional<QList<AwardEligibility>> AwardRanges(qint64 drawId, data::Database &db = data::Database::run());

// What the draw's awards may draw from; nothing when the database could not
// be read. `pool` holds the draw's entrants in ID order (LoadEntrantPool).
// Awards without a range take the numbered positions without reading any
// attribute.
std::optional<QHash<qint64, AwardEligibility>> ComputeEligibility(
    qint64 drawId, const EntrantPool &pool, data::Database &db = data::Database::run());

// The awards' ranges and the attributes they name, read without the list,
// then judged over the pool: the sets ComputeEligibility finds. The plan is
// read on the connection given; the values may be read on another thread
// (through a connection of SQLite's own on the file) while the pool loads.
class RangesRead
{
public:
    RangesRead();
    ~RangesRead();
    RangesRead(RangesRead &&) noexcept;
    RangesRead &operator=(RangesRead &&) noexcept;
    static std::optional<RangesRead> plan(qint64 drawId, data::Database &db);
    [[nodiscard]] bool readValues(const QString &path);
    bool ready() const; // the values were read
    QHash<qint64, AwardEligibility> judge(const EntrantPool &pool) &&;

private:
    struct Read;
    std::unique_ptr<Read> m_read;
    qint64 m_drawId = 0;
};

// The same with the list read here, for the console's counts; the few whose
// values cannot be read are named.
std::optional<QHash<qint64, AwardEligibility>> ComputeEligibility(
    qint64 drawId, data::Database &db = data::Database::run());

// The numbers no entrant of the draw has, in the order given.
QStringList NumbersNotInDraw(qint64 drawId, const QStringList &numbers);

// The unreadable values in words, one line each:
// "第12行 1234 张三：入职日期“2025/13/40”不是日期".
QStringList UnreadableLines(const AwardEligibility &award, qsizetype atMost = 10);

} // namespace tombolix::draw
