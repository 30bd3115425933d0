#include "points/CatalogueModel.h"

#include "core/Error.h"

#include <QSet>

#include <algorithm>

namespace points {
namespace {

[[noreturn]] void refuse(const QString& name, const QString& problem) {
    throw KvError(QStringLiteral("Точка «%1»: %2").arg(name, typedRefusal(problem)));
}

[[noreturn]] void noSuchPoint(const QString& name) {
    throw KvError(QStringLiteral("В каталоге нет точки «%1».").arg(name));
}

} // namespace

CatalogueModel::CatalogueModel(std::vector<PointEntry> entries) : m_entries(std::move(entries)) {}

int CatalogueModel::indexOf(const QString& name) const {
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].name == name)
            return int(i);
    return -1;
}

void CatalogueModel::add(const PointEntry& entry) {
    if (auto p = entryProblem(entry))
        throw KvError(typedRefusal(*p));
    if (indexOf(entry.name) >= 0)
        throw KvError(QStringLiteral("Точка «%1» уже есть в каталоге.").arg(entry.name));
    m_entries.push_back(entry);
}

NameChanges CatalogueModel::rename(const QString& name, const QString& newName) {
    if (indexOf(name) < 0)
        noSuchPoint(name);
    return renameWhere(name, newName, false);
}

NameChanges CatalogueModel::renameLevel(const QString& level, const QString& newLevel) {
    if (std::none_of(m_entries.begin(), m_entries.end(),
                     [&](const PointEntry& e) { return isUnderLevel(e.name, level); }))
        throw KvError(QStringLiteral("В каталоге нет уровня «%1».").arg(level));
    return renameWhere(level, newLevel, true);
}

NameChanges CatalogueModel::renameWhere(const QString& from, const QString& to, bool level) {
    if (auto p = nameProblem(to))
        throw KvError(typedRefusal(*p));
    NameChanges changes;
    if (from == to)
        return changes;
    std::vector<PointEntry> next = m_entries;
    for (PointEntry& e : next) {
        if (level ? !isUnderLevel(e.name, from) : e.name != from)
            continue;
        const QString renamed = to + e.name.mid(from.size());
        if (auto p = nameProblem(renamed))
            refuse(renamed, *p);
        changes.emplace_back(e.name, renamed);
        e.name = renamed;
    }
    QSet<QString> seen;
    for (const PointEntry& e : next) {
        if (seen.contains(e.name))
            throw KvError(QStringLiteral("Точка «%1» уже есть в каталоге.").arg(e.name));
        seen.insert(e.name);
    }
    m_entries = std::move(next);
    return changes;
}

void CatalogueModel::remove(const std::vector<QString>& names) {
    for (const QString& n : names)
        if (indexOf(n) < 0)
            noSuchPoint(n);
    std::erase_if(m_entries, [&](const PointEntry& e) {
        return std::find(names.begin(), names.end(), e.name) != names.end();
    });
}

template <typename Edit> void CatalogueModel::update(const std::vector<QString>& names, Edit edit) {
    std::vector<PointEntry> next = m_entries;
    for (const QString& n : names) {
        const int i = indexOf(n);
        if (i < 0)
            noSuchPoint(n);
        PointEntry& e = next[size_t(i)];
        edit(e);
        if (auto p = levelsProblem(e))
            refuse(e.name, *p);
    }
    m_entries = std::move(next);
}

void CatalogueModel::setClass(const std::vector<QString>& names, const QString& cls) {
    const SeverityClass* c = cls.isEmpty() ? nullptr : severityClass(cls);
    if (!cls.isEmpty() && !c)
        throw KvError(typedRefusal(QStringLiteral("неизвестный класс «%1»").arg(cls)));
    update(names, [&](PointEntry& e) {
        e.cls = cls;
        if (c) {
            e.ab = c->limits.ab;
            e.bc = c->limits.bc;
            e.cd = c->limits.cd;
        }
    });
}

void CatalogueModel::setLimits(const std::vector<QString>& names, const std::optional<ZoneLimits>& limits) {
    update(names, [&](PointEntry& e) {
        e.ab = limits ? std::optional(limits->ab) : std::nullopt;
        e.bc = limits ? std::optional(limits->bc) : std::nullopt;
        e.cd = limits ? std::optional(limits->cd) : std::nullopt;
    });
}

void CatalogueModel::setBase(const std::vector<QString>& names, std::optional<double> base) {
    update(names, [&](PointEntry& e) { e.base = base; });
}

void CatalogueModel::setLevels(const std::vector<QString>& names, std::optional<double> alert,
                               std::optional<double> danger) {
    update(names, [&](PointEntry& e) {
        e.alert = alert;
        e.danger = danger;
    });
}

void CatalogueModel::setInterval(const std::vector<QString>& names, std::optional<int> days) {
    update(names, [&](PointEntry& e) { e.days = days ? std::optional<qint64>(*days) : std::nullopt; });
}

} // namespace points
