#include "draw/recordlists.h"

#include "common/notary.h"
#include "draw/recordcheck.h"

#include <QStringList>
#include <algorithm>
#include <numeric>

namespace tombolix::draw::recordfile {

namespace {

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

} // namespace

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

bool readLists(json::Reader &reader, Texts &texts, std::vector<ListElement> &elements)
{
    if (!reader.beginArray())
        return false;
    bool more = false;
    for (qsizetype i = 0; reader.nextElement(more, i) && more; ++i) {
        ListElement element;
        if (!readListElement(reader, texts, element))
            return false;
        elements.push_back(std::move(element));
    }
    return reader.failure() == json::Reader::Failure::None;
}

bool readEarlierLists(json::Reader &reader, Texts &texts, QHash<QString, std::vector<Pair>> &lists)
{
    if (!reader.beginObject())
        return false;
    bool more = false;
    QByteArray name;
    for (qsizetype i = 0; reader.nextMember(more, name, i) && more; ++i) {
        std::vector<Pair> pairs;
        if (!readPairs(reader, texts, pairs))
            return false;
        lists.insert(QString::fromUtf8(name), std::move(pairs));
    }
    return reader.failure() == json::Reader::Failure::None;
}

std::optional<Problem> FileLists::takeListOf(const record::Commit &commit)
{
    const QString what = QStringLiteral("第%1次承诺").arg(commit.number);
    const bool changed = !(commit.number > 1 && commit.fingerprint == m_fingerprint);
    if (changed) {
        if (std::optional<Problem> wrong = m_rule == 2 ? takeElement(commit, what) : takeV1List(commit, what))
            return wrong;
    }
    if (m_fingerprint != commit.fingerprint)
        return problemOf(5, QStringLiteral("%1的名单指纹应为 %2").arg(what, m_fingerprint));
    if (commit.entrants != qsizetype(m_list.size()))
        return problemOf(5, QStringLiteral("%1的人数应为 %2").arg(what).arg(m_list.size()));
    if (changed) {
        buildPeople();
        m_rowOf.clear();
        if (fileKeys && !listFileProblem)
            compareWithFile(commit);
    }
    if (file && !listFileProblem && !rangeFileProblem)
        checkRangesWithFile(commit);
    return std::nullopt;
}

// Rule v2: the next element of `lists`, a full list or the changes to the
// one before.
std::optional<Problem> FileLists::takeElement(const record::Commit &commit, const QString &what)
{
    if (usedElements >= qsizetype(elements.size()))
        return problemOf(5, QStringLiteral("%1的名单（指纹 %2）不在记录中").arg(what, commit.fingerprint));
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
    return std::nullopt;
}

// Rule v1: `entrants`, or the earlier list of the commit's fingerprint.
std::optional<Problem> FileLists::takeV1List(const record::Commit &commit, const QString &what)
{
    std::vector<Pair> list;
    if (commit.fingerprint == v1Fingerprint(v1Entrants)) {
        list = std::vector<Pair>(v1Entrants);
    } else if (v1Earlier.contains(commit.fingerprint)) {
        list = v1Earlier.value(commit.fingerprint);
        if (v1Fingerprint(list) != commit.fingerprint)
            return problemOf(5, QStringLiteral("记录中指纹为 %1 的名单与其指纹不符").arg(commit.fingerprint));
        usedEarlier.insert(commit.fingerprint);
    } else {
        return problemOf(5, QStringLiteral("%1的名单（指纹 %2）不在记录中").arg(what, commit.fingerprint));
    }
    if (commit.number > 1)
        changesAt.insert(commit.number, record::ListChangesText(multisetDelta(m_list, list)));
    m_list = std::move(list);
    m_fingerprint = commit.fingerprint;
    return std::nullopt;
}

Key FileLists::keyAt(qsizetype position) const
{
    const Pair &pair = m_list[size_t(position - 1)];
    return Key { m_texts.text(pair.number), m_texts.text(pair.name) };
}

std::vector<qsizetype> FileLists::positionsOf(const QSet<Key> &keys) const
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

QString FileLists::v1Fingerprint(const std::vector<Pair> &list)
{
    notary::v1::Fingerprint fingerprint;
    for (const Pair &pair : list)
        fingerprint.addUtf8(m_texts.view(pair.number), m_texts.view(pair.name));
    return fingerprint.result();
}

QHash<Key, qint64> FileLists::multisetDelta(
    const std::vector<Pair> &before, const std::vector<Pair> &after) const
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

std::optional<Problem> FileLists::applyDelta(
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

void FileLists::buildPeople()
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
        m_numbered.append(p);
    }
}

void FileLists::compareWithFile(const record::Commit &commit)
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

} // namespace tombolix::draw::recordfile

namespace tombolix::draw {

QString TrimmedForList(const QString &text)
{
    return text.trimmed();
}

ListFile ListFileOfRows(const QList<QStringList> &rows)
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
    ListFile list;
    if (first > 0) {
        for (const QString &caption : rows.at(first - 1))
            list.header << TrimmedForList(caption);
    }
    for (qsizetype r = first; r < rows.size(); ++r) {
        const QString number = TrimmedForList(rows.at(r).value(numberColumn));
        const QString name = TrimmedForList(rows.at(r).value(nameColumn));
        if (number.isEmpty() && name.isEmpty())
            continue;
        list.people.append({ number, name });
        if (first > 0) {
            QStringList cells;
            for (const QString &cell : rows.at(r))
                cells << TrimmedForList(cell);
            list.cells << cells;
        }
    }
    return list;
}

EntrantList EntrantListOfRows(const QList<QStringList> &rows)
{
    return ListFileOfRows(rows).people;
}

} // namespace tombolix::draw
