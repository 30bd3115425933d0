#include "db/MeasurementSchema.h"

#include <stdexcept>

namespace MeasurementSchema {
namespace {

constexpr unsigned operator|(Place a, Place b) {
    return unsigned(a) | unsigned(b);
}
constexpr unsigned operator|(unsigned a, Place b) {
    return a | unsigned(b);
}

constexpr unsigned kPrinted = Place::View | Place::Excel | Place::Report;
constexpr unsigned kMeasured = kPrinted | Place::Chart;
constexpr unsigned kPartner = unsigned(Place::View);

std::vector<FieldDef> buildFields() {
    std::vector<FieldDef> defs;
    const auto add = [&](Field id, const char* name, char type, int length, int decimals, const QString& unit,
                         unsigned places) {
        defs.push_back(
            {id, QString::fromLatin1(name), type, length, decimals, unit, Pair::None, id, false, places, {}});
    };
    const QString ms2 = QStringLiteral("м/кв.с");
    const QString hz = QStringLiteral("Гц");
    const QString mms = QStringLiteral("мм/с");
    const QString mm = QStringLiteral("мм");
    add(Field::N, "N", 'N', 4, 0, {}, kPrinted);
    add(Field::DATE, "DATE", 'C', 10, 0, {}, kPrinted);
    add(Field::TIME, "TIME", 'C', 8, 0, {}, kPrinted);
    add(Field::MODE, "MODE", 'N', 4, 0, {}, 0);
    add(Field::A, "A", 'N', 18, 9, ms2, kMeasured);
    add(Field::A_SR, "A_SR", 'N', 18, 9, ms2, kPartner);
    add(Field::F, "F", 'N', 18, 9, hz, kMeasured);
    add(Field::V, "V", 'N', 18, 9, mms, kMeasured);
    add(Field::V_SR, "V_SR", 'N', 18, 9, mms, kPartner);
    add(Field::S, "S", 'N', 18, 9, mm, kMeasured);
    add(Field::S_SR, "S_SR", 'N', 18, 9, mm, kPartner);
    add(Field::DT, "DT", 'N', 4, 0, QStringLiteral("с"), kPrinted);
    add(Field::T, "T", 'N', 4, 0, QStringLiteral("мин"), kPrinted);
    add(Field::TR_F, "TR_F", 'N', 18, 9, hz, kMeasured);
    add(Field::TR_A, "TR_A", 'N', 18, 9, ms2, kMeasured);
    add(Field::TR_A_SR, "TR_A_SR", 'N', 18, 9, ms2, kPartner);
    add(Field::COMMENT, "COMMENT", 'C', 50, 0, {}, kPrinted);
    if (int(defs.size()) != kFieldCount)
        throw std::logic_error("measurement schema: not 17 fields");
    for (int i = 0; i < kFieldCount; ++i)
        if (int(defs[std::size_t(i)].id) != i)
            throw std::logic_error("measurement schema: a field out of record order");
    const auto at = [&](Field f) -> FieldDef& { return defs[std::size_t(f)]; };

    const auto pair = [&](Field first, Field second, Pair kind) {
        at(first).pair = at(second).pair = kind;
        at(first).partner = second;
        at(second).partner = first;
        at(second).second = true;
    };
    pair(Field::A, Field::A_SR, Pair::Rms);
    pair(Field::V, Field::V_SR, Pair::Rms);
    pair(Field::S, Field::S_SR, Pair::Swing);
    pair(Field::TR_A, Field::TR_A_SR, Pair::Rms);

    at(Field::N).texts = {.gridTitle = QStringLiteral("N"),
                          .excelHeader = QStringLiteral("N"),
                          .reportHeading = QStringLiteral("N")};
    at(Field::DATE).texts = {.gridTitle = QStringLiteral("Дата"),
                             .excelHeader = QStringLiteral("Дата"),
                             .reportHeading = QStringLiteral("Дата")};
    at(Field::TIME).texts = {.gridTitle = QStringLiteral("Время"),
                             .excelHeader = QStringLiteral("Время"),
                             .reportHeading = QStringLiteral("Время")};
    // The grid gives the two columns of a pair one title on purpose: which member it shows is the
    // data format's business.
    const QString aTitle = QStringLiteral("Виброускорение\ra, м/кв.с");
    at(Field::A).texts = {.gridTitle = aTitle,
                          .excelHeader = QStringLiteral("Виброускорение a, м/кв.с"),
                          .reportHeading = QStringLiteral("a, м/кв.с"),
                          .chartQuantity = QStringLiteral("Виброускорение"),
                          .chartAxis = QStringLiteral("Виброускорение a, амплитуда, м/кв.с")};
    at(Field::A_SR).texts = {.gridTitle = aTitle,
                             .chartAxis = QStringLiteral("Виброускорение a, СКЗ, м/кв.с")};
    at(Field::F).texts = {.gridTitle = QStringLiteral("Частота\rf, Гц"),
                          .excelHeader = QStringLiteral("Частота f, Гц"),
                          .reportHeading = QStringLiteral("f, Гц"),
                          .chartQuantity = QStringLiteral("Частота"),
                          .chartAxis = QStringLiteral("Частота f, Гц")};
    const QString vTitle = QStringLiteral("Виброскорость\rV, мм/с");
    at(Field::V).texts = {.gridTitle = vTitle,
                          .excelHeader = QStringLiteral("Виброскорость V, мм/с"),
                          .reportHeading = QStringLiteral("V, мм/с"),
                          .chartQuantity = QStringLiteral("Виброскорость"),
                          .chartAxis = QStringLiteral("Виброскорость V, амплитуда, мм/с")};
    at(Field::V_SR).texts = {.gridTitle = vTitle, .chartAxis = QStringLiteral("Виброскорость V, СКЗ, мм/с")};
    const QString sTitle = QStringLiteral("Виброперемещение\rS, мм");
    at(Field::S).texts = {.gridTitle = sTitle,
                          .excelHeader = QStringLiteral("Виброперемещение S, мм"),
                          .reportHeading = QStringLiteral("S, мм"),
                          .chartQuantity = QStringLiteral("Виброперемещение"),
                          .chartAxis = QStringLiteral("Виброперемещение S, обычное, мм")};
    at(Field::S_SR).texts = {.gridTitle = sTitle,
                             .chartAxis = QStringLiteral("Виброперемещение S, полное, мм")};
    at(Field::DT).texts = {.gridTitle = QStringLiteral("Интервал, с"),
                           .excelHeader = QStringLiteral("Интервал, с"),
                           .reportHeading = QStringLiteral("Интервал, с")};
    at(Field::T).texts = {.gridTitle = QStringLiteral("Длительность, мин."),
                          .excelHeader = QStringLiteral("Длительность, мин."),
                          .reportHeading = QStringLiteral("Длительность, мин")};
    at(Field::TR_F).texts = {.gridTitle = QStringLiteral("Порог f, Гц"),
                             .excelHeader = QStringLiteral("Порог f, Гц"),
                             .reportHeading = QStringLiteral("Порог\nf, Гц"),
                             .chartQuantity = QStringLiteral("Порог частоты"),
                             .chartAxis = QStringLiteral("Порог f, Гц")};
    const QString trATitle = QStringLiteral("Порог a, м/кв. с");
    at(Field::TR_A).texts = {.gridTitle = trATitle,
                             .excelHeader = QStringLiteral("Порог a, м/кв. с"),
                             .reportHeading = QStringLiteral("Порог\na, м/кв.с"),
                             .chartQuantity = QStringLiteral("Порог виброускорения"),
                             .chartAxis = QStringLiteral("Порог a, амплитуда, м/кв.с")};
    at(Field::TR_A_SR).texts = {.gridTitle = trATitle, .chartAxis = QStringLiteral("Порог a, СКЗ, м/кв.с")};
    at(Field::COMMENT).texts = {.gridTitle = QStringLiteral("Примечание"),
                                .excelHeader = QStringLiteral("Примечание"),
                                .reportHeading = QStringLiteral("Примечание")};
    return defs;
}

using enum Field;

// The pages' design widths and the printed columns' widths of each mode.
constexpr ModeColumn kOperative[] = {
    {N, 35, 16.9},  {DATE, 63, 24.4}, {TIME, 49, 20.0}, {A, 148, 25.2}, {A_SR, 34, 0},         {F, 106, 22.2},
    {V, 102, 23.3}, {V_SR, 40, 0},    {S, 101, 22.2},   {S_SR, 42, 0},  {COMMENT, 101, 128.6},
};
constexpr ModeColumn kStandby[] = {
    {N, 37, 16.9},    {DATE, 69, 24.4}, {TIME, 72, 20.0}, {A, 104, 25.2},      {A_SR, 38, 0},
    {F, 59, 22.2},    {V, 89, 23.3},    {V_SR, 40, 0},    {S, 113, 22.2},      {S_SR, 40, 0},
    {TR_F, 55, 26.6}, {TR_A, 53, 26.6}, {TR_A_SR, 42, 0}, {COMMENT, 52, 75.4},
};
constexpr ModeColumn kObservation[] = {
    {N, 33, 16.9}, {DATE, 81, 24.4}, {TIME, 76, 20.0},    {A, 69, 25.2},  {A_SR, 38, 0},
    {F, 69, 22.2}, {V, 69, 23.3},    {V_SR, 40, 0},       {S, 112, 22.2}, {S_SR, 40, 0},
    {T, 64, 33.0}, {DT, 66, 26.6},   {COMMENT, 64, 69.0},
};

// A column the report prints needs a width, and one it leaves out none: the positions of the
// printed columns follow from the widths.
void checkColumns(const std::vector<FieldDef>& defs) {
    for (int mode = 0; mode < kModeCount; ++mode)
        for (const ModeColumn& c : modeColumns(mode)) {
            const unsigned places = defs[std::size_t(c.field)].places;
            if (!(places & unsigned(Place::View)) ||
                bool(places & unsigned(Place::Report)) != (c.reportWidth > 0))
                throw std::logic_error("measurement schema: a mode column out of step with its field");
        }
}

} // namespace

const std::vector<FieldDef>& fields() {
    static const std::vector<FieldDef> defs = [] {
        std::vector<FieldDef> d = buildFields();
        checkColumns(d);
        return d;
    }();
    return defs;
}

const FieldDef& field(Field f) {
    return fields()[std::size_t(f)];
}

const QString& name(Field f) {
    return field(f).name;
}

std::optional<Field> find(const QString& name) {
    for (const FieldDef& d : fields())
        if (d.name.compare(name, Qt::CaseInsensitive) == 0)
            return d.id;
    return std::nullopt;
}

bool shownIn(Field f, Place place) {
    return (field(f).places & unsigned(place)) != 0;
}

std::span<const ModeColumn> modeColumns(int mode) {
    switch (mode) {
    case 0:
        return kOperative;
    case 1:
        return kStandby;
    case 2:
        return kObservation;
    }
    return {};
}

std::vector<Field> columns(Place place, int mode) {
    std::vector<Field> list;
    for (const ModeColumn& c : modeColumns(mode))
        if (shownIn(c.field, place))
            list.push_back(c.field);
    return list;
}

QString modeCaption(int mode) {
    switch (mode) {
    case 0:
        return QStringLiteral("Оперативный");
    case 1:
        return QStringLiteral("Ждущий");
    case 2:
        return QStringLiteral("Наблюдения");
    }
    return {};
}

} // namespace MeasurementSchema
