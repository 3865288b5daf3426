#pragma once

#include "transfer/workbook.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <vector>

// Reads .xls workbooks (BIFF in an OLE compound file) with FreeXL.
//
// FreeXL 1.0.6 misbehaves on damaged files: it can write outside its buffers,
// spin for minutes over absurd date serials, and allocate every cell a sheet
// declares. So it never runs in our process: the helper program
// tombolix-xlsread, beside the executable, opens the file and writes the
// sheet names and the cells asked for on its output (transfer/xlsstream.h),
// and a helper that is missing, crashes, fails or overruns its time makes
// the file count as unreadable.
namespace tombolix::transfer {

class XlsWorkbook : public Workbook
{
public:
    static constexpr int MaxRows = 65536;
    static constexpr int MaxColumns = 256;
    // Time for the helper; ample for the biggest honest .xls.
    static constexpr int DefaultReadTimeoutMs = 30000;
    static void setReadTimeout(int milliseconds);
    // The helper program: by default tombolix-xlsread beside the running
    // executable; tests put another in its place. Empty restores the default.
    static void setHelperProgram(const QString &path);
    static QString helperProgram();

    // Reads the whole workbook, or with a scope the sheet names and the
    // scope's cells only. On failure null, with *error CannotOpen (the file
    // or the helper cannot be opened) or NotAWorkbook (password-protected
    // workbooks included: their cells cannot be read).
    static std::unique_ptr<XlsWorkbook> open(
        const QString &path, int *error, const CellScope *scope = nullptr);
    // The workbook a helper's whole output describes; null with *error
    // NotAWorkbook for a stream that is cut short or out of shape, or with
    // the error the helper reported.
    static std::unique_ptr<XlsWorkbook> fromStream(const QByteArray &stream, int *error);

    QStringList sheetNames() const override;
    int selectSheet(const QString &name) override;
    int maxColumns() const override { return MaxColumns; }
    int rowCount() const override;
    int columnCount() const override;
    QString cell(int row, int col) const override;

private:
    // A cell's text lies in m_pool at offset with length characters.
    struct StoredCell
    {
        quint32 key; // row << 9 | column
        quint32 offset;
        quint32 length;
    };
    struct Sheet
    {
        QString name;
        std::vector<StoredCell> cells; // sorted by key
        int rows = 0;
        int columns = 0;
    };

    XlsWorkbook() = default;
    int load(const QByteArray &stream);

    QVector<Sheet> m_sheets;
    QString m_pool;
    int m_selected = -1;
};

} // namespace tombolix::transfer
