#include "core/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

bool installQtTranslations() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    // Owned by the application object, so a later application gets its own.
    static QPointer<QTranslator> installed;
    if (installed && installed->parent() == app)
        return true;
    auto* translator = new QTranslator(app);
    // Beside the program first (a deployed copy carries its own), then Qt's own folder.
    const QString name = QStringLiteral("qtbase_ru");
    const bool found =
        translator->load(name, QCoreApplication::applicationDirPath() + QStringLiteral("/translations")) ||
        translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!found || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}
