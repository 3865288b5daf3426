// Feeds arbitrary bytes to the .xls reader. FreeXL reads only files, so the
// bytes go through one temporary file per process. The reader runs FreeXL in
// a forked child; what is fuzzed here is that containment and the parent's
// side of it.
#include "transfer/xlsreader.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <pthread.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

namespace {

// A child that FreeXL crashes must simply die, quietly: libFuzzer's death
// hook would report the child's crash as the fuzzer's own, and the
// sanitizer's report of FreeXL's faults would drown the fuzzer's output.
void quietChild()
{
    __sanitizer_set_death_callback(nullptr);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0)
        dup2(null, STDERR_FILENO);
}

const int quietChildren = pthread_atfork(nullptr, nullptr, quietChild);

// FreeXL can spin for minutes over absurd date serials; the child is given
// up on well inside the fuzzer's own time limit per input.
const bool shortTimeout = [] {
    tombolix::transfer::XlsWorkbook::setReadTimeout(2000);
    return true;
}();

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using tombolix::transfer::XlsWorkbook;
    static const QString path = QDir::temp().filePath(QStringLiteral("fuzz_xls_%1.xls").arg(getpid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    int error = 0;
    const std::unique_ptr<XlsWorkbook> book = XlsWorkbook::open(path, &error);
    qsizetype total = quietChildren + int(shortTimeout);
    if (book) {
        for (const QString &name : book->sheetNames()) {
            if (book->selectSheet(name) != 0)
                continue;
            const int rows = std::min(book->rowCount(), 64);
            const int columns = std::min(book->columnCount(), 64);
            for (int r = 0; r <= rows + 1; ++r) {
                for (int c = 0; c <= columns + 1; ++c)
                    total += book->cell(r, c).size();
            }
            total += book->cell(book->rowCount(), book->columnCount()).size();
        }
    }
    QFile::remove(path);
    return total < 0 ? 1 : 0;
}
