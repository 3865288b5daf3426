// Figures of the console: filling, sorting, editing and deleting in big grids.
#include "benchutil.h"
#include "console/fset.h"
#include "data/database.h"
#include "grid/entrantgrid.h"
#include "grid/gridops.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>

namespace tombolix::bench {

namespace {

// A console showing the entrants tab of a draw with `count` entrants.
struct EntrantsConsole
{
    ScratchDatabase db;
    qint64 draw = 0;
    FSet console;

    explicit EntrantsConsole(qint64 count)
    {
        draw = db.addDraw(QStringLiteral("bench"));
        db.addEntrants(draw, count);
        console.resize(1280, 800);
        console.show();
        console.tabs()->setCurrentIndex(2);
        QCoreApplication::processEvents();
    }
};

} // namespace

void benchFillGrid()
{
    EntrantsConsole setup(69998);
    const double before = residentMegabytes();
    const double seconds = medianSeconds(3, [&] {
        setup.console.comboClick(2);
        QCoreApplication::processEvents();
    });
    grid::GridModel *grid = setup.console.grid(2);
    if (grid->Rows() - grid->FixedRows() != 69998)
        std::fprintf(stderr, "fill_grid_69998: %d rows\n", grid->Rows() - grid->FixedRows());
    report(QStringLiteral("fill_grid_69998"), seconds, QStringLiteral("s"));
    report(QStringLiteral("grid_memory_69998"),
        std::max(grid->memoryBytes() / 1048576.0, residentMegabytes() - before), QStringLiteral("MB"), 1);

    grid->setColAlignment(3, grid::Align::RightBottom);
    const double sort = medianSeconds(5, [&] { grid::SortGridByColumn(*grid, 3); });
    report(QStringLiteral("sort_69998"), sort, QStringLiteral("s"));

    // One keystroke in the in-grid editor, far down the grid.
    const int row = grid->Rows() - 10;
    QString text = grid->TextMatrix(row, 4);
    const int keystrokes = 200;
    const double edit = medianSeconds(5, [&] {
        for (int i = 0; i < keystrokes; ++i) {
            text += QLatin1Char('x');
            if (text.size() > 40)
                text.truncate(5);
            must(bool(grid::EditEntrantCell(*grid, row, 4, text, setup.draw)));
        }
    });
    report(QStringLiteral("cell_edit_keystroke"), edit / keystrokes * 1e3, QStringLiteral("ms"));
}

void benchFillResults()
{
    ScratchDatabase db;
    const qint64 draw = db.addDraw(QStringLiteral("bench"));
    {
        data::Transaction transaction;
        QSqlQuery query(data::connection());
        QList<qint64> awards;
        for (int i = 1; i <= 10; ++i) {
            query.exec(QStringLiteral("INSERT INTO 奖项表 (CID, 顺序, 名称, 数量, 同时, 显示, 奖品) "
                                      "VALUES (%1, %2, '%2等奖', 1000, 10, 1, '奖品%2')")
                           .arg(draw)
                           .arg(i));
            awards << query.lastInsertId().toLongLong();
        }
        query.prepare(QStringLiteral("INSERT INTO 结果表 (CID, WID, 号码, 姓名) VALUES (?, ?, ?, ?)"));
        for (int i = 0; i < 10000; ++i) {
            query.bindValue(0, draw);
            query.bindValue(1, awards[i % 10]);
            query.bindValue(2, QString::number(100000 + i));
            query.bindValue(3, QStringLiteral("员工%1").arg(i));
            query.exec();
        }
        must(transaction.commit());
    }
    FSet console;
    console.resize(1280, 800);
    console.show();
    console.tabs()->setCurrentIndex(3);
    const double seconds = medianSeconds(3, [&] {
        console.comboClick(3);
        QCoreApplication::processEvents();
    });
    report(QStringLiteral("fill_results_10000"), seconds, QStringLiteral("s"));
}

void benchDeleteRows()
{
    EntrantsConsole setup(69998);
    grid::GridModel *grid = setup.console.grid(2);
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        setup.console.comboClick(2);
        int first = grid->FixedRows() + 20000;
        int last = first + 9999;
        QElapsedTimer timer;
        timer.start();
        grid::DeleteGridRows(*grid, first, last, {}, true);
        times.push_back(timer.nsecsElapsed() / 1e9);
        // Put the deleted entrants back for the next run.
        setup.db.addEntrants(setup.draw, 10000);
    }
    std::sort(times.begin(), times.end());
    report(QStringLiteral("delete_10000_rows"), times[times.size() / 2], QStringLiteral("s"));
}

} // namespace tombolix::bench
