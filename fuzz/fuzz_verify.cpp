// Record files as anyone may hand one to tombolix-verify: any bytes, checked
// to a verdict without a crash, a hang or a read out of bounds.
#include "draw/recordcheck.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const tombolix::draw::RecordCheck check = tombolix::draw::CheckRecord(file);
    if (check.passed())
        tombolix::draw::SummaryLines(check, -1);
    return 0;
}
