#pragma once

#include "transfer/sheetcells.h"
#include "transfer/workbook.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QIODevice;

// The workbooks that are text, not binary: XML Spreadsheet 2003 and HTML
// tables, which office systems save under an .xls name and Excel opens. They
// name their sheets only as they go, so the whole file is read at open.
namespace tombolix::transfer {

enum class MarkupKind
{
    None,
    SpreadsheetXml,
    HtmlTables,
};

// Judges the first few KB of a file, after a byte-order mark, white space
// and comments.
MarkupKind SniffMarkupKind(const QByteArray &head);

class MarkupWorkbook : public Workbook
{
public:
    // Larger files are no workbook an operator imports from.
    static constexpr qint64 MaxFileSize = 200LL * 1024 * 1024;

    // On failure null, with *error CannotOpen (unreadable) or NotAWorkbook
    // (no markup kind, malformed XML, no sheet holding any value).
    static std::unique_ptr<MarkupWorkbook> open(const QString &path, int *error);
    static std::unique_ptr<MarkupWorkbook> openData(const QByteArray &bytes, int *error);

    MarkupKind kind() const { return m_kind; }

    QStringList sheetNames() const override;
    // Hidden sheets of an XML Spreadsheet are flagged; a page hides none.
    QList<SheetInfo> sheets() const override;
    int selectSheet(const QString &name) override;
    int maxColumns() const override { return SheetCells::MaxColumns; }
    int rowCount() const override;
    int columnCount() const override;
    QString cell(int row, int col) const override;

private:
    MarkupWorkbook() = default;
    // Parses the XML from xml or the page's text html, as kind says.
    static std::unique_ptr<MarkupWorkbook> read(
        MarkupKind kind, QIODevice *xml, const QString &html, int *error);

    MarkupKind m_kind = MarkupKind::None;
    std::vector<MarkupSheet> m_sheets;
    int m_selected = -1;
};

} // namespace tombolix::transfer
