#include "draw/eligibility.h"

#include <QRegularExpression>
#include <algorithm>

namespace tombolix::draw {

namespace {

// Ascending order of the UTF-8 bytes is the order of the code points.
bool codePointLess(const QString &a, const QString &b)
{
    // UTF-16 sorts as the code points do but where a surrogate meets a unit
    // of U+E000-U+FFFF: shifted apart, no copy is needed.
    auto key = [](char16_t u) {
        return u >= 0xE000 ? char32_t(u) - 0x800 : (u >= 0xD800 ? char32_t(u) + 0x2000 : char32_t(u));
    };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a.at(i).unicode(), y = b.at(i).unicode();
        if (x != y)
            return key(x) < key(y);
    }
    return a.size() < b.size();
}

void sortDistinct(QStringList &values)
{
    std::sort(values.begin(), values.end(), codePointLess);
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

bool isAsciiDigits(QStringView text)
{
    return !text.isEmpty()
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

QStringView TrimmedForRule(QStringView text)
{
    auto space = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x09 && u <= 0x0D) || u == 0x20 || u == 0x85 || u == 0xA0 || u == 0x1680
            || (u >= 0x2000 && u <= 0x200A) || u == 0x2028 || u == 0x2029 || u == 0x202F || u == 0x205F
            || u == 0x3000;
    };
    qsizetype first = 0, last = text.size();
    while (first < last && space(text[first]))
        ++first;
    while (last > first && space(text[last - 1]))
        --last;
    return text.mid(first, last - first);
}

namespace {

QStringView trimmed(QStringView text)
{
    return TrimmedForRule(text);
}

std::optional<QDate> fromSerial(QStringView text)
{
    const qsizetype point = text.indexOf(u'.');
    const QStringView whole = point < 0 ? text : text.left(point);
    if (!isAsciiDigits(whole) || (point >= 0 && !isAsciiDigits(text.mid(point + 1))))
        return std::nullopt;
    if (whole.size() > 7)
        return std::nullopt;
    const qint64 serial = whole.toLongLong();
    // A spreadsheet's serial number of a day, counted from 1899-12-30; only
    // those of 1927-05-18 to 2099-12-31, so a year alone (2025) or a month
    // (202501) is never taken for one.
    if (serial < 10000 || serial > 73050)
        return std::nullopt;
    return QDate(1899, 12, 30).addDays(serial);
}

bool validTime(QStringView text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return false;
    return m.capturedView(1).toInt() <= 23 && m.capturedView(2).toInt() <= 59
        && (m.capturedView(3).isEmpty() || m.capturedView(3).toInt() <= 59);
}

std::optional<QDate> fromWritten(QStringView text)
{
    static const QRegularExpression form(QStringLiteral(
        "^(\\d{4})(?:([-/.])(\\d{1,2})\\2(\\d{1,2})|年(\\d{1,2})月(\\d{1,2})日)(?:(?: +|T)(.*))?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    // Whatever follows the date must be a time of day.
    if (m.capturedStart(7) >= 0 && !validTime(m.capturedView(7)))
        return std::nullopt;
    const bool chinese = m.capturedStart(5) >= 0;
    const int year = m.capturedView(1).toInt();
    const int month = m.capturedView(chinese ? 5 : 3).toInt();
    const int day = m.capturedView(chinese ? 6 : 4).toInt();
    if (year < 1900 || !QDate::isValid(year, month, day))
        return std::nullopt;
    return QDate(year, month, day);
}

QString dayText(const QDate &day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

std::optional<QDate> ReadDate(QStringView text)
{
    const QStringView t = trimmed(text);
    if (std::optional<QDate> serial = fromSerial(t))
        return serial;
    return fromWritten(t);
}

std::optional<QString> NormalNumber(QStringView text)
{
    QStringView t = trimmed(text);
    bool negative = false;
    if (!t.isEmpty() && (t.front() == u'-' || t.front() == u'+')) {
        negative = t.front() == u'-';
        t = t.mid(1);
    }
    const qsizetype point = t.indexOf(u'.');
    QStringView whole = point < 0 ? t : t.left(point);
    QStringView fraction = point < 0 ? QStringView() : t.mid(point + 1);
    if (!isAsciiDigits(whole) || (point >= 0 && !isAsciiDigits(fraction)))
        return std::nullopt;
    while (whole.size() > 1 && whole.front() == u'0')
        whole = whole.mid(1);
    while (!fraction.isEmpty() && fraction.back() == u'0')
        fraction.chop(1);
    QString normal = whole.toString();
    if (!fraction.isEmpty())
        normal += QLatin1Char('.') + fraction.toString();
    if (negative && normal != QLatin1String("0"))
        normal.prepend(QLatin1Char('-'));
    return normal;
}

int CompareNumbers(const QString &a, const QString &b)
{
    const bool an = a.startsWith(u'-'), bn = b.startsWith(u'-');
    if (an != bn)
        return an ? -1 : 1;
    auto magnitude = [](QStringView x, QStringView y) {
        const qsizetype xp = x.indexOf(u'.'), yp = y.indexOf(u'.');
        const QStringView xw = xp < 0 ? x : x.left(xp), yw = yp < 0 ? y : y.left(yp);
        if (xw.size() != yw.size())
            return xw.size() < yw.size() ? -1 : 1;
        if (const int c = xw.compare(yw))
            return c < 0 ? -1 : 1;
        const QStringView xf = xp < 0 ? QStringView() : x.mid(xp + 1);
        const QStringView yf = yp < 0 ? QStringView() : y.mid(yp + 1);
        const int c = xf.compare(yf);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    };
    const int c = magnitude(QStringView(a).mid(an ? 1 : 0), QStringView(b).mid(bn ? 1 : 0));
    return an ? -c : c;
}

bool Readable(const Condition &condition, QStringView value)
{
    switch (condition.kind) {
    case ConditionKind::OneOf:
        return true;
    case ConditionKind::OnOrBefore:
    case ConditionKind::OnOrAfter:
        return ReadDate(value).has_value();
    case ConditionKind::AtLeast:
    case ConditionKind::AtMost:
        return NormalNumber(value).has_value();
    }
    return false;
}

bool Meets(const Condition &condition, QStringView value)
{
    if (condition.values.isEmpty())
        return false;
    switch (condition.kind) {
    case ConditionKind::OneOf:
        return std::any_of(condition.values.begin(), condition.values.end(),
            [&](const QString &one) { return QStringView(one) == value; });
    case ConditionKind::OnOrBefore:
    case ConditionKind::OnOrAfter: {
        const std::optional<QDate> date = ReadDate(value);
        const QDate day = QDate::fromString(condition.values.front(), QStringLiteral("yyyy-MM-dd"));
        if (!date || !day.isValid())
            return false;
        return condition.kind == ConditionKind::OnOrBefore ? *date <= day : *date >= day;
    }
    case ConditionKind::AtLeast:
    case ConditionKind::AtMost: {
        const std::optional<QString> number = NormalNumber(value);
        if (!number)
            return false;
        const int c = CompareNumbers(*number, condition.values.front());
        return condition.kind == ConditionKind::AtLeast ? c >= 0 : c <= 0;
    }
    }
    return false;
}

std::optional<Condition> NormalCondition(Condition condition)
{
    condition.attribute = trimmed(condition.attribute).toString();
    if (condition.attribute.isEmpty() || condition.values.isEmpty())
        return std::nullopt;
    switch (condition.kind) {
    case ConditionKind::OneOf:
        for (QString &value : condition.values)
            value = trimmed(value).toString();
        sortDistinct(condition.values);
        return condition;
    case ConditionKind::OnOrBefore:
    case ConditionKind::OnOrAfter: {
        if (condition.values.size() != 1)
            return std::nullopt;
        const std::optional<QDate> day = ReadDate(condition.values.front());
        if (!day)
            return std::nullopt;
        condition.values = QStringList { dayText(*day) };
        return condition;
    }
    case ConditionKind::AtLeast:
    case ConditionKind::AtMost: {
        if (condition.values.size() != 1)
            return std::nullopt;
        const std::optional<QString> number = NormalNumber(condition.values.front());
        if (!number)
            return std::nullopt;
        condition.values = QStringList { *number };
        return condition;
    }
    }
    return std::nullopt;
}

QStringList NormalNumbers(const QStringList &numbers)
{
    QStringList normal;
    normal.reserve(numbers.size());
    for (const QString &number : numbers) {
        const QStringView t = trimmed(number);
        if (!t.isEmpty())
            normal << t.toString();
    }
    sortDistinct(normal);
    return normal;
}

QString ConditionWords(const Condition &condition)
{
    const QString &a = condition.attribute;
    const QString first = condition.values.isEmpty() ? QString() : condition.values.front();
    switch (condition.kind) {
    case ConditionKind::OneOf:
        return a + QLatin1Char('=') + condition.values.join(QLatin1Char('/'));
    case ConditionKind::OnOrBefore:
    case ConditionKind::AtMost:
        return a + QStringLiteral("≤") + first;
    case ConditionKind::OnOrAfter:
    case ConditionKind::AtLeast:
        return a + QStringLiteral("≥") + first;
    }
    return QString();
}

QString RangeWords(const AwardRange &range)
{
    QStringList parts;
    if (!range.conditions.isEmpty()) {
        QStringList words;
        for (const Condition &condition : range.conditions)
            words << ConditionWords(condition);
        parts << QStringLiteral("仅限 ") + words.join(QStringLiteral("，"));
    }
    if (!range.excluded.isEmpty())
        parts << QStringLiteral("不参与名单 %1 个号码除外").arg(range.excluded.size());
    return parts.join(QStringLiteral("，"));
}

QString StageWords(const AwardRange &range)
{
    if (range.conditions.isEmpty())
        return QString();
    QStringList words;
    for (const Condition &condition : range.conditions) {
        words << (condition.kind == ConditionKind::OneOf ? condition.values.join(QStringLiteral("或"))
                                                         : ConditionWords(condition));
    }
    return QStringLiteral("仅限") + words.join(QStringLiteral("，"));
}

} // namespace tombolix::draw
