#include "common/progress.h"
#include "common/qtprompts.h"
#include "common/settingsstore.h"
#include "console/fset.h"
#include "transfer/indicator.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(tombolix::AppName);
    QApplication::setApplicationName(tombolix::AppName);
    QApplication::setApplicationDisplayName(QStringLiteral("澄曜抽奖软件"));

    tombolix::QtPrompts prompts;
    tombolix::setPrompts(&prompts);
    tombolix::IndicatorProgress progress;
    tombolix::setProgressSink(&progress);

    tombolix::FSet console;
    console.show();
    return app.exec();
}
