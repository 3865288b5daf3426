#pragma once

#include "data/database.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// The checkable draw's own tables: a draw's seed with its commitment, its
// chained record, to which entries are only ever appended, and the entrant
// lists its commitments were made to.
namespace tombolix::data {

struct NotarySeed
{
    QByteArray seed; // empty: the draw has none yet
    QString commitment;
    QString code; // the 公证码 (ungrouped); for rule v2 the commit entry's hash
    bool revealed = false;
};

struct NotaryEntry
{
    qint64 sequence = 0;
    QString type;
    QString time;
    QString content; // canonical JSON
    QString previous;
    QString hash;
};

// A kept entrant list: per entrant its ID (0 in lists kept by version 1.12),
// number and name, in the draw's order.
class KeptList
{
public:
    KeptList() = default;
    explicit KeptList(QByteArray text);
    static QByteArray encode(
        const std::function<bool(qint64 &id, QStringView &number, QStringView &name)> &next);

    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool hasIds() const { return m_hasIds; }
    qint64 id(qsizetype row) const { return m_rows[size_t(row)].id; }
    QByteArrayView number(qsizetype row) const;
    QByteArrayView name(qsizetype row) const;

private:
    struct Row
    {
        qint64 id = 0;
        qsizetype number = 0, numberLength = 0, name = 0, nameLength = 0;
    };
    QByteArray m_text;
    std::vector<Row> m_rows;
    bool m_hasIds = false;
};

class NotaryStore
{
public:
    // The store of the database given, the run database unless another is.
    explicit NotaryStore(Database &db = Database::run())
        : m_db(db)
    { }

    // Nothing when the table cannot be read.
    std::optional<NotarySeed> seedOf(qint64 drawId);
    [[nodiscard]] bool setSeed(qint64 drawId, const NotarySeed &seed);
    [[nodiscard]] bool markRevealed(qint64 drawId);

    std::optional<QList<NotaryEntry>> entries(qint64 drawId);
    // The type of the draw's first entry: "" when it has no record yet,
    // "entered" for a record of version 1.12; nothing when unreadable.
    std::optional<QString> firstType(qint64 drawId);
    // Appends an entry of rule v2 after the draw's last one, chained to it,
    // its content written as canonical JSON. Meant to run inside the
    // caller's transaction, with the change it records. The entry written,
    // or nothing when the database refused.
    std::optional<NotaryEntry> append(qint64 drawId, const QString &type, const QJsonObject &content);
    // The same in the form of rule v1, for the reveal that closes a record of
    // version 1.12.
    [[nodiscard]] bool appendV1(qint64 drawId, const QString &type, const QJsonObject &content);

    // The entrant lists the draw's commitments were made to, one per
    // fingerprint.
    std::optional<bool> hasList(qint64 drawId, const QString &fingerprint);
    [[nodiscard]] bool keepList(qint64 drawId, const QString &fingerprint, const QByteArray &text);
    std::optional<KeptList> list(qint64 drawId, const QString &fingerprint);

    // The draw's seed, record and lists, inside the caller's transaction.
    [[nodiscard]] bool deleteForDraw(qint64 drawId);

private:
    Database &m_db;
};

} // namespace tombolix::data
