// Feeds arbitrary bytes through the CSV reading path: encoding detection,
// line splitting and record parsing with continuation.
#include "transfer/csvparse.h"
#include "transfer/textcodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace tombolix::transfer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = DecodeText(bytes);

    // Every call must make progress: count the lines left and the records read.
    qsizetype lineCount = 0;
    for (CsvLines lines(text); !lines.atEnd(); lines.next())
        ++lineCount;

    CsvLines lines(text);
    qsizetype records = 0;
    bool emptyLine = false;
    while (const std::optional<QStringList> record
        = NextCsvRecord(lines, &emptyLine, records % 2 ? 3 : 1 << 30)) {
        if (emptyLine != record->isEmpty())
            std::abort();
        if (++records > lineCount)
            std::abort();
    }

    // Without quotes a record is just the text split at commas.
    if (!text.contains(QLatin1Char('"'))) {
        const std::optional<QStringList> fields = ParseCsvLine(text);
        if (!fields || (!text.isEmpty() && *fields != text.split(QLatin1Char(','))))
            std::abort();
    }
    return 0;
}
