#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The program's command line. It is read before the first window, and before
// the windowing system is reached at all, so asking for the version or the
// help works where no display is.
namespace tombolix {

struct CommandLine
{
    QString database; // --database PATH; empty when not given
    // Set when the program ends at once with this code: 0 after the help or
    // the version, 2 for a command line it does not understand.
    std::optional<int> exitCode;
    QString output; // for standard output
    QString error; // for standard error
};

// Reads the arguments, the program's name first.
CommandLine ParseCommandLine(const QStringList &arguments);

// Reads the process's own arguments and writes what the parse has to say.
CommandLine ReadCommandLine(int argc, char *argv[]);

} // namespace tombolix
