// Feeds arbitrary bytes to the readers of XML Spreadsheet files and HTML
// tables, then reads every worksheet's corner of cells and its last cell.
#include "readcells.h"
#include "transfer/markupworkbook.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using tombolix::transfer::MarkupWorkbook;
    int error = 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::unique_ptr<MarkupWorkbook> book = MarkupWorkbook::openData(bytes, &error);
    const qsizetype total = ReadWorksheetCorners(book.get());
    return total < 0 ? 1 : 0;
}
