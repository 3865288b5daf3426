#include "draw/notaryrecord.h"

#include "common/canonicaljson.h"
#include "common/notary.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/notarystore.h"
#include "data/resultstore.h"
#include "draw/entrantpool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tombolix::draw {

namespace {

void appendPair(QByteArray &out, QByteArrayView number, QByteArrayView name)
{
    out += '[';
    json::AppendString(out, number);
    out += ',';
    json::AppendString(out, name);
    out += ']';
}

void appendFullList(QByteArray &out, const data::KeptList &list)
{
    out += "{\"entrants\":[";
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0)
            out += ',';
        appendPair(out, list.number(i), list.name(i));
    }
    out += "]}";
}

// The list after, as changes to the list before when the entrants' IDs
// allow it (new entrants come at the end, as the draw keeps them); else
// in full.
void appendList(QByteArray &out, const data::KeptList *before, const data::KeptList &after)
{
    if (!before || !before->hasIds() || !after.hasIds()) {
        appendFullList(out, after);
        return;
    }
    QByteArray added;
    QByteArray changed;
    QByteArray removed;
    qsizetype i = 0;
    qsizetype j = 0;
    auto comma = [](QByteArray &list) {
        if (!list.isEmpty())
            list += ',';
    };
    while (i < before->size() && j < after.size()) {
        if (before->id(i) == after.id(j)) {
            if (before->number(i) != after.number(j) || before->name(i) != after.name(j)) {
                comma(changed);
                changed += '[' + QByteArray::number(i + 1) + ',';
                json::AppendString(changed, after.number(j));
                changed += ',';
                json::AppendString(changed, after.name(j));
                changed += ']';
            }
            ++i;
            ++j;
        } else if (before->id(i) < after.id(j)) {
            comma(removed);
            removed += QByteArray::number(i + 1);
            ++i;
        } else {
            appendFullList(out, after); // one put between the others
            return;
        }
    }
    for (; i < before->size(); ++i) {
        comma(removed);
        removed += QByteArray::number(i + 1);
    }
    for (; j < after.size(); ++j) {
        comma(added);
        appendPair(added, after.number(j), after.name(j));
    }
    out += "{\"added\":[" + added + "],\"changed\":[" + changed + "],\"removed\":[" + removed + "]}";
}

std::optional<QByteArray> exportV1(qint64 drawId, const data::DrawRecord &draw,
    const QList<data::NotaryEntry> &entries, const QList<data::ResultRecord> &results)
{
    EntrantPool pool;
    LoadEntrantPool(pool, drawId);
    QJsonArray entrants;
    notary::v1::Fingerprint fingerprint;
    for (qsizetype i = 1; i <= pool.size(); ++i) {
        entrants.append(QJsonArray { pool.number(i), pool.name(i) });
        fingerprint.add(pool.numberView(i), pool.nameView(i));
    }
    const QString current = fingerprint.result();
    QJsonObject earlier;
    for (const data::NotaryEntry &entry : entries) {
        if (entry.type != QLatin1String("entered"))
            continue;
        const QString print = json::ParseCanonicalObject(entry.content.toUtf8())
                                  .value_or(QJsonObject {})
                                  .value(QLatin1String("fingerprint"))
                                  .toString();
        if (print == current || earlier.contains(print))
            continue;
        if (const std::optional<data::KeptList> kept = data::NotaryStore().list(drawId, print)) {
            QJsonArray list;
            for (qsizetype i = 0; i < kept->size(); ++i)
                list.append(
                    QJsonArray { QString::fromUtf8(kept->number(i)), QString::fromUtf8(kept->name(i)) });
            earlier.insert(print, list);
        }
    }
    QJsonArray chain;
    for (const data::NotaryEntry &entry : entries) {
        chain.append(QJsonObject { { QStringLiteral("sequence"), entry.sequence },
            { QStringLiteral("type"), entry.type }, { QStringLiteral("time"), entry.time },
            { QStringLiteral("content"), entry.content }, { QStringLiteral("previous"), entry.previous },
            { QStringLiteral("hash"), entry.hash } });
    }
    QJsonArray stored;
    for (const data::ResultRecord &result : results) {
        stored.append(QJsonObject { { QStringLiteral("id"), result.id },
            { QStringLiteral("award"), result.awardId },
            { QStringLiteral("number"), result.number.trimmed() }, { QStringLiteral("name"), result.name } });
    }
    QJsonObject record { { QStringLiteral("format"), QLatin1String(notary::RecordFormatV1) },
        { QStringLiteral("rule"), QLatin1String(notary::RuleV1) },
        { QStringLiteral("draw"),
            QJsonObject { { QStringLiteral("id"), drawId }, { QStringLiteral("name"), draw.name } } },
        { QStringLiteral("entrants"), entrants }, { QStringLiteral("entries"), chain },
        { QStringLiteral("results"), stored } };
    if (!earlier.isEmpty())
        record.insert(QStringLiteral("earlierLists"), earlier);
    return QJsonDocument(record).toJson();
}

} // namespace

