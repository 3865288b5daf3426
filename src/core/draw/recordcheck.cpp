#include "draw/recordcheck.h"

#include "common/canonicaljson.h"
#include "common/notary.h"
#include "draw/recordreplay.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <numeric>

namespace tombolix::draw {

using record::Key;
using record::Problem;

namespace {

// Texts of the lists: views into the file where they stand there as they
// are, else into a buffer of the decoded ones. 16 bytes an entrant.
struct TextRef
{
    quint32 offset = 0;
    quint32 length = 0;
};

struct Pair
{
    TextRef number;
    TextRef name;
};

struct Change
{
    qsizetype position = 0;
    Pair pair;
};

struct ListElement
{
    bool full = true;
    std::vector<Pair> entrants; // full, or the added ones
    std::vector<Change> changed;
    std::vector<qsizetype> removed;
};

class Texts
{
public:
    explicit Texts(QByteArrayView file)
        : m_file(file)
    { }
    TextRef keep(QByteArrayView view)
    {
        if (view.data() >= m_file.data() && view.data() + view.size() <= m_file.data() + m_file.size())
            return { quint32(view.data() - m_file.data()), quint32(view.size()) };
        const auto offset = quint32(m_file.size() + m_decoded.size());
        m_decoded.append(view.data(), view.size());
        return { offset, quint32(view.size()) };
    }
    QByteArrayView view(TextRef ref) const
    {
        if (ref.offset < m_file.size())
            return m_file.sliced(ref.offset, ref.length);
        return QByteArrayView(m_decoded).sliced(ref.offset - m_file.size(), ref.length);
    }
    QString text(TextRef ref) const { return QString::fromUtf8(view(ref)); }

private:
    QByteArrayView m_file;
    QByteArray m_decoded;
};

bool readPair(json::Reader &reader, Texts &texts, QByteArray &scratch, Pair &pair)
{
    bool more = false;
    QByteArrayView view;
    if (!reader.beginArray() || !reader.nextElement(more, 0) || !more || !reader.readUtf8View(view, scratch))
        return false;
    pair.number = texts.keep(view);
    if (!reader.nextElement(more, 1) || !more || !reader.readUtf8View(view, scratch))
        return false;
    pair.name = texts.keep(view);
    return reader.nextElement(more, 2) && !more;
}

bool readPairs(json::Reader &reader, Texts &texts, std::vector<Pair> &pairs)
{
    QByteArray scratch;
    if (!reader.beginArray())
        return false;
    bool more = false;
    for (qsizetype i = 0; reader.nextElement(more, i) && more; ++i) {
        Pair pair;
        if (!readPair(reader, texts, scratch, pair))
            return reader.refuse(QStringLiteral("名单中的每一项应为号码和姓名两个文字"));
        pairs.push_back(pair);
    }
    return reader.failure() == json::Reader::Failure::None;
}

bool readPositions(json::Reader &reader, std::vector<qsizetype> &positions)
{
    if (!reader.beginArray())
        return false;
    bool more = false;
    for (qsizetype i = 0; reader.nextElement(more, i) && more; ++i) {
        qint64 value = 0;
        if (!reader.readInteger(value))
            return false;
        positions.push_back(value);
    }
    return reader.failure() == json::Reader::Failure::None;
}

bool readChanges(json::Reader &reader, Texts &texts, std::vector<Change> &changes)
{
    QByteArray scratch;
    if (!reader.beginArray())
        return false;
    bool more = false;
    for (qsizetype i = 0; reader.nextElement(more, i) && more; ++i) {
        Change change;
        qint64 position = 0;
        QByteArrayView view;
        if (!reader.beginArray() || !reader.nextElement(more, 0) || !more || !reader.readInteger(position)
            || !reader.nextElement(more, 1) || !more || !reader.readUtf8View(view, scratch))
            return reader.refuse(QStringLiteral("改动应为位置、号码和姓名"));
        change.position = position;
        change.pair.number = texts.keep(view);
        if (!reader.nextElement(more, 2) || !more || !reader.readUtf8View(view, scratch))
            return reader.refuse(QStringLiteral("改动应为位置、号码和姓名"));
        change.pair.name = texts.keep(view);
        if (!reader.nextElement(more, 3) || more)
            return reader.refuse(QStringLiteral("改动应为位置、号码和姓名"));
        changes.push_back(change);
    }
    return reader.failure() == json::Reader::Failure::None;
}

// One element of `lists`: {"entrants": …} or {"added", "changed", "removed"}.
bool readListElement(json::Reader &reader, Texts &texts, ListElement &element)
{
    if (!reader.beginObject())
        return false;
    QStringList names;
    bool more = false;
    QByteArray name;
    for (qsizetype i = 0; reader.nextMember(more, name, i) && more; ++i) {
        names << QString::fromUtf8(name);
        bool ok = false;
        if (name == "entrants" || name == "added")
            ok = readPairs(reader, texts, element.entrants);
        else if (name == "changed")
            ok = readChanges(reader, texts, element.changed);
        else if (name == "removed")
            ok = readPositions(reader, element.removed);
        if (!ok)
            return reader.refuse(QStringLiteral("名单的成员“%1”不对").arg(QString::fromUtf8(name)));
    }
    if (reader.failure() != json::Reader::Failure::None)
        return false;
    names.sort();
    if (names == QStringList { QStringLiteral("entrants") }) {
        element.full = true;
        return true;
    }
    if (names
        == QStringList { QStringLiteral("added"), QStringLiteral("changed"), QStringLiteral("removed") }) {
        element.full = false;
        return true;
    }
    return reader.refuse(QStringLiteral("名单应有 entrants，或 added、changed 和 removed"));
}

Problem problemOf(int check, const QString &text)
{
    return Problem { check, text };
}

// The lists of a record file, taken by its commitments in turn.
class FileLists : public record::ListContext
{
public:
    FileLists(const Texts &texts, int rule)
        : m_texts(texts)
        , m_rule(rule)
    { }

