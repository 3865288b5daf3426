#include "common/indicator.h"
#include "common/progress.h"
#include "common/qtprompts.h"
#include "console/fset.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tombolix::FSet::nameApplication();

    tombolix::QtPrompts prompts;
    tombolix::setPrompts(&prompts);
    tombolix::IndicatorProgress progress;
    tombolix::setProgressSink(&progress);

    tombolix::FSet console;
    console.show();
    return app.exec();
}
