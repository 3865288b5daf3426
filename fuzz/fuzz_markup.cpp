// Feeds arbitrary bytes to the readers of XML Spreadsheet files and HTML
// tables, then reads every worksheet's corner of cells and its last cell.
#include "transfer/markupworkbook.h"

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using tombolix::transfer::MarkupWorkbook;
    int error = 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::unique_ptr<MarkupWorkbook> book = MarkupWorkbook::openData(bytes, &error);
    if (!book)
        return 0;
    qsizetype total = 0;
    for (const tombolix::transfer::SheetInfo &sheet : book->sheets()) {
        total += sheet.hidden ? 1 : 0;
        if (book->selectSheet(sheet.name) != 0)
            continue;
        const int rows = std::min(book->rowCount(), 64);
        const int columns = std::min(book->columnCount(), 64);
        for (int r = 0; r <= rows + 1; ++r) {
            for (int c = 0; c <= columns + 1; ++c)
                total += book->cell(r, c).size();
        }
        total += book->cell(book->rowCount(), book->columnCount()).size();
    }
    return total < 0 ? 1 : 0;
}
