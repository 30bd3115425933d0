#include "points/Catalogue.h"

#include "core/Cp1251.h"
#include "core/Error.h"

#include <algorithm>
#include <cmath>

namespace points {

std::optional<QString> nameProblem(const QString& name) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("имя точки не задано");
    if (name.contains(kNoteSeparator))
        return QStringLiteral("в имени точки есть «;»");
    if (std::any_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x20; }))
        return QStringLiteral("в имени точки есть управляющие знаки");
    if (!cp1251::canEncode(name))
        return QStringLiteral("в имени точки есть знаки, которых нет в кодировке Windows-1251");
    if (name.size() > kMaxNameLength)
        return QStringLiteral("имя точки длиннее %1 знаков").arg(kMaxNameLength);
    if (name != name.trimmed())
        return QStringLiteral("имя точки начинается или кончается пробелом");
    const QStringList levels = name.split(kLevelSeparator);
    if (std::any_of(levels.begin(), levels.end(), [](const QString& l) { return l.trimmed().isEmpty(); }))
        return QStringLiteral("в имени точки пустой уровень: «/» в начале, в конце или два подряд");
    return std::nullopt;
}

namespace {

bool tooLarge(const std::optional<double>& v) {
    return v && !velocityOf(*v);
}

} // namespace

std::optional<QString> levelsProblem(const PointEntry& e) {
    if (!e.cls.isEmpty() && !severityClass(e.cls))
        return QStringLiteral("неизвестный класс «%1»").arg(e.cls);
    const int limits = int(e.ab.has_value()) + int(e.bc.has_value()) + int(e.cd.has_value());
    if (limits == 0 && e.cls.isEmpty())
        return QStringLiteral("не заданы ни класс, ни границы зон");
    if (limits == 1 || limits == 2)
        return QStringLiteral("заданы не все три границы зон");
    for (const auto& v : {e.ab, e.bc, e.cd, e.base, e.alert, e.danger})
        if (tooLarge(v))
            return QStringLiteral("значение уровня вне допустимых пределов");
    if (limits == 3) {
        if (!(*e.ab > 0 && *e.bc > 0 && *e.cd > 0))
            return QStringLiteral("границы зон должны быть больше нуля");
        if (!(*e.ab < *e.bc && *e.bc < *e.cd))
            return QStringLiteral("границы зон не возрастают (нужно A/B < B/C < C/D)");
    }
    if (e.base && *e.base < 0)
        return QStringLiteral("базовое значение отрицательно");
    if (e.alert && *e.alert < 0)
        return QStringLiteral("уровень предупреждения отрицателен");
    if (e.danger && *e.danger < 0)
        return QStringLiteral("уровень аварии отрицателен");
    if (e.days && *e.days < 0)
        return QStringLiteral("интервал замеров отрицателен");
    if (e.days && *e.days > 9999)
        return QStringLiteral("интервал замеров больше 9999 дней");
    if (e.alert) {
        const double danger = e.danger ? *e.danger : limits == 3 ? *e.cd : severityClass(e.cls)->limits.cd;
        if (*velocityOf(*e.alert) > *velocityOf(danger))
            return QStringLiteral("уровень предупреждения выше уровня аварии");
    }
    return std::nullopt;
}

std::optional<QString> entryProblem(const PointEntry& entry) {
    if (auto p = nameProblem(entry.name))
        return p;
    return levelsProblem(entry);
}

QString typedRefusal(const QString& problem) {
    if (problem.isEmpty())
        return problem;
    return problem.front().toUpper() + problem.mid(1) + QLatin1Char('.');
}

QString catalogueError(const QString& problem) {
    return QStringLiteral("ошибка в каталоге: ") + problem;
}

std::optional<Velocity> velocityOf(double v) {
    if (!std::isfinite(v) || std::fabs(v) >= 1e9)
        return std::nullopt;
    return Velocity(std::llround(v * double(kPerMmS)));
}

double mmPerS(Velocity v) {
    return double(v) / double(kPerMmS);
}

Velocity Levels::alertTimesFour(Velocity baseline) const {
    if (alert)
        return 4 * *alert;
    return std::min(4 * baseline + bc, 5 * bc);
}

Levels levelsOf(const PointEntry& e) {
    if (auto p = entryProblem(e))
        throw KvError(typedRefusal(*p));
    Levels l;
    l.limits = e.ab ? ZoneLimits{*e.ab, *e.bc, *e.cd} : severityClass(e.cls)->limits;
    l.ab = *velocityOf(l.limits.ab);
    l.bc = *velocityOf(l.limits.bc);
    l.cd = *velocityOf(l.limits.cd);
    if (e.base)
        l.base = *velocityOf(*e.base);
    if (e.alert)
        l.alert = *velocityOf(*e.alert);
    l.danger = e.danger ? *velocityOf(*e.danger) : l.cd;
    l.days = e.days ? int(*e.days) : 0;
    return l;
}

QStringView noteKey(QStringView note) {
    qsizetype n = note.size();
    while (n > 0 && note[n - 1] == QLatin1Char(' '))
        --n;
    note = note.first(n);
    const qsizetype semicolon = note.indexOf(kNoteSeparator);
    return semicolon < 0 ? note : note.first(semicolon);
}

bool belongsTo(QStringView note, const QString& name) {
    if (name.contains(kNoteSeparator)) {
        qsizetype n = note.size();
        while (n > 0 && note[n - 1] == QLatin1Char(' '))
            --n;
        note = note.first(n);
        return note == name ||
               (note.startsWith(name) && note.size() > name.size() && note[name.size()] == kNoteSeparator);
    }
    return noteKey(note) == name;
}

PointIndex::PointIndex(const std::vector<PointEntry>& entries) {
    m_byName.reserve(qsizetype(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const QString& name = entries[i].name;
        if (name.contains(kNoteSeparator))
            m_odd.emplace_back(name, int(i));
        else if (!m_byName.contains(name))
            m_byName.insert(name, int(i));
    }
}

int PointIndex::pointOf(QStringView note) const {
    for (const auto& [name, index] : m_odd)
        if (belongsTo(note, name))
            return index;
    return m_byName.value(noteKey(note).toString(), -1);
}

std::vector<QString> parentLevels(const QString& name) {
    std::vector<QString> levels;
    for (qsizetype at = name.indexOf(kLevelSeparator); at >= 0; at = name.indexOf(kLevelSeparator, at + 1))
        levels.push_back(name.left(at));
    return levels;
}

bool isUnderLevel(const QString& name, const QString& level) {
    return name == level ||
           (name.size() > level.size() && name.startsWith(level) && name[level.size()] == kLevelSeparator);
}

} // namespace points
