#pragma once

#include "output/xls/XlsFormat.h"
#include "output/xls/XlsValue.h"

#include <QString>

#include <cstdint>

class TvteXLSWorksheet;

// A rectangle of cells with one value and one format; more than one cell is a merged area.
class TvteXLSRange {
public:
    TvteXLSRange(TvteXLSWorksheet* sheet, int left, int top, int right, int bottom)
        : m_sheet(sheet), m_left(left), m_top(top), m_right(right), m_bottom(bottom) {}

    TvteXLSWorksheet* worksheet() const { return m_sheet; }
    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Right() const { return m_right; }
    int Bottom() const { return m_bottom; }
    bool isMerged() const { return m_left != m_right || m_top != m_bottom; }

    // Texts are kept as Windows-1251 with every CR LF made a single LF; a wide text that the
    // code page cannot hold is refused with KvError.
    void setValue(const TvteXLSValue& value);
    const TvteXLSValue& Value() const { return m_value; }

    TvteXLSBorders Borders;
    TvteXLSFont Font;
    std::uint8_t HorizontalAlignment = 0; // 0 general … 6 centre across selection
    std::uint8_t VerticalAlignment = 2;   // 0 top, 1 centre, 2 bottom, 3 justify
    bool WrapText = false;
    std::uint8_t Rotation = 0;
    QString NumberFormat; // empty: General
    std::uint8_t FillPattern = 0;
    TvteXLSColor FillForeColor = 0;
    TvteXLSColor FillBackColor = 0;

private:
    TvteXLSWorksheet* m_sheet;
    int m_left, m_top, m_right, m_bottom;
    TvteXLSValue m_value;
};
