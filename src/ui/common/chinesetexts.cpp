#include "common/chinesetexts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
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

void useChineseUiFont()
{
#ifdef Q_OS_WIN
    const QFont current = QApplication::font();
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    if (chinese.contains(QFontInfo(current).family()))
        return;
    for (const QString &family : { QStringLiteral("Microsoft YaHei UI"), QStringLiteral("Microsoft YaHei"),
             QStringLiteral("微软雅黑"), QStringLiteral("DengXian"), QStringLiteral("SimHei"),
             QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei") }) {
        if (chinese.contains(family)) {
            QFont font = current;
            font.setFamily(family);
            QApplication::setFont(font);
            return;
        }
    }
#endif
}

} // namespace tombolix
