#include "benchutil.h"
#include "transfer/importrange.h"

#include <QDir>
#include <QFile>
#include <cstdio>

namespace tombolix::bench {

// The mapping dialog counts a CSV file's rows while it opens; a list of a
// million rows must not keep it from showing.
void benchCsvRowCount()
{
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("list-1m.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QByteArray chunk;
    file.write("抽奖号码,姓名,部门\r\n");
    for (int i = 0; i < 1000000; ++i) {
        chunk += QByteArray::number(13800000000LL + i) + ",\"张" + QByteArray::number(i) + "\",研发部\r\n";
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    file.close();
    qint64 rows = 0;
    const double seconds = medianSeconds(5, [&] { rows = transfer::CountCsvRows(path); });
    if (rows != 1000001)
        std::fprintf(stderr, "counted %lld rows\n", static_cast<long long>(rows));
    report(QStringLiteral("csv_row_count_1m"), seconds * 1e3, QStringLiteral("ms"));
}

} // namespace tombolix::bench
