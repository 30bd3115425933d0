#include "core/FileVersion.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifndef KV_VERSION
#define KV_VERSION ""
#endif

QString fileVersionText(const char* compiled) {
    QString text = compiled ? QString::fromLatin1(compiled).trimmed() : QString();
    return text.isEmpty() ? QStringLiteral("0.0.0.0") : text;
}

QString ReadFileVersion(const QString& path) {
    const QFileInfo file(path);
    const QFileInfo self(QCoreApplication::applicationFilePath());
    if (!file.exists() || file.canonicalFilePath() != self.canonicalFilePath())
        return QStringLiteral("0.0.0.0");
    return fileVersionText(KV_VERSION);
}
