#pragma once

#include <QString>

// The database's tables and their versions. The five tables of schema.sql
// are version 0, the file as the program first kept it; every later change
// is a step to the next version, kept below, and a file carries its version
// in SQLite's user_version. The program never creates a file: the build tool
// makes the empty one at the newest version, and the program brings an older
// file of its own up to it, step by step.
namespace tombolix::schema {

// The version this program writes and reads.
inline constexpr int CurrentVersion = 5;

const char *schemaSql();

// Splits the schema into its statements, comments dropped.
QStringList schemaStatements();

// The statements that bring a file of `version` to CurrentVersion, the
// setting of user_version included; none for a current file.
QStringList upgradeStatements(int version);

// Creates the file with the empty tables at CurrentVersion. Does nothing and
// returns true when a file is already at the path. On failure *error says why.
bool createEmptyDatabase(const QString &path, QString *error = nullptr);

} // namespace tombolix::schema
