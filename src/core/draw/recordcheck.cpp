#include "draw/recordcheck.h"

#include "common/canonicaljson.h"
#include "common/notary.h"
#include "draw/recordlists.h"
#include "draw/recordreplay.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>

namespace tombolix::draw {

using record::Key;
using record::Problem;
using recordfile::FileLists;
using recordfile::ListElement;
using recordfile::Pair;
using recordfile::Texts;

namespace {

bool hasExactly(const QJsonObject &object, QStringList names)
{
    QStringList keys = object.keys();
    keys.sort();
    names.sort();
    return keys == names;
}

// Where each element of an array stands in the file: the chain and the
// results are read one element at a time, so a record of many rounds is
// never held as values all at once. `isArray` is false for a value of any
// other kind, read past whole.
struct Slice
{
    qsizetype from = 0;
    qsizetype to = 0;
};

bool readSlices(json::Reader &reader, QByteArrayView file, std::vector<Slice> &slices, bool &isArray)
{
    qsizetype at = reader.offset();
    while (at < file.size() && (file[at] == ' ' || file[at] == '\t' || file[at] == '\n' || file[at] == '\r'))
        ++at;
    isArray = at < file.size() && file[at] == '[';
    if (!isArray)
        return reader.readValue().has_value();
    if (!reader.beginArray())
        return false;
    bool more = false;
    for (qsizetype i = 0; reader.nextElement(more, i) && more; ++i) {
        const qsizetype from = reader.offset();
        if (!reader.readValue())
            return false;
        slices.push_back({ from, reader.offset() });
    }
    return reader.failure() == json::Reader::Failure::None;
}

// An element read again: the whole file was read once already, so it is
// known to be well-formed.
QJsonValue valueAt(QByteArrayView file, Slice slice)
{
    json::Reader reader(file.sliced(slice.from, slice.to - slice.from));
    return reader.readValue().value_or(QJsonValue());
}

// A row of the results table as the record has it; `wellFormed` says
// whether it is one.
struct StoredResult
{
    bool wellFormed = false;
    qint64 award = 0;
    qint64 id = 0;
    QString number;
    QString name;
};

StoredResult storedResultAt(QByteArrayView file, Slice slice)
{
    const QJsonValue each = valueAt(file, slice);
    const QJsonObject stored = each.toObject();
    StoredResult result;
    result.wellFormed = each.isObject() && hasExactly(stored, { "award", "id", "name", "number" })
        && stored.value(QLatin1String("award")).isDouble()
        && stored.value(QLatin1String("award")).toInteger() >= 1
        && stored.value(QLatin1String("id")).isDouble() && stored.value(QLatin1String("name")).isString()
        && stored.value(QLatin1String("number")).isString();
    result.award = stored.value(QLatin1String("award")).toInteger();
    result.id = stored.value(QLatin1String("id")).toInteger();
    result.number = stored.value(QLatin1String("number")).toString();
    result.name = stored.value(QLatin1String("name")).toString();
    return result;
}

// The members of a record file, read with the document: the lists into
// their texts, the elements of the chain and of the results as where they
// stand in the file.
struct FileMembers
{
    std::vector<ListElement> elements;
    std::vector<Pair> v1Entrants;
    QHash<QString, std::vector<Pair>> v1Earlier;
    std::vector<Slice> chain;
    bool chainIsArray = false;
    std::vector<Slice> resultRows;
    bool resultsAreArray = false;
};

void handleMembers(json::Reader &reader, QByteArrayView file, Texts &texts, FileMembers &members)
{
    reader.handleTopLevelMember(QStringLiteral("lists"),
        [&texts, &members](json::Reader &r) { return readLists(r, texts, members.elements); });
    reader.handleTopLevelMember(QStringLiteral("entrants"),
        [&texts, &members](json::Reader &r) { return readPairs(r, texts, members.v1Entrants); });
    reader.handleTopLevelMember(QStringLiteral("earlierLists"),
        [&texts, &members](json::Reader &r) { return readEarlierLists(r, texts, members.v1Earlier); });
    reader.handleTopLevelMember(QStringLiteral("entries"), [file, &members](json::Reader &r) {
        return readSlices(r, file, members.chain, members.chainIsArray);
    });
    reader.handleTopLevelMember(QStringLiteral("results"), [file, &members](json::Reader &r) {
        return readSlices(r, file, members.resultRows, members.resultsAreArray);
    });
}

QString notJsonText(const json::Reader &reader)
{
    return reader.failure() == json::Reader::Failure::Syntax
        ? QStringLiteral("不是 JSON 文件（第 %1 字节：%2）")
              .arg(reader.failureOffset())
              .arg(reader.failureText())
        : QStringLiteral("不是 JSON 文件");
}

// What the file says of itself: its format and rule, its members, its draw.
struct Header
{
    int version = 0;
    qint64 drawId = 0;
    QJsonObject drawInfo;
};

std::optional<Problem> readHeader(const json::Reader &reader, const std::optional<QJsonValue> &document,
    const FileMembers &members, Header &header)
{
    if (!document)
        return Problem { 1,
            QStringLiteral("记录文件的格式不对（第 %1 字节：%2）")
                .arg(reader.failureOffset())
                .arg(reader.failureText()) };
    if (!document->isObject())
        return Problem { 1, QStringLiteral("记录文件应为一个 JSON 对象") };
    const QJsonObject root = document->toObject();
    const QString format = root.value(QLatin1String("format")).toString();
    const QString rule = root.value(QLatin1String("rule")).toString();
    int version = 0;
    if (format == QLatin1String(notary::RecordFormat) && rule == QLatin1String(notary::Rule))
        version = 2;
    else if (format == QLatin1String(notary::RecordFormatV1) && rule == QLatin1String(notary::RuleV1))
        version = 1;
    else
        return Problem { 1,
            QStringLiteral("不是澄曜抽奖软件的公证记录（格式应为 %1，规则 %2）")
                .arg(QLatin1String(notary::RecordFormat), QLatin1String(notary::Rule)) };
    if (version == 2 && !reader.canonical())
        return Problem { 1,
            QStringLiteral("记录文件不是程序写出的原样（从第 %1 字节起与规范格式不同）")
                .arg(reader.nonCanonicalOffset()) };
    const bool exact = version == 2
        ? hasExactly(root, { "draw", "entries", "format", "lists", "results", "rule" })
        : (hasExactly(root, { "draw", "entrants", "entries", "format", "results", "rule" })
            || hasExactly(
                root, { "draw", "earlierLists", "entrants", "entries", "format", "results", "rule" }));
    const QJsonObject drawInfo = root.value(QLatin1String("draw")).toObject();
    // Rule v2 names the draw in its commitments only; v1 also in the file.
    if (!exact || !root.value(QLatin1String("draw")).isObject()
        || !hasExactly(drawInfo, version == 2 ? QStringList { "id" } : QStringList { "id", "name" })
        || !drawInfo.value(QLatin1String("id")).isDouble()
        || drawInfo.value(QLatin1String("id")).toInteger() < 1
        || (version == 1 && !drawInfo.value(QLatin1String("name")).isString()) || !members.chainIsArray
        || !members.resultsAreArray)
        return Problem { 1, QStringLiteral("记录文件的成员不对") };
    header.version = version;
    header.drawId = drawInfo.value(QLatin1String("id")).toInteger();
    header.drawInfo = drawInfo;
    return std::nullopt;
}

// One entry of the chain, which follows the entry whose hash is `previous`
// and is unaltered.
std::optional<Problem> readEntry(
    const QJsonValue &element, qsizetype i, int version, const QString &previous, record::Entry &parsed)
{
    const QJsonObject entry = element.toObject();
    const QString type = entry.value(QLatin1String("type")).toString();
    const QString name = record::EntryName(i, type);
    const bool contentForm = version == 2 ? entry.value(QLatin1String("content")).isObject()
                                          : entry.value(QLatin1String("content")).isString();
    if (!element.isObject()
        || !hasExactly(entry, { "content", "hash", "previous", "sequence", "time", "type" }) || !contentForm
        || !entry.value(QLatin1String("hash")).isString()
        || !entry.value(QLatin1String("previous")).isString()
        || !entry.value(QLatin1String("sequence")).isDouble()
        || !entry.value(QLatin1String("time")).isString() || !entry.value(QLatin1String("type")).isString())
        return Problem { 1, QStringLiteral("%1的格式不对").arg(name) };
    const QString time = entry.value(QLatin1String("time")).toString();
    if (version == 2 ? !notary::IsEntryTime(time) : !notary::IsEntryTimeV1(time))
        return Problem { 1, QStringLiteral("%1的时间“%2”不是规则所写的时间").arg(name, time) };
    if (entry.value(QLatin1String("sequence")).toInteger() != i + 1)
        return Problem { 2, QStringLiteral("%1的序号应为 %2").arg(name).arg(i + 1) };
    if (entry.value(QLatin1String("previous")).toString() != previous)
        return Problem { 2, QStringLiteral("%1的前一条哈希应为 %2").arg(name, previous) };
    parsed.sequence = i + 1;
    parsed.type = type;
    parsed.time = time;
    QString hash;
    if (version == 2) {
        parsed.content = entry.value(QLatin1String("content")).toObject();
        hash = notary::EntryHash(previous, i + 1, type, time, json::Canonical(parsed.content));
    } else {
        const QString content = entry.value(QLatin1String("content")).toString();
        const std::optional<QJsonObject> object = json::ParseCanonicalObject(content.toUtf8());
        if (!object)
            return Problem { 1, QStringLiteral("%1的内容不是规范的 JSON 对象").arg(name) };
        parsed.content = *object;
        hash = notary::v1::EntryHash(previous, i + 1, type, time, content);
    }
    if (entry.value(QLatin1String("hash")).toString() != hash)
        return Problem { 2, QStringLiteral("%1已被改动：其哈希应为 %2").arg(name, hash) };
    parsed.hash = hash;
    return std::nullopt;
}

// The chain: every entry follows the one before it, unaltered. A round's
// content is read again when it is replayed; the rest is kept (commitments,
// seeds and withdrawals are few and read often).
std::optional<Problem> readChain(QByteArrayView file, const std::vector<Slice> &chain, int version,
    QList<record::Entry> &entries, QString &lastHash)
{
    if (chain.empty())
        return Problem { 3, QStringLiteral("记录中没有任何条目") };
    entries.reserve(qsizetype(chain.size()));
    QString previous = notary::GenesisHash();
    for (qsizetype i = 0; i < qsizetype(chain.size()); ++i) {
        record::Entry parsed;
        if (std::optional<Problem> wrong
            = readEntry(valueAt(file, chain[size_t(i)]), i, version, previous, parsed))
            return wrong;
        previous = parsed.hash;
        if (parsed.type == QLatin1String("round"))
            parsed.content = QJsonObject();
        entries.append(std::move(parsed));
    }
    lastHash = previous;
    return std::nullopt;
}

// A round's content, read again from the file.
QJsonObject contentAt(QByteArrayView file, Slice slice, int version)
{
    const QJsonValue content = valueAt(file, slice).toObject().value(QLatin1String("content"));
    return version == 2 ? content.toObject()
                        : json::ParseCanonicalObject(content.toString().toUtf8()).value_or(QJsonObject());
}

// The people of the list file, counted, to compare with every list.
std::optional<QHash<Key, qint64>> keysOf(const std::optional<ListFile> &listFile)
{
    if (!listFile)
        return std::nullopt;
    QHash<Key, qint64> keys;
    for (const auto &[number, name] : listFile->people)
        keys[Key { number, name }] += 1;
    return keys;
}

QString commitTypeOf(int version)
{
    return version == 2 ? QStringLiteral("commit") : QStringLiteral("entered");
}

// The seed of each commitment, from the entry that revealed it. Read first,
// so a seed that is not one, or not the committed one, is named before the
// rounds it would be needed for.
std::optional<Problem> revealSeeds(const QList<record::Entry> &entries, int version, record::Replay &replay)
{
    const QString commitType = commitTypeOf(version);
    qsizetype open = -1;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const record::Entry &entry = entries.at(i);
        const bool reveals = entry.type == QLatin1String("reveal")
            || (version == 1 && entry.type == QLatin1String("restart")
                && entry.content.contains(QLatin1String("seed")));
        if (entry.type == commitType) {
            if (open >= 0)
                return Problem { 3,
                    QStringLiteral("%1之前的承诺（%2）还没有公开种子")
                        .arg(record::EntryName(i, entry.type), record::EntryName(open, commitType)) };
            open = i;
        } else if (reveals && open >= 0) {
            const std::optional<QByteArray> seed
                = notary::HashBytes(entry.content.value(QLatin1String("seed")).toString());
            if (!seed)
                return Problem { 1,
                    QStringLiteral("%1公开的种子不是 64 位小写十六进制数")
                        .arg(record::EntryName(i, entry.type)) };
            if (notary::Commitment(*seed)
                != entries.at(open).content.value(QLatin1String("commitment")).toString())
                return Problem { 4,
                    QStringLiteral("%1公开的种子与%2的承诺不符")
                        .arg(record::EntryName(i, entry.type), record::EntryName(open, commitType)) };
            replay.setSeed(open, *seed);
            open = -1;
        }
    }
    return std::nullopt;
}

// A commitment to a draw other than the file's.
std::optional<Problem> otherDraw(qsizetype i, const record::Entry &entry, const Header &header)
{
    if (entry.type != commitTypeOf(header.version))
        return std::nullopt;
    if (entry.content.value(QLatin1String("draw")).toInteger() != header.drawId
        && entry.content.value(QLatin1String("draw")).isDouble())
        return Problem { 5,
            QStringLiteral("%1承诺的是另一个抽奖（编号 %2）")
                .arg(record::EntryName(i, entry.type))
                .arg(entry.content.value(QLatin1String("draw")).toInteger()) };
    if (header.version == 1
        && entry.content.value(QLatin1String("name")).toString()
            != header.drawInfo.value(QLatin1String("name")).toString())
        return Problem { 5,
            QStringLiteral("%1承诺的是抽奖“%2”")
                .arg(record::EntryName(i, entry.type),
                    entry.content.value(QLatin1String("name")).toString()) };
    return std::nullopt;
}

// The draw replayed: every commitment, round and withdrawal by the rule.
std::optional<Problem> replayEntries(QByteArrayView file, const std::vector<Slice> &chain,
    const QList<record::Entry> &entries, const Header &header, record::Replay &replay)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const record::Entry &entry = entries.at(i);
        if (std::optional<Problem> wrong = otherDraw(i, entry, header))
            return wrong;
        record::Entry round;
        if (entry.type == QLatin1String("round")) {
            round = entry;
            round.content = contentAt(file, chain[size_t(i)], header.version);
        }
        if (std::optional<Problem> wrong
            = replay.feed(i, entry.type == QLatin1String("round") ? round : entry))
            return wrong;
    }
    return std::nullopt;
}

