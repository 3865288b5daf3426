#pragma once

#include "transfer/workbook.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <vector>

struct zip;

namespace tombolix::transfer::xlsx {
class PartBytes;
}

// Reads .xlsx workbooks (Office Open XML) with libzip and QXmlStreamReader.
// Parts are streamed out of the zip and never taken whole into memory; a
// selected sheet keeps only the cells that hold a value, so a sheet that
// declares a million rows costs what its values cost. Opened with a scope,
// the sheet and the shared strings go through a scanner of plain worksheet
// XML many times faster than the XML reader, which still reads whatever the
// scanner is not sure of.
namespace tombolix::transfer {

class XlsxWorkbook : public Workbook
{
public:
    // The largest part, uncompressed, that is read; bigger ones make the file
    // count as no workbook, so a small zip cannot expand without bound.
    static constexpr qint64 MaxPartSize = 200LL * 1024 * 1024;
    static constexpr int MaxRows = 1048576;
    static constexpr int MaxColumns = 16384;

    // On failure null, with *error CannotOpen or NotAWorkbook.
    // With a scope, the scope's sheet keeps only the cells it names.
    static std::unique_ptr<XlsxWorkbook> open(
        const QString &path, int *error, const CellScope *scope = nullptr);
    static std::unique_ptr<XlsxWorkbook> openData(
        const QByteArray &bytes, int *error, const CellScope *scope = nullptr);
    ~XlsxWorkbook() override;

    QStringList sheetNames() const override;
    QList<SheetInfo> sheets() const override;
    int selectSheet(const QString &name) override;
    int maxColumns() const override { return MaxColumns; }
    int rowCount() const override { return m_rowCount; }
    int columnCount() const override { return m_columnCount; }
    QString cell(int row, int col) const override;

private:
    // A cell of the selected sheet: its text lies in m_pool at index with
    // length characters, or, when length is negative, is shared string index.
    struct StoredCell
    {
        quint64 key;
        quint32 index;
        qint32 length;
    };
    struct Sheet
    {
        QString name;
        QString part;
        bool hidden = false;
    };
    XlsxWorkbook() = default;
    XlsxWorkbook(const XlsxWorkbook &) = delete;
    XlsxWorkbook &operator=(const XlsxWorkbook &) = delete;

    int load();
    bool loadSharedStrings(const QString &part);
    void addSharedString(const QString &text);
    QString sharedString(quint32 index) const;
    bool loadStyles(const QString &part);
    bool loadSheet(const QString &part, const CellScope *scope);
    enum class ScanResult
    {
        Read,
        Broken,
        Unsure,
    };
    // Opens a part for the scanner and reads up to its root element; null
    // when the scan ends there, with *result Read for a missing part,
    // whenBroken for one that cannot be opened, and Unsure for a document
    // the scanner leaves to the XML reader.
    std::unique_ptr<xlsx::PartBytes> startScan(
        const QString &part, ScanResult whenBroken, ScanResult *result) const;
    ScanResult scanSheet(const QString &part, const CellScope &scope);
    ScanResult scanSharedStrings(const QString &part);
    bool readSheet(const QString &part, const CellScope *scope);
    const CellScope *scopeFor(const QString &sheet) const;
    void storeCell(int row, int col, QStringView type, QString &value, const QString &inlineText,
        bool hasInline, int style);
    void storeText(int row, int col, const QString &text);
    QString numberCellText(const QString &value, int style) const;

    zip *m_zip = nullptr;
    QByteArray m_data; // the bytes behind an in-memory zip
    QVector<Sheet> m_sheets;
    // The shared strings one after another, and where each ends.
    QString m_sharedText;
    std::vector<quint32> m_sharedEnds;
    std::vector<quint8> m_styleDates; // date kind of each cell style
    bool m_date1904 = false;
    bool m_scoped = false;
    CellScope m_scope;

    int m_selected = -1;
    std::vector<StoredCell> m_cells; // sorted by key
    QString m_pool;
    int m_rowCount = 0;
    int m_columnCount = 0;
};

} // namespace tombolix::transfer
