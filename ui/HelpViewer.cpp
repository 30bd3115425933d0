#include "ui/HelpViewer.h"

#ifdef Q_OS_WIN
#include <QDesktopServices>
#include <QSettings>
#include <QUrl>
#endif

bool openInWinHelpViewer(const QString& path) {
#ifdef Q_OS_WIN
    const QSettings types(QStringLiteral("HKEY_CLASSES_ROOT\\.hlp"), QSettings::NativeFormat);
    if (types.value(QStringLiteral("Default")).toString().isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#else
    (void)path;
    return false;
#endif
}
