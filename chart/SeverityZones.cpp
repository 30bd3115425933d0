#include "chart/SeverityZones.h"

#include <cmath>

namespace chart {

bool zonesApply(Quantity q, ValueForm form) {
    return q == Quantity::Velocity && form.rms;
}

ZoneCounts countZones(const Series& series, const ZoneLimits& limits) {
    ZoneCounts counts;
    for (double v : series.y) {
        if (std::isnan(v))
            continue;
        const Zone z = zoneOf(v, limits);
        ++counts.count[std::size_t(z)];
        counts.last = z;
    }
    return counts;
}

} // namespace chart