std::vector<StoredResult> storedResults(QByteArrayView file, const std::vector<Slice> &rows)
{
    std::vector<StoredResult> results;
    results.reserve(rows.size());
    for (const Slice &row : rows)
        results.push_back(storedResultAt(file, row));
    return results;
}

// A list of the record that no commitment took.
std::optional<Problem> unusedList(const FileLists &lists, int version)
{
    if (version == 2 && lists.usedElements != qsizetype(lists.elements.size()))
        return Problem { 5,
            QStringLiteral("记录中有 %1 份名单没有被任何承诺用到")
                .arg(qsizetype(lists.elements.size()) - lists.usedElements) };
    for (auto it = lists.v1Earlier.cbegin(); it != lists.v1Earlier.cend(); ++it) {
        if (!lists.usedEarlier.contains(it.key()))
            return Problem { 5, QStringLiteral("记录中指纹为 %1 的名单没有被任何承诺用到").arg(it.key()) };
    }
    return std::nullopt;
}

// The results table as it stands: exactly the wins the record leaves.
std::optional<Problem> resultsProblem(const std::vector<StoredResult> &results, const record::Replay &replay)
{
    qint64 lastId = 0;
    QSet<qint64> seen;
    for (const StoredResult &stored : results) {
        if (!stored.wellFormed)
            return Problem { 1, QStringLiteral("结果表的内容格式不对") };
        const qint64 id = stored.id;
        if (id <= lastId)
            return Problem { 1,
                QStringLiteral("结果表中的结果应按编号从小到大排列，且不重复（结果 %1）").arg(id) };
        lastId = id;
        const auto expected = replay.standing().constFind(id);
        if (expected == replay.standing().cend() || expected->award != stored.award
            || expected->number != stored.number || expected->name != stored.name)
            return Problem {
                8,
                QStringLiteral("结果表中的结果 %1（%2 %3）与记录不符").arg(id).arg(stored.number, stored.name)
            };
        seen.insert(id);
    }
    for (auto it = replay.standing().cbegin(); it != replay.standing().cend(); ++it) {
        if (!seen.contains(it.key()))
            return Problem { 8,
                QStringLiteral("记录中的中奖结果 %1（%2 %3）已不在结果表中")
                    .arg(it.key())
                    .arg(it->number, it->name) };
    }
    return std::nullopt;
}

