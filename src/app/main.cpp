#include "common/chinesetexts.h"
#include "common/indicator.h"
#include "common/progress.h"
#include "common/qtprompts.h"
#include "console/fset.h"
#include "console/startup.h"
#include "drawscreen/largeglyphs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    tombolix::AllowLargeCachedGlyphs();
    QApplication app(argc, argv);
    tombolix::installChineseTranslations(app);
    tombolix::FSet::nameApplication();

    tombolix::QtPrompts prompts;
    tombolix::setPrompts(&prompts);
    tombolix::IndicatorProgress progress;
    tombolix::setProgressSink(&progress);

    // The day's first start backs the database up before anything shows.
    const std::unique_ptr<tombolix::FSet> console = tombolix::StartConsole();
    if (!console)
        return 0;
    console->show();
    return app.exec();
}
