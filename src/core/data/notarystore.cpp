#include "data/notarystore.h"

#include "common/notary.h"
#include "data/database.h"

#include <QDateTime>
#include <QJsonDocument>

namespace tombolix::data {

std::optional<NotarySeed> NotaryStore::seedOf(qint64 drawId)
{
    Recordset rs = OpenRecordset(
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
    return ExecuteSql(QStringLiteral("INSERT OR REPLACE INTO 公证种子表 (CID, 种子, 承诺, 公证码, 已公开) "
                                     "VALUES (?, ?, ?, ?, ?)"),
        { drawId, QString::fromLatin1(seed.seed.toHex()), seed.commitment, seed.code,
            seed.revealed ? 1 : 0 });
}

bool NotaryStore::markRevealed(qint64 drawId)
{
    return ExecuteSql(QStringLiteral("UPDATE 公证种子表 SET 已公开=1 WHERE CID=?"), { drawId });
}

std::optional<QList<NotaryEntry>> NotaryStore::entries(qint64 drawId)
{
    Recordset rs = OpenRecordset(QStringLiteral("SELECT 序号, 类型, 时间, 内容, 前哈希, 哈希 FROM 公证记录表 "
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

bool NotaryStore::append(qint64 drawId, const QString &type, const QJsonObject &object)
{
    const QString content = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    Recordset last = OpenRecordset(
        QStringLiteral("SELECT 序号, 哈希 FROM 公证记录表 WHERE CID=? ORDER BY 序号 DESC LIMIT 1"),
        { drawId });
    if (!last.isOpen())
        return false;
    qint64 sequence = 1;
    QString previous = notary::GenesisHash();
    if (!last.eof()) {
        sequence = last.field(0).toLongLong() + 1;
        previous = last.field(1).toString();
    }
    CloseRecordset(last);
    const QString time = QDateTime::currentDateTime().toString(Qt::ISODate);
    const QString hash = notary::EntryHash(previous, sequence, type, time, content);
    return ExecuteSql(QStringLiteral("INSERT INTO 公证记录表 (CID, 序号, 类型, 时间, 内容, 前哈希, 哈希) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?)"),
        { drawId, sequence, type, time, content, previous, hash });
}

std::optional<bool> NotaryStore::hasList(qint64 drawId, const QString &fingerprint)
{
    Recordset rs = OpenRecordset(
        QStringLiteral("SELECT 1 FROM 公证名单表 WHERE CID=? AND 指纹=?"), { drawId, fingerprint });
    if (!rs.isOpen())
        return std::nullopt;
    return !rs.eof();
}

bool NotaryStore::keepList(qint64 drawId, const QString &fingerprint, const QByteArray &text)
{
    return ExecuteSql(QStringLiteral("INSERT OR IGNORE INTO 公证名单表 (CID, 指纹, 名单) VALUES (?, ?, ?)"),
        { drawId, fingerprint, qCompress(text) });
}

std::optional<QHash<QString, QByteArray>> NotaryStore::lists(qint64 drawId)
{
    Recordset rs = OpenRecordset(QStringLiteral("SELECT 指纹, 名单 FROM 公证名单表 WHERE CID=?"), { drawId });
    if (!rs.isOpen())
        return std::nullopt;
    QHash<QString, QByteArray> lists;
    for (; !rs.eof(); rs.moveNext())
        lists.insert(rs.field(0).toString(), qUncompress(rs.field(1).toByteArray()));
    return lists;
}

} // namespace tombolix::data
