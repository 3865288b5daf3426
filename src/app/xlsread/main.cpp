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
#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
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

#ifdef _WIN32
bool isAscii(const std::wstring &text)
{
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c > 0 && c < 0x80; });
}

std::wstring shortName(const std::wstring &path)
{
    const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::wstring name(size, L'\0');
    name.resize(GetShortPathNameW(path.c_str(), name.data(), size));
    return name;
}

// FreeXL opens a narrow name in the ANSI code page, which cannot name
// 名单.xls on most machines. Such a file is given by its short (8.3) name,
// or, where the volume keeps none, as a copy under a plain name in the
// temporary folder (named in *copy, for deleting). Empty when neither works.
std::string openableName(const std::wstring &path, std::wstring *copy)
{
    std::wstring name = isAscii(path) ? path : shortName(path);
    if (name.empty() || !isAscii(name)) {
        wchar_t folder[MAX_PATH + 1];
        wchar_t file[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
        std::wstring temporary = length > 0 ? std::wstring(folder, length) : std::wstring();
        if (!isAscii(temporary))
            temporary = shortName(temporary);
        if (temporary.empty() || !GetTempFileNameW(temporary.c_str(), L"xls", 0, file))
            return std::string();
        *copy = file;
        if (!CopyFileW(path.c_str(), file, FALSE) || !isAscii(*copy))
            return std::string();
        name = *copy;
    }
    return std::string(name.begin(), name.end());
}
#endif

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
#ifdef _WIN32
    // The path as given, in Unicode: argv holds it in the ANSI code page.
    int count = 0;
    LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring copy;
    const std::string path = wide && count > 1 ? openableName(wide[1], &copy) : std::string();
    LocalFree(wide);
#else
    const std::string path = argv[1];
#endif
    const bool written = xlsstream::WriteStream(path.c_str(), argc > 3 ? &scope : nullptr, out);
    const bool sent = std::fflush(stdout) == 0;
#ifdef _WIN32
    if (!copy.empty())
        DeleteFileW(copy.c_str());
#endif
    // FreeXL leaks what it allocated for a file it fails to open. Ending here
    // without exit handlers keeps a leak checker (in a sanitized build) from
    // turning an answer already sent into a failed read.
    std::_Exit(written && sent ? 0 : 1);
}
