#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// The checkable draw's own tables: a draw's seed with its commitment, and its
// chained record, to which entries are only ever appended.
namespace tombolix::data {

struct NotarySeed
{
    QByteArray seed; // empty: the draw has none yet
    QString commitment;
    QString code; // the 公证码, ungrouped
    bool revealed = false;
};

struct NotaryEntry
{
    qint64 sequence = 0;
    QString type;
    QString time;
    QString content; // compact JSON
    QString previous;
    QString hash;
};

class NotaryStore
{
public:
    // Nothing when the table cannot be read.
    static std::optional<NotarySeed> seedOf(qint64 drawId);
    static bool setSeed(qint64 drawId, const NotarySeed &seed);
    static bool markRevealed(qint64 drawId);

    static std::optional<QList<NotaryEntry>> entries(qint64 drawId);
    // Appends an entry after the draw's last one, chained to it, its content
    // written as compact JSON. Meant to run inside the caller's transaction,
    // with the change it records.
    static bool append(qint64 drawId, const QString &type, const QJsonObject &content);

    // The entrant lists the draw's commitments were made to, one per
    // fingerprint: number US name RS per entrant, UTF-8 (see ListText).
    static std::optional<bool> hasList(qint64 drawId, const QString &fingerprint);
    static bool keepList(qint64 drawId, const QString &fingerprint, const QByteArray &text);
    // Every kept list of the draw by its fingerprint; nothing when unreadable.
    static std::optional<QHash<QString, QByteArray>> lists(qint64 drawId);
};

} // namespace tombolix::data
