// The import and export figures, and `tombolix-bench import PATH`, which runs
// a user's file through the same reader and writer an import takes.
#include "benchutil.h"
#include "data/database.h"
#include "grid/entrantgrid.h"
#include "grid/gridexport.h"
#include "grid/gridops.h"
#include "transfer/csv.h"
#include "transfer/importer.h"
#include "transfer/textcodec.h"
#include "transfer/workbookrows.h"
#include "transfer/xlsxwriter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace tombolix::bench {

namespace {

void setupEntrantGrid(grid::GridModel &grid)
{
    grid::SetupGridHeader(
        grid, { "ID", "CID", "", "号码", "姓名" }, { "ID", "CID", "序号", "抽奖号码", "姓名" });
    grid.setTag(QStringLiteral("号码表"));
    grid.setFixedCols(3);
}

// A grid as the console shows entrants: count rows of number and Chinese name.
void fillEntrants(grid::GridModel &grid, int count)
{
    setupEntrantGrid(grid);
    grid.beginBulkChange();
    grid.setRows(grid.FixedRows() + count);
    for (int i = 0; i < count; ++i) {
        const int r = grid.FixedRows() + i;
        grid.setTextMatrix(r, 0, QString::number(i + 1));
        grid.setTextMatrix(r, 2, QString::number(i + 1));
        grid.setTextMatrix(r, 3, QString::number(13800000000LL + i));
        grid.setTextMatrix(r, 4, QStringLiteral("员工%1号").arg(i + 1));
    }
    grid.endBulkChange();
    for (int c = 3; c < 5; ++c)
        grid.setColWidth(c, 1500);
}

QString makeCsv(const QString &folder, int rows)
{
    QString text = QStringLiteral("抽奖号码,姓名\r\n");
    for (int i = 0; i < rows; ++i)
        text += QStringLiteral("%1,张%2\r\n").arg(13800000000LL + i).arg(i);
    const QString path = QDir(folder).filePath(QStringLiteral("entrants.csv"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(transfer::EncodeCsvText(text));
    return path;
}

// Written in pieces: a million rows held as one text would measure the
// generator, not the reader.
QString makeLongCsv(const QString &folder, int rows)
{
    const QString path = QDir(folder).filePath(QStringLiteral("entrants-long.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return path;
    QString text = QStringLiteral("抽奖号码,姓名\r\n");
    file.write(transfer::EncodeCsvText(QString()));
    for (int i = 0; i < rows; ++i) {
        text += QStringLiteral("%1,张%2\r\n").arg(13800000000LL + i).arg(i);
        if (text.size() > (1 << 16) || i + 1 == rows) {
            file.write(text.toUtf8());
            text.clear();
        }
    }
    return path;
}

QString makeXlsx(const QString &folder, int rows)
{
    grid::GridModel grid;
    fillEntrants(grid, rows);
    const QString path = QDir(folder).filePath(QStringLiteral("entrants.xlsx"));
    must(bool(transfer::ExportGridToWorkbook(grid::ExportTableOf(grid), path, QStringLiteral("名单"))));
    return path;
}

struct ImportRun
{
    int stored = 0;
    int error = 0;
    double seconds = 0;
};

// specs after the name's are attributes, named 属性1, 属性2…
ImportRun importOnce(
    const QString &path, const QString &sheet, const QStringList &specs, int first, int last, qint64 draw)
{
    QStringList names;
    for (qsizetype i = 2; i < specs.size(); ++i)
        names << QStringLiteral("属性%1").arg(i - 1);
    grid::GridModel grid;
    setupEntrantGrid(grid);
    QElapsedTimer timer;
    timer.start();
    const grid::ImportResult result
        = grid::ImportEntrants(grid, path, sheet, first, last, specs, names, draw);
    return { result.stored, result.error, timer.nsecsElapsed() / 1e9 };
}

double medianImport(const QString &path, const QString &sheet, int rows)
{
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        ScratchDatabase db;
        const qint64 draw = db.addDraw(QStringLiteral("bench"));
        const ImportRun result
            = importOnce(path, sheet, { QStringLiteral("A"), QStringLiteral("B") }, 2, rows + 1, draw);
        if (result.stored != rows)
            std::fprintf(
                stderr, "%s: stored %d rows (error %d)\n", qPrintable(path), result.stored, result.error);
        times.push_back(result.seconds);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

void benchImport()
{
    QTemporaryDir folder;
    const QString csv = makeCsv(folder.path(), 30000);
    report(QStringLiteral("import_csv_30000"), medianImport(csv, QString(), 30000), QStringLiteral("s"));
    // The head of a long list: reading stops after the last row wanted.
    const QString longCsv = makeLongCsv(folder.path(), 1000000);
    report(QStringLiteral("import_csv_first_30000_of_1m"), medianImport(longCsv, QString(), 30000),
        QStringLiteral("s"));
    QFile::remove(longCsv);
    const QString xlsx = makeXlsx(folder.path(), 30000);
    report(QStringLiteral("import_xlsx_30000"), medianImport(xlsx, QStringLiteral("名单"), 30000),
        QStringLiteral("s"));
    const QString xls = QStringLiteral(TOMBOLIX_BENCH_DATA "/entrants-30000.xls");
    if (QFileInfo::exists(xls))
        report(QStringLiteral("import_xls_30000"), medianImport(xls, QStringLiteral("名单"), 30000),
            QStringLiteral("s"));

    // Peak memory is measured in a process of its own, where earlier
    // benchmarks have left nothing behind for the import to reuse.
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("import"), csv, QStringLiteral("--rows"), QStringLiteral("2"),
            QStringLiteral("30001") });
    child.waitForFinished(120000);
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("import_peak_growth_mb: ")))
            report(QStringLiteral("import_memory_30000"), line.section(QLatin1Char(' '), 1).toDouble(),
                QStringLiteral("MB"), 1);
    }
}

void benchExport()
{
    QTemporaryDir folder;
    grid::GridModel grid;
    fillEntrants(grid, 69998);
    const QString csv = QDir(folder.path()).filePath(QStringLiteral("out.csv"));
    report(QStringLiteral("export_csv_69998"),
        medianSeconds(3, [&] { transfer::ExportGridToCsv(grid::ExportTableOf(grid), csv); }),
        QStringLiteral("s"));
    const QString xlsx = QDir(folder.path()).filePath(QStringLiteral("out.xlsx"));
    report(QStringLiteral("export_xlsx_69998"),
        medianSeconds(3,
            [&] {
                must(bool(transfer::ExportGridToWorkbook(
                    grid::ExportTableOf(grid), xlsx, QStringLiteral("澄曜抽奖"))));
            }),
        QStringLiteral("s"));
}

// tombolix-bench import PATH [--sheet NAME] [--number SPEC] [--name SPEC] [--rows FIRST LAST]
// [--attributes "C D…"] [--dump] [--read-only]; the last times the file's reader alone, without the grid and
// the store.
int runImportCommand(const QStringList &args)
{
    if (args.isEmpty()) {
        std::fprintf(stderr,
            "usage: tombolix-bench import PATH [--sheet NAME] [--number SPEC] [--name SPEC] "
            "[--rows FIRST LAST] [--attributes \"C D…\"] [--dump] [--read-only]\n");
        return 2;
    }
    const QString path = QFileInfo(args.at(0)).absoluteFilePath();
    QString sheet;
    QString number = QStringLiteral("A");
    QString name = QStringLiteral("B");
    QStringList attributes; // column specs, space-separated
    int first = 1;
    int last = 30000;
    bool dump = false;
    bool readOnly = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--sheet") && i + 1 < args.size())
            sheet = args.at(++i);
        else if (arg == QLatin1String("--number") && i + 1 < args.size())
            number = args.at(++i);
        else if (arg == QLatin1String("--name") && i + 1 < args.size())
            name = args.at(++i);
        else if (arg == QLatin1String("--attributes") && i + 1 < args.size())
            attributes = args.at(++i).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        else if (arg == QLatin1String("--rows") && i + 2 < args.size()) {
            first = args.at(++i).toInt();
            last = args.at(++i).toInt();
        } else if (arg == QLatin1String("--dump"))
            dump = true;
        else if (arg == QLatin1String("--read-only"))
            readOnly = true;
        else {
            std::fprintf(stderr, "tombolix-bench import: unknown argument %s\n", qPrintable(arg));
            return 2;
        }
    }
    if (sheet.isEmpty() && !transfer::IsCsvPath(path)) {
        int error = 0;
        const QStringList sheets = transfer::ListWorksheets(path, &error);
        if (!sheets.isEmpty())
            sheet = sheets.first();
    }
    if (readOnly) {
        std::vector<data::EntrantRow> rows;
        resetPeakMemory();
        const double before = residentMegabytes();
        QElapsedTimer timer;
        timer.start();
        const int error = transfer::ReadImportRows(
            path, sheet, std::min(first, last), std::max(first, last), { number, name }, rows);
        std::printf("rows_read: %zu\n", rows.size());
        std::printf("read_seconds: %.3f\n", timer.nsecsElapsed() / 1e9);
        std::printf("read_peak_growth_mb: %.1f\n", std::max(0.0, peakResidentMegabytes() - before));
        if (dump) {
            for (const data::EntrantRow &row : rows)
                std::printf("%s\t%s\n", row.number.toUtf8().constData(), row.name.toUtf8().constData());
        }
        return error == 0 ? 0 : 1;
    }
    const double started = processSeconds();
    QElapsedTimer setup;
    setup.start();
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("import"));
    const double setupSeconds = setup.nsecsElapsed() / 1e9;
    resetPeakMemory();
    const double before = residentMegabytes();
    const ImportRun run = importOnce(path, sheet, QStringList { number, name } + attributes,
        std::min(first, last), std::max(first, last), draw);
    std::printf("rows_stored: %d\n", run.stored);
    std::printf("import_seconds: %.3f\n", run.seconds);
    std::printf("import_peak_growth_mb: %.1f\n", std::max(0.0, peakResidentMegabytes() - before));
    // What the process spends around the import: starting (libraries, the
    // application object) and the scratch database.
    std::printf("startup_seconds: %.2f\n", started);
    std::printf("database_seconds: %.3f\n", setupSeconds);
    if (run.error != 0)
        std::printf("error: %d\n", run.error);
    if (dump) {
        for (data::Recordset rs
             = data::OpenRecordset(QStringLiteral("SELECT 号码, 姓名 FROM 号码表 ORDER BY ID"));
             !rs.eof(); rs.moveNext())
            std::printf("%s\t%s\n", rs.field(0).toString().toUtf8().constData(),
                rs.field(1).toString().toUtf8().constData());
    }
    return run.error == 0 ? 0 : 1;
}

} // namespace tombolix::bench
