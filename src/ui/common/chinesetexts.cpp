#include "common/chinesetexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tombolix {

namespace {
const QString TranslatorName = QStringLiteral("tombolixQtChinese");
}

bool installChineseTranslations(QCoreApplication &app)
{
    if (app.findChild<QTranslator *>(TranslatorName, Qt::FindDirectChildrenOnly))
        return true;
    // qtbase holds every text the widgets show; the other catalogues belong
    // to modules whose texts never reach the screen here.
    auto *translator = new QTranslator(&app);
    translator->setObjectName(TranslatorName);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

} // namespace tombolix
