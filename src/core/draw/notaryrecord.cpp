#include "draw/notaryrecord.h"

#include "common/notary.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/notarystore.h"
#include "data/resultstore.h"
#include "draw/entrantpool.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <algorithm>

namespace tombolix::draw {

bool RevealSeed(qint64 drawId)
{
    const std::optional<data::NotarySeed> stored = data::NotaryStore::seedOf(drawId);
    if (!stored || stored->seed.isEmpty())
        return false;
    if (stored->revealed)
        return true;
    data::Transaction transaction;
    return transaction.isActive()
        && data::NotaryStore::append(drawId, QStringLiteral("reveal"),
            QJsonObject { { QStringLiteral("seed"), notary::Hex(stored->seed) } })
        && data::NotaryStore::markRevealed(drawId) && transaction.commit();
}

std::optional<QJsonObject> ExportRecord(qint64 drawId)
{
    const std::optional<data::DrawRecord> draw = data::DrawStore::load(drawId);
    const std::optional<QList<data::NotaryEntry>> entries = data::NotaryStore::entries(drawId);
    const std::optional<QList<data::ResultRecord>> results = data::ResultStore::forDraw(drawId);
    const std::optional<QHash<QString, QByteArray>> kept = data::NotaryStore::lists(drawId);
    if (!draw || !entries || !results || !kept)
        return std::nullopt;
    EntrantPool pool;
    LoadEntrantPool(pool, drawId);
    QJsonArray entrants;
    notary::Fingerprint fingerprint;
    for (qsizetype i = 1; i <= pool.size(); ++i) {
        entrants.append(QJsonArray { pool.number(i), pool.name(i) });
        fingerprint.add(pool.numberView(i), pool.nameView(i));
    }
    // The lists earlier commitments were made to, when the list changed since.
    const QString current = fingerprint.result();
    QJsonObject earlier;
    for (auto it = kept->cbegin(); it != kept->cend(); ++it) {
        if (it.key() == current)
            continue;
        QJsonArray list;
        for (const auto &[number, name] : notary::ListRows(*it))
            list.append(QJsonArray { number, name });
        earlier.insert(it.key(), list);
    }
    QJsonArray chain;
    for (const data::NotaryEntry &entry : *entries) {
        chain.append(QJsonObject { { QStringLiteral("sequence"), entry.sequence },
            { QStringLiteral("type"), entry.type }, { QStringLiteral("time"), entry.time },
            { QStringLiteral("content"), entry.content }, { QStringLiteral("previous"), entry.previous },
            { QStringLiteral("hash"), entry.hash } });
    }
    QJsonArray stored;
    for (const data::ResultRecord &result : *results) {
        stored.append(QJsonObject { { QStringLiteral("id"), result.id },
            { QStringLiteral("award"), result.awardId },
            { QStringLiteral("number"), result.number.trimmed() }, { QStringLiteral("name"), result.name } });
    }
    QJsonObject record { { QStringLiteral("format"), QLatin1String(RecordFormat) },
        { QStringLiteral("rule"), QLatin1String(notary::Rule) },
        { QStringLiteral("draw"),
            QJsonObject { { QStringLiteral("id"), drawId }, { QStringLiteral("name"), draw->name } } },
        { QStringLiteral("entrants"), entrants }, { QStringLiteral("entries"), chain },
        { QStringLiteral("results"), stored } };
    if (!earlier.isEmpty())
        record.insert(QStringLiteral("earlierLists"), earlier);
    return record;
}

namespace {

QString fingerprintOf(const EntrantList &rows)
{
    notary::Fingerprint fingerprint;
    for (const auto &[number, name] : rows)
        fingerprint.add(number, name);
    return fingerprint.result();
}

EntrantList sorted(EntrantList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

// The list file against the committed entrants: the same people, in the same
// order or in another; else the first person on one and not on the other.
std::optional<QString> compareList(EntrantList given, const EntrantList &entrants, QStringList *summary)
{
    const EntrantList committed = sorted(entrants);
    // A header row of names other than ours above the list is no entrant.
    if (given.size() == entrants.size() + 1 && sorted(given.mid(1)) == committed)
        given.removeFirst();
    if (given == entrants) {
        *summary << QStringLiteral("名单文件与承诺时的名单一致（%1 人）").arg(given.size());
        return std::nullopt;
    }
    const EntrantList offered = sorted(given);
    if (offered == committed) {
        *summary << QStringLiteral(
            "名单文件与承诺时的名单人员一致（%1 人），排列顺序不同；中奖者按记录中的录入顺序算出")
                        .arg(given.size());
        return std::nullopt;
    }
    const QString problem = QStringLiteral("名单文件与承诺时的名单不符（名单文件 %1 人，承诺时 %2 人）：%3");
    // Both sorted: walk them side by side to the first difference.
    qsizetype a = 0;
    qsizetype b = 0;
    while (a < offered.size() && b < committed.size() && offered.at(a) == committed.at(b)) {
        ++a;
        ++b;
    }
    const QString detail = b < committed.size() && (a == offered.size() || committed.at(b) < offered.at(a))
        ? QStringLiteral("承诺时名单中的 %1 %2 不在名单文件中")
              .arg(committed.at(b).first, committed.at(b).second)
        : QStringLiteral("名单文件中的 %1 %2 不在承诺时的名单中")
              .arg(offered.at(a).first, offered.at(a).second);
    return problem.arg(given.size()).arg(entrants.size()).arg(detail);
}

EntrantList listOf(const QJsonArray &rows)
{
    EntrantList list;
    for (const QJsonValue &each : rows) {
        const QJsonArray pair = each.toArray();
        list.append({ pair.at(0).toString(), pair.at(1).toString() });
    }
    return list;
}

QString entryName(qsizetype index, const QString &type)
{
    return QStringLiteral("第%1条记录（%2）").arg(index + 1).arg(type);
}

} // namespace

EntrantList EntrantListOfRows(const QList<QStringList> &rows)
{
    qsizetype first = 0;
    qsizetype numberColumn = 0;
    qsizetype nameColumn = 1;
    for (qsizetype r = 0; r < std::min<qsizetype>(rows.size(), 5); ++r) {
        const QStringList &row = rows.at(r);
        qsizetype found = -1;
        for (qsizetype c = 0; c < row.size() && found < 0; ++c) {
            const QString caption = row.at(c).trimmed();
            if (caption == QStringLiteral("抽奖号码") || caption == QStringLiteral("号码"))
                found = c;
        }
        if (found < 0)
            continue;
        first = r + 1;
        numberColumn = found;
        const qsizetype name = row.indexOf(QStringLiteral("姓名"));
        nameColumn = name >= 0 ? name : found + 1;
        break;
    }
    EntrantList list;
    for (qsizetype r = first; r < rows.size(); ++r) {
        const QString number = rows.at(r).value(numberColumn).trimmed();
        if (!number.isEmpty())
            list.append({ number, rows.at(r).value(nameColumn) });
    }
    return list;
}

Verification VerifyRecord(const QJsonObject &record, const std::optional<EntrantList> &list)
{
    Verification result;
    auto fail = [&result](const QString &problem) {
        result.passed = false;
        result.problem = problem;
        return result;
    };
    if (record.value(QLatin1String("format")).toString() != QLatin1String(RecordFormat)
        || record.value(QLatin1String("rule")).toString() != QLatin1String(notary::Rule))
        return fail(
            QStringLiteral("不是澄曜抽奖软件的公证记录（格式应为 %1）").arg(QLatin1String(RecordFormat)));

    const EntrantList entrants = listOf(record.value(QLatin1String("entrants")).toArray());
    const QString listPrint = fingerprintOf(entrants);
    const QJsonObject earlierLists = record.value(QLatin1String("earlierLists")).toObject();

    // The chain: every entry follows the one before it, unaltered.
    const QJsonArray chain = record.value(QLatin1String("entries")).toArray();
    QString previous = notary::GenesisHash();
    for (qsizetype i = 0; i < chain.size(); ++i) {
        const QJsonObject entry = chain.at(i).toObject();
        const QString type = entry.value(QLatin1String("type")).toString();
        if (entry.value(QLatin1String("sequence")).toInteger() != i + 1)
            return fail(QStringLiteral("%1的序号应为 %2").arg(entryName(i, type)).arg(i + 1));
        if (entry.value(QLatin1String("previous")).toString() != previous)
            return fail(QStringLiteral("%1的前一条哈希应为 %2").arg(entryName(i, type), previous));
        const QString hash = notary::EntryHash(previous, i + 1, type,
            entry.value(QLatin1String("time")).toString(), entry.value(QLatin1String("content")).toString());
        if (entry.value(QLatin1String("hash")).toString() != hash)
            return fail(QStringLiteral("%1已被改动：其哈希应为 %2").arg(entryName(i, type), hash));
        previous = hash;
    }

    // Each commitment's seed, revealed by the entry that gave it up.
    QList<QJsonObject> contents;
    for (const QJsonValue &each : chain)
        contents.append(
            QJsonDocument::fromJson(each.toObject().value(QLatin1String("content")).toString().toUtf8())
                .object());
    QHash<qsizetype, QByteArray> seedOf; // index of an "entered" entry → its seed
    qsizetype open = -1;
    for (qsizetype i = 0; i < chain.size(); ++i) {
        const QString type = chain.at(i).toObject().value(QLatin1String("type")).toString();
        if (type == QLatin1String("entered")) {
            open = i;
        } else if ((type == QLatin1String("restart") || type == QLatin1String("reveal")) && open >= 0
            && contents.at(i).contains(QLatin1String("seed"))) {
            const QByteArray seed
                = QByteArray::fromHex(contents.at(i).value(QLatin1String("seed")).toString().toLatin1());
            const QString commitment = contents.at(open).value(QLatin1String("commitment")).toString();
            if (notary::Commitment(seed) != commitment)
                return fail(QStringLiteral("%1公开的种子与第%2条记录的承诺 %3 不符")
                                .arg(entryName(i, type))
                                .arg(open + 1)
                                .arg(commitment));
            seedOf.insert(open, seed);
            open = -1;
        }
    }

    // The draw replayed: every round's winners recomputed from its seed.
    EntrantPool pool;
    QHash<qint64, bool> repeatOf; // the awards of the commitment in force
    QHash<qint64, qint64> roundsOf;
    QHash<qint64, QJsonObject> standing; // result id → the win it names
    QByteArray seed;
    QString lastPrint;
    qint64 rounds = 0;
    qint64 withdrawals = 0;
    bool committed = false;
    for (qsizetype i = 0; i < chain.size(); ++i) {
        const QString type = chain.at(i).toObject().value(QLatin1String("type")).toString();
        const QJsonObject &content = contents.at(i);
        if (type == QLatin1String("entered")) {
            committed = true;
            seed = seedOf.value(i);
            lastPrint = content.value(QLatin1String("fingerprint")).toString();
            const QJsonObject drawInfo = record.value(QLatin1String("draw")).toObject();
            if (content.value(QLatin1String("name")).toString()
                    != drawInfo.value(QLatin1String("name")).toString()
                || content.value(QLatin1String("draw")).toInteger()
                    != drawInfo.value(QLatin1String("id")).toInteger())
                return fail(QStringLiteral("%1承诺的是抽奖“%2”")
                                .arg(entryName(i, type), content.value(QLatin1String("name")).toString()));
            // The list committed to: the record's own, or one it changed from.
            const EntrantList committedList
                = lastPrint == listPrint ? entrants : listOf(earlierLists.value(lastPrint).toArray());
            if (fingerprintOf(committedList) != lastPrint)
                return fail(
                    QStringLiteral("%1承诺的名单（指纹 %2）不在记录中").arg(entryName(i, type), lastPrint));
            if (content.value(QLatin1String("entrants")).toInteger() != committedList.size())
                return fail(
                    QStringLiteral("%1的人数应为 %2").arg(entryName(i, type)).arg(committedList.size()));
            pool.clear();
            for (qsizetype e = 0; e < committedList.size(); ++e)
                pool.append(e + 1, committedList.at(e).first, committedList.at(e).second);
            repeatOf.clear();
            QList<notary::CommittedAward> awards;
            for (const QJsonValue &each : content.value(QLatin1String("awards")).toArray()) {
                const QJsonObject award = each.toObject();
                awards.append({ award.value(QLatin1String("id")).toInteger(),
                    award.value(QLatin1String("order")).toInteger(),
                    award.value(QLatin1String("name")).toString(),
                    award.value(QLatin1String("prize")).toString(),
                    award.value(QLatin1String("count")).toInteger(),
                    award.value(QLatin1String("perRound")).toInteger(),
                    award.value(QLatin1String("repeat")).toBool() });
                repeatOf.insert(awards.constLast().id, awards.constLast().repeat);
            }
            const QString digest = notary::AwardsDigest(awards);
            if (content.value(QLatin1String("awardsDigest")).toString() != digest)
                return fail(QStringLiteral("%1的奖项摘要应为 %2").arg(entryName(i, type), digest));
            const QString code = notary::NotaryCode(
                content.value(QLatin1String("commitment")).toString(), lastPrint, digest);
            if (content.value(QLatin1String("code")).toString() != code)
                return fail(
                    QStringLiteral("%1的公证码应为 %2").arg(entryName(i, type), notary::GroupedCode(code)));
            for (qsizetype p = 1; p <= pool.size(); ++p)
                pool.setShow(p, QStringLiteral("#"));
            for (const QJsonValue &each : content.value(QLatin1String("excluded")).toArray())
                pool.makeIneligible(each.toInteger());
            result.summary << QStringLiteral("公证码 %1：承诺 %2，名单 %3 人，指纹 %4")
                                  .arg(notary::GroupedCode(code),
                                      content.value(QLatin1String("commitment")).toString())
                                  .arg(committedList.size())
                                  .arg(lastPrint);
        } else if (type == QLatin1String("round")) {
            if (!committed)
                return fail(QStringLiteral("%1之前没有承诺").arg(entryName(i, type)));
            if (seed.isEmpty())
                return fail(QStringLiteral("%1的种子尚未公开，无法验证").arg(entryName(i, type)));
            const qint64 award = content.value(QLatin1String("award")).toInteger();
            const qint64 round = content.value(QLatin1String("round")).toInteger();
            if (!repeatOf.contains(award))
                return fail(
                    QStringLiteral("%1的奖项 %2 不在承诺的奖项中").arg(entryName(i, type)).arg(award));
            if (round != roundsOf.value(award) + 1)
                return fail(QStringLiteral("%1应为该奖项的第%2轮")
                                .arg(entryName(i, type))
                                .arg(roundsOf.value(award) + 1));
            roundsOf[award] = round;
            if (content.value(QLatin1String("eligible")).toInteger() != pool.eligibleCount())
                return fail(QStringLiteral("%1抽奖时可抽人数应为 %2")
                                .arg(entryName(i, type))
                                .arg(pool.eligibleCount()));
            const QJsonArray winners = content.value(QLatin1String("winners")).toArray();
            notary::DerivedStream stream(seed, award, round);
            const std::vector<qsizetype> picks = pool.pickInOrder(winners.size(), stream);
            if (qsizetype(picks.size()) != winners.size())
                return fail(QStringLiteral("%1的中奖人数多于可抽人数").arg(entryName(i, type)));
            for (qsizetype w = 0; w < winners.size(); ++w) {
                const QJsonObject winner = winners.at(w).toObject();
                const qsizetype position = picks[size_t(w)];
                if (winner.value(QLatin1String("position")).toInteger() != position
                    || winner.value(QLatin1String("number")).toString() != pool.number(position)
                    || winner.value(QLatin1String("name")).toString() != pool.name(position))
                    return fail(QStringLiteral("%1的第%2名中奖者应为第%3号名单（%4 %5）")
                                    .arg(entryName(i, type))
                                    .arg(w + 1)
                                    .arg(position)
                                    .arg(pool.number(position), pool.name(position)));
            }
            for (qsizetype w = 0; w < winners.size(); ++w) {
                const QJsonObject winner = winners.at(w).toObject();
                if (winner.value(QLatin1String("result")).isNull())
                    continue; // refused by the database: the entrant stays in the draw
                standing.insert(winner.value(QLatin1String("result")).toInteger(),
                    QJsonObject { { QStringLiteral("award"), award },
                        { QStringLiteral("number"), winner.value(QLatin1String("number")) },
                        { QStringLiteral("name"), winner.value(QLatin1String("name")) } });
                if (!repeatOf.value(award))
                    pool.makeIneligible(picks[size_t(w)]);
            }
            ++rounds;
        } else if (type == QLatin1String("withdrawal")) {
            const qint64 id = content.value(QLatin1String("result")).toInteger();
            if (committed && !standing.contains(id))
                return fail(
                    QStringLiteral("%1撤销的结果 %2 不是记录中的中奖结果").arg(entryName(i, type)).arg(id));
            standing.remove(id);
            RemoveWinners(pool,
                { { content.value(QLatin1String("number")).toString(),
                    content.value(QLatin1String("name")).toString() } });
            ++withdrawals;
        } else if (type == QLatin1String("reveal")) {
            seed.clear();
        } else if (type == QLatin1String("restart") && content.value(QLatin1String("cleared")).toBool()) {
            standing.clear(); // 重新开始 deleted the draw's results
        }
    }

    // The results table as it stands: exactly the wins the record leaves.
    QSet<qint64> seen;
    for (const QJsonValue &each : record.value(QLatin1String("results")).toArray()) {
        const QJsonObject stored = each.toObject();
        const qint64 id = stored.value(QLatin1String("id")).toInteger();
        const QJsonObject expected = standing.value(id);
        if (expected.isEmpty()
            || expected.value(QLatin1String("award")).toInteger()
                != stored.value(QLatin1String("award")).toInteger()
            || expected.value(QLatin1String("number")).toString()
                != stored.value(QLatin1String("number")).toString()
            || expected.value(QLatin1String("name")).toString()
                != stored.value(QLatin1String("name")).toString())
            return fail(QStringLiteral("结果表中的结果 %1（%2 %3）与记录不符")
                            .arg(id)
                            .arg(stored.value(QLatin1String("number")).toString(),
                                stored.value(QLatin1String("name")).toString()));
        seen.insert(id);
    }
    for (auto it = standing.cbegin(); it != standing.cend(); ++it) {
        if (!seen.contains(it.key()))
            return fail(QStringLiteral("记录中的中奖结果 %1（%2 %3）已不在结果表中")
                            .arg(it.key())
                            .arg(it->value(QLatin1String("number")).toString(),
                                it->value(QLatin1String("name")).toString()));
    }

    if (list) {
        const std::optional<QString> problem = compareList(*list, entrants, &result.summary);
        if (problem)
            return fail(*problem);
    }
    result.summary
        << QStringLiteral("记录 %1 条，哈希链完整，最后一条哈希 %2").arg(chain.size()).arg(previous);
    result.summary << QStringLiteral(
        "%1 轮抽奖的中奖者全部由种子重新算出一致，撤销 %2 次，结果表 %3 条与记录相符")
                          .arg(rounds)
                          .arg(withdrawals)
                          .arg(seen.size());
    result.passed = true;
    return result;
}

} // namespace tombolix::draw
