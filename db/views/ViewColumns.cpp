#include "db/views/ViewColumns.h"

#include "core/Cp1251.h"
#include "db/MeasurementSchema.h"

namespace ViewColumns {
namespace {

using A = ColumnAlignment;
using MeasurementSchema::Field;
using MeasurementSchema::FieldDef;

A alignmentOf(Field f) {
    switch (f) {
    case Field::DATE:
    case Field::TIME:
        return A::Center;
    case Field::COMMENT:
        return A::Left;
    default:
        return A::Right;
    }
}

const QString* formatOf(const FieldDef& d) {
    if (d.type != 'N' || d.decimals == 0)
        return nullptr;
    switch (d.id) {
    case Field::TR_F:
    case Field::TR_A:
    case Field::TR_A_SR:
        return &NumericVision_avf;
    default:
        return &NumericVision_s;
    }
}

// The measured values and their partners are titled by the start-up set-up; until then their
// columns carry the field names.
bool titledAtStartUp(Field f) {
    switch (f) {
    case Field::A:
    case Field::A_SR:
    case Field::F:
    case Field::V:
    case Field::V_SR:
    case Field::S:
    case Field::S_SR:
        return true;
    default:
        return false;
    }
}

} // namespace

std::vector<GridColumn> designColumns(int page) {
    std::vector<GridColumn> columns;
    for (const MeasurementSchema::ModeColumn& mc : MeasurementSchema::modeColumns(page)) {
        const FieldDef& d = MeasurementSchema::field(mc.field);
        GridColumn c(d.name, titledAtStartUp(d.id) ? d.name : d.texts.gridTitle, mc.viewWidth,
                     alignmentOf(d.id));
        c.titleAlignment = A::Center;
        // The partner shown in place of its first member can be edited, like the note.
        c.readOnly = !(d.second || d.id == Field::COMMENT);
        c.visible = true;
        if (const QString* format = formatOf(d))
            c.displayFormat = *format;
        if (d.id == Field::COMMENT) {
            c.maxLength = d.length;
            c.acceptChar = [](QChar ch) { return cp1251::canEncode(ch); };
        }
        columns.push_back(std::move(c));
    }
    return columns;
}

QString pageCaption(int page) {
    return MeasurementSchema::modeCaption(page);
}

void setUpColumns(std::vector<GridColumn>& columns, int page) {
    for (const MeasurementSchema::FieldDef& d : MeasurementSchema::fields())
        if (titledAtStartUp(d.id))
            if (const int i = find(columns, d.name); i >= 0)
                columns[std::size_t(i)].title = d.texts.gridTitle;
    for (const MeasurementSchema::ModeColumn& mc : MeasurementSchema::modeColumns(page))
        if (MeasurementSchema::field(mc.field).second)
            if (const int i = find(columns, MeasurementSchema::name(mc.field)); i >= 0)
                columns[std::size_t(i)].visible = false;
}

std::vector<GridColumn> startUpColumns(int page) {
    std::vector<GridColumn> columns = designColumns(page);
    setUpColumns(columns, page);
    return columns;
}

int find(const std::vector<GridColumn>& columns, const QString& fieldName) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

} // namespace ViewColumns
