#include "points/Overview.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <tuple>

namespace points {

QString stateText(State s) {
    switch (s) {
    case State::NoMeasurements:
        return QStringLiteral("нет замеров");
    case State::Normal:
        return QStringLiteral("норма");
    case State::Warning:
        return QStringLiteral("предупреждение");
    case State::Alarm:
        return QStringLiteral("авария");
    case State::CatalogueError:
        break;
    }
    return QStringLiteral("ошибка");
}

QString yesNo(bool b) {
    return b ? QStringLiteral("да") : QStringLiteral("нет");
}

namespace {

int digits(QStringView text, int from, int count) {
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

QString twoDigits(int v) {
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}

} // namespace

qint64 momentOf(QStringView date, QStringView time) {
    if (date.size() != 10 || date[2] != QLatin1Char('.') || date[5] != QLatin1Char('.') || time.size() != 8 ||
        time[2] != QLatin1Char(':') || time[5] != QLatin1Char(':'))
        return -1;
    const int year = digits(date, 6, 4);
    const QDate day(year, digits(date, 3, 2), digits(date, 0, 2));
    const int h = digits(time, 0, 2), m = digits(time, 3, 2), s = digits(time, 6, 2);
    if (year < 1 || !day.isValid() || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59)
        return -1;
    return day.toJulianDay() * 86400 + h * 3600 + m * 60 + s;
}

QString dateText(qint64 moment) {
    const QDate day = QDate::fromJulianDay(moment / 86400);
    return twoDigits(day.day()) + QLatin1Char('.') + twoDigits(day.month()) + QLatin1Char('.') +
           QString::number(day.year()).rightJustified(4, QLatin1Char('0'));
}

QString timeText(qint64 moment) {
    const int s = int(moment % 86400);
    return twoDigits(s / 3600) + QLatin1Char(':') + twoDigits(s / 60 % 60) + QLatin1Char(':') +
           twoDigits(s % 60);
}

QString NoteTexts::shared(const QString& note) {
    const auto it = m_texts.constFind(note);
    if (it != m_texts.cend())
        return *it;
    m_texts.insert(note, note);
    return note;
}

namespace {

// A value beyond what velocityOf takes is an absurd reading, not a missing one: it ranks highest.
Velocity measured(double v) {
    if (const auto n = velocityOf(v))
        return *n;
    return v < 0 ? -(kPerMmS * 999'999'999) : kPerMmS * 999'999'999;
}

struct DuplicateKey {
    const MeasurementRow* row;
    bool operator==(const DuplicateKey& o) const {
        const MeasurementRow& a = *row;
        const MeasurementRow& b = *o.row;
        return a.vsr == b.vsr && a.moment == b.moment && a.mode == b.mode && a.n == b.n && a.note == b.note;
    }
};

size_t qHash(const DuplicateKey& k, size_t seed = 0) {
    const MeasurementRow& r = *k.row;
    const double v = r.vsr == 0 ? 0.0 : r.vsr; // -0 and 0 are one value
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    return qHashMulti(seed, bits, r.moment, r.mode, r.n, r.note);
}

// Where a record stands in the order of the overview.
struct Place {
    qint64 moment = 0;
    int table = 0;
    int recNo = 0;
    auto key() const { return std::tie(moment, table, recNo); }
};

struct Tally {
    int count = 0;
    Place first, last;
    const MeasurementRow* firstRow = nullptr;
    const MeasurementRow* lastRow = nullptr;
};

void judge(PointStatus& p, const Tally& t, const OverviewOptions& options) {
    p.count = t.count;
    if (t.count == 0)
        return;
    p.lastDate = dateText(t.last.moment);
    p.lastTime = timeText(t.last.moment);
    p.lastValue = t.lastRow->vsr;
    p.lastTable = t.lastRow->table;
    p.lastRecNo = t.lastRow->recNo;
    if (!p.levels)
        return;
    const Levels& l = *p.levels;
    const Velocity v = measured(t.lastRow->vsr);
    const Velocity base = l.base ? *l.base : measured(t.firstRow->vsr);
    p.zone = v >= l.cd ? ZoneD : v >= l.bc ? ZoneC : v >= l.ab ? ZoneB : ZoneA;
    const Velocity alert4 = l.alertTimesFour(base);
    p.state = v >= l.danger ? State::Alarm : 4 * v >= alert4 ? State::Warning : State::Normal;
    p.baseline = mmPerS(base);
    p.alert = double(alert4) / 4 / double(kPerMmS);
    p.danger = mmPerS(l.danger);
    p.changePercent = double(v - base) * 100.0 / double(l.bc);
    p.significant = 4 * (v > base ? v - base : base - v) > l.bc;
    if (l.days > 0 && options.today.isValid()) {
        const qint64 lastDay = t.last.moment / 86400;
        p.overdue = options.today.toJulianDay() - lastDay > l.days;
    }
}

void rollUp(Overview& o) {
    QHash<QString, int> byPath;
    const auto fold = [&](LevelStatus& level, const PointStatus& p) {
        ++level.points;
        if (p.state == State::CatalogueError)
            return;
        level.state = std::max(level.state, p.state);
        level.overdue = level.overdue || p.overdue;
    };
    for (const PointStatus& p : o.points) {
        for (const QString& path : parentLevels(p.name)) {
            auto it = byPath.constFind(path);
            if (it == byPath.cend()) {
                it = byPath.insert(path, int(o.levels.size()));
                o.levels.push_back({path, int(path.count(kLevelSeparator))});
            }
            fold(o.levels[size_t(*it)], p);
        }
    }
    // A point may also be a level of other points' names: the level then covers it too.
    for (const PointStatus& p : o.points)
        if (const auto it = byPath.constFind(p.name); it != byPath.cend())
            fold(o.levels[size_t(*it)], p);
}

} // namespace

Overview computeOverview(const std::vector<PointEntry>& catalogue, const std::vector<MeasurementRow>& rows,
                         const OverviewOptions& options) {
    Overview o;
    const PointIndex index(catalogue);

    // The records that count, before their points are known: a value, the mode.
    std::vector<const MeasurementRow*> counted;
    counted.reserve(rows.size());
    bool severalTables = false;
    for (const MeasurementRow& r : rows) {
        if (std::isnan(r.vsr) || (options.mode && r.mode != *options.mode))
            continue;
        severalTables = severalTables || r.table != rows.front().table;
        counted.push_back(&r);
    }
    if (severalTables) {
        // The first table that holds a measurement keeps it; within one table every record counts.
        QHash<DuplicateKey, int> firstTable;
        firstTable.reserve(qsizetype(counted.size()));
        for (const MeasurementRow* r : counted) {
            const auto it = firstTable.find(DuplicateKey{r});
            if (it == firstTable.end())
                firstTable.insert(DuplicateKey{r}, r->table);
            else
                *it = std::min(*it, r->table);
        }
        const auto before = counted.size();
        std::erase_if(counted,
                      [&](const MeasurementRow* r) { return firstTable.value(DuplicateKey{r}) != r->table; });
        o.duplicates = int(before - counted.size());
    }

    std::vector<Tally> tallies(catalogue.size());
    for (const MeasurementRow* r : counted) {
        const int point = index.pointOf(r->note);
        if (point < 0) {
            ++o.unassigned;
            continue;
        }
        if (r->moment < 0) {
            ++o.undated;
            continue;
        }
        Tally& t = tallies[size_t(point)];
        const Place at{r->moment, r->table, r->recNo};
        if (t.count == 0 || at.key() < t.first.key()) {
            t.first = at;
            t.firstRow = r;
        }
        if (t.count == 0 || at.key() > t.last.key()) {
            t.last = at;
            t.lastRow = r;
        }
        ++t.count;
    }

    o.points.reserve(catalogue.size());
    for (size_t i = 0; i < catalogue.size(); ++i) {
        PointStatus p;
        p.name = catalogue[i].name;
        p.entry = int(i);
        if (const auto problem = entryProblem(catalogue[i])) {
            p.state = State::CatalogueError;
            p.error = catalogueError(*problem);
        } else {
            p.levels = levelsOf(catalogue[i]);
        }
        judge(p, tallies[i], options);
        o.points.push_back(std::move(p));
    }
    rollUp(o);
    return o;
}

} // namespace points