    // Rule v2: the elements of `lists`. Rule v1: `entrants` and `earlierLists`.
    std::vector<ListElement> elements;
    std::vector<Pair> v1Entrants;
    QHash<QString, std::vector<Pair>> v1Earlier;
    // Optional: the people of the list file, to compare with every list.
    std::optional<QHash<Key, qint64>> fileKeys;

    std::optional<Problem> listFileProblem; // the first commitment whose list differs from the file
    QHash<int, QString> changesAt; // by commitment: who joined or left since the one before
    qsizetype usedElements = 0;
    QSet<QString> usedEarlier;

    std::optional<Problem> takeListOf(const record::Commit &commit) override
    {
        const QString what = QStringLiteral("第%1次承诺").arg(commit.number);
        bool changed = true;
        if (m_rule == 2) {
            if (commit.number > 1 && commit.fingerprint == m_fingerprint) {
                changed = false;
            } else {
                if (usedElements >= qsizetype(elements.size()))
                    return problemOf(
                        5, QStringLiteral("%1的名单（指纹 %2）不在记录中").arg(what, commit.fingerprint));
                ListElement &element = elements[size_t(usedElements)]; // used once: its list moves out
                if (usedElements == 0 && !element.full)
                    return problemOf(1, QStringLiteral("记录的第一份名单应为完整名单"));
                ++usedElements;
                std::vector<Pair> list;
                QHash<Key, qint64> delta;
                if (element.full) {
                    list = std::move(element.entrants);
                    if (commit.number > 1)
                        delta = multisetDelta(m_list, list);
                } else if (std::optional<Problem> wrong = applyDelta(element, what, list, delta)) {
                    return wrong;
                }
                m_list = std::move(list);
                if (commit.number > 1)
                    changesAt.insert(commit.number, record::ListChangesText(delta));
                notary::ListFingerprint fingerprint;
                for (const Pair &pair : m_list)
                    fingerprint.addUtf8(m_texts.view(pair.number), m_texts.view(pair.name));
                m_fingerprint = fingerprint.result();
            }
        } else {
            if (commit.number > 1 && commit.fingerprint == m_fingerprint) {
                changed = false;
            } else {
                std::vector<Pair> list;
                if (commit.fingerprint == v1Fingerprint(v1Entrants)) {
                    list = std::vector<Pair>(v1Entrants);
                } else if (v1Earlier.contains(commit.fingerprint)) {
                    list = v1Earlier.value(commit.fingerprint);
                    if (v1Fingerprint(list) != commit.fingerprint)
                        return problemOf(
                            5, QStringLiteral("记录中指纹为 %1 的名单与其指纹不符").arg(commit.fingerprint));
                    usedEarlier.insert(commit.fingerprint);
                } else {
                    return problemOf(
                        5, QStringLiteral("%1的名单（指纹 %2）不在记录中").arg(what, commit.fingerprint));
                }
                if (commit.number > 1)
                    changesAt.insert(commit.number, record::ListChangesText(multisetDelta(m_list, list)));
                m_list = std::move(list);
                m_fingerprint = commit.fingerprint;
            }
        }
        if (m_fingerprint != commit.fingerprint)
            return problemOf(5, QStringLiteral("%1的名单指纹应为 %2").arg(what, m_fingerprint));
        if (commit.entrants != qsizetype(m_list.size()))
            return problemOf(5, QStringLiteral("%1的人数应为 %2").arg(what).arg(m_list.size()));
        if (changed) {
            buildPeople();
            if (fileKeys && !listFileProblem)
                compareWithFile(commit);
        }
        return std::nullopt;
    }

