#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The record of a checkable draw as a file anyone can check.
namespace tombolix::draw {

// Reveals the seed of the draw's commitment in force into its record, once;
// true when it is revealed now or was before, false when the draw has no
// seed or the database refused.
bool RevealSeed(qint64 drawId);

// Whether the draw's record follows rule v1 (version 1.12).
bool RecordIsV1(qint64 drawId);

// The record file of the draw: its name, the chained entries, the entrant
// lists its commitments were made to and the results as stored now, in the
// canonical form the rule asks for. Nothing when the database could not be
// read or the draw has no record.
std::optional<QByteArray> ExportRecord(qint64 drawId);

} // namespace tombolix::draw
