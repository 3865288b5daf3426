#include "draw/checks.h"

#include "common/conventions.h"
#include "data/database.h"
#include "draw/displayrules.h"

#include <QHash>
#include <QSqlQuery>
#include <algorithm>
#include <vector>

namespace tombolix::draw {

namespace {

struct Entrant
{
    qint64 id;
    QString number; // as stored
    QString name;
};

// The draw's entrants in stored order; false when they could not be read
// (the database routine has told the operator).
bool readEntrants(qint64 drawId, std::vector<Entrant> &entrants)
{
    data::Recordset rs
        = data::OpenRecordset(QStringLiteral("SELECT ID, 号码, 姓名 FROM 号码表 WHERE CID=? ORDER BY ID"), {drawId});
    if (!rs.isOpen())
        return false;
    for (; !rs.eof(); rs.moveNext())
        entrants.push_back({rs.field(0).toLongLong(), textOf(rs.field(1)), textOf(rs.field(2))});
    rs.close();
    return true;
}

} // namespace

DuplicateReport FindDuplicateNumbers(qint64 drawId)
{
    DuplicateReport report;
    report.drawId = drawId;
    std::vector<Entrant> entrants;
    if (drawId <= 0 || !readEntrants(drawId, entrants))
        return report;
    report.read = true;

    std::vector<QString> numbers;
    numbers.reserve(entrants.size());
    QHash<QString, int> counts;
    counts.reserve(int(entrants.size()));
    for (const Entrant &entrant : entrants) {
        numbers.push_back(entrant.number.trimmed());
        if (!numbers.back().isEmpty())
            ++counts[numbers.back()];
    }

    QHash<QString, int> groupOf;
    for (size_t i = 0; i < entrants.size(); ++i) {
        const QString &number = numbers[i];
        if (number.isEmpty() || counts.value(number) < 2)
            continue;
        auto found = groupOf.constFind(number);
        int group = 0;
        if (found == groupOf.constEnd()) {
            group = int(report.groups.size());
            groupOf.insert(number, group);
            report.groups.append({number, {}, {}});
        } else {
            group = found.value();
        }
        report.groups[group].ids.append(entrants[i].id);
        report.groups[group].names.append(entrants[i].name);
        ++report.rows;
    }
    return report;
}

int DeleteDuplicateCopies(const DuplicateReport &report)
{
    if (report.groups.isEmpty())
        return 0;
    if (!data::OpenConnection())
        return -1;
    data::Transaction transaction;
    if (!transaction.isActive())
        return -1;
    int deleted = 0;
    {
        QSqlQuery remove(data::connection());
        if (!remove.prepare(QStringLiteral("DELETE FROM 号码表 WHERE ID=?")))
            return -1;
        for (const DuplicateGroup &group : report.groups) {
            for (int i = 1; i < group.ids.size(); ++i) {
                remove.bindValue(0, group.ids.at(i));
                if (!remove.exec())
                    return -1;
                // A copy someone else deleted already is simply gone.
                deleted += std::max(0, remove.numRowsAffected());
            }
        }
    }
    return transaction.commit() ? deleted : -1;
}

LengthReport FindOddLengths(qint64 drawId, qint64 fixedLength)
{
    LengthReport report;
    report.drawId = drawId;
    std::vector<Entrant> entrants;
    if (drawId <= 0 || !readEntrants(drawId, entrants))
        return report;
    report.read = true;
    report.total = int(entrants.size());

    std::vector<int> lengths;
    lengths.reserve(entrants.size());
    QHash<int, int> rowsOfLength;
    for (const Entrant &entrant : entrants) {
        lengths.push_back(int(entrant.number.trimmed().size()));
        if (lengths.back() > 0)
            ++rowsOfLength[lengths.back()];
    }

    if (fixedLength > 0) {
        // A longer stored length is shown at the ceiling, so that is the
        // length the numbers are held to.
        report.rule = LengthRule::FixedLength;
        report.expected = int(std::min<qint64>(fixedLength, draw::MaxFixedLength));
    } else {
        report.rule = LengthRule::MostCommon;
        int best = 0;
        for (auto it = rowsOfLength.constBegin(); it != rowsOfLength.constEnd(); ++it) {
            const int rows = it.value();
            const int bestRows = rowsOfLength.value(best);
            if (rows > bestRows || (rows == bestRows && it.key() > best))
                best = it.key();
        }
        report.expected = best;
    }
    report.expectedRows = rowsOfLength.value(report.expected);

    for (size_t i = 0; i < entrants.size(); ++i) {
        if (lengths[i] != report.expected || lengths[i] == 0)
            report.odd.append({entrants[i].id, entrants[i].number, entrants[i].name, lengths[i]});
    }
    return report;
}

} // namespace tombolix::draw
