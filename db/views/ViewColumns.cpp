#include "db/views/ViewColumns.h"

#include "core/Cp1251.h"

namespace ViewColumns {
namespace {

using A = ColumnAlignment;

struct Design {
    const char* field;
    const char* title; // nullptr: set at start-up
    int width;
    A alignment;
    const QString* format;
    bool editable;
};

// Widths are the design widths before fitting.
const Design page1[] = {
    {"N", "N", 35, A::Right, nullptr, false},
    {"DATE", "Дата", 63, A::Center, nullptr, false},
    {"TIME", "Время", 49, A::Center, nullptr, false},
    {"A", nullptr, 148, A::Right, &NumericVision_s, false},
    {"A_SR", nullptr, 34, A::Right, &NumericVision_s, true},
    {"F", nullptr, 106, A::Right, &NumericVision_s, false},
    {"V", nullptr, 102, A::Right, &NumericVision_s, false},
    {"V_SR", nullptr, 40, A::Right, &NumericVision_s, true},
    {"S", nullptr, 101, A::Right, &NumericVision_s, false},
    {"S_SR", nullptr, 42, A::Right, &NumericVision_s, true},
    {"COMMENT", "Примечание", 101, A::Left, nullptr, true},
};

const Design page2[] = {
    {"N", "N", 37, A::Right, nullptr, false},
    {"DATE", "Дата", 69, A::Center, nullptr, false},
    {"TIME", "Время", 72, A::Center, nullptr, false},
    {"A", nullptr, 104, A::Right, &NumericVision_s, false},
    {"A_SR", nullptr, 38, A::Right, &NumericVision_s, true},
    {"F", nullptr, 59, A::Right, &NumericVision_s, false},
    {"V", nullptr, 89, A::Right, &NumericVision_s, false},
    {"V_SR", nullptr, 40, A::Right, &NumericVision_s, true},
    {"S", nullptr, 113, A::Right, &NumericVision_s, false},
    {"S_SR", nullptr, 40, A::Right, &NumericVision_s, true},
    {"TR_F", "Порог f, Гц", 55, A::Right, &NumericVision_avf, false},
    {"TR_A", "Порог a, м/кв. с", 53, A::Right, &NumericVision_avf, false},
    {"TR_A_SR", "Порог a, м/кв. с", 42, A::Right, &NumericVision_avf, true},
    {"COMMENT", "Примечание", 52, A::Left, nullptr, true},
};

const Design page3[] = {
    {"N", "N", 33, A::Right, nullptr, false},
    {"DATE", "Дата", 81, A::Center, nullptr, false},
    {"TIME", "Время", 76, A::Center, nullptr, false},
    {"A", nullptr, 69, A::Right, &NumericVision_s, false},
    {"A_SR", nullptr, 38, A::Right, &NumericVision_s, true},
    {"F", nullptr, 69, A::Right, &NumericVision_s, false},
    {"V", nullptr, 69, A::Right, &NumericVision_s, false},
    {"V_SR", nullptr, 40, A::Right, &NumericVision_s, true},
    {"S", nullptr, 112, A::Right, &NumericVision_s, false},
    {"S_SR", nullptr, 40, A::Right, &NumericVision_s, true},
    {"T", "Длительность, мин.", 64, A::Right, nullptr, false},
    {"DT", "Интервал, с", 66, A::Right, nullptr, false},
    {"COMMENT", "Примечание", 64, A::Left, nullptr, true},
};

template <std::size_t N> std::vector<GridColumn> build(const Design (&designs)[N]) {
    std::vector<GridColumn> columns;
    for (const Design& d : designs) {
        const QString field = QString::fromLatin1(d.field);
        GridColumn c(field, d.title ? QString::fromUtf8(d.title) : field, d.width, d.alignment);
        c.titleAlignment = A::Center;
        c.readOnly = !d.editable;
        c.visible = true;
        if (d.format)
            c.displayFormat = *d.format;
        if (field == QLatin1String("COMMENT")) {
            c.maxLength = kCommentLength;
            c.acceptChar = [](QChar ch) { return cp1251::canEncode(ch); };
        }
        columns.push_back(std::move(c));
    }
    return columns;
}

void setTitle(std::vector<GridColumn>& columns, const char* field, const QString& title) {
    const int i = find(columns, QString::fromLatin1(field));
    if (i >= 0)
        columns[std::size_t(i)].title = title;
}

void hide(std::vector<GridColumn>& columns, const char* field) {
    const int i = find(columns, QString::fromLatin1(field));
    if (i >= 0)
        columns[std::size_t(i)].visible = false;
}

} // namespace

QString pageCaption(int page) {
    switch (page) {
    case 0:
        return QStringLiteral("Оперативный");
    case 1:
        return QStringLiteral("Ждущий");
    case 2:
        return QStringLiteral("Наблюдения");
    }
    return {};
}

std::vector<GridColumn> designColumns(int page) {
    switch (page) {
    case 0:
        return build(page1);
    case 1:
        return build(page2);
    case 2:
        return build(page3);
    }
    return {};
}

void setUpColumns(std::vector<GridColumn>& columns, int page) {
    const QString a = QStringLiteral("Виброускорение\ra, м/кв.с");
    const QString f = QStringLiteral("Частота\rf, Гц");
    const QString v = QStringLiteral("Виброскорость\rV, мм/с");
    const QString s = QStringLiteral("Виброперемещение\rS, мм");
    setTitle(columns, "A", a);
    setTitle(columns, "F", f);
    setTitle(columns, "V", v);
    setTitle(columns, "S", s);
    setTitle(columns, "A_SR", a);
    setTitle(columns, "V_SR", v);
    setTitle(columns, "S_SR", s);
    hide(columns, "A_SR");
    hide(columns, "V_SR");
    hide(columns, "S_SR");
    if (page == 1)
        hide(columns, "TR_A_SR");
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