// An award of a commitment as a person reads it.
QString awardText(const QJsonObject &award, qsizetype entrants)
{
    QString text = QStringLiteral("%1 共%2名 每次%3名")
                       .arg(award.value(QLatin1String("name")).toString())
                       .arg(award.value(QLatin1String("count")).toInteger())
                       .arg(award.value(QLatin1String("perRound")).toInteger());
    if (award.value(QLatin1String("repeat")).toBool())
        text += QStringLiteral(" 可重复中奖");
    if (!award.value(QLatin1String("range")).toString().isEmpty()) {
        qint64 eligible = 0;
        const std::optional<Ranges> positions
            = record::EligibleOf(award.value(QLatin1String("eligible")), entrants);
        for (qsizetype k = 0; positions && k < qsizetype(positions->spans.size()); ++k)
            eligible += positions->spans[size_t(k)].second - positions->spans[size_t(k)].first + 1;
        text += QStringLiteral(" 范围：%1（可中奖 %2 人）")
                    .arg(award.value(QLatin1String("range")).toString())
                    .arg(eligible);
    }
    return text;
}

RecordFacts::Commit commitFacts(const record::Replay::Event &event, const QList<record::Entry> &entries,
    int version, const FileLists &lists)
{
    const QString commitType = commitTypeOf(version);
    const record::Entry &entry = entries.at(event.entry);
    RecordFacts::Commit commit;
    commit.entry = event.entry;
    commit.number = event.commit;
    commit.time = event.time;
    commit.code = version == 2 ? notary::CodeOfHash(entry.hash)
                               : entry.content.value(QLatin1String("code")).toString();
    commit.hash = entry.hash;
    commit.reason = event.text;
    commit.changes = lists.changesAt.value(event.commit);
    commit.entrants = entry.content.value(QLatin1String("entrants")).toInteger();
    commit.cleared = entry.content.value(QLatin1String("cleared")).toBool();
    // Rule v1 said so in the restart before the commitment.
    for (qsizetype k = event.entry - 1; version == 1 && k >= 0 && entries.at(k).type != commitType; --k) {
        if (entries.at(k).type == QLatin1String("restart")
            && entries.at(k).content.value(QLatin1String("cleared")).toBool())
            commit.cleared = true;
    }
    for (const QJsonValue &each : entry.content.value(QLatin1String("awards")).toArray())
        commit.awards << awardText(each.toObject(), commit.entrants);
    return commit;
}

