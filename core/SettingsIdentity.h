#pragma once

#include <QLatin1String>
#include <QSettings>
#include <QString>

// Where the program keeps its settings: HKEY_CURRENT_USER\Software\Morvalen\Kvarnel\1.0 on
// Windows, elsewhere Qt's user settings file of organisation "Morvalen", application "Kvarnel",
// in group "1.0". The window, the port layer, the tests and the benchmarks all reach it here.
class ProgramSettings : public QSettings {
public:
    static constexpr QLatin1String organization{"Morvalen"};
    static constexpr QLatin1String application{"Kvarnel"};
    static constexpr QLatin1String group{"1.0"};

    // The store, opened in the program's group: keys are plain value names such as "COM1".
    ProgramSettings() : QSettings(QString(organization), QString(application)) { beginGroup(QString(group)); }
};
