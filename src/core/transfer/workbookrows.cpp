#include "transfer/workbookrows.h"

#include "common/progress.h"
#include "common/prompts.h"
#include "grid/gridops.h"
#include "transfer/columnspec.h"
#include "transfer/workbook.h"

#include <algorithm>

namespace tombolix::transfer {

namespace {

QString readingText()
{
    return QStringLiteral("正在读取EXCEL数据……");
}

// Opens the workbook and selects the sheet; null with *error set otherwise.
std::unique_ptr<Workbook> openSheet(const QString &path, const QString &sheet, int *error)
{
    std::unique_ptr<Workbook> book = OpenWorkbook(path, error);
    if (book)
        *error = book->selectSheet(sheet);
    return *error == NoError ? std::move(book) : nullptr;
}

// The highest column the specs read, found by composing them over cells that
// only note which column was asked for, so pieces are judged exactly as the
// read itself will judge them.
int widestColumn(const QStringList &specs)
{
    int widest = 0;
    for (const QString &spec : specs) {
        ComposeSpecValue(
            spec,
            [&widest](int col) {
                widest = std::max(widest, col);
                return QString();
            },
            true);
    }
    return widest;
}

} // namespace

int ReadWorkbookRows(grid::GridModel &grid, const QString &path, const QString &sheet, int first, int last,
    QStringList specs, const QFont &font)
{
    ProgressScope progress(readingText(), 100);
    int error = NoError;
    std::unique_ptr<Workbook> book = openSheet(path, sheet, &error);
    NormaliseColumnSpecs(specs);
    if (book && widestColumn(specs) > book->maxColumns())
        error = ColumnOutOfRange;
    // Errors are all found before the grid grows: a failed read used to leave
    // its empty rows behind, and the import then stored them as entrants.
    if (error != NoError) {
        prompts().message(WorkbookErrorMessage(error));
        return error;
    }

    const int oldRows = grid.Rows();
    const int count = std::max(0, last - first + 1);
    OpenProgress(readingText(), qint64(oldRows) + count - grid.FixedRows());
    grid.beginBulkChange();
    grid.setRows(oldRows + count);
    for (int r = oldRows; r < grid.Rows(); ++r) {
        grid.setTextMatrix(r, grid.FixedCols() - 1, QString::number(r - grid.FixedRows() + 1));
        const int fileRow = r - oldRows + first;
        for (int i = 0; i < specs.size(); ++i) {
            const QString value = ComposeSpecValue(
                specs.at(i), [&](int col) { return book->cell(fileRow, col); }, true);
            grid.setTextMatrix(r, grid.FixedCols() + i, value);
        }
        progress.advance();
    }
    grid.endBulkChange();
    grid::FitGridColumns(font, grid, grid.FixedRows() - 1, true);
    return NoError;
}

int PreviewWorkbookRows(
    grid::GridModel &preview, const QString &path, const QString &sheet, const QFont &font)
{
    constexpr int PreviewRows = 19;
    constexpr int PreviewColumns = 59;
    ProgressScope progress(readingText(), PreviewRows + 1);
    int error = NoError;
    const std::unique_ptr<Workbook> book = openSheet(path, sheet, &error);
    if (!book) {
        prompts().message(WorkbookErrorMessage(error));
        return error;
    }
    preview.beginBulkChange();
    for (int r = 1; r <= PreviewRows; ++r) {
        for (int c = 1; c <= PreviewColumns; ++c)
            preview.setTextMatrix(r, c, book->cell(r, c));
        progress.advance();
    }
    preview.endBulkChange();
    grid::FitGridColumns(font, preview, 2, true);
    return NoError;
}

QStringList ListWorksheets(const QString &path, int *error)
{
    const QString text = QStringLiteral("正在读取EXCEL文件数据……");
    ProgressScope progress(text, 100);
    int result = NoError;
    const std::unique_ptr<Workbook> book = OpenWorkbook(path, &result);
    if (error)
        *error = result;
    if (!book)
        return QStringList();
    const QStringList names = book->sheetNames();
    OpenProgress(text, names.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        progress.advance();
    return names;
}

} // namespace tombolix::transfer
