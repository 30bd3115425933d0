#pragma once

#include <vector>

// Width arithmetic of automatic column fitting. Pure functions on the visible columns.
namespace ColumnFitting {

// The narrowest a fitted column is drawn.
constexpr int kMinWidth = 8;

// Scales designWidths in proportion so that they add up to exactly available (largest
// remainders get the spare pixels, earlier columns first on ties). Columns never go below
// kMinWidth, so when available is too small the sum exceeds it. All-zero (or negative)
// design widths share the width equally. An empty input gives an empty result.
std::vector<int> fit(const std::vector<int>& designWidths, int available);

// The user dragged column index to newWidth while fitting is on: that column keeps newWidth
// (clamped so that every other column keeps at least kMinWidth) and the other columns share
// the rest in proportion to their current widths. Returns all widths, adding up to available
// whenever that is possible.
std::vector<int> resize(const std::vector<int>& widths, int index, int newWidth, int available);

// What align_columns-style equalising gives: gridWidth / columnCount rounded down, hidden
// columns counted (900 / 13 = 69); 0 columns give 0.
int equalWidth(int gridWidth, int columnCount);

} // namespace ColumnFitting
