#pragma once

#include <QStringList>
#include <cstdio>

// What the command line needs from the operating system.
namespace tombolix {

// The process's arguments as the user typed them, the program's name first.
// On Windows argv holds them in the ANSI code page, which cannot spell every
// file name; there they are read again from the wide command line.
QStringList ProgramArguments(int argc, char *argv[]);

// Writes text to standard output or error: in the locale's encoding on
// Linux; on Windows as Unicode to a console, in UTF-8 to a file or a pipe.
void WriteProgramText(std::FILE *stream, const QString &text);

} // namespace tombolix
