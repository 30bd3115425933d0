#pragma once

#include "output/xls/TvteXLSRange.h"
#include "output/xls/XlsFormat.h"

#include <QString>

#include <memory>
#include <vector>

class TvteXLSWorkbook;

// A sheet name Excel opens: the first 31 characters, trimmed; then each of / \ ? * [ ] : and an
// apostrophe at either end becomes "_", and "History" (the name Excel keeps for itself) gets a "_"
// after it. A name Excel takes stays as it is.
QString xlsSheetName(const QString& name);

// A sheet of the workbook: its name, page setup and the list of its ranges.
class TvteXLSWorksheet {
public:
    explicit TvteXLSWorksheet(TvteXLSWorkbook* workbook) : m_workbook(workbook) {}
    TvteXLSWorksheet(const TvteXLSWorksheet&) = delete;
    TvteXLSWorksheet& operator=(const TvteXLSWorksheet&) = delete;

    TvteXLSWorkbook* workbook() const { return m_workbook; }
    const QString& Name() const { return m_name; }
    void setName(const QString& name); // as xlsSheetName() makes it
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
