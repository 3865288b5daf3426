#include "transfer/workbookrows.h"

#include "common/progress.h"
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
std::unique_ptr<Workbook> openSheet(const QString &path, const QString &sheet, int *error, CellScope *scope)
{
    if (scope)
        scope->sheet = sheet;
    std::unique_ptr<Workbook> book = OpenWorkbook(path, error, scope);
    if (book)
        *error = book->selectSheet(sheet);
    return *error == NoError ? std::move(book) : nullptr;
}

// The columns the specs read, from the same pieces the read composes, so
// pieces are judged exactly as the read itself will judge them.
std::vector<int> columnsRead(const QStringList &specs)
{
    std::vector<int> columns;
    for (const QString &spec : specs) {
        const std::vector<int> read = SpecPieces(spec, true).columns();
        columns.insert(columns.end(), read.begin(), read.end());
    }
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    return columns;
}

} // namespace

int ReadWorkbookRows(const QString &path, const QString &sheet, int first, int last, QStringList specs,
    std::vector<data::EntrantRow> &rows, qint64 rowsShown)
{
    rows.clear();
    ProgressScope progress(readingText(), 100);
    NormaliseColumnSpecs(specs);
    // Only the cells the specs read are kept while the sheet is read: a
    // list's other columns and rows cost the reader no memory.
    CellScope scope;
    scope.columns = columnsRead(specs);
    scope.firstRow = first;
    scope.lastRow = last;
    int error = NoError;
    std::unique_ptr<Workbook> book = openSheet(path, sheet, &error, &scope);
    if (book && !scope.columns.empty() && scope.columns.back() > book->maxColumns())
        error = ColumnOutOfRange;
    // Errors are all found before any row is read: a failed read used to
    // leave empty rows behind, and the import then stored them as entrants.
    if (error != NoError)
        return error;

    const int count = std::max(0, last - first + 1);
    OpenProgress(readingText(), rowsShown + count);
    const SpecPieces numberSpec(specs.value(0), true);
    const SpecPieces nameSpec(specs.value(1), true);
    const std::vector<SpecPieces> attributeSpecs = AttributeSpecPieces(specs, true);
    rows.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        const int fileRow = first + i;
        const auto cell = [&](int col) { return book->cell(fileRow, col); };
        rows[size_t(i)].number = numberSpec.compose(cell);
        rows[size_t(i)].name = nameSpec.compose(cell);
        ComposeAttributes(attributeSpecs, cell, rows[size_t(i)].attributes);
        progress.advance();
    }
    return NoError;
}

int PreviewWorkbookRows(const QString &path, const QString &sheet, QList<QStringList> &cells, int *rowCount)
{
    constexpr int PreviewRows = 19;
    constexpr int PreviewColumns = 59;
    cells.clear();
    if (rowCount)
        *rowCount = 0;
    ProgressScope progress(readingText(), PreviewRows + 1);
    int error = NoError;
    const std::unique_ptr<Workbook> book = openSheet(path, sheet, &error, nullptr);
    if (!book)
        return error;
    for (int r = 1; r <= PreviewRows; ++r) {
        QStringList row;
        row.reserve(PreviewColumns);
        for (int c = 1; c <= PreviewColumns; ++c)
            row << book->cell(r, c);
        cells.append(row);
        progress.advance();
    }
    if (rowCount)
        *rowCount = book->rowCount();
    return NoError;
}

QStringList ListWorksheets(const QString &path, int *error)
{
    QStringList names;
    for (const SheetInfo &sheet : ListWorksheetInfo(path, error))
        names << sheet.name;
    return names;
}

QList<SheetInfo> ListWorksheetInfo(const QString &path, int *error)
{
    const QString text = QStringLiteral("正在读取EXCEL文件数据……");
    ProgressScope progress(text, 100);
    int result = NoError;
    // A scope of no cells: the names are all the chooser needs, and the .xls
    // reader then sends no cell at all.
    const CellScope namesOnly { QString(), {}, 1, 0 };
    const std::unique_ptr<Workbook> book = OpenWorkbook(path, &result, &namesOnly);
    if (error)
        *error = result;
    if (!book)
        return {};
    const QList<SheetInfo> sheets = book->sheets();
    OpenProgress(text, sheets.size());
    for (qsizetype i = 0; i < sheets.size(); ++i)
        progress.advance();
    return sheets;
}

} // namespace tombolix::transfer
