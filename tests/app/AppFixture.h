#pragma once

#include "ModalAnswer.h"
#include "TestTables.h"
#include "core/SettingsIdentity.h"
#include "ui/ModeViews.h"
#include "ui/Program.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <QAction>
#include <QMenu>
#include <QToolBar>

#include <memory>

// A menu item, menu, toolbar or toolbar button of the main window by the name the window gives it
// ("N16", "Excel1", "ToolBar1"), as a user finds it; a name the window lacks stops the test.
template <class T = QAction> T* control(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("the main window has no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

// One isolated run of the program: its own settings file and data folder.
struct AppFixture {
    QTemporaryDir dir;

    AppFixture() {
        QApplication::setQuitOnLastWindowClosed(false);
        useSettingsFolder(dir.filePath(QStringLiteral("config")));
        QDir().mkpath(dir.filePath(QStringLiteral("data")));
    }

    static void useSettingsFolder(const QString& folder) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    }

    QString dataPath(const QString& name) const { return dir.filePath(QStringLiteral("data/") + name); }

    // The real start-up without the 3-second splash; options may hand the window its ports or
    // help viewer.
    std::unique_ptr<Program> start(StartOptions options = {}) {
        options.splashMs = 0;
        return startUp(options);
    }

    // A table of mixed modes opened through "Открыть", answering its dialog.
    QString openMixed(TForm1& w, const QString& name = QStringLiteral("Цех1.dbf")) {
        const QString path = dataPath(name);
        writeTable(path, mixedRows());
        openThroughDialog(w, path);
        return path;
    }

    static void openThroughDialog(TForm1& w, const QString& path) {
        w.openDialog().handler = [path](FileDialog& d) {
            d.fileName = path;
            return true;
        };
        control(w, "N3")->trigger();
        w.openDialog().handler = nullptr;
    }
};

// Values read and written straight in the settings store.
inline QVariant storedValue(const QString& name) {
    return ProgramSettings().value(name);
}

inline void storeValue(const QString& name, const QVariant& value) {
    ProgramSettings s;
    s.setValue(name, value);
    s.sync();
}
