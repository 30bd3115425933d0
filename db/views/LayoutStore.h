#pragma once

#include <QString>
#include <optional>

// Where the views keep their column layouts between runs (the program's settings).
class LayoutStore {
public:
    virtual ~LayoutStore() = default;
    virtual std::optional<QString> readLayout(const QString& name) const = 0;
    virtual void writeLayout(const QString& name, const QString& text) = 0;
};
