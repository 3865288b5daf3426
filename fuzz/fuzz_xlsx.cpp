// Feeds arbitrary bytes to the .xlsx reader as an in-memory zip, then reads
// every worksheet's corner of cells and its last cell.
#include "readcells.h"
#include "transfer/xlsxreader.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using tombolix::transfer::XlsxWorkbook;
    int error = 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::unique_ptr<XlsxWorkbook> book = XlsxWorkbook::openData(bytes, &error);
    const qsizetype total = ReadWorksheetCorners(book.get());
    return total < 0 ? 1 : 0;
}
