#pragma once

#include <QDateTime>
#include <memory>

namespace tombolix {

class FSet;

// The console of one start of the program, made after the day's first
// backup. Null when that backup failed and the operator chose not to go on:
// the program then ends without opening a window.
std::unique_ptr<FSet> StartConsole(const QDateTime &now = QDateTime::currentDateTime());

} // namespace tombolix
