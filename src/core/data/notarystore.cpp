#include "data/notarystore.h"

#include "common/canonicaljson.h"
#include "common/notary.h"
#include "data/database.h"
#include "data/storesupport.h"

#include <QDateTime>
#include <QJsonDocument>

namespace tombolix::data {

namespace {

// Lists kept by this version start with this line; older ones hold number
// US name RS per entrant without an ID.
const QByteArray ListWithIds = QByteArrayLiteral("TOMBOLIX-LIST-2\n");

struct LastEntry
{
    qint64 sequence = 0;
    QString hash;
};

std::optional<LastEntry> lastEntry(Database &db, qint64 drawId)
{
    Recordset last = db.select(
        QStringLiteral("SELECT 序号, 哈希 FROM 公证记录表 WHERE CID=? ORDER BY 序号 DESC LIMIT 1"),
        { drawId });
    if (!last.isOpen())
        return std::nullopt;
    LastEntry entry { 0, notary::GenesisHash() };
    if (!last.eof()) {
        entry.sequence = last.field(0).toLongLong();
        entry.hash = last.field(1).toString();
    }
    CloseRecordset(last);
    return entry;
}

bool insertEntry(Database &db, qint64 drawId, qint64 sequence, const QString &type, const QString &time,
    const QString &content, const QString &previous, const QString &hash)
{
    return db.execute(QStringLiteral("INSERT INTO 公证记录表 (CID, 序号, 类型, 时间, 内容, 前哈希, 哈希) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?)"),
        { drawId, sequence, type, time, content, previous, hash });
}

} // namespace

KeptList::KeptList(QByteArray text)
    : m_text(std::move(text))
{
    qsizetype start = 0;
    if (m_text.startsWith(ListWithIds)) {
        m_hasIds = true;
        start = ListWithIds.size();
    }
    const qsizetype size = m_text.size();
    while (start < size) {
        qsizetype end = m_text.indexOf('\x1e', start);
        if (end < 0)
            end = size;
        Row row;
        qsizetype field = start;
        if (m_hasIds) {
            const qsizetype unit = m_text.indexOf('\x1f', start);
            if (unit < 0 || unit > end)
                break;
            row.id = QByteArrayView(m_text.constData() + start, unit - start).toLongLong();
            field = unit + 1;
        }
        const qsizetype unit = m_text.indexOf('\x1f', field);
        if (unit < 0 || unit > end) {
            row.number = field;
            row.numberLength = end - field;
            row.name = end;
        } else {
            row.number = field;
            row.numberLength = unit - field;
            row.name = unit + 1;
            row.nameLength = end - unit - 1;
        }
        m_rows.push_back(row);
        start = end + 1;
    }
}

QByteArray KeptList::encode(const std::function<bool(qint64 &, QStringView &, QStringView &)> &next)
{
    QByteArray text = ListWithIds;
    qint64 id = 0;
    QStringView number;
    QStringView name;
    while (next(id, number, name)) {
        text += QByteArray::number(id);
        text += '\x1f';
        text += number.toUtf8();
        text += '\x1f';
        text += name.toUtf8();
        text += '\x1e';
    }
    return text;
}

QByteArrayView KeptList::number(qsizetype row) const
{
    const Row &r = m_rows[size_t(row)];
    return QByteArrayView(m_text.constData() + r.number, r.numberLength);
}

QByteArrayView KeptList::name(qsizetype row) const
{
    const Row &r = m_rows[size_t(row)];
    return QByteArrayView(m_text.constData() + r.name, r.nameLength);
}

std::optional<NotarySeed> NotaryStore::seedOf(qint64 drawId)
{
    Recordset rs = m_db.select(
        QStringLiteral("SELECT 种子, 承诺, 公证码, 已公开 FROM 公证种子表 WHERE CID=?"), { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    NotarySeed seed;
    if (!rs.eof()) {
        seed.seed = QByteArray::fromHex(rs.field(0).toString().toLatin1());
        seed.commitment = rs.field(1).toString();
        seed.code = rs.field(2).toString();
        seed.revealed = rs.field(3).toLongLong() != 0;
    }
    return seed;
}

bool NotaryStore::setSeed(qint64 drawId, const NotarySeed &seed)
{
    return m_db.execute(QStringLiteral("INSERT OR REPLACE INTO 公证种子表 (CID, 种子, 承诺, 公证码, 已公开) "
                                       "VALUES (?, ?, ?, ?, ?)"),
        { drawId, QString::fromLatin1(seed.seed.toHex()), seed.commitment, seed.code,
            seed.revealed ? 1 : 0 });
}

bool NotaryStore::markRevealed(qint64 drawId)
{
    return m_db.execute(QStringLiteral("UPDATE 公证种子表 SET 已公开=1 WHERE CID=?"), { drawId });
}

std::optional<QList<NotaryEntry>> NotaryStore::entries(qint64 drawId)
{
    Recordset rs = m_db.select(QStringLiteral("SELECT 序号, 类型, 时间, 内容, 前哈希, 哈希 FROM 公证记录表 "
                                              "WHERE CID=? ORDER BY 序号"),
        { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    QList<NotaryEntry> list;
    for (; !rs.eof(); rs.moveNext()) {
        list.append({ rs.field(0).toLongLong(), rs.field(1).toString(), rs.field(2).toString(),
            rs.field(3).toString(), rs.field(4).toString(), rs.field(5).toString() });
    }
    return list;
}

std::optional<QString> NotaryStore::firstType(qint64 drawId)
{
    Recordset rs = m_db.select(
        QStringLiteral("SELECT 类型 FROM 公证记录表 WHERE CID=? ORDER BY 序号 LIMIT 1"), { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    return rs.eof() ? QString() : rs.field(0).toString();
}

std::optional<NotaryEntry> NotaryStore::append(qint64 drawId, const QString &type, const QJsonObject &object)
{
    const QByteArray content = json::Canonical(object);
    const std::optional<LastEntry> last = lastEntry(m_db, drawId);
    if (!last)
        return std::nullopt;
    const qint64 sequence = last->sequence + 1;
    const QString time = notary::EntryTime();
    const QString hash = notary::EntryHash(last->hash, sequence, type, time, content);
    NotaryEntry entry { sequence, type, time, QString::fromUtf8(content), last->hash, hash };
    if (!insertEntry(m_db, drawId, sequence, type, time, entry.content, last->hash, hash))
        return std::nullopt;
    return entry;
}

bool NotaryStore::appendV1(qint64 drawId, const QString &type, const QJsonObject &object)
{
    const QString content = QString::fromUtf8(json::Canonical(object));
    const std::optional<LastEntry> last = lastEntry(m_db, drawId);
    if (!last)
        return false;
    const qint64 sequence = last->sequence + 1;
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    return insertEntry(m_db, drawId, sequence, type, time, content, last->hash,
        notary::v1::EntryHash(last->hash, sequence, type, time, content));
}

std::optional<bool> NotaryStore::hasList(qint64 drawId, const QString &fingerprint)
{
    Recordset rs = m_db.select(
        QStringLiteral("SELECT 1 FROM 公证名单表 WHERE CID=? AND 指纹=?"), { drawId, fingerprint });
    if (!rs.isOpen())
        return std::nullopt;
    return !rs.eof();
}

bool NotaryStore::keepList(qint64 drawId, const QString &fingerprint, const QByteArray &text)
{
    return m_db.execute(QStringLiteral("INSERT OR IGNORE INTO 公证名单表 (CID, 指纹, 名单) VALUES (?, ?, ?)"),
        { drawId, fingerprint, qCompress(text, 1) });
}

std::optional<KeptList> NotaryStore::list(qint64 drawId, const QString &fingerprint)
{
    Recordset rs = m_db.select(
        QStringLiteral("SELECT 名单 FROM 公证名单表 WHERE CID=? AND 指纹=?"), { drawId, fingerprint });
    if (!rs.isOpen() || rs.eof())
        return std::nullopt;
    return KeptList(qUncompress(rs.field(0).toByteArray()));
}

bool NotaryStore::deleteForDraw(qint64 drawId)
{
    return deleteWhere(m_db, QStringLiteral("公证种子表"), QStringLiteral("CID"), drawId)
        && deleteWhere(m_db, QStringLiteral("公证记录表"), QStringLiteral("CID"), drawId)
        && deleteWhere(m_db, QStringLiteral("公证名单表"), QStringLiteral("CID"), drawId);
}

} // namespace tombolix::data
