#include "db/views/DataFormat.h"

#include "db/views/ViewColumns.h"

namespace DataFormat {
namespace {

bool shown(const std::vector<GridColumn>& columns, const char* field) {
    const int i = ViewColumns::find(columns, QString::fromLatin1(field));
    return i >= 0 && columns[std::size_t(i)].visible;
}

// Gives `to` the width of `from`, shows `to`, hides `from`.
void swap(std::vector<GridColumn>& columns, const char* from, const char* to) {
    const int f = ViewColumns::find(columns, QString::fromLatin1(from));
    const int t = ViewColumns::find(columns, QString::fromLatin1(to));
    if (f < 0 || t < 0)
        return;
    columns[std::size_t(t)].width = columns[std::size_t(f)].width;
    columns[std::size_t(t)].visible = true;
    columns[std::size_t(f)].visible = false;
}

} // namespace

Choice read(const std::vector<GridColumn>& columns) {
    return Choice{shown(columns, "A"), shown(columns, "S")};
}

void apply(std::vector<GridColumn>& columns, const Choice& choice, int page) {
    // Only A and A_SR decide for the first group; velocity and threshold follow them.
    if (choice.amplitude && shown(columns, "A_SR")) {
        swap(columns, "A_SR", "A");
        swap(columns, "V_SR", "V");
        if (page == 1)
            swap(columns, "TR_A_SR", "TR_A");
    }
    if (!choice.amplitude && shown(columns, "A")) {
        swap(columns, "A", "A_SR");
        swap(columns, "V", "V_SR");
        if (page == 1)
            swap(columns, "TR_A", "TR_A_SR");
    }
    if (choice.normal && shown(columns, "S_SR"))
        swap(columns, "S_SR", "S");
    if (!choice.normal && shown(columns, "S"))
        swap(columns, "S", "S_SR");
}

} // namespace DataFormat
