#include "points/SeverityClasses.h"

#include <QStringList>

#include <cmath>

namespace points {

bool ZoneLimits::valid() const {
    return std::isfinite(ab) && std::isfinite(bc) && std::isfinite(cd) && ab > 0 && ab < bc && bc < cd;
}

const std::vector<SeverityClass>& severityClasses() {
    static const std::vector<SeverityClass> classes{
        {QStringLiteral("I"), QStringLiteral("Класс I (малые машины до 15 кВт)"), {0.71, 1.8, 4.5}},
        {QStringLiteral("II"), QStringLiteral("Класс II (средние машины 15–75 кВт)"), {1.12, 2.8, 7.1}},
        {QStringLiteral("III"),
         QStringLiteral("Класс III (большие машины, жёсткий фундамент)"),
         {1.8, 4.5, 11.2}},
        {QStringLiteral("IV"),
         QStringLiteral("Класс IV (большие машины, податливый фундамент)"),
         {2.8, 7.1, 18.0}},
        {QStringLiteral("1r"),
         QStringLiteral("Группа 1, жёсткий фундамент (300 кВт – 50 МВт)"),
         {2.3, 4.5, 7.1}},
        {QStringLiteral("1f"), QStringLiteral("Группа 1, податливый фундамент"), {3.5, 7.1, 11.0}},
        {QStringLiteral("2r"), QStringLiteral("Группа 2, жёсткий фундамент (15–300 кВт)"), {1.4, 2.8, 4.5}},
        {QStringLiteral("2f"), QStringLiteral("Группа 2, податливый фундамент"), {2.3, 4.5, 7.1}},
    };
    return classes;
}

const SeverityClass* severityClass(const QString& id) {
    for (const SeverityClass& c : severityClasses())
        if (id == c.id)
            return &c;
    return nullptr;
}

std::optional<ZoneLimits> parseZones(const QString& text) {
    if (const SeverityClass* c = severityClass(text))
        return c->limits;
    const QLatin1String prefix("custom:");
    if (!text.startsWith(prefix))
        return std::nullopt;
    const QStringList parts = text.mid(prefix.size()).split(QLatin1Char(','));
    if (parts.size() != 3)
        return std::nullopt;
    double v[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    const ZoneLimits limits{v[0], v[1], v[2]};
    if (!limits.valid())
        return std::nullopt;
    return limits;
}

Zone zoneOf(double value, const ZoneLimits& limits) {
    if (value >= limits.cd)
        return ZoneD;
    if (value >= limits.bc)
        return ZoneC;
    if (value >= limits.ab)
        return ZoneB;
    return ZoneA;
}

QChar zoneLetter(int zone) {
    return zone >= 0 && zone < 4 ? QChar(u"ABCD"[zone]) : QLatin1Char('-');
}

} // namespace points
