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
    // The program's own copy first: beside it (a copied folder) or in its share folder (installed
    // in <prefix>/bin), then Qt's own folder.
    const QString name = QStringLiteral("qtbase_ru");
    const QString dir = QCoreApplication::applicationDirPath();
    const bool found = translator->load(name, dir + QStringLiteral("/translations")) ||
                       translator->load(name, dir + QStringLiteral("/../share/kvarnel-ld5/translations")) ||
                       translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!found || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}
