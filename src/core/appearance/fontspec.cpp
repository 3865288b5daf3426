#include "appearance/fontspec.h"

#include "appearance/framelayout.h"
#include "common/conventions.h"
#include "data/drawstore.h"

#include <QStringList>
#include <limits>

namespace tombolix::appearance {

bool ApplyFontRecord(const QString &record, FontSpec &spec)
{
    const QString trimmed = record.trimmed();
    if (trimmed.isEmpty())
        return false;
    const QStringList parts = trimmed.split(FieldSeparator);
    if (parts.size() < 7)
        return false;
    if (!parts.at(0).trimmed().isEmpty())
        spec.font.setFamily(parts.at(0));
    spec.font.setBold(flagFromText(parts.at(1)));
    spec.font.setItalic(flagFromText(parts.at(2)));
    const double size = numericValue(parts.at(3));
    if (size > 0 && size <= 1638) // what a font can be
        spec.font.setPointSizeF(size);
    spec.font.setStrikeOut(flagFromText(parts.at(4)));
    spec.font.setUnderline(flagFromText(parts.at(5)));
    const double colour = numericValue(parts.at(6));
    if (colour >= double(std::numeric_limits<qint32>::min())
        && colour <= double(std::numeric_limits<quint32>::max()))
        spec.colour = qint64(qint32(quint32(roundHalfEven(colour) & 0xFFFFFFFF)));
    return true;
}

QString FontRecord(const FontSpec &spec)
{
    const double size = spec.font.pointSizeF() > 0 ? spec.font.pointSizeF() : spec.font.pixelSize() * 0.75;
    return QStringList { spec.font.family(), flagText(spec.font.bold()), flagText(spec.font.italic()),
        numberText(size), flagText(spec.font.strikeOut()), flagText(spec.font.underline()),
        QString::number(spec.colour) }
        .join(FieldSeparator);
}

FontSpec LoadElementFont(qint64 drawId, const QString &column, FontSpec spec)
{
    ApplyFontRecord(data::DrawStore().font(drawId, column), spec);
    return spec;
}

bool SaveElementFont(qint64 drawId, const QString &column, const FontSpec &spec)
{
    return data::DrawStore().saveFont(drawId, column, FontRecord(spec));
}

} // namespace tombolix::appearance
