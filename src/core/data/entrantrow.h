#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tombolix::data {

// One entrant as it travels between a list on screen, a file being imported
// and 号码表: its number and name, the values of its further columns (in the
// order of the names the writer is given with them), the ID it is stored
// under, and whether that record still has to be written.
struct EntrantRow
{
    // New: not stored yet, key is 0. Changed: stored under key, edited
    // since. Saved: stored under key as it stands.
    enum class State
    {
        New,
        Changed,
        Saved,
    };

    qint64 key = 0;
    QString number;
    QString name;
    QStringList attributes;
    State state = State::New;
};

} // namespace tombolix::data
