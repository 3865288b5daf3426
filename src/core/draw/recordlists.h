#pragma once

#include "common/canonicaljson.h"
#include "draw/positionset.h"
#include "draw/recordcheck.h"
#include "draw/recordreplay.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QSet>
#include <QString>
#include <optional>
#include <vector>

// The entrant lists of a record file, as the check reads them and its
// commitments take them in turn; the check's list file is read with them
// (recordcheck.h).
namespace tombolix::draw::recordfile {

using record::Key;
using record::Problem;

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

// A list as a record writes it: [[number, name], …].
bool readPairs(json::Reader &reader, Texts &texts, std::vector<Pair> &pairs);
// Rule v2's `lists`: full lists and changes, in the order of the commitments.
bool readLists(json::Reader &reader, Texts &texts, std::vector<ListElement> &elements);
// Rule v1's `earlierLists`: the lists by their fingerprints.
bool readEarlierLists(json::Reader &reader, Texts &texts, QHash<QString, std::vector<Pair>> &lists);

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
    const ListFile *file = nullptr; // with it, the awards' ranges are checked against it
    std::optional<Problem> rangeFileProblem; // the first award whose set the file does not give
    qsizetype rangesChecked = 0; // awards with conditions found as the file gives them

    std::optional<Problem> listFileProblem; // the first commitment whose list differs from the file
    QHash<int, QString> changesAt; // by commitment: who joined or left since the one before
    qsizetype usedElements = 0;
    QSet<QString> usedEarlier;

    std::optional<Problem> takeListOf(const record::Commit &commit) override;
    qsizetype size() const override { return qsizetype(m_list.size()); }
    Key keyAt(qsizetype position) const override;
    Ranges positionsWithNumber() const override { return m_numbered; }
    std::vector<qsizetype> positionsOf(const QSet<Key> &keys) const override;
    std::vector<qsizetype> positionsWithNumberIn(const QStringList &numbers) const override;
    const KeyIndex &people() const override { return m_people; }
    PositionSet &inDraw() override { return m_inDraw; }

private:
    std::optional<Problem> takeElement(const record::Commit &commit, const QString &what);
    std::optional<Problem> takeV1List(const record::Commit &commit, const QString &what);
    QString v1Fingerprint(const std::vector<Pair> &list);
    QHash<Key, qint64> multisetDelta(const std::vector<Pair> &before, const std::vector<Pair> &after) const;
    std::optional<Problem> applyDelta(
        const ListElement &element, const QString &what, std::vector<Pair> &list, QHash<Key, qint64> &delta);
    void buildPeople();
    void compareWithFile(const record::Commit &commit);
    void checkRangesWithFile(const record::Commit &commit);
    std::optional<Problem> rangeAgainstFile(
        const record::Commit &commit, const record::CommittedAward &award);
    void alignRowsWithFile();
    std::vector<qsizetype> m_rowOf; // per position of L, its row of the list file

    const Texts &m_texts;
    int m_rule;
    std::vector<Pair> m_list;
    QString m_fingerprint;
    KeyIndex m_people;
    Ranges m_numbered = Ranges::none();
    PositionSet m_inDraw;
};

} // namespace tombolix::draw::recordfile
