#include "draw/checks.h"

#include "data/entrantstore.h"
#include "draw/displayrules.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

namespace tombolix::draw {

namespace {

using Entrant = data::EntrantRecord;

// The draw's entrants in the order they were entered; false when they could
// not be read (the database has reported the failure).
bool readEntrants(qint64 drawId, std::vector<Entrant> &entrants)
{
    data::EntrantRows rows = data::EntrantStore().ofDraw(drawId, data::EntrantStore::Order::ById);
    if (!rows.isOpen())
        return false;
    for (data::EntrantRecord entrant; rows.next(entrant);)
        entrants.push_back(entrant);
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
            report.groups.append({ number, {}, {} });
        } else {
            group = found.value();
        }
        report.groups[group].ids.append(entrants[i].id);
        report.groups[group].names.append(entrants[i].name);
        ++report.rows;
    }

    // Names under more than one number, by the same rule of white space.
    QHash<QString, QSet<QString>> numbersOfName;
    for (size_t i = 0; i < entrants.size(); ++i) {
        const QString name = entrants[i].name.trimmed();
        if (!name.isEmpty() && !numbers[i].isEmpty())
            numbersOfName[name].insert(numbers[i]);
    }
    QHash<QString, int> sharedOf;
    for (size_t i = 0; i < entrants.size(); ++i) {
        const QString name = entrants[i].name.trimmed();
        if (name.isEmpty() || numbers[i].isEmpty() || numbersOfName.value(name).size() < 2)
            continue;
        auto found = sharedOf.constFind(name);
        if (found == sharedOf.constEnd()) {
            found = sharedOf.insert(name, int(report.sharedNames.size()));
            report.sharedNames.append({ name, {}, {} });
        }
        report.sharedNames[found.value()].ids.append(entrants[i].id);
        report.sharedNames[found.value()].numbers.append(numbers[i]);
    }
    return report;
}

int DeleteDuplicateCopies(const DuplicateReport &report)
{
    if (report.groups.isEmpty())
        return 0;
    // The list may have been edited since the check: only what is still a
    // copy goes, by the check's own rule of white space (ideographic spaces
    // too), not by one of its own the database would apply.
    const DuplicateReport now = FindDuplicateNumbers(report.drawId);
    if (!now.read)
        return -1;
    QSet<qint64> stillCopies;
    for (const DuplicateGroup &group : now.groups) {
        for (qint64 id : group.ids.mid(1))
            stillCopies.insert(id);
    }
    QList<qint64> copies;
    for (const DuplicateGroup &group : report.groups) {
        for (qint64 id : group.ids.mid(1)) {
            if (stillCopies.contains(id))
                copies << id;
        }
    }
    if (copies.isEmpty())
        return 0;
    return data::EntrantStore().remove(copies).value_or(-1);
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
            report.odd.append({ entrants[i].id, entrants[i].number, entrants[i].name, lengths[i] });
    }
    return report;
}

} // namespace tombolix::draw