bool RecordIsV1(qint64 drawId)
{
    const std::optional<QList<data::NotaryEntry>> entries = data::NotaryStore().entries(drawId);
    return entries && !entries->isEmpty() && entries->constFirst().type == QLatin1String("entered");
}

bool RevealSeed(qint64 drawId)
{
    const std::optional<data::NotarySeed> stored = data::NotaryStore().seedOf(drawId);
    if (!stored || stored->seed.isEmpty())
        return false;
    if (stored->revealed)
        return true;
    const QJsonObject content { { QStringLiteral("seed"), notary::Hex(stored->seed) } };
    data::Transaction transaction;
    const bool appended = RecordIsV1(drawId)
        ? data::NotaryStore().appendV1(drawId, QStringLiteral("reveal"), content)
        : data::NotaryStore().append(drawId, QStringLiteral("reveal"), content).has_value();
    return transaction.isActive() && appended && data::NotaryStore().markRevealed(drawId)
        && transaction.commit();
}

std::optional<QByteArray> ExportRecord(qint64 drawId)
{
    const std::optional<data::DrawRecord> draw = data::DrawStore().load(drawId);
    const std::optional<QList<data::NotaryEntry>> entries = data::NotaryStore().entries(drawId);
    const std::optional<QList<data::ResultRecord>> results = data::ResultStore().forDraw(drawId);
    if (!draw || !entries || !results || entries->isEmpty())
        return std::nullopt;
    if (entries->constFirst().type == QLatin1String("entered"))
        return exportV1(drawId, *draw, *entries, *results);

    // Members in the order of their names: draw, entries, format, lists,
    // results, rule.
    QByteArray out;
    out += "{\"draw\":";
    json::AppendCanonical(out, QJsonObject { { QStringLiteral("id"), drawId } });
    out += ",\"entries\":[";
    QStringList fingerprints; // of the commitments, in turn, each change once
    for (qsizetype i = 0; i < entries->size(); ++i) {
        const data::NotaryEntry &entry = entries->at(i);
        if (i > 0)
            out += ',';
        // The stored content is canonical already: its bytes go in as they are.
        out += "{\"content\":" + entry.content.toUtf8() + ",\"hash\":";
        json::AppendString(out, QStringView(entry.hash));
        out += ",\"previous\":";
        json::AppendString(out, QStringView(entry.previous));
        out += ",\"sequence\":" + QByteArray::number(entry.sequence) + ",\"time\":";
        json::AppendString(out, QStringView(entry.time));
        out += ",\"type\":";
        json::AppendString(out, QStringView(entry.type));
        out += '}';
        if (entry.type == QLatin1String("commit")) {
            const QString print = json::ParseCanonicalObject(entry.content.toUtf8())
                                      .value_or(QJsonObject {})
                                      .value(QLatin1String("fingerprint"))
                                      .toString();
            if (fingerprints.isEmpty() || fingerprints.constLast() != print)
                fingerprints << print;
        }
    }
    out += "],\"format\":";
    json::AppendString(out, QByteArrayView(notary::RecordFormat));
    out += ",\"lists\":[";
    std::optional<data::KeptList> before;
    for (qsizetype i = 0; i < fingerprints.size(); ++i) {
        std::optional<data::KeptList> list = data::NotaryStore().list(drawId, fingerprints.at(i));
        if (!list)
            return std::nullopt;
        if (i > 0)
            out += ',';
        appendList(out, before ? &*before : nullptr, *list);
        before = std::move(list);
    }
    out += "],\"results\":[";
    for (qsizetype i = 0; i < results->size(); ++i) {
        const data::ResultRecord &result = results->at(i);
        if (i > 0)
            out += ',';
        json::AppendCanonical(out,
            QJsonObject { { QStringLiteral("award"), result.awardId }, { QStringLiteral("id"), result.id },
                { QStringLiteral("name"), result.name }, { QStringLiteral("number"), result.number } });
    }
    out += "],\"rule\":";
    json::AppendString(out, QByteArrayView(notary::Rule));
    out += "}\n";
    return out;
}

} // namespace tombolix::draw
