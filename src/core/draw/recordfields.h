#pragma once

#include "draw/recordreplay.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <initializer_list>
#include <limits>
#include <utility>

// The members of a record entry's content, as the replay reads them.
namespace tombolix::draw::record {

// Whether the object has these members and no other.
bool hasExactly(const QJsonObject &object, std::initializer_list<const char *> names);

inline bool isInteger(const QJsonValue &value, qint64 least = std::numeric_limits<qint64>::min())
{
    return value.isDouble() && value.toInteger() >= least;
}

inline qint64 integer(const QJsonObject &object, const char *name)
{
    return object.value(QLatin1String(name)).toInteger();
}

inline QString text(const QJsonObject &object, const char *name)
{
    return object.value(QLatin1String(name)).toString();
}

// Whether every member named has the type: 's' string, 'i' integer, 'p'
// positive integer, 'n' integer of at least 0, 'b' boolean, 'h' hash,
// 'a' array, 'o' object.
bool typed(const QJsonObject &object, std::initializer_list<std::pair<const char *, char>> members);

// The problem of an entry whose content is not of its type's form.
QString form(qsizetype index, const QString &type);

inline Problem problem(int check, const QString &text)
{
    return Problem { check, text };
}

} // namespace tombolix::draw::record
