#include "benchutil.h"
#include "common/chinesetexts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTranslator>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace tombolix::bench {

namespace {

double installMilliseconds()
{
    QElapsedTimer timer;
    timer.start();
    if (!installChineseTranslations(*QCoreApplication::instance()))
        std::fprintf(stderr, "chinese_texts: Qt's Chinese catalogue is not installed\n");
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

// What loading Qt's Chinese texts adds to the start-up: the first install of
// the process, as the program does it before its first window, and the median
// of later ones (the catalogue's file then in the page cache).
void benchChineseTexts()
{
    const double first = installMilliseconds();
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        delete QCoreApplication::instance()->findChild<QTranslator *>();
        times.push_back(installMilliseconds());
    }
    std::sort(times.begin(), times.end());
    report(QStringLiteral("chinese_texts_install_first"), first, QStringLiteral("ms"), 3);
    report(QStringLiteral("chinese_texts_install"), times[times.size() / 2], QStringLiteral("ms"), 3);
}

} // namespace tombolix::bench
