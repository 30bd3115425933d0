#pragma once

#include "output/xls/XlsFormat.h"
#include "output/xls/XlsValue.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class TvteXLSWorkbook;
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

class TvteXLSWorksheet {
public:
    explicit TvteXLSWorksheet(TvteXLSWorkbook* workbook) : m_workbook(workbook) {}
    TvteXLSWorksheet(const TvteXLSWorksheet&) = delete;
    TvteXLSWorksheet& operator=(const TvteXLSWorksheet&) = delete;

    TvteXLSWorkbook* workbook() const { return m_workbook; }
    const QString& Name() const { return m_name; }
    void setName(const QString& name); // first 31 characters, then trimmed
    int IndexInWorkbook() const;

    TvteXLSPageSetup& PageSetup() { return m_pageSetup; }
    const TvteXLSPageSetup& PageSetup() const { return m_pageSetup; }

    // The range of exactly this rectangle, created when missing; ranges sharing a cell with it
    // are destroyed. Coordinates are inclusive, left <= right and top <= bottom.
    TvteXLSRange& Ranges(int left, int top, int right, int bottom);
    TvteXLSRange& Cells(int col, int row) { return Ranges(col, row, col, row); }
    int RangeCount() const { return int(m_ranges.size()); }
    TvteXLSRange& RangeAt(int index) { return *m_ranges[std::size_t(index)]; }
    const TvteXLSRange& RangeAt(int index) const { return *m_ranges[std::size_t(index)]; }

    // The used area only grows: deleting ranges does not shrink it. -1 until a range is requested.
    int FirstCol() const { return m_firstCol; }
    int FirstRow() const { return m_firstRow; }
    int LastCol() const { return m_lastCol; }
    int LastRow() const { return m_lastRow; }
    int MaxRangeHeight() const { return m_maxRangeHeight; }

private:
    TvteXLSWorkbook* m_workbook;
    QString m_name;
    TvteXLSPageSetup m_pageSetup;
    std::vector<std::unique_ptr<TvteXLSRange>> m_ranges; // ordered by Top, then creation
    int m_firstCol = -1, m_firstRow = -1, m_lastCol = -1, m_lastRow = -1;
    int m_maxRangeHeight = 0;
};

class TvteXLSWorkbook {
public:
    TvteXLSWorkbook() = default;
    TvteXLSWorkbook(const TvteXLSWorkbook&) = delete;
    TvteXLSWorkbook& operator=(const TvteXLSWorkbook&) = delete;

    const QString& UserName() const { return m_userName; }
    void setUserName(const QString& name); // first 66 characters, then trimmed

    TvteXLSWorksheet& AddSheet();
    int SheetCount() const { return int(m_sheets.size()); }
    TvteXLSWorksheet& SheetAt(int index) { return *m_sheets[std::size_t(index)]; }
    const TvteXLSWorksheet& SheetAt(int index) const { return *m_sheets[std::size_t(index)]; }
    int indexOf(const TvteXLSWorksheet* sheet) const;
    void Clear() { m_sheets.clear(); }

private:
    QString m_userName = QStringLiteral("Lumatex");
    std::vector<std::unique_ptr<TvteXLSWorksheet>> m_sheets;
};

// Removes every character with a code up to 32 from both ends.
QString xlsTrimmed(const QString& text);
