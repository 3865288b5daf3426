#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

// A workbook opened for reading, whatever its file format: its worksheets in
// workbook order, one of them selected, and the selected sheet's cells as the
// text an operator would have typed. The readers of .xlsx and .xls files
// derive from it; this header stays free of any library so that each reader
// can be built on its own (the fuzz targets do).
namespace tombolix::transfer {

// The error numbers the import tells apart; their messages come from
// WorkbookErrorMessage().
enum WorkbookError
{
    NoError = 0,
    CannotOpen = 5,
    NoSuchSheet = 9,
    NotAWorkbook = 438,
    ColumnOutOfRange = 1004,
};

// A worksheet as the sheet chooser lists it. A hidden sheet is one the
// office keeps out of sight (hidden or very hidden); its data is still
// readable.
struct SheetInfo
{
    QString name;
    bool hidden = false;
};

// The cells a caller means to read: the given columns (1-based, ascending,
// no repeats) of rows firstRow..lastRow of one sheet. A reader given a scope
// may leave out every other cell, and may stop reading the sheet after its
// last row, so a scoped workbook answers rowCount() and columnCount() for
// what it kept, and its other sheets may read as empty.
struct CellScope
{
    QString sheet;
    std::vector<int> columns;
    int firstRow = 1;
    int lastRow = INT_MAX;

    bool wantsColumn(int col) const { return std::binary_search(columns.begin(), columns.end(), col); }
    bool wants(int row, int col) const { return row >= firstRow && row <= lastRow && wantsColumn(col); }
};

class Workbook
{
public:
    virtual ~Workbook() = default;

    // Worksheet names in workbook order (chart sheets are not worksheets).
    virtual QStringList sheetNames() const = 0;
    // The same worksheets with whether each is hidden; readers that cannot
    // tell report every sheet as shown.
    virtual QList<SheetInfo> sheets() const
    {
        QList<SheetInfo> infos;
        for (const QString &name : sheetNames())
            infos.append({ name, false });
        return infos;
    }
    // Selects a worksheet by name, without regard to case. Returns 0,
    // NoSuchSheet, or NotAWorkbook when the sheet's own data is damaged.
    virtual int selectSheet(const QString &name) = 0;
    // The widest sheet the format holds: 256 for .xls, 16384 for .xlsx.
    virtual int maxColumns() const = 0;
    // The last row and column of the selected sheet that hold a value.
    virtual int rowCount() const = 0;
    virtual int columnCount() const = 0;
    // A cell of the selected sheet, 1-based; "" outside the sheet or with
    // none selected.
    virtual QString cell(int row, int col) const = 0;
};

// Opens a workbook by its content, not its name: a zip container is read as
// .xlsx, an OLE compound file as .xls, an XML Spreadsheet 2003 file or an
// HTML page by their markup (see markupworkbook.h). On failure returns null and sets
// *error to CannotOpen (missing or unreadable file) or NotAWorkbook. With a
// scope, only the cells it names need be read (see CellScope).
std::unique_ptr<Workbook> OpenWorkbook(const QString &path, int *error, const CellScope *scope = nullptr);

// The operator's message for an error number, unknown numbers included.
QString WorkbookErrorMessage(int error);

} // namespace tombolix::transfer
