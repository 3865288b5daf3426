#include "transfer/xlsxparts.h"
#include "transfer/xlsxreader.h"
#include "transfer/xlsxscanner.h"

#include <QString>
#include <algorithm>
#include <string>
#include <vector>

// The sheet and the shared strings read with the scanner (xlsxscanner.h).
namespace tombolix::transfer {

using namespace xlsx;

namespace {

// A cell as the scanner read it, in the form storeCell() takes.
struct ScannedCell
{
    int row = 0;
    int col = 0;
    int style = -1; // none given
    std::string type;
    QString value;
    QString inlineText;
    bool hasInline = false;
};

// The scanner's walk through a worksheet's tags: the nesting outside the
// cells is checked, the rows and cells inside them are read, and the cells
// the scope keeps are handed out one by one.
class SheetScanner
{
public:
    enum class Step
    {
        On, // read on
        Cell, // a cell the scope keeps has been read
        Done, // the scope's last row is behind, or the sheet has ended well
        Unsure,
    };

    SheetScanner(PartBytes &in, const CellScope &scope)
        : m_in(in)
        , m_scope(scope)
    { }

    // Reads on to the next cell the scope keeps; Cell with it in cell.
    Step next(ScannedCell &cell)
    {
        for (;;) {
            if (!m_atTag && !m_in.textUntilTag(nullptr))
                return m_sawData && m_open.empty() && !m_in.failed() ? Step::Done : Step::Unsure;
            m_atTag = false;
            if (!readTag(m_in, m_tag))
                return Step::Unsure;
            const Step step = m_inData ? dataTag(cell) : outsideDataTag();
            if (step != Step::On)
                return step;
        }
    }

private:
    // Outside the cells only the nesting is checked.
    Step outsideDataTag()
    {
        const bool prefixed = m_tag.name.find(':') != std::string::npos;
        if (prefixed && m_tag.name.size() >= 10
            && m_tag.name.compare(m_tag.name.size() - 10, 10, ":sheetData") == 0)
            return Step::Unsure;
        if (m_tag.end) {
            if (m_open.empty() || m_open.back() != m_tag.name)
                return Step::Unsure;
            m_open.pop_back();
            m_rootClosed = m_open.empty();
            return Step::On;
        }
        if (m_rootClosed)
            return Step::Unsure;
        if (m_tag.is("sheetData") && !m_open.empty()) {
            m_sawData = true;
            m_inData = !m_tag.empty;
            m_rowOpen = false;
        }
        if (!m_tag.empty)
            m_open.push_back(m_tag.name);
        else if (m_open.empty())
            m_rootClosed = true;
        return Step::On;
    }

    Step dataTag(ScannedCell &cell)
    {
        if (m_tag.name.find(':') != std::string::npos)
            return Step::Unsure;
        if (m_tag.end) {
            if (m_tag.is("sheetData") && !m_rowOpen) {
                m_inData = false;
                m_open.pop_back();
            } else if (m_tag.is("row") && m_rowOpen) {
                m_rowOpen = false;
            } else {
                return Step::Unsure;
            }
            return Step::On;
        }
        if (m_tag.is("row"))
            return startRow();
        if (!m_tag.is("c"))
            return Step::Unsure;
        return readCell(cell);
    }

    Step startRow()
    {
        // Rows without a number follow the previous one.
        int number = 0;
        bool ok = false;
        if (!readDigits(m_tag.r, number, ok))
            return Step::Unsure;
        m_row = ok && number >= 1 ? number : m_row + 1;
        m_col = 0;
        if (m_rowOpen)
            return Step::Unsure;
        m_rowOpen = !m_tag.empty;
        return m_row > m_scope.lastRow ? Step::Done : Step::On;
    }

    Step readCell(ScannedCell &cell)
    {
        int cellRow = 0;
        int cellCol = 0;
        if (m_tag.hasR && parseAsciiCellReference(m_tag.r, cellRow, cellCol)) {
            m_row = cellRow;
            m_col = cellCol;
        } else {
            // Cells without a reference follow the previous one.
            m_row = std::max(m_row, 1);
            ++m_col;
        }
        if (m_row > m_scope.lastRow)
            return Step::Done;
        int style = -1;
        bool styled = false;
        if (!readDigits(m_tag.s, style, styled))
            return Step::Unsure;
        const bool keep = m_row <= XlsxWorkbook::MaxRows && m_col <= XlsxWorkbook::MaxColumns
            && m_scope.wants(m_row, m_col);
        cell.row = m_row;
        cell.col = m_col;
        cell.style = styled ? style : -1;
        cell.type = m_tag.t;
        cell.value.clear();
        cell.inlineText.clear();
        cell.hasInline = false;
        if (!m_tag.empty && !readCellContent(cell, keep))
            return Step::Unsure;
        return keep ? Step::Cell : Step::On;
    }

    // What lies between <c> and </c>: the value, the formula, the inline text.
    bool readCellContent(ScannedCell &cell, bool keep)
    {
        for (;;) {
            if (!m_in.textUntilTag(nullptr) || !readTag(m_in, m_tag))
                return false;
            if (m_tag.end)
                return m_tag.is("c");
            if (m_tag.is("v") || m_tag.is("f")) {
                const bool isValue = m_tag.is("v");
                m_raw.clear();
                if (!m_tag.empty && !readElementText(m_in, m_tag, isValue ? "v" : "f", m_raw))
                    return false;
                if (isValue && keep && !decodeText(m_raw, cell.value))
                    return false;
            } else if (m_tag.is("is")) {
                cell.hasInline = true;
                cell.inlineText.clear();
                if (!m_tag.empty && !readInlineText(cell, keep))
                    return false;
            } else {
                return false;
            }
        }
    }

