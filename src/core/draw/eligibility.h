#pragma once

#include "data/awardrange.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// Who may win an award: conditions on the entrants' attributes (部门, 入职日期,
// 类别…), all of which must hold, and numbers that may not win it (不参与名单).
// The same reading of dates and numbers serves the console, the draw and the
// record's checker, so all three find the same people.
namespace tombolix::draw {

using data::AwardRange;
using Condition = data::RangeCondition;
using data::ConditionKind;

using data::KindName;
using data::KindNamed;

// Removes from both ends the white space of every kind a list file may
// carry (the characters the record's rule names), and nothing else.
QStringView TrimmedForRule(QStringView text);

// Reads a date as people and spreadsheets write it: an Excel serial number
// (10000 for 1927-05-18 up to 73050 for 2099-12-31, a fraction of a day
// ignored), or
// year, month and day as 2025-1-5, 2025/01/05, 2025.1.5 or 2025年1月5日,
// optionally followed by a time of day; nothing for anything else. The
// text is trimmed first.
std::optional<QDate> ReadDate(QStringView text);

// A decimal number as written (an optional sign, digits, optionally a point
// and digits) in its one normal form: no "+", no leading zeros, no trailing
// zeros after the point, no point without digits after it, "0" for zero;
// nothing when the trimmed text is no such number.
std::optional<QString> NormalNumber(QStringView text);
// Compares two numbers in normal form: negative, zero or positive.
int CompareNumbers(const QString &a, const QString &b);

// Whether an attribute's value (as stored: trimmed) meets the condition. An
// unreadable date or number meets no condition on dates or numbers.
bool Meets(const Condition &condition, QStringView value);
// Whether the value can be read as the condition needs: every value can be
// compared with OneOf, a date condition needs a date, a number condition a
// number.
bool Readable(const Condition &condition, QStringView value);

// The condition put into its one form: values deduplicated and sorted, the
// day or number written in normal form; nothing when it cannot be (no
// value, an unreadable day or number, more than one for a comparison, an
// empty attribute).
std::optional<Condition> NormalCondition(Condition condition);
// The numbers trimmed, empty ones dropped, deduplicated and sorted.
QStringList NormalNumbers(const QStringList &numbers);

// The range in words, as the awards tab and the record state it:
// "仅限 类别=员工，入职日期≤2025-12-09", then "不参与名单 3 个号码除外"; empty
// for everyone.
QString RangeWords(const AwardRange &range);
// One condition in words ("类别=员工/来宾", "入职日期≤2025-12-09").
QString ConditionWords(const Condition &condition);
// Shorter words for the hall ("仅限员工，入职日期≤2025-12-09"): a condition of
// one or more values shows the values alone; the exclusion list is not
// named. Empty when the conditions leave everyone in.
QString StageWords(const AwardRange &range);

} // namespace tombolix::draw