    qsizetype size() const override { return qsizetype(m_list.size()); }

    Key keyAt(qsizetype position) const override
    {
        const Pair &pair = m_list[size_t(position - 1)];
        return Key { m_texts.text(pair.number), m_texts.text(pair.name) };
    }

    Ranges positionsWithNumber() const override { return m_numbered; }

    std::vector<qsizetype> positionsOf(const QSet<Key> &keys) const override
    {
        std::vector<qsizetype> positions;
        for (const Key &key : keys) {
            const QByteArray number = key.number.toUtf8();
            const QByteArray name = key.name.toUtf8();
            const qsizetype first
                = m_people.find(KeyHash(QByteArrayView(number), QByteArrayView(name)), [&](qsizetype p) {
                      const Pair &pair = m_list[size_t(p - 1)];
                      return m_texts.view(pair.number) == QByteArrayView(number)
                          && m_texts.view(pair.name) == QByteArrayView(name);
                  });
            if (first == 0)
                continue;
            qsizetype p = first;
            do {
                positions.push_back(p);
                p = m_people.next(p);
            } while (p != first);
        }
        std::sort(positions.begin(), positions.end());
        return positions;
    }

    const KeyIndex &people() const override { return m_people; }
    PositionSet &inDraw() override { return m_inDraw; }

private:
    QString v1Fingerprint(const std::vector<Pair> &list)
    {
        notary::v1::Fingerprint fingerprint;
        for (const Pair &pair : list)
            fingerprint.addUtf8(m_texts.view(pair.number), m_texts.view(pair.name));
        return fingerprint.result();
    }

    QHash<Key, qint64> multisetDelta(const std::vector<Pair> &before, const std::vector<Pair> &after) const
    {
        QHash<Key, qint64> delta;
        for (const Pair &pair : after)
            delta[Key { m_texts.text(pair.number), m_texts.text(pair.name) }] += 1;
        for (const Pair &pair : before)
            delta[Key { m_texts.text(pair.number), m_texts.text(pair.name) }] -= 1;
        for (auto it = delta.begin(); it != delta.end();)
            it = it.value() == 0 ? delta.erase(it) : std::next(it);
        return delta;
    }

    std::optional<Problem> applyDelta(
        const ListElement &element, const QString &what, std::vector<Pair> &list, QHash<Key, qint64> &delta)
    {
        const auto size = qsizetype(m_list.size());
        auto key = [this](const Pair &pair) {
            return Key { m_texts.text(pair.number), m_texts.text(pair.name) };
        };
        qsizetype previous = 0;
        for (const Change &change : element.changed) {
            if (change.position <= previous || change.position > size)
                return problemOf(1, QStringLiteral("%1的名单改动位置不对").arg(what));
            previous = change.position;
        }
        previous = 0;
        for (qsizetype position : element.removed) {
            if (position <= previous || position > size)
                return problemOf(1, QStringLiteral("%1的名单删除位置不对").arg(what));
            previous = position;
        }
        // The new list made in one pass over the old, at its final size.
        std::vector<Pair> kept;
        kept.reserve(size_t(size) - element.removed.size() + element.entrants.size());
        size_t c = 0;
        size_t r = 0;
        for (qsizetype p = 1; p <= size; ++p) {
            const bool changed = c < element.changed.size() && element.changed[c].position == p;
            if (r < element.removed.size() && element.removed[r] == p) {
                if (changed)
                    return problemOf(1, QStringLiteral("%1的名单中位置 %2 既改动又删除").arg(what).arg(p));
                delta[key(m_list[size_t(p - 1)])] -= 1;
                ++r;
                continue;
            }
            if (changed) {
                delta[key(m_list[size_t(p - 1)])] -= 1;
                delta[key(element.changed[c].pair)] += 1;
                kept.push_back(element.changed[c].pair);
                ++c;
            } else {
                kept.push_back(m_list[size_t(p - 1)]);
            }
        }
        for (const Pair &pair : element.entrants) {
            kept.push_back(pair);
            delta[key(pair)] += 1;
        }
        list = std::move(kept);
        for (auto it = delta.begin(); it != delta.end();)
            it = it.value() == 0 ? delta.erase(it) : std::next(it);
        return std::nullopt;
    }

