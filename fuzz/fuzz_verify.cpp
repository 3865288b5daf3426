// Record files as anyone may hand one to tombolix-verify: any bytes, checked
// to a verdict without a crash, a hang or a read out of bounds. The reader
// and the grammar check agree on what is JSON text: the reader's syntax
// faults are never JSON, what it reads whole always is.
#include "common/canonicaljson.h"
#include "draw/recordcheck.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const tombolix::draw::RecordCheck check = tombolix::draw::CheckRecord(file);
    if (check.passed())
        tombolix::draw::SummaryLines(check, -1);

    if (tombolix::json::IsValidUtf8(file) && !file.startsWith("\xEF\xBB\xBF")) {
        tombolix::json::Reader reader(file);
        const bool read = reader.readDocument().has_value();
        const bool grammar = tombolix::json::IsJsonText(file);
        if ((read && !grammar) || (reader.failure() == tombolix::json::Reader::Failure::Syntax && grammar))
            std::abort();
    }
    return 0;
}
