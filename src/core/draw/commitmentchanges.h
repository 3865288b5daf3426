#pragma once

#include "data/records.h"
#include "draw/entrantpool.h"
#include "draw/recordreplay.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What a draw's database holds now that its record does not: the changes a
// new commitment is made for.
namespace tombolix::draw {

// What changed since the last commitment: its list, its awards.
QStringList changesSince(qint64 drawId, const std::optional<record::Commit> &last, const QString &listPrint,
    EntrantPool &pool, const QList<record::CommittedAward> &awardsNow);

// The database's results and withdrawals against the record's: what differs,
// for the operator to read.
QStringList tableDifferences(const QList<data::ResultRecord> &results,
    const QList<data::WithdrawalRecord> &withdrawals, const record::Replay &replay,
    const QList<record::CommittedAward> &awardsNow);

} // namespace tombolix::draw
