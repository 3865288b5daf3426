#include "common/chinesetexts.h"
#include "common/commandline.h"
#include "common/indicator.h"
#include "common/progress.h"
#include "common/qtprompts.h"
#include "console/fset.h"
#include "console/startup.h"
#include "data/datalocation.h"
#include "drawscreen/largeglyphs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The command line is read before the display is reached, so --version
    // and --help work without one; a wrong one ends here with code 2.
    const tombolix::CommandLine command = tombolix::ReadCommandLine(argc, argv);
    if (command.exitCode)
        return *command.exitCode;
    tombolix::KeepLargeTextPainted();
    QApplication app(argc, argv);
    tombolix::installChineseTranslations(app);
    tombolix::useChineseUiFont();
    tombolix::FSet::nameApplication();
    tombolix::data::UseDataLocation(command.database);

    tombolix::QtPrompts prompts;
    tombolix::setPrompts(&prompts);
    tombolix::IndicatorProgress progress;
    tombolix::setProgressSink(&progress);

    // The day's first start backs the database up before anything shows. A
    // file that is not the program's, or one another copy of the program has
    // open, ends it with code 3; an operator who chose not to go on, with 0.
    tombolix::StartRefusal refusal = tombolix::StartRefusal::None;
    const std::unique_ptr<tombolix::FSet> console
        = tombolix::StartConsole(QDateTime::currentDateTime(), &refusal);
    if (!console)
        return refusal == tombolix::StartRefusal::Declined ? 0 : 3;
    console->show();
    return app.exec();
}
