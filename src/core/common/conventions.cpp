#include "common/conventions.h"

#include <QGuiApplication>
#include <QPalette>
#include <cmath>
#include <limits>

namespace tombolix {

double numericValue(const QString &text)
{
    const int size = text.size();
    int i = 0;
    while (i < size && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    const int start = i;
    if (i < size && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    int digits = 0;
    while (i < size && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')) {
        ++i;
        ++digits;
    }
    if (i < size && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < size && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    int end = i;
    // An exponent counts only when digits follow it: "12E" is 12, "1E3" is 1000.
    if (i < size && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < size && (text.at(j) == QLatin1Char('-') || text.at(j) == QLatin1Char('+')))
            ++j;
        int expDigits = 0;
        while (j < size && text.at(j) >= QLatin1Char('0') && text.at(j) <= QLatin1Char('9')) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0)
            end = j;
    }
    bool ok = false;
    const double value = text.mid(start, end - start).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0.0;
    return value;
}

double numericValue(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return 0.0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    case QMetaType::Bool:
        return value.toBool() ? -1.0 : 0.0;
    default:
        return numericValue(value.toString());
    }
}

qint64 roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return 0;
    // Keep clear of the ends of the range: a number typed as 1E300 is absurd,
    // not an overflow.
    constexpr double limit = 9.0e18;
    if (value >= limit)
        return static_cast<qint64>(limit);
    if (value <= -limit)
        return -static_cast<qint64>(limit);
    const double floor = std::floor(value);
    const double diff = value - floor;
    double result = floor;
    if (diff > 0.5)
        result = floor + 1.0;
    else if (diff == 0.5)
        result = std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
    return static_cast<qint64>(result);
}

qint64 integerValue(const QString &text)
{
    return roundHalfEven(numericValue(text));
}

qint64 integerValue(const QVariant &value)
{
    return roundHalfEven(numericValue(value));
}

QString numberText(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

QString flagText(bool flag)
{
    return flag ? QStringLiteral("√") : QString();
}

bool flagFromText(const QString &text)
{
    return !text.trimmed().isEmpty();
}

bool flagFromColumn(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return false;
    if (value.typeId() == QMetaType::QString)
        return numericValue(value.toString()) != 0.0
            || value.toString().trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    return value.toDouble() != 0.0;
}

int twipsToPixels(double twips)
{
    return static_cast<int>(roundHalfEven(twips / TwipsPerPixel));
}

double pixelsToTwips(double pixels)
{
    return pixels * TwipsPerPixel;
}

QColor colorFromStored(qint64 stored)
{
    if (stored < 0 && stored >= -0x80000000LL)
        stored &= 0xFFFFFFFFLL; // a signed 32-bit value, as colours are often kept
    if (stored < 0 || stored > 0xFFFFFFFFLL)
        return QColor(Qt::black);
    if (stored & 0x80000000LL) {
        const QPalette palette = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
            ? QGuiApplication::palette()
            : QPalette();
        switch (stored & 0xFF) {
        case 0x05: // window background
            return palette.color(QPalette::Base);
        case 0x08: // window text
        case 0x12: // button text
            return palette.color(QPalette::WindowText);
        case 0x0D: // highlight
            return palette.color(QPalette::Highlight);
        case 0x0E: // highlighted text
            return palette.color(QPalette::HighlightedText);
        case 0x0F: // button face
            return palette.color(QPalette::Button);
        default:
            return palette.color(QPalette::Window);
        }
    }
    return QColor(int(stored & 0xFF), int((stored >> 8) & 0xFF), int((stored >> 16) & 0xFF));
}

qint64 storedFromColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return qint64(rgb.red()) | (qint64(rgb.green()) << 8) | (qint64(rgb.blue()) << 16);
}

QString textForStorage(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QString textOf(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    return value.toString();
}

} // namespace tombolix