// What a person compares, in the record's order.
void gatherFacts(RecordCheck &check, const record::Replay &replay, const QList<record::Entry> &entries,
    int version, const FileLists &lists)
{
    if (const std::optional<record::Commit> &last = replay.lastCommit())
        check.drawName = last->name;
    RecordFacts &facts = check.facts;
    facts.rule = version;
    facts.entries = entries.size();
    facts.rounds = replay.rounds();
    for (const record::Replay::Event &event : replay.events()) {
        switch (event.kind) {
        case record::Replay::Event::Committed:
            facts.commits.append(commitFacts(event, entries, version, lists));
            break;
        case record::Replay::Event::Hall:
            if (!facts.commits.isEmpty()) {
                facts.commits.last().hallGiven = true;
                facts.commits.last().hallNumbers = event.text;
                facts.commits.last().hallTime = event.time;
            }
            break;
        case record::Replay::Event::Withdrawn:
            facts.withdrawals.append({ event.entry, event.time, event.result, event.award, event.key.number,
                event.key.name, event.text });
            break;
        }
    }
}

// The winners of each award of the last commitment, and the awards left short.
void gatherWinners(RecordFacts &facts, const record::Replay &replay, const std::vector<StoredResult> &results)
{
    const std::optional<record::Commit> &last = replay.lastCommit();
    if (!last)
        return;
    for (const record::CommittedAward &award : last->awards) {
        RecordFacts::Winners winners { award.name, award.prize, award.count, {} };
        for (const StoredResult &result : results) {
            if (result.award == award.id)
                winners.people << record::PersonText(Key { result.number, result.name });
        }
        facts.winners.append(winners);
        const qint64 missing = award.count - replay.standingOf(award.id);
        if (missing > 0)
            facts.shortAwards << QStringLiteral("%1 差 %2 名").arg(award.name).arg(missing);
    }
}

} // namespace

