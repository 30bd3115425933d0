#pragma once

#include "grid/GridColumn.h"

#include <QString>
#include <vector>

// The three mode views and their columns, as the measurement schema gives them: page 0
// "Оперативный" (mode 0), page 1 "Ждущий" (mode 1), page 2 "Наблюдения" (mode 2).
namespace ViewColumns {

constexpr int kPageCount = 3;

// Display patterns of the numeric columns.
inline const QString NumericVision_s = QStringLiteral("00.000");
inline const QString NumericVision_avf = QStringLiteral("000.0");

QString pageCaption(int page);

// The columns of a view as designed: every column shown, the pair columns titled with their
// field names until the start-up set-up gives them their titles.
std::vector<GridColumn> designColumns(int page);

// The column set-up of the start-up: the titles of A, F, V, S and of their partners A_SR, V_SR,
// S_SR (same as their partner's), then the partner columns hidden (TR_A_SR too in "Ждущий").
void setUpColumns(std::vector<GridColumn>& columns, int page);

// designColumns followed by setUpColumns: the views as they stand after start-up.
std::vector<GridColumn> startUpColumns(int page);

int find(const std::vector<GridColumn>& columns, const QString& fieldName); // -1 when absent

} // namespace ViewColumns
