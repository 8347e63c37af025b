#include "app/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installQtTranslation()
{
    auto* app = QCoreApplication::instance();
    if (!app)
        return false;
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString folders[] = {
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        exeDir + QStringLiteral("/translations"),
        exeDir + QStringLiteral("/../share/qt6/translations"),
    };
    auto* translator = new QTranslator(app);
    for (const QString& folder : folders) {
        if (translator->load(QStringLiteral("qtbase_ru"), folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}
