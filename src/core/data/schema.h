#pragma once

#include <QString>

// Making an empty database file. Only the build tool, the tests and the
// benchmarks use this: the program itself never creates a file or a table.
namespace tombolix::schema {

const char *schemaSql();

// Splits the schema into its statements, comments dropped.
QStringList schemaStatements();

// Creates the file with the five empty tables. Does nothing and returns true
// when a file is already at the path. On failure *error says why.
bool createEmptyDatabase(const QString &path, QString *error = nullptr);

} // namespace tombolix::schema
