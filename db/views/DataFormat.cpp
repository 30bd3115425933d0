#include "db/views/DataFormat.h"

#include "db/MeasurementSchema.h"
#include "db/views/ViewColumns.h"

namespace DataFormat {
namespace {

using MeasurementSchema::Field;
using MeasurementSchema::Pair;

bool shown(const std::vector<GridColumn>& columns, Field field) {
    const int i = ViewColumns::find(columns, MeasurementSchema::name(field));
    return i >= 0 && columns[std::size_t(i)].visible;
}

// Gives `to` the width of `from`, shows `to`, hides `from`.
void swap(std::vector<GridColumn>& columns, Field from, Field to) {
    const int f = ViewColumns::find(columns, MeasurementSchema::name(from));
    const int t = ViewColumns::find(columns, MeasurementSchema::name(to));
    if (f < 0 || t < 0)
        return;
    columns[std::size_t(t)].width = columns[std::size_t(f)].width;
    columns[std::size_t(t)].visible = true;
    columns[std::size_t(f)].visible = false;
}

// Switches every pair of that kind on the page to its first member, or to its second.
void switchPairs(std::vector<GridColumn>& columns, int page, Pair pair, bool toFirst) {
    for (const MeasurementSchema::ModeColumn& mc : MeasurementSchema::modeColumns(page)) {
        const MeasurementSchema::FieldDef& d = MeasurementSchema::field(mc.field);
        if (d.pair != pair || d.second)
            continue;
        if (toFirst)
            swap(columns, d.partner, d.id);
        else
            swap(columns, d.id, d.partner);
    }
}

} // namespace

Choice read(const std::vector<GridColumn>& columns) {
    return Choice{shown(columns, Field::A), shown(columns, Field::S)};
}

void apply(std::vector<GridColumn>& columns, const Choice& choice, int page) {
    // Only A and A_SR decide for the first group; velocity and threshold follow them.
    if (choice.amplitude && shown(columns, Field::A_SR))
        switchPairs(columns, page, Pair::Rms, true);
    if (!choice.amplitude && shown(columns, Field::A))
        switchPairs(columns, page, Pair::Rms, false);
    if (choice.normal && shown(columns, Field::S_SR))
        switchPairs(columns, page, Pair::Swing, true);
    if (!choice.normal && shown(columns, Field::S))
        switchPairs(columns, page, Pair::Swing, false);
}

} // namespace DataFormat
