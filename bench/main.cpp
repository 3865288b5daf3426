// tombolix-bench: the program's performance figures, one "name: value unit"
// line each. `tombolix-bench all` runs every benchmark; `tombolix-bench NAME…`
// runs the ones whose name starts with any NAME given.
#include "benchutil.h"
#include "data/backup.h"
#include "data/database.h"

#include <QApplication>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tombolix;
using namespace tombolix::bench;

namespace {

void benchLookupValue()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 100000);
    QRandomGenerator generator(42);
    const int lookups = 20000;
    volatile int sink = 0;
    const double seconds = medianSeconds(5, [&] {
        for (int i = 0; i < lookups; ++i) {
            const qint64 id = generator.bounded(1, 100001);
            sink = sink
                + data::LookupValue(
                    QStringLiteral("号码表"), id, QStringLiteral("ID"), QStringLiteral("号码"))
                      .toString()
                      .size();
        }
    });
    report(QStringLiteral("lookup_value"), seconds / lookups * 1e6, QStringLiteral("us"));
}

void benchCountRows()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000000);
    qint64 count = 0;
    const double seconds = medianSeconds(5, [&] {
        count = data::CountRows(QStringLiteral("号码表"), QStringLiteral("TRUE"), QStringLiteral("*"));
    });
    if (count != 1000000)
        std::fprintf(stderr, "count_rows_1m: counted %lld rows\n", static_cast<long long>(count));
    report(QStringLiteral("count_rows_1m"), seconds * 1e3, QStringLiteral("ms"));
}

// An automatic backup of a database holding a million entrants: the wait
// before a deletion or at the day's first start.
void benchBackup()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    db.addEntrants(draw, 1000000);
    bool failed = false;
    const double seconds = medianSeconds(5, [&] {
        if (data::BackupDatabase(data::backupreason::DeleteEntrants).isEmpty())
            failed = true;
    });
    if (failed)
        std::fprintf(stderr, "backup_1m: a backup failed\n");
    report(QStringLiteral("backup_1m"), seconds, QStringLiteral("s"));
}

} // namespace

namespace tombolix::bench {
void benchPoolLoad();
void benchTick();
void benchPaint();
void benchStopRecord();
void benchStopLatency();
void benchResume();
void benchContinueWithdrawn();
// A database of the earlier format, opened and upgraded.
void benchOpenAndUpgrade();
void benchStageNumber();
void benchStageNumber2160();
void benchStopLanding();
void benchBoardRebuild();
// The roll on a projector.
void benchRollJitter();
void benchFillGrid();
void benchFillResults();
void benchDeleteRows();
void benchImport();
void benchExport();
void benchCsvRowCount();
int runImportCommand(const QStringList &args);
// The stage's banner.
void benchBannerRepaint();
// Qt's own texts in Chinese, at start-up.
void benchChineseTexts();
void benchPickDerived();
void benchEnterDraw();
void benchVerify();
void benchVerifyMillion();
// Awards only some may win.
void benchRangedDraw();
} // namespace tombolix::bench

namespace {

struct Benchmark
{
    const char *name;
    std::function<void()> run;
};

const std::vector<Benchmark> &benchmarks()
{
    static const std::vector<Benchmark> all = {
        { "lookup_value", benchLookupValue },
        { "count_rows_1m", benchCountRows },
        { "backup_1m", benchBackup },
        { "pool_load_1m", benchPoolLoad },
        { "tick_10_of_1m_90pct_won", benchTick },
        { "paint_tick_1080p", benchPaint },
        { "stop_record_10", benchStopRecord },
        { "stop_latency_1ms_roll", benchStopLatency },
        { "resume_1m_500_won", benchResume },
        { "continue_1m_500_won_50_withdrawn", benchContinueWithdrawn },
        { "open_and_upgrade_1m", benchOpenAndUpgrade },
        { "paint_tick_1080p_5_lines_names", benchStageNumber },
        { "paint_tick_2160p_5_lines_names", benchStageNumber2160 },
        { "stop_landing_1080p_5_lines_names", benchStopLanding },
        { "board_rebuild_500", benchBoardRebuild },
        { "roll_jitter_10ms", benchRollJitter },
        { "fill_grid_69998", benchFillGrid },
        { "fill_results_10000", benchFillResults },
        { "delete_10000_rows", benchDeleteRows },
        { "import_30000", benchImport },
        { "export_69998", benchExport },
        { "csv_row_count_1m", benchCsvRowCount },
        // The stage's banner.
        { "banner_repaint_1080p", benchBannerRepaint },
        { "chinese_texts_install", benchChineseTexts },
        { "pick_derived_10_of_1m_90pct_won", benchPickDerived },
        { "enter_draw_70000", benchEnterDraw },
        { "verify_1000_rounds_70000", benchVerify },
        { "verify_1m_1000_rounds_50_commitments", benchVerifyMillion },
        { "enter_1m_20_ranged_awards", benchRangedDraw },
    };
    return all;
}

int usage()
{
    std::fprintf(stderr, "usage: tombolix-bench all | NAME…\nbenchmarks:\n");
    for (const Benchmark &b : benchmarks())
        std::fprintf(stderr, "  %s\n", b.name);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // The draw screen is measured off screen unless a display is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return usage();
    const QString command = args.at(1);
    if (command == QLatin1String("import"))
        return runImportCommand(args.mid(2));
    const QStringList names = args.mid(1);
    int ran = 0;
    for (const Benchmark &b : benchmarks()) {
        const QString name = QString::fromLatin1(b.name);
        const bool asked = std::any_of(names.cbegin(), names.cend(),
            [&name](const QString &each) { return each == QLatin1String("all") || name.startsWith(each); });
        if (asked) {
            b.run();
            ++ran;
        }
    }
    return ran > 0 ? 0 : usage();
}