    void buildPeople()
    {
        m_people.build(
            qsizetype(m_list.size()),
            [this](qsizetype p) {
                const Pair &pair = m_list[size_t(p - 1)];
                return KeyHash(m_texts.view(pair.number), m_texts.view(pair.name));
            },
            [this](qsizetype a, qsizetype b) {
                const Pair &x = m_list[size_t(a - 1)];
                const Pair &y = m_list[size_t(b - 1)];
                return m_texts.view(x.number) == m_texts.view(y.number)
                    && m_texts.view(x.name) == m_texts.view(y.name);
            });
        m_numbered = Ranges::none();
        for (qsizetype p = 1; p <= qsizetype(m_list.size()); ++p) {
            if (m_list[size_t(p - 1)].number.length == 0)
                continue;
            if (!m_numbered.spans.empty() && m_numbered.spans.back().second == p - 1)
                m_numbered.spans.back().second = p;
            else
                m_numbered.spans.emplace_back(p, p);
        }
    }

    void compareWithFile(const record::Commit &commit)
    {
        QHash<Key, qint64> counts = *fileKeys;
        for (const Pair &pair : m_list)
            counts[Key { TrimmedForList(m_texts.text(pair.number)), TrimmedForList(m_texts.text(pair.name)) }]
                -= 1;
        QHash<Key, qint64> delta; // committed minus file
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.value() != 0)
                delta.insert(it.key(), -it.value());
        }
        if (delta.isEmpty())
            return;
        listFileProblem = problemOf(9,
            QStringLiteral("名单文件与第%1次承诺（%2）的名单不符（名单文件 %3 人，承诺时 %4 "
                           "人）：承诺的名单比名单文件 %5")
                .arg(commit.number)
                .arg(commit.time)
                .arg(std::accumulate(fileKeys->cbegin(), fileKeys->cend(), qint64(0)))
                .arg(m_list.size())
                .arg(record::ListChangesText(delta)));
    }

    const Texts &m_texts;
    int m_rule;
    std::vector<Pair> m_list;
    QString m_fingerprint;
    KeyIndex m_people;
    Ranges m_numbered = Ranges::none();
    PositionSet m_inDraw;
};

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

} // namespace

QString TrimmedForList(const QString &text)
{
    return text.trimmed();
}

EntrantList EntrantListOfRows(const QList<QStringList> &rows)
{
    qsizetype first = 0;
    qsizetype numberColumn = 0;
    qsizetype nameColumn = 1;
    for (qsizetype r = 0; r < std::min<qsizetype>(rows.size(), 5); ++r) {
        const QStringList &row = rows.at(r);
        qsizetype found = -1;
        for (qsizetype c = 0; c < row.size() && found < 0; ++c) {
            const QString caption = TrimmedForList(row.at(c));
            if (caption == QStringLiteral("抽奖号码") || caption == QStringLiteral("号码")
                || caption == QStringLiteral("工号"))
                found = c;
        }
        if (found < 0)
            continue;
        first = r + 1;
        numberColumn = found;
        nameColumn = found + 1;
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (TrimmedForList(row.at(c)) == QStringLiteral("姓名")) {
                nameColumn = c;
                break;
            }
        }
        break;
    }
    EntrantList list;
    for (qsizetype r = first; r < rows.size(); ++r) {
        const QString number = TrimmedForList(rows.at(r).value(numberColumn));
        const QString name = TrimmedForList(rows.at(r).value(nameColumn));
        if (!number.isEmpty() || !name.isEmpty())
            list.append({ number, name });
    }
    return list;
}

QString OneLine(const QString &text)
{
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029 || u == 0x200E
            || u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (!control)
            line += c;
        else if (u == '\n')
            line += QLatin1String("\\n");
        else if (u == '\r')
            line += QLatin1String("\\r");
        else if (u == '\t')
            line += QLatin1String("\\t");
        else
            line += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
    }
    return line;
}

