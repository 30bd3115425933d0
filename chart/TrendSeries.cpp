#include "chart/TrendSeries.h"

#include "core/Error.h"
#include "db/DbfTable.h"

#include <QDate>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace chart {

namespace {

using MeasurementSchema::Field;
using MeasurementSchema::Pair;

// The member of the quantity's pair that the form shows.
Field memberOf(Quantity q, ValueForm form) {
    const MeasurementSchema::FieldDef& d = MeasurementSchema::field(Field(int(q)));
    const bool second = (d.pair == Pair::Rms && form.rms) || (d.pair == Pair::Swing && form.full);
    return second ? d.partner : d.id;
}

} // namespace

std::vector<Quantity> quantitiesFor(int mode) {
    std::vector<Quantity> q;
    for (Field f : MeasurementSchema::columns(MeasurementSchema::Place::Chart, mode))
        q.push_back(Quantity(int(f)));
    return q;
}

QString quantityName(Quantity q) {
    return MeasurementSchema::field(Field(int(q))).texts.chartQuantity;
}

QString fieldFor(Quantity q, ValueForm form) {
    return MeasurementSchema::name(memberOf(q, form));
}

QString axisTitle(Quantity q, ValueForm form) {
    return MeasurementSchema::field(memberOf(q, form)).texts.chartAxis;
}

std::optional<Quantity> parseQuantity(const QString& text) {
    const std::optional<Field> f = MeasurementSchema::find(text.trimmed());
    if (!f || !MeasurementSchema::shownIn(*f, MeasurementSchema::Place::Chart))
        return std::nullopt;
    return Quantity(int(*f));
}

int Series::valueCount() const {
    return int(std::count_if(y.begin(), y.end(), [](double v) { return !std::isnan(v); }));
}

int Series::indexOfRecNo(int r) const {
    const auto it = std::find(recNo.begin(), recNo.end(), r);
    return it == recNo.end() ? -1 : int(it - recNo.begin());
}

namespace {

// The digits of text from..from+count as a number; -1 when one is no digit.
int digits(const QString& text, int from, int count) {
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

std::optional<double> momentOf(const QString& date, const QString& time) {
    // Read by hand: QDate::fromString with a format costs more than the rest of the series.
    const QString d = date.trimmed();
    const QString t = time.trimmed();
    if (d.size() != 10 || d[2] != QLatin1Char('.') || d[5] != QLatin1Char('.') || t.size() != 8 ||
        t[2] != QLatin1Char(':') || t[5] != QLatin1Char(':'))
        return std::nullopt;
    const QDate day(digits(d, 6, 4), digits(d, 3, 2), digits(d, 0, 2));
    const int h = digits(t, 0, 2), m = digits(t, 3, 2), sec = digits(t, 6, 2);
    if (!day.isValid() || h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59)
        return std::nullopt;
    constexpr qint64 unixDay = 2440588; // the Julian day of 01.01.1970
    return double(((day.toJulianDay() - unixDay) * 86400 + h * 3600 + m * 60 + sec) * 1000);
}

Series buildSeries(const DbfTable& table, const QString& field) {
    Series s;
    s.field = field;
    if (!table.isOpen())
        return s;
    const int fDate = table.fieldIndex(MeasurementSchema::name(Field::DATE));
    const int fTime = table.fieldIndex(MeasurementSchema::name(Field::TIME));
    const int fValue = table.fieldIndex(field);
    if (fDate < 0 || fTime < 0 || fValue < 0)
        throw KvError(
            QStringLiteral("В таблице нет поля %1.").arg(fValue < 0 ? field : QStringLiteral("DATE, TIME")));

    struct Point {
        double x;
        double y;
        int recNo;
    };
    std::vector<Point> points;
    const int rows = table.recordCount();
    points.reserve(std::size_t(rows));
    for (int row = 0; row < rows; ++row) {
        const int recNo = table.recNoAt(row);
        const auto when =
            momentOf(table.recordValue(recNo, fDate).toString(), table.recordValue(recNo, fTime).toString());
        if (!when) {
            ++s.undated;
            continue;
        }
        const QVariant v = table.recordValue(recNo, fValue);
        bool ok = false;
        double value = v.isNull() ? 0.0 : v.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            value = std::nan("");
        points.push_back({*when, value, recNo});
    }
    std::sort(points.begin(), points.end(),
              [](const Point& a, const Point& b) { return a.x != b.x ? a.x < b.x : a.recNo < b.recNo; });
    s.x.reserve(points.size());
    s.y.reserve(points.size());
    s.recNo.reserve(points.size());
    for (const Point& p : points) {
        s.x.push_back(p.x);
        s.y.push_back(p.y);
        s.recNo.push_back(p.recNo);
    }
    return s;
}

} // namespace chart