RecordCheck CheckRecord(QByteArrayView file, const std::optional<ListFile> &listFile)
{
    RecordCheck check;
    auto fail = [&check](const Problem &problem) {
        check.outcome = RecordCheck::Outcome::Failed;
        check.check = problem.check;
        check.problem = OneLine(problem.text);
        return check;
    };

    if (!json::IsValidUtf8(file)) {
        check.problem = QStringLiteral("文件不是 UTF-8 文字");
        return check;
    }
    Texts texts(file);
    FileMembers members;
    json::Reader reader(file);
    handleMembers(reader, file, texts, members);
    const std::optional<QJsonValue> document = reader.readDocument();
    // What is JSON text is the grammar's to say: the reader stops at the
    // first thing a record may not hold (a list that is no array reads as
    // a syntax fault to it), the grammar reads on.
    if (!document && (reader.failure() == json::Reader::Failure::None || !json::IsJsonText(file))) {
        check.problem = notJsonText(reader);
        return check;
    }
    Header header;
    if (std::optional<Problem> wrong = readHeader(reader, document, members, header))
        return fail(*wrong);
    const int version = header.version;
    QList<record::Entry> entries;
    if (std::optional<Problem> wrong = readChain(file, members.chain, version, entries, check.lastHash))
        return fail(*wrong);

    FileLists lists(texts, version);
    lists.elements = std::move(members.elements);
    lists.v1Entrants = std::move(members.v1Entrants);
    lists.v1Earlier = std::move(members.v1Earlier);
    lists.fileKeys = keysOf(listFile);
    lists.file = listFile ? &*listFile : nullptr;
    record::Replay replay(version, &lists);
    if (std::optional<Problem> wrong = revealSeeds(entries, version, replay))
        return fail(*wrong);
    if (std::optional<Problem> wrong = replayEntries(file, members.chain, entries, header, replay))
        return fail(*wrong);
    gatherFacts(check, replay, entries, version, lists);
    const std::vector<StoredResult> results = storedResults(file, members.resultRows);
    gatherWinners(check.facts, replay, results);
    if (std::optional<Problem> wrong = replay.finish())
        return fail(*wrong);
    if (std::optional<Problem> wrong = unusedList(lists, version))
        return fail(*wrong);
    if (std::optional<Problem> wrong = resultsProblem(results, replay))
        return fail(*wrong);
    if (lists.listFileProblem)
        return fail(*lists.listFileProblem);
    if (lists.rangeFileProblem)
        return fail(*lists.rangeFileProblem);
    check.facts.rangesChecked = lists.rangesChecked;

    check.summary = SummaryLines(check, listFile ? listFile->size() : -1);
    for (QString &line : check.summary)
        line = OneLine(line);
    check.outcome = RecordCheck::Outcome::Passed;
    return check;
}

} // namespace tombolix::draw
