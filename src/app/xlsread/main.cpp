// tombolix-xlsread PATH [FIRST-ROW LAST-ROW COLUMN...]
//
// Reads an .xls workbook for the program and writes what it found on its
// output (see transfer/xlsstream.h). FreeXL can crash, write outside its
// buffers or spin for minutes on a damaged file; in a process of its own it
// takes nothing with it and the program stops waiting in time. With rows and
// columns, only those cells of one sheet are written; the sheet is the one
// whose index the program answers on the input after the names.
#include "transfer/xlsstream.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using namespace tombolix::transfer;

class StandardOutput : public xlsstream::Output
{
public:
    bool write(const char *data, std::size_t length) override
    {
        return std::fwrite(data, 1, length, stdout) == length;
    }

    std::uint32_t chooseSheet(const std::vector<std::string> &) override
    {
        if (std::fflush(stdout) != 0)
            return xlsstream::NoSheet;
        std::uint32_t index = xlsstream::NoSheet;
        if (std::fread(&index, sizeof index, 1, stdin) != 1)
            return xlsstream::NoSheet;
        return index;
    }
};

bool toNumber(const char *text, int &number)
{
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < -1000000000L || value > 2147483647L)
        return false;
    number = int(value);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    if (argc < 2 || argc == 3)
        return 2;
    xlsstream::Scope scope;
    if (argc > 3) {
        if (!toNumber(argv[2], scope.firstRow) || !toNumber(argv[3], scope.lastRow))
            return 2;
        for (int i = 4; i < argc; ++i) {
            int column = 0;
            if (!toNumber(argv[i], column))
                return 2;
            scope.columns.push_back(column);
        }
    }
    StandardOutput out;
    const bool written = xlsstream::WriteStream(argv[1], argc > 3 ? &scope : nullptr, out);
    const bool sent = std::fflush(stdout) == 0;
    // FreeXL leaks what it allocated for a file it fails to open. Ending here
    // without exit handlers keeps a leak checker (in a sanitized build) from
    // turning an answer already sent into a failed read.
    std::_Exit(written && sent ? 0 : 1);
}
