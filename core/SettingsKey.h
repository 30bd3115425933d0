#pragma once

#include "core/SettingsIdentity.h"

#include <QString>

#include <functional>
#include <optional>

// The program's settings (ProgramSettings) as the window reads and writes them. A store that
// cannot be written does not stop the program: values live on for the run, and the first
// failure is reported once through onNotWritable.
class SettingsKey {
public:
    SettingsKey();

    // Checks that the store can be written; reports once when it cannot.
    void open();

    bool valueExists(const QString& name) const;
    QString readString(const QString& name) const;
    std::optional<QString> tryReadString(const QString& name) const;
    void writeString(const QString& name, const QString& value);

    bool failed() const { return m_failed; }
    QString location() const { return m_settings.fileName(); }

    std::function<void()> onNotWritable;

private:
    void fail();

    ProgramSettings m_settings;
    bool m_failed = false;
};
