#include "transfer/xlsstream.h"

#include <algorithm>
#include <cstring>
#include <freexl.h>

namespace tombolix::transfer::xlsstream {

namespace {

// Gathers frames and hands them on in large pieces.
class FrameWriter
{
public:
    explicit FrameWriter(Output &out)
        : m_out(out)
    {
        m_buffer.reserve(BufferSize);
    }

    void frame(FrameKind kind, std::uint32_t a, std::uint32_t b, const char *payload = nullptr,
        std::uint32_t length = 0, char type = 0)
    {
        const std::uint32_t total = length + (type ? 1 : 0);
        char header[HeaderSize];
        header[0] = char(kind);
        std::memcpy(header + 1, &a, 4);
        std::memcpy(header + 5, &b, 4);
        std::memcpy(header + 9, &total, 4);
        append(header, HeaderSize);
        if (type)
            append(&type, 1);
        append(payload, length);
    }

    bool flush()
    {
        if (!m_buffer.empty() && !m_out.write(m_buffer.data(), m_buffer.size()))
            m_failed = true;
        m_buffer.clear();
        return !m_failed;
    }

    bool failed() const { return m_failed; }

private:
    static constexpr std::size_t BufferSize = 1 << 16;

    void append(const char *data, std::size_t length)
    {
        if (length == 0)
            return;
        m_buffer.insert(m_buffer.end(), data, data + length);
        if (m_buffer.size() >= BufferSize)
            flush();
    }

    Output &m_out;
    std::vector<char> m_buffer;
    bool m_failed = false;
};

// Writes one cell's value, if it has one.
void writeCell(FrameWriter &out, const void *handle, unsigned int r, unsigned short c)
{
    FreeXL_CellValue value;
    if (freexl_get_cell_value(handle, r, c, &value) != FREEXL_OK)
        return;
    switch (value.type) {
    case FREEXL_CELL_INT:
        out.frame(
            CellFrame, r + 1, c + 1U, reinterpret_cast<const char *>(&value.value.int_value), 4, IntegerCell);
        break;
    case FREEXL_CELL_DOUBLE:
        out.frame(CellFrame, r + 1, c + 1U, reinterpret_cast<const char *>(&value.value.double_value), 8,
            DoubleCell);
        break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        if (value.value.text_value)
            out.frame(CellFrame, r + 1, c + 1U, value.value.text_value,
                std::uint32_t(std::strlen(value.value.text_value)), TextCell);
        break;
    default:
        break;
    }
}

bool writeSheets(FrameWriter &out, const void *handle, const Scope *scope, Output &output)
{
    unsigned int sheets = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK)
        return false;
    sheets = std::min(sheets, 0xffffU);
    std::vector<std::string> names;
    for (unsigned int i = 0; i < sheets; ++i) {
        const char *name = nullptr;
        if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(i), &name) != FREEXL_OK || !name)
            return false;
        out.frame(SheetFrame, i, 0, name, std::uint32_t(std::strlen(name)));
        if (scope)
            names.emplace_back(name);
    }
    std::uint32_t chosen = NoSheet;
    if (scope) {
        out.frame(ChooseFrame, 0, 0);
        if (!out.flush())
            return false;
        chosen = output.chooseSheet(names);
    }
    for (unsigned int i = 0; i < sheets; ++i) {
        if (scope && i != chosen)
            continue;
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(i)) != FREEXL_OK
            || freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
            return false;
        out.frame(SelectFrame, i, 0);
        rows = std::min(rows, unsigned(MaxRows));
        columns = std::min(columns, static_cast<unsigned short>(MaxColumns));
        if (!scope) {
            for (unsigned int r = 0; r < rows; ++r) {
                for (unsigned short c = 0; c < columns; ++c)
                    writeCell(out, handle, r, c);
            }
            continue;
        }
        const unsigned int firstRow = unsigned(std::max(scope->firstRow, 1)) - 1;
        const unsigned int endRow = std::min(rows, unsigned(std::max(scope->lastRow, 0)));
        for (unsigned int r = firstRow; r < endRow; ++r) {
            for (const int col : scope->columns) {
                if (col >= 1 && col <= columns)
                    writeCell(out, handle, r, static_cast<unsigned short>(col - 1));
            }
        }
    }
    return !out.failed();
}

} // namespace

bool WriteStream(const char *path, const Scope *scope, Output &output)
{
    FrameWriter out(output);
    const void *handle = nullptr;
    const int opened = freexl_open(path, &handle);
    unsigned int password = 0;
    if (opened != FREEXL_OK || freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &password) != FREEXL_OK
        || password == FREEXL_BIFF_OBFUSCATED) {
        // Password-protected workbooks count as none: their cells cannot be read.
        out.frame(ErrorFrame, opened == FREEXL_FILE_NOT_FOUND ? ErrorCannotOpen : ErrorNotAWorkbook, 0);
        out.frame(EndFrame, 0, 0);
        if (opened == FREEXL_OK)
            freexl_close(handle);
        return out.flush();
    }
    const bool written = writeSheets(out, handle, scope, output);
    freexl_close(handle);
    if (!written)
        return false;
    out.frame(EndFrame, 0, 0);
    return out.flush();
}

} // namespace tombolix::transfer::xlsstream