    // The <t> items of an inline string, up to its </is>.
    bool readInlineText(ScannedCell &cell, bool keep)
    {
        for (;;) {
            if (!m_in.textUntilTag(nullptr) || !readTag(m_in, m_tag))
                return false;
            if (m_tag.end && m_tag.is("is"))
                return true;
            if (m_tag.end || !m_tag.is("t"))
                return false;
            if (m_tag.empty)
                continue;
            m_raw.clear();
            if (!readElementText(m_in, m_tag, "t", m_raw))
                return false;
            if (keep) {
                if (!decodeText(m_raw, m_piece))
                    return false;
                cell.inlineText += m_piece;
            }
        }
    }

    PartBytes &m_in;
    const CellScope &m_scope;
    ScannedTag m_tag;
    std::vector<std::string> m_open; // the elements around the cells
    bool m_atTag = true; // its '<' taken
    bool m_rootClosed = false;
    bool m_inData = false;
    bool m_sawData = false;
    bool m_rowOpen = false;
    int m_row = 0;
    int m_col = 0;
    std::string m_raw;
    QString m_piece;
};

} // namespace

std::unique_ptr<PartBytes> XlsxWorkbook::startScan(
    const QString &part, ScanResult whenBroken, ScanResult *result) const
{
    zip_file_t *file = nullptr;
    qint64 limit = 0;
    const PartStatus opened = openPart(m_zip, part, &file, &limit);
    if (opened != PartStatus::Ok) {
        *result = opened == PartStatus::Missing ? ScanResult::Read : whenBroken;
        return nullptr;
    }
    auto in = std::make_unique<PartBytes>(file, limit);
    if (!startDocument(*in)) {
        *result = ScanResult::Unsure;
        return nullptr;
    }
    return in;
}

// Reads the sheet's cells with a scanner of the little XML that worksheets
// are written in, keeping only the scope's cells and stopping after its last
// row; what the full XML reader would read differently or judge broken
// (namespace prefixes, comments, CDATA, rich text, odd attribute values)
// makes it give up with Unsure and leave the sheet to that reader.
XlsxWorkbook::ScanResult XlsxWorkbook::scanSheet(const QString &part, const CellScope &scope)
{
    ScanResult unstarted = ScanResult::Unsure;
    const std::unique_ptr<PartBytes> in = startScan(part, ScanResult::Broken, &unstarted);
    if (!in)
        return unstarted;
    SheetScanner scanner(*in, scope);
    ScannedCell cell;
    for (;;) {
        const SheetScanner::Step step = scanner.next(cell);
        if (step != SheetScanner::Step::Cell)
            return step == SheetScanner::Step::Done ? ScanResult::Read : ScanResult::Unsure;
        storeCell(cell.row, cell.col, AsciiView(cell.type).view(), cell.value,
            cell.hasInline ? decodeEscapes(cell.inlineText) : QString(), cell.hasInline, cell.style);
    }
}

// Reads the shared strings with the scanner: an <sst> of <si> items, each a
// <t> or runs of <r> with their <t>, phonetic runs left out as the XML
// reader's path leaves them out; anything else is left to that reader.
XlsxWorkbook::ScanResult XlsxWorkbook::scanSharedStrings(const QString &part)
{
    ScanResult unstarted = ScanResult::Unsure;
    const std::unique_ptr<PartBytes> bytes = startScan(part, ScanResult::Unsure, &unstarted);
    if (!bytes)
        return unstarted;
    PartBytes &in = *bytes;
    ScannedTag tag;
    std::vector<std::string> open; // the elements around the text
    std::string raw;
    QString text;
    QString piece;
    bool atTag = true; // its '<' taken
    bool rootClosed = false;
    int phonetic = 0; // depth inside <rPh>
    for (;;) {
        if (!atTag && !in.textUntilTag(nullptr))
            return rootClosed && !in.failed() ? ScanResult::Read : ScanResult::Unsure;
        atTag = false;
        if (!readTag(in, tag) || tag.name.find(':') != std::string::npos)
            return ScanResult::Unsure;
        if (tag.end) {
            if (open.empty() || open.back() != tag.name)
                return ScanResult::Unsure;
            open.pop_back();
            if (phonetic > 0)
                --phonetic;
            else if (tag.is("si") && open.size() == 1)
                addSharedString(decodeEscapes(text));
            rootClosed = open.empty();
            continue;
        }
        if (rootClosed || (open.empty() && !tag.is("sst")) || (open.size() == 1 && !tag.is("si")))
            return ScanResult::Unsure;
        if (open.size() == 1)
            text.clear();
        if (phonetic == 0 && tag.is("t") && open.size() >= 2) {
            if (!tag.empty) {
                raw.clear();
                if (!readElementText(in, tag, "t", raw) || !decodeText(raw, piece))
                    return ScanResult::Unsure;
                text += piece;
            }
            continue;
        }
        if (tag.empty) {
            if (open.size() == 1)
                addSharedString(QString());
            continue;
        }
        if (phonetic > 0 || tag.is("rPh"))
            ++phonetic;
        open.push_back(tag.name);
    }
}

} // namespace tombolix::transfer
