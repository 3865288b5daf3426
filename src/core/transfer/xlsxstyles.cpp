#include "common/conventions.h"
#include "transfer/xlsxparts.h"
#include "transfer/xlsxreader.h"

#include <QDate>
#include <QHash>
#include <QTime>
#include <cmath>

// The cell styles that show numbers as dates and times, and numbers shown
// as their style shows them.
namespace tombolix::transfer {

using namespace xlsx;

namespace {

using DateKind = quint8;
constexpr DateKind NotDate = 0, IsDate = 1, IsTime = 2, IsDateTime = 3;

// What a number format shows a serial number as, judged from its codes
// outside quoted text, escapes and brackets (except elapsed [h], [m], [s]).
DateKind classifyFormatCode(const QString &code)
{
    QString codes;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar ch = code.at(i);
        if (ch == QLatin1Char('"')) {
            const qsizetype close = code.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                break;
            i = close;
        } else if (ch == QLatin1Char('\\') || ch == QLatin1Char('_') || ch == QLatin1Char('*')) {
            ++i;
        } else if (ch == QLatin1Char('[')) {
            const qsizetype close = code.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                break;
            const QString inside = code.mid(i + 1, close - i - 1).toLower();
            if (!inside.isEmpty()
                && (inside.count(QLatin1Char('h')) == inside.size()
                    || inside.count(QLatin1Char('m')) == inside.size()
                    || inside.count(QLatin1Char('s')) == inside.size()))
                codes += QLatin1Char('h');
            i = close;
        } else if (ch == QLatin1Char(';')) {
            break;
        } else {
            codes += ch.toLower();
        }
    }
    const bool time = codes.contains(QLatin1Char('h')) || codes.contains(QLatin1Char('s'));
    const bool date = codes.contains(QLatin1Char('y')) || codes.contains(QLatin1Char('d'))
        || (!time && codes.contains(QLatin1Char('m')));
    return date && time ? IsDateTime : date ? IsDate : time ? IsTime : NotDate;
}

// The built-in formats that show dates and times, the East Asian ones included.
DateKind classifyBuiltinFormat(int id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 58))
        return IsDate;
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 35) || (id >= 45 && id <= 47))
        return IsTime;
    if (id == 22)
        return IsDateTime;
    return NotDate;
}

} // namespace

bool XlsxWorkbook::loadStyles(const QString &part)
{
    QHash<int, QString> customFormats;
    std::vector<int> formatIds;
    const PartStatus status = parsePart(m_zip, part, [&](QXmlStreamReader &xml) {
        bool inCellFormats = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs"))
                inCellFormats = false;
            if (!xml.isStartElement())
                continue;
            const QXmlStreamAttributes attributes = xml.attributes();
            if (xml.name() == QLatin1String("numFmt")) {
                customFormats.insert(attributes.value(QLatin1String("numFmtId")).toInt(),
                    attributes.value(QLatin1String("formatCode")).toString());
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellFormats = true;
            } else if (inCellFormats && xml.name() == QLatin1String("xf")) {
                formatIds.push_back(attributes.value(QLatin1String("numFmtId")).toInt());
            }
        }
    });
    if (status == PartStatus::Broken)
        return false;
    QHash<int, DateKind> kinds;
    m_styleDates.reserve(formatIds.size());
    for (const int id : formatIds) {
        auto known = kinds.constFind(id);
        if (known == kinds.constEnd()) {
            const auto custom = customFormats.constFind(id);
            known = kinds.insert(id,
                custom != customFormats.constEnd() ? classifyFormatCode(*custom) : classifyBuiltinFormat(id));
        }
        m_styleDates.push_back(*known);
    }
    return true;
}

QString XlsxWorkbook::numberCellText(const QString &value, int style) const
{
    bool ok = false;
    const double number = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return value;
    const DateKind kind
        = style >= 0 && size_t(style) < m_styleDates.size() ? m_styleDates[size_t(style)] : NotDate;
    // Serial days up to 9999-12-31, shown the way the .xls reader shows them.
    if (kind == NotDate || number < 0 || number >= 2958466)
        return numberText(number);
    const qint64 seconds = std::llround(number * 86400.0);
    const qint64 days = seconds / 86400;
    const QTime time = QTime(0, 0).addSecs(int(seconds % 86400));
    QString dateText;
    if (m_date1904)
        dateText = QDate(1904, 1, 1).addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
    else if (days == 60) // the 29th of February 1900 that the 1900 system counts
        dateText = QStringLiteral("1900-02-29");
    else
        dateText = QDate(1899, 12, days > 60 ? 30 : 31).addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
    const QString timeText = time.toString(QStringLiteral("HH:mm:ss"));
    if (kind == IsDate)
        return dateText;
    if (kind == IsTime)
        return timeText;
    return dateText + QLatin1Char(' ') + timeText;
}

} // namespace tombolix::transfer