RecordCheck CheckRecord(QByteArrayView file, const std::optional<EntrantList> &listFile)
{
    RecordCheck check;
    auto fail = [&check](int number, const QString &problem) {
        check.outcome = RecordCheck::Outcome::Failed;
        check.check = number;
        check.problem = OneLine(problem);
        return check;
    };

    if (!json::IsValidUtf8(file)) {
        check.problem = QStringLiteral("文件不是 UTF-8 文字");
        return check;
    }
    Texts texts(file);
    std::vector<ListElement> elements;
    std::vector<Pair> v1Entrants;
    QHash<QString, std::vector<Pair>> v1Earlier;
    json::Reader reader(file);
    reader.handleTopLevelMember(QStringLiteral("lists"), [&](json::Reader &r) {
        if (!r.beginArray())
            return false;
        bool more = false;
        for (qsizetype i = 0; r.nextElement(more, i) && more; ++i) {
            ListElement element;
            if (!readListElement(r, texts, element))
                return false;
            elements.push_back(std::move(element));
        }
        return r.failure() == json::Reader::Failure::None;
    });
    reader.handleTopLevelMember(
        QStringLiteral("entrants"), [&](json::Reader &r) { return readPairs(r, texts, v1Entrants); });
    reader.handleTopLevelMember(QStringLiteral("earlierLists"), [&](json::Reader &r) {
        if (!r.beginObject())
            return false;
        bool more = false;
        QByteArray name;
        for (qsizetype i = 0; r.nextMember(more, name, i) && more; ++i) {
            std::vector<Pair> pairs;
            if (!readPairs(r, texts, pairs))
                return false;
            v1Earlier.insert(QString::fromUtf8(name), std::move(pairs));
        }
        return r.failure() == json::Reader::Failure::None;
    });
    std::vector<Slice> chain;
    bool chainIsArray = false;
    reader.handleTopLevelMember(
        QStringLiteral("entries"), [&](json::Reader &r) { return readSlices(r, file, chain, chainIsArray); });
    std::vector<Slice> resultRows;
    bool resultsAreArray = false;
    reader.handleTopLevelMember(QStringLiteral("results"),
        [&](json::Reader &r) { return readSlices(r, file, resultRows, resultsAreArray); });
    const std::optional<QJsonValue> document = reader.readDocument();
    // What is JSON text is the grammar's to say: the reader stops at the
    // first thing a record may not hold (a list that is no array reads as
    // a syntax fault to it), the grammar reads on.
    if (!document && (reader.failure() == json::Reader::Failure::None || !json::IsJsonText(file))) {
        check.problem = reader.failure() == json::Reader::Failure::Syntax
            ? QStringLiteral("不是 JSON 文件（第 %1 字节：%2）")
                  .arg(reader.failureOffset())
                  .arg(reader.failureText())
            : QStringLiteral("不是 JSON 文件");
        return check;
    }
    if (!document)
        return fail(1,
            QStringLiteral("记录文件的格式不对（第 %1 字节：%2）")
                .arg(reader.failureOffset())
                .arg(reader.failureText()));
    if (!document->isObject())
        return fail(1, QStringLiteral("记录文件应为一个 JSON 对象"));
    const QJsonObject root = document->toObject();
    const QString format = root.value(QLatin1String("format")).toString();
    const QString rule = root.value(QLatin1String("rule")).toString();
    int version = 0;
    if (format == QLatin1String(notary::RecordFormat) && rule == QLatin1String(notary::Rule))
        version = 2;
    else if (format == QLatin1String(notary::RecordFormatV1) && rule == QLatin1String(notary::RuleV1))
        version = 1;
    else
        return fail(1,
            QStringLiteral("不是澄曜抽奖软件的公证记录（格式应为 %1，规则 %2）")
                .arg(QLatin1String(notary::RecordFormat), QLatin1String(notary::Rule)));
    if (version == 2 && !reader.canonical())
        return fail(1,
            QStringLiteral("记录文件不是程序写出的原样（从第 %1 字节起与规范格式不同）")
                .arg(reader.nonCanonicalOffset()));
    const bool members = version == 2
        ? hasExactly(root, { "draw", "entries", "format", "lists", "results", "rule" })
        : (hasExactly(root, { "draw", "entrants", "entries", "format", "results", "rule" })
            || hasExactly(
                root, { "draw", "earlierLists", "entrants", "entries", "format", "results", "rule" }));
    const QJsonObject drawInfo = root.value(QLatin1String("draw")).toObject();
    // Rule v2 names the draw in its commitments only; v1 also in the file.
    if (!members || !root.value(QLatin1String("draw")).isObject()
        || !hasExactly(drawInfo, version == 2 ? QStringList { "id" } : QStringList { "id", "name" })
        || !drawInfo.value(QLatin1String("id")).isDouble()
        || drawInfo.value(QLatin1String("id")).toInteger() < 1
        || (version == 1 && !drawInfo.value(QLatin1String("name")).isString()) || !chainIsArray
        || !resultsAreArray)
        return fail(1, QStringLiteral("记录文件的成员不对"));
    const qint64 drawId = drawInfo.value(QLatin1String("id")).toInteger();

    // The chain: every entry follows the one before it, unaltered.
    if (chain.empty())
        return fail(3, QStringLiteral("记录中没有任何条目"));
    // A round's content is read again when it is replayed; the rest is
    // kept (commitments, seeds and withdrawals are few and read often).
    QList<record::Entry> entries;
    entries.reserve(qsizetype(chain.size()));
    auto contentAt = [&](qsizetype i) {
        const QJsonValue content = valueAt(file, chain[size_t(i)]).toObject().value(QLatin1String("content"));
        return version == 2 ? content.toObject()
                            : json::ParseCanonicalObject(content.toString().toUtf8()).value_or(QJsonObject());
    };
    QString previous = notary::GenesisHash();
    for (qsizetype i = 0; i < qsizetype(chain.size()); ++i) {
        const QJsonValue element = valueAt(file, chain[size_t(i)]);
        const QJsonObject entry = element.toObject();
        const QString type = entry.value(QLatin1String("type")).toString();
        const QString name = record::EntryName(i, type);
        const bool contentForm = version == 2 ? entry.value(QLatin1String("content")).isObject()
                                              : entry.value(QLatin1String("content")).isString();
        if (!element.isObject()
            || !hasExactly(entry, { "content", "hash", "previous", "sequence", "time", "type" })
            || !contentForm || !entry.value(QLatin1String("hash")).isString()
            || !entry.value(QLatin1String("previous")).isString()
            || !entry.value(QLatin1String("sequence")).isDouble()
            || !entry.value(QLatin1String("time")).isString()
            || !entry.value(QLatin1String("type")).isString())
            return fail(1, QStringLiteral("%1的格式不对").arg(name));
        const QString time = entry.value(QLatin1String("time")).toString();
        if (version == 2 ? !notary::IsEntryTime(time) : !notary::IsEntryTimeV1(time))
            return fail(1, QStringLiteral("%1的时间“%2”不是规则所写的时间").arg(name, time));
        if (entry.value(QLatin1String("sequence")).toInteger() != i + 1)
            return fail(2, QStringLiteral("%1的序号应为 %2").arg(name).arg(i + 1));
        if (entry.value(QLatin1String("previous")).toString() != previous)
            return fail(2, QStringLiteral("%1的前一条哈希应为 %2").arg(name, previous));
        record::Entry parsed;
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
                return fail(1, QStringLiteral("%1的内容不是规范的 JSON 对象").arg(name));
            parsed.content = *object;
            hash = notary::v1::EntryHash(previous, i + 1, type, time, content);
        }
        if (entry.value(QLatin1String("hash")).toString() != hash)
            return fail(2, QStringLiteral("%1已被改动：其哈希应为 %2").arg(name, hash));
        parsed.hash = hash;
        previous = hash;
        if (type == QLatin1String("round"))
            parsed.content = QJsonObject();
        entries.append(std::move(parsed));
    }
    check.lastHash = previous;

    // The seed of each commitment, from the entry that revealed it.
    FileLists lists(texts, version);
    lists.elements = std::move(elements);
    lists.v1Entrants = std::move(v1Entrants);
    lists.v1Earlier = std::move(v1Earlier);
    if (listFile) {
        QHash<Key, qint64> keys;
        for (const auto &[number, name] : *listFile)
            keys[Key { number, name }] += 1;
        lists.fileKeys = keys;
    }
    record::Replay replay(version, &lists);
    // The seed of each commitment, from the entry that revealed it. Read
    // first, so a seed that is not one, or not the committed one, is named
    // before the rounds it would be needed for.
    const QString commitType = version == 2 ? QStringLiteral("commit") : QStringLiteral("entered");
    qsizetype open = -1;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const record::Entry &entry = entries.at(i);
        const bool reveals = entry.type == QLatin1String("reveal")
            || (version == 1 && entry.type == QLatin1String("restart")
                && entry.content.contains(QLatin1String("seed")));
        if (entry.type == commitType) {
            if (open >= 0)
                return fail(3,
                    QStringLiteral("%1之前的承诺（%2）还没有公开种子")
                        .arg(record::EntryName(i, entry.type), record::EntryName(open, commitType)));
            open = i;
        } else if (reveals && open >= 0) {
            const std::optional<QByteArray> seed
                = notary::HashBytes(entry.content.value(QLatin1String("seed")).toString());
            if (!seed)
                return fail(1,
                    QStringLiteral("%1公开的种子不是 64 位小写十六进制数")
                        .arg(record::EntryName(i, entry.type)));
            if (notary::Commitment(*seed)
                != entries.at(open).content.value(QLatin1String("commitment")).toString())
                return fail(4,
                    QStringLiteral("%1公开的种子与%2的承诺不符")
                        .arg(record::EntryName(i, entry.type), record::EntryName(open, commitType)));
            replay.setSeed(open, *seed);
            open = -1;
        }
    }

    // The draw replayed: every commitment, round and withdrawal by the rule.
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const record::Entry &entry = entries.at(i);
        if (entry.type == commitType && entry.content.value(QLatin1String("draw")).toInteger() != drawId
            && entry.content.value(QLatin1String("draw")).isDouble())
            return fail(5,
                QStringLiteral("%1承诺的是另一个抽奖（编号 %2）")
                    .arg(record::EntryName(i, entry.type))
                    .arg(entry.content.value(QLatin1String("draw")).toInteger()));
        if (version == 1 && entry.type == commitType
            && entry.content.value(QLatin1String("name")).toString()
                != drawInfo.value(QLatin1String("name")).toString())
            return fail(5,
                QStringLiteral("%1承诺的是抽奖“%2”")
                    .arg(record::EntryName(i, entry.type),
                        entry.content.value(QLatin1String("name")).toString()));
        record::Entry round;
        if (entry.type == QLatin1String("round")) {
            round = entry;
            round.content = contentAt(i);
        }
        if (std::optional<Problem> wrong
            = replay.feed(i, entry.type == QLatin1String("round") ? round : entry))
            return fail(wrong->check, wrong->text);
    }
    // What a person compares, in the record's order.
    if (const std::optional<record::Commit> &last = replay.lastCommit())
        check.drawName = last->name;
    RecordFacts &facts = check.facts;
    facts.rule = version;
    facts.entries = entries.size();
    facts.rounds = replay.rounds();
    for (const record::Replay::Event &event : replay.events()) {
        switch (event.kind) {
        case record::Replay::Event::Committed: {
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
            for (qsizetype k = event.entry - 1; version == 1 && k >= 0 && entries.at(k).type != commitType;
                 --k) {
                if (entries.at(k).type == QLatin1String("restart")
                    && entries.at(k).content.value(QLatin1String("cleared")).toBool())
                    commit.cleared = true;
            }
            for (const QJsonValue &each : entry.content.value(QLatin1String("awards")).toArray()) {
                const QJsonObject award = each.toObject();
                QString text = QStringLiteral("%1 共%2名 每次%3名")
                                   .arg(award.value(QLatin1String("name")).toString())
                                   .arg(award.value(QLatin1String("count")).toInteger())
                                   .arg(award.value(QLatin1String("perRound")).toInteger());
                if (award.value(QLatin1String("repeat")).toBool())
                    text += QStringLiteral(" 可重复中奖");
                if (!award.value(QLatin1String("range")).toString().isEmpty())
                    text += QStringLiteral(" 范围：") + award.value(QLatin1String("range")).toString();
                commit.awards << text;
            }
            facts.commits.append(commit);
            break;
        }
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
    std::vector<StoredResult> results;
    results.reserve(resultRows.size());
    for (const Slice &row : resultRows)
        results.push_back(storedResultAt(file, row));
    if (const std::optional<record::Commit> &last = replay.lastCommit()) {
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
    check.lastHash = previous;
    if (std::optional<Problem> wrong = replay.finish())
        return fail(wrong->check, wrong->text);
    if (version == 2 && lists.usedElements != qsizetype(lists.elements.size()))
        return fail(5,
            QStringLiteral("记录中有 %1 份名单没有被任何承诺用到")
                .arg(qsizetype(lists.elements.size()) - lists.usedElements));
    for (auto it = lists.v1Earlier.cbegin(); it != lists.v1Earlier.cend(); ++it) {
        if (!lists.usedEarlier.contains(it.key()))
            return fail(5, QStringLiteral("记录中指纹为 %1 的名单没有被任何承诺用到").arg(it.key()));
    }

    // The results table as it stands: exactly the wins the record leaves.
    qint64 lastId = 0;
    QSet<qint64> seen;
    for (const StoredResult &stored : results) {
        if (!stored.wellFormed)
            return fail(1, QStringLiteral("结果表的内容格式不对"));
        const qint64 id = stored.id;
        if (id <= lastId)
            return fail(1, QStringLiteral("结果表中的结果应按编号从小到大排列，且不重复（结果 %1）").arg(id));
        lastId = id;
        const auto expected = replay.standing().constFind(id);
        if (expected == replay.standing().cend() || expected->award != stored.award
            || expected->number != stored.number || expected->name != stored.name)
            return fail(8,
                QStringLiteral("结果表中的结果 %1（%2 %3）与记录不符")
                    .arg(id)
                    .arg(stored.number, stored.name));
        seen.insert(id);
    }
    for (auto it = replay.standing().cbegin(); it != replay.standing().cend(); ++it) {
        if (!seen.contains(it.key()))
            return fail(8,
                QStringLiteral("记录中的中奖结果 %1（%2 %3）已不在结果表中")
                    .arg(it.key())
                    .arg(it->number, it->name));
    }
    if (lists.listFileProblem)
        return fail(lists.listFileProblem->check, lists.listFileProblem->text);

    check.summary = SummaryLines(check, listFile ? listFile->size() : -1);
    for (QString &line : check.summary)
        line = OneLine(line);
    check.outcome = RecordCheck::Outcome::Passed;
    return check;
}

QStringList SummaryLines(const RecordCheck &check, qsizetype listFileSize)
{
    const RecordFacts &facts = check.facts;
    QStringList summary;
    summary << QStringLiteral("抽奖：%1（规则 %2）")
                   .arg(check.drawName,
                       facts.rule == 2 ? QLatin1String(notary::Rule) : QLatin1String(notary::RuleV1));
    qsizetype w = 0;
    // Withdrawals are told where they came, between the commitments.
    auto withdrawalsBefore = [&](qsizetype entry) {
        for (; w < facts.withdrawals.size() && facts.withdrawals.at(w).entry < entry; ++w) {
            const RecordFacts::Withdrawal &each = facts.withdrawals.at(w);
            summary << QStringLiteral("撤销：%1，结果 %2（%3 %4），原因：%5")
                           .arg(each.time)
                           .arg(each.result)
                           .arg(each.award, record::PersonText(Key { each.number, each.name }), each.reason);
        }
    };
    for (const RecordFacts::Commit &commit : facts.commits) {
        withdrawalsBefore(commit.entry);
        summary << QStringLiteral("第%1次承诺：%2，公证码 %3，名单 %4 人")
                       .arg(commit.number)
                       .arg(commit.time, notary::GroupedCode(commit.code))
                       .arg(commit.entrants);
        if (facts.rule == 2)
            summary << QStringLiteral("　承诺哈希 %1").arg(commit.hash);
        if (!commit.awards.isEmpty())
            summary << QStringLiteral("　奖项：%1").arg(commit.awards.join(QStringLiteral("；")));
        if (commit.number > 1 && !commit.reason.isEmpty())
            summary << QStringLiteral("　原因：%1").arg(commit.reason);
        if (!commit.changes.isEmpty())
            summary << QStringLiteral("　名单变动：%1").arg(commit.changes);
        if (commit.cleared)
            summary << QStringLiteral("　重新开始：此前的结果和撤销已清除");
        if (facts.rule == 2 && commit.hallGiven) {
            if (commit.hallNumbers.isEmpty())
                summary << QStringLiteral(
                    "　未输入现场随机数：本次承诺下的中奖结果只取决于操作员电脑产生的种子");
            else
                summary << QStringLiteral("　现场随机数：%1（%2），请与现场报出的数字核对")
                               .arg(commit.hallNumbers, commit.hallTime);
        }
    }
    withdrawalsBefore(facts.entries);
    summary << QStringLiteral("%1 轮抽奖的中奖者全部由种子%2重新算出一致，撤销 %3 次")
                   .arg(facts.rounds)
                   .arg(facts.rule == 2 ? QStringLiteral("和现场随机数") : QString())
                   .arg(facts.withdrawals.size());
    qsizetype results = 0;
    for (const RecordFacts::Winners &winners : facts.winners)
        results += winners.people.size();
    summary << QStringLiteral("结果表 %1 条与记录相符").arg(results);
    if (!facts.shortAwards.isEmpty())
        summary << QStringLiteral("未抽满：%1").arg(facts.shortAwards.join(QStringLiteral("，")));
    if (listFileSize >= 0)
        summary << QStringLiteral("名单文件与每次承诺的名单一致（%1 人）").arg(listFileSize);
    summary
        << QStringLiteral("记录 %1 条，哈希链完整，最后一条哈希 %2").arg(facts.entries).arg(check.lastHash);
    return summary;
}

} // namespace tombolix::draw
