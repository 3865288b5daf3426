#include "draw/recordlists.h"
#include "draw/recordranges.h"

// The awards' ranges checked against the list file: the positions each award
// may be won by follow from the file's attribute columns and the award's
// conditions.
namespace tombolix::draw::recordfile {

namespace {
Problem problemOf(int check, const QString &text)
{
    return Problem { check, text };
}

QString personAt(const Key &key)
{
    if (key.number.isEmpty() || key.name.isEmpty())
        return key.number + key.name;
    return key.number + QLatin1Char(' ') + key.name;
}
} // namespace

std::vector<qsizetype> FileLists::positionsWithNumberIn(const QStringList &numbers) const
{
    std::vector<QByteArray> bytes;
    bytes.reserve(size_t(numbers.size()));
    QSet<QByteArrayView> wanted;
    for (const QString &number : numbers)
        bytes.push_back(number.toUtf8());
    for (const QByteArray &one : bytes)
        wanted.insert(QByteArrayView(one));
    std::vector<qsizetype> positions;
    for (qsizetype p = 1; p <= qsizetype(m_list.size()); ++p) {
        const QByteArrayView number = m_texts.view(m_list[size_t(p - 1)].number);
        if (!number.isEmpty() && wanted.contains(number))
            positions.push_back(p);
    }
    return positions;
}

// The k-th position of a person in L takes the k-th row of that person in
// the file (keys compared trimmed, as the file's are).
void FileLists::alignRowsWithFile()
{
    QHash<Key, QList<qsizetype>> rowsOf;
    for (qsizetype r = 0; r < file->people.size(); ++r)
        rowsOf[Key { file->people.at(r).first, file->people.at(r).second }] << r;
    QHash<Key, qsizetype> taken;
    m_rowOf.assign(m_list.size() + 1, -1);
    for (qsizetype p = 1; p <= qsizetype(m_list.size()); ++p) {
        const Pair &pair = m_list[size_t(p - 1)];
        const Key key { TrimmedForList(m_texts.text(pair.number)), TrimmedForList(m_texts.text(pair.name)) };
        const QList<qsizetype> rows = rowsOf.value(key);
        qsizetype &next = taken[key];
        if (next < rows.size())
            m_rowOf[size_t(p)] = rows.at(next++);
    }
}

void FileLists::checkRangesWithFile(const record::Commit &commit)
{
    for (const record::CommittedAward &award : commit.awards) {
        if (award.limits.conditions.isEmpty())
            continue;
        if (m_rowOf.empty())
            alignRowsWithFile();
        if (std::optional<Problem> wrong = rangeAgainstFile(commit, award)) {
            rangeFileProblem = wrong;
            return;
        }
        ++rangesChecked;
    }
}

std::optional<Problem> FileLists::rangeAgainstFile(
    const record::Commit &commit, const record::CommittedAward &award)
{
    const QString what = QStringLiteral("第%1次承诺中奖项“%2”").arg(commit.number).arg(award.name);
    std::vector<qsizetype> columns;
    for (const Condition &condition : award.limits.conditions) {
        const qsizetype column = file->header.indexOf(condition.attribute);
        if (column < 0)
            return problemOf(10,
                QStringLiteral("名单文件没有“%1”列，无法核对%2的范围（%3）")
                    .arg(condition.attribute, what, award.range));
        columns.push_back(column);
    }
    const Ranges allowed
        = record::Without(positionsWithNumber(), positionsWithNumberIn(award.limits.excluded));
    PositionSet committed;
    committed.assign(size(), false);
    for (const auto &[first, last] : award.eligible.spans) {
        for (qsizetype p = first; p <= last; ++p)
            committed.insert(p);
    }
    QStringList extra, missing;
    qsizetype extraCount = 0, missingCount = 0;
    for (const auto &[first, last] : allowed.spans) {
        for (qsizetype p = first; p <= last; ++p) {
            const qsizetype row = m_rowOf[size_t(p)];
            bool meets = row >= 0;
            for (qsizetype c = 0; meets && c < award.limits.conditions.size(); ++c)
                meets = Meets(award.limits.conditions.at(c), file->cells.at(row).value(columns[size_t(c)]));
            if (meets == committed.contains(p))
                continue;
            QStringList &named = meets ? missing : extra;
            qsizetype &count = meets ? missingCount : extraCount;
            if (++count <= 5)
                named << personAt(keyAt(p));
        }
    }
    // A committed position outside `allowed` was refused by check 5 already.
    if (extraCount == 0 && missingCount == 0)
        return std::nullopt;
    QStringList parts;
    if (extraCount > 0)
        parts << QStringLiteral("多出 %1 人：%2").arg(extraCount).arg(extra.join(QStringLiteral("、")));
    if (missingCount > 0)
        parts << QStringLiteral("少了 %1 人：%2").arg(missingCount).arg(missing.join(QStringLiteral("、")));
    return problemOf(10,
        QStringLiteral("%1可中奖的人与名单文件按范围（%2）算出的不符，%3")
            .arg(what, award.range, parts.join(QStringLiteral("；"))));
}

} // namespace tombolix::draw::recordfile
