#pragma once

#include "points/Catalogue.h"

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace points {

// A rename as the notes of the records see it: each point's old name and its new one.
using NameChanges = std::vector<std::pair<QString, QString>>;

// The catalogue's entries being edited, in record order. Every change is checked whole before it
// is made: one that is refused throws KvError with the text the user reads and changes nothing.
// A point that another program wrote wrongly refuses changes that leave it wrong, naming it.
class CatalogueModel {
public:
    explicit CatalogueModel(std::vector<PointEntry> entries = {});

    const std::vector<PointEntry>& entries() const { return m_entries; }
    int indexOf(const QString& name) const; // -1 when there is no such point

    // A new point at the end.
    void add(const PointEntry& entry);
    // One point, or a level with every point under it ("Цех 1/Насос Н-3" and all its points
    // "Цех 1/Насос Н-3/…"). Returns the names that change.
    NameChanges rename(const QString& name, const QString& newName);
    NameChanges renameLevel(const QString& level, const QString& newLevel);
    void remove(const std::vector<QString>& names);

    // For one or several points. A class fills the three limits with its own; an empty class
    // keeps the stored limits as the point's own.
    void setClass(const std::vector<QString>& names, const QString& cls);
    void setLimits(const std::vector<QString>& names, const std::optional<ZoneLimits>& limits);
    void setBase(const std::vector<QString>& names, std::optional<double> base);
    void setLevels(const std::vector<QString>& names, std::optional<double> alert,
                   std::optional<double> danger);
    void setInterval(const std::vector<QString>& names, std::optional<int> days);

private:
    template <typename Edit> void update(const std::vector<QString>& names, Edit edit);
    NameChanges renameWhere(const QString& from, const QString& to, bool level);

    std::vector<PointEntry> m_entries;
};

} // namespace points
