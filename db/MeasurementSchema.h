#pragma once

#include <QString>

#include <optional>
#include <span>
#include <vector>

// The measurement record in one place: each field's name and dBase layout, its unit, the value
// pair it belongs to, every text that names it on screen, in files and on paper, and the columns
// each mode shows. The table, the import, the views, the export, the reports and the chart all
// take their fields from here; a new text naming a field is added to Texts.
namespace MeasurementSchema {

// In record order.
enum class Field { N, DATE, TIME, MODE, A, A_SR, F, V, V_SR, S, S_SR, DT, T, TR_F, TR_A, TR_A_SR, COMMENT };
inline constexpr int kFieldCount = 17;

// The modes: 0 "Оперативный", 1 "Ждущий", 2 "Наблюдения".
inline constexpr int kModeCount = 3;

// Which choice of the data format switches between the two members of a value pair.
enum class Pair {
    None,  // a field of its own
    Rms,   // amplitude and root-mean-square value: A/A_SR, V/V_SR, TR_A/TR_A_SR
    Swing, // single-amplitude and full displacement: S/S_SR
};

// The places that show the fields of a mode, each in the order of modeColumns().
enum class Place : unsigned {
    View = 1,   // the mode view's grid: both members of each pair
    Excel = 2,  // the Excel export: the first members only
    Report = 4, // the printed report: the first members only
    Chart = 8,  // the chart's quantities: one per measured value, the first member standing for its pair
};

// The texts that name a field, one per place; empty where that place does not name it. Two
// places may spell one title differently; each keeps its own spelling.
struct Texts {
    QString gridTitle{};     // column title of the mode views; "\r" parts its two lines
    QString excelHeader{};   // header cell of the Excel export
    QString reportHeading{}; // heading cell of the printed reports; "\n" parts its lines
    QString chartQuantity{}; // the chart's choice of quantity (first member of a pair only)
    QString chartAxis{};     // the chart's value axis while this field is drawn
    QString tooltip{};       // nothing shows it yet
};

struct FieldDef {
    Field id;
    QString name; // the dBase field name, upper case
    char type;    // 'N' or 'C'
    int length;
    int decimals;
    QString unit; // as the program's texts write it ("м/кв.с"); empty where there is none
    Pair pair;
    Field partner;   // the other member of the pair; the field itself when there is no pair
    bool second;     // the member the data format shows instead: A_SR, V_SR, S_SR, TR_A_SR
    unsigned places; // Place bits
    Texts texts;
};

// The 17 fields, in record order (fields()[int(f)] is field f).
const std::vector<FieldDef>& fields();
const FieldDef& field(Field f);
const QString& name(Field f);
// The field of that name, in any case.
std::optional<Field> find(const QString& name);
bool shownIn(Field f, Place place);

// One column of a mode, in the order its view shows them.
struct ModeColumn {
    Field field;
    int viewWidth;      // the view's design width in pixels, before the grid fits its columns
    double reportWidth; // the printed column's width in mm; 0 where the report leaves it out
};
// The columns of mode 0, 1 or 2 (empty for any other mode): every field the mode's view shows.
std::span<const ModeColumn> modeColumns(int mode);
// The fields of a mode that one place shows, in column order.
std::vector<Field> columns(Place place, int mode);

// The mode's name as its page and the chart show it: "Оперативный", "Ждущий", "Наблюдения".
QString modeCaption(int mode);

} // namespace MeasurementSchema
