#pragma once

#include "core/SettingsIdentity.h"

#include <QString>

// Points "\\.\COMn" at a device, in the settings store the program reads; an empty device
// removes the mapping.
inline void mapPort(const QString& key, const QString& device) {
    ProgramSettings s;
    if (device.isEmpty())
        s.remove(key);
    else
        s.setValue(key, device);
    s.sync();
}
