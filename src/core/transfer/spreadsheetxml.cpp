#include "transfer/spreadsheetxml.h"

#include "common/conventions.h"

#include <QDate>
#include <QTime>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>

namespace tombolix::transfer {

namespace {

// Writers disagree on prefixes (ss:Index, Index, x:Index), so attributes are
// matched by their local name alone.
QStringView attribute(const QXmlStreamAttributes &attributes, QLatin1String name)
{
    for (const QXmlStreamAttribute &candidate : attributes) {
        if (candidate.name() == name)
            return candidate.value();
    }
    return QStringView();
}

int intAttribute(const QXmlStreamAttributes &attributes, QLatin1String name, int fallback)
{
    bool ok = false;
    const int value = attribute(attributes, name).toInt(&ok);
    return ok ? value : fallback;
}

// Excel writes a time of day as a moment of 1899-12-31 and a date as its
// midnight, so the value itself tells which of the two a cell shows.
QString dateTimeText(const QString &value)
{
    const QDate date = QDate::fromString(value.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(value.mid(11, 8), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return QString(value).replace(QLatin1Char('T'), QLatin1Char(' '));
    const QString timeText = time.toString(QStringLiteral("HH:mm:ss"));
    if (date == QDate(1899, 12, 31) || date == QDate(1899, 12, 30))
        return timeText;
    const QString dateText = date.toString(QStringLiteral("yyyy-MM-dd"));
    return time == QTime(0, 0) ? dateText : dateText + QLatin1Char(' ') + timeText;
}

QString cellText(QStringView type, const QString &value)
{
    if (type == QLatin1String("Number")) {
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        return ok && std::isfinite(number) ? numberText(number) : value;
    }
    if (type == QLatin1String("DateTime"))
        return dateTimeText(value.trimmed());
    if (type == QLatin1String("Boolean")) {
        const QString flag = value.trimmed();
        return flag == QLatin1String("1") ? QStringLiteral("TRUE")
            : flag == QLatin1String("0")  ? QStringLiteral("FALSE")
                                          : value;
    }
    return value;
}

} // namespace

bool ParseSpreadsheetXml(QIODevice *device, std::vector<MarkupSheet> &sheets)
{
    QXmlStreamReader xml(device);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("Workbook"))
        return false;
    bool inSheet = false;
    bool inOptions = false;
    int row = 0;
    int rowSpan = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("Worksheet") && inSheet) {
                sheets.back().cells.finish();
                inSheet = false;
            } else if (xml.name() == QLatin1String("WorksheetOptions")) {
                inOptions = false;
            }
            continue;
        }
        if (!xml.isStartElement())
            continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("Worksheet")) {
            sheets.emplace_back();
            sheets.back().name = attribute(xml.attributes(), QLatin1String("Name")).toString();
            inSheet = true;
            row = 0;
            rowSpan = 0;
        } else if (!inSheet) {
            xml.skipCurrentElement(); // styles, document properties
        } else if (name == QLatin1String("WorksheetOptions")) {
            inOptions = true;
        } else if (inOptions && name == QLatin1String("Visible")) {
            const QString visible = xml.readElementText();
            sheets.back().hidden = visible.startsWith(QLatin1String("SheetHidden"))
                || visible.startsWith(QLatin1String("SheetVeryHidden"));
        } else if (name == QLatin1String("Row")) {
            // A row without an index follows the previous one and the
            // identical rows that one spans.
            const QXmlStreamAttributes rowAttributes = xml.attributes();
            const int index = intAttribute(rowAttributes, QLatin1String("Index"), 0);
            row = index >= 1 ? index
                             : int(std::min<qint64>(qint64(row) + 1 + rowSpan, SheetCells::MaxRows + 1));
            rowSpan
                = std::clamp(intAttribute(rowAttributes, QLatin1String("Span"), 0), 0, SheetCells::MaxRows);
            int col = 0;
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("Cell")) {
                    xml.skipCurrentElement();
                    continue;
                }
                // A cell without an index follows the previous one and the
                // columns it is merged across; only the first cell of a
                // merged area holds the value, as in Excel.
                const QXmlStreamAttributes cellAttributes = xml.attributes();
                const int cellIndex = intAttribute(cellAttributes, QLatin1String("Index"), 0);
                col = cellIndex >= 1 ? cellIndex : std::min(col + 1, SheetCells::MaxColumns + 1);
                const int mergeAcross
                    = std::max(0, intAttribute(cellAttributes, QLatin1String("MergeAcross"), 0));
                while (xml.readNextStartElement()) {
                    // The comment's own Data is no value, so only direct children count.
                    if (xml.name() == QLatin1String("Data")) {
                        const QString type = attribute(xml.attributes(), QLatin1String("Type")).toString();
                        const QString value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                        sheets.back().cells.set(row, col, cellText(type, value));
                    } else {
                        xml.skipCurrentElement();
                    }
                }
                col = int(std::min<qint64>(qint64(col) + mergeAcross, SheetCells::MaxColumns + 1));
            }
        }
    }
    if (inSheet)
        sheets.back().cells.finish();
    return !xml.hasError();
}

} // namespace tombolix::transfer
