#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the .xls helper program (tombolix-xlsread) writes for the reader: the
// workbook read with FreeXL as a stream of frames. This side knows nothing of
// Qt, so that the helper links FreeXL and the C++ library only and starts in
// a millisecond or two.
//
// A frame is a kind byte, two numbers a and b and a payload length, all
// four-byte little-endian (both ends run on the same machine), then the
// payload. The stream ends with an EndFrame; one that stops short of it is
// no workbook.
namespace tombolix::transfer::xlsstream {

inline constexpr char HelperName[] = "tombolix-xlsread";

enum FrameKind : std::uint8_t
{
    ErrorFrame = 1, // a = error number (ErrorCannotOpen or ErrorNotAWorkbook)
    SheetFrame, // a = sheet index, payload = sheet name in UTF-8
    SelectFrame, // a = sheet index; the cells that follow are its own
    CellFrame, // a = row, b = column (1-based), payload = type byte + value
    EndFrame,
    // With a scope, after the names: the helper waits for the reader to
    // answer with the index of the sheet to send (four bytes on its input),
    // so that the sheet is told by name the way the reader tells names.
    ChooseFrame,
};

enum CellType : char
{
    IntegerCell = 'i', // four-byte signed integer
    DoubleCell = 'd', // eight-byte double
    TextCell = 't', // UTF-8
};

inline constexpr int HeaderSize = 13;
inline constexpr int MaxRows = 65536;
inline constexpr int MaxColumns = 256;
// The answer to a ChooseFrame when no sheet has the scope's name.
inline constexpr std::uint32_t NoSheet = 0xffffffffU;
// The numbers of the reader's error messages.
inline constexpr std::uint32_t ErrorCannotOpen = 5;
inline constexpr std::uint32_t ErrorNotAWorkbook = 438;

// The cells wanted of the chosen sheet: these columns (1-based, ascending)
// of rows firstRow..lastRow.
struct Scope
{
    std::vector<int> columns;
    int firstRow = 1;
    int lastRow = MaxRows;
};

// Where the stream goes.
class Output
{
public:
    virtual ~Output() = default;
    virtual bool write(const char *data, std::size_t length) = 0;
    // Everything written so far has been handed on; returns the index of the
    // scope's sheet among names, or NoSheet.
    virtual std::uint32_t chooseSheet(const std::vector<std::string> &names) = 0;
};

// Reads the .xls file at path (in the platform's encoding for file names)
// and writes its stream: every sheet's name and, without a scope, every
// sheet's cells, or with one only the chosen sheet's wanted cells. Returns
// false when FreeXL or the output failed half-way; the stream then lacks its
// end. A file FreeXL cannot read at all gives a whole stream with an
// ErrorFrame.
bool WriteStream(const char *path, const Scope *scope, Output &out);

} // namespace tombolix::transfer::xlsstream
