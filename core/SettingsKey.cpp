#include "core/SettingsKey.h"

SettingsKey::SettingsKey() = default;

void SettingsKey::open() {
    if (!m_settings.isWritable())
        fail();
}

bool SettingsKey::valueExists(const QString& name) const {
    return m_settings.contains(name);
}

QString SettingsKey::readString(const QString& name) const {
    return m_settings.value(name).toString();
}

std::optional<QString> SettingsKey::tryReadString(const QString& name) const {
    if (!m_settings.contains(name))
        return std::nullopt;
    return m_settings.value(name).toString();
}

void SettingsKey::writeString(const QString& name, const QString& value) {
    m_settings.setValue(name, value);
    if (m_failed)
        return;
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError)
        fail();
}

void SettingsKey::fail() {
    if (m_failed)
        return;
    m_failed = true;
    if (onNotWritable)
        onNotWritable();
}
