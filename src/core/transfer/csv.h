#pragma once

#include "data/entrantrow.h"
#include "transfer/exporttable.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

// CSV files: the import reader, the preview of the mapping dialog and the
// export writer.
namespace tombolix::transfer {

// Reads last - first + 1 rows from the records of the CSV file, starting at
// physical line first (1-based): spec 0 composes each row's number, spec 1
// its name, any further specs its attributes (a row whose values are all
// empty gets none). An empty line gives a blank row, and so does every row past the
// end of the file; all rows come out new. Returns 0, or CsvOpenError when
// the name does not end in ".csv" or the file cannot be read; rows is then
// empty.
inline constexpr int CsvOpenError = 5;
[[nodiscard]] int ReadCsvRows(
    const QString &path, int first, int last, QStringList specs, std::vector<data::EntrantRow> &rows);

// The first 19 records of the file, each cut to its first 59 fields; an
// empty line gives an empty record. Stops silently on any error.
QList<QStringList> PreviewCsvRows(const QString &path);

// Writes the table as CSV in UTF-8 with a byte-order mark, lines ending in
// CR LF. The file is replaced only when everything has been written; false
// on any error, without a message.
bool ExportGridToCsv(const ExportTable &table, const QString &path);

} // namespace tombolix::transfer
