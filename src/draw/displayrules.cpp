#include "draw/displayrules.h"

namespace tombolix::draw {

void FixLength(QString &text, qint64 length)
{
    if (text.isEmpty() || length <= 0)
        return;
    if (text.size() >= length) {
        text.truncate(length);
        return;
    }
    const QChar first = text.at(0);
    const bool digit = first >= QLatin1Char('0') && first <= QLatin1Char('9');
    text.prepend(QString(length - text.size(), digit ? QLatin1Char('0') : QLatin1Char(' ')));
}

void MaskText(QString &text, const QString &mask)
{
    if (text.isEmpty())
        return;
    const qsizetype first = mask.indexOf(QLatin1Char('*'));
    if (first < 0)
        return;
    const qsizetype last = mask.lastIndexOf(QLatin1Char('*'));
    for (qsizetype p = first; p <= last; ++p) { // p counts from 0 here
        if (mask.at(p) != QLatin1Char('*'))
            continue;
        if (p < text.size())
            text[p] = QLatin1Char('*');
        else
            text.append(QLatin1Char('*'));
    }
}

QString DisplayText(const QString &number, qint64 length, const QString &mask)
{
    QString text = number;
    FixLength(text, length);
    MaskText(text, mask);
    return text;
}

} // namespace tombolix::draw
