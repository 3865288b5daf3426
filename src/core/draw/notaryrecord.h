#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// The record of a checkable draw as a file anyone can check, and the check.
namespace tombolix::draw {

inline constexpr char RecordFormat[] = "tombolix-record-1";

// Reveals the draw's seed into its record, once; false when the draw has no
// seed or the database refused.
bool RevealSeed(qint64 drawId);

// The record of the draw: its name, its entrants in the draw's order, the
// chained entries and the results as stored now. Nothing when the database
// could not be read.
std::optional<QJsonObject> ExportRecord(qint64 drawId);

// Number and name per row, as an entrant list gives them.
using EntrantList = QList<std::pair<QString, QString>>;

// The entrant list in the rows of a file: the columns headed 抽奖号码 (or
// 号码) and 姓名 when one of the first rows names them, as the console's
// export does, else the first two columns. Rows without a number are left out.
EntrantList EntrantListOfRows(const QList<QStringList> &rows);

struct Verification
{
    bool passed = false;
    QString problem; // the first thing that differs, and what was expected
    QStringList summary; // what was checked, for a person to read
};

// Recomputes the chain, the commitments, the fingerprints, every round's
// winners and the results a record names. `list`: the entrant list as a file
// gives it, which must hold exactly the committed entrants (a header row of
// its own above them is allowed); its order may differ, since the winners
// follow the record's order.
Verification VerifyRecord(const QJsonObject &record, const std::optional<EntrantList> &list = std::nullopt);

} // namespace tombolix::draw
