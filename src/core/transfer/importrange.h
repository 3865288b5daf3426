#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class QIODevice;

// How many rows an import file has, and what the mapping dialog tells the
// operator about the range of rows to import and about an import's outcome.
// Rows are numbered as the range boxes number them: the file's records (a
// workbook sheet's rows) from 1, a header row included.
namespace tombolix::transfer {

// The number of the last CSV record that holds anything, records counted as
// the import reads them: CR LF, LF and CR each end a line, a quoted field may
// run over lines, an empty line is a row of its own, and empty lines after
// the last record are no rows. The bytes are streamed, never decoded; a
// byte-order mark is skipped and one for UTF-16 makes the count go by
// two-byte units. -1 when the file cannot be read.
qint64 CountCsvRows(QIODevice &device);
qint64 CountCsvRows(const QString &path);

// The rows of a CSV file or of a workbook's sheet (its last row holding a
// value); -1 when the file or the sheet cannot be read. Shows no message.
qint64 CountRows(const QString &path, const QString &sheet);

// "文件共有N行", or nothing when the count is unknown (negative).
QString FileRowsText(qint64 fileRows);

// The question to ask before importing rows first..last when the range stops
// before the file's last row; empty when it reaches the last row or the count
// is unknown. Only the end is checked: a range starting after row 1 leaves
// out header rows on purpose, and the preview shows what they hold.
QString ShortRangeQuestion(qint64 fileRows, int first, int last);

// A range's rows never past the file's last row: either end beyond it is
// brought back to it. Nothing changes when the count is unknown or the file
// has no rows.
void KeepRangeInFile(qint64 fileRows, int &first, int &last);

// The question to ask when row `first` looks like a header rather than an
// entrant: its number or its name (composed by specs 0 and 1) is a caption
// such as 工号 or 姓名, or its number is unlike the numbers below it (text
// where they are digits, or no digit where they all have one). preview holds
// the file's first rows, preview[0] being row 1; a row beyond it is not
// judged. Empty when the row looks like an entrant.
QString HeaderRowQuestion(const QList<QStringList> &preview, int first, const QStringList &specs);

// The question to ask when rows above `first` look like entrants (a
// number that is no caption, like the numbers of the range's rows, and not
// the header row itself): "第2行（G001 夏敏英）不在导入范围内，…". The row to
// start from instead is put into `from`. Empty when no such row is seen in
// the preview.
QString RowsAboveRangeQuestion(
    const QList<QStringList> &preview, int first, const QStringList &specs, int &from);

// A column of the file beyond those the number and the name are read from,
// offered to be imported as an attribute of the entrants: its caption from
// the header row, or 列C when that cell is empty, and whether it is chosen
// at first (when it has a caption other than 序号).
struct FurtherColumn
{
    int column = 0; // 1-based
    QString name;
    bool chosen = false;
};

// The further columns of the preview (up to the last that holds anything in
// its rows), their captions taken from row headerRow (from 1; 0 for none).
// A caption is trimmed, its line breaks and runs of spaces made one space,
// and one that another column has already got is told apart by its column
// ("部门（E列）").
QList<FurtherColumn> FurtherColumns(
    const QList<QStringList> &preview, int headerRow, const QStringList &specs);

// Whether a cell reads as the caption of a number or name column (号码, 工号,
// 姓名, No.…), a colon after it allowed.
bool IsColumnCaption(const QString &cell);

// The rows of the range that lie within the file but were not stored: the
// import drops rows without number and name. 0 when the count is unknown.
qint64 SkippedEmptyRows(qint64 fileRows, int first, int last, qint64 stored);

// The message after an import; the skipped rows are named when there are any.
QString ImportedMessage(qint64 stored, qint64 skipped);

} // namespace tombolix::transfer
