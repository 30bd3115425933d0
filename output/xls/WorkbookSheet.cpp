#include "output/xls/BiffBuffer.h"
#include "output/xls/CompoundFile.h"
#include "output/xls/WorkbookStream.h"

#include <algorithm>

namespace workbook_stream {
namespace {

QString headerText(const QString& left, const QString& center, const QString& right) {
    QString text;
    if (!left.isEmpty())
        text += QStringLiteral("&L") + left;
    if (!center.isEmpty())
        text += QStringLiteral("&C") + center;
    if (!right.isEmpty())
        text += QStringLiteral("&R") + right;
    return text;
}

void headerRecord(BiffBuffer& b, biff::Record type, const QString& text) {
    b.begin(type);
    if (!text.isEmpty())
        appendString16(b, text);
    b.end();
}

void f64Record(BiffBuffer& b, biff::Record type, double v) {
    b.begin(type);
    b.f64(v);
    b.end();
}

QByteArray indexRecord(const TvteXLSWorksheet& sheet, const std::vector<std::uint32_t>& dbcells) {
    BiffBuffer body;
    body.u32(0);
    body.u32(sheet.RangeCount() ? std::uint32_t(sheet.FirstRow()) : 0);
    body.u32(sheet.RangeCount() ? std::uint32_t(sheet.LastRow() + 1) : 0);
    body.u32(0);
    for (std::uint32_t p : dbcells)
        body.u32(p);
    BiffBuffer r;
    r.record(biff::Record::Index, body.bytes());
    return r.bytes();
}

// The ranges that reach each row, in column order, row after row from the first used row.
class RowRanges {
public:
    RowRanges(const TvteXLSWorksheet& sheet, TvteExcelWriter::RowScan scan) : m_sheet(sheet), m_scan(scan) {}

    const std::vector<int>& at(int row) {
        m_row.clear();
        if (m_scan == TvteExcelWriter::RowScan::Plain) {
            for (int i = 0; i < m_sheet.RangeCount(); ++i) {
                const TvteXLSRange& r = m_sheet.RangeAt(i);
                if (r.Top() <= row && row <= r.Bottom())
                    m_row.push_back(i);
            }
        } else {
            // The list is ordered by Top: ranges join when their first row comes and leave after
            // their last, and the active list stays in list order.
            std::erase_if(m_active, [&](int i) { return m_sheet.RangeAt(i).Bottom() < row; });
            while (m_next < m_sheet.RangeCount() && m_sheet.RangeAt(m_next).Top() <= row) {
                if (m_sheet.RangeAt(m_next).Bottom() >= row)
                    m_active.push_back(m_next);
                ++m_next;
            }
            m_row = m_active;
        }
        std::stable_sort(m_row.begin(), m_row.end(),
                         [&](int a, int b) { return m_sheet.RangeAt(a).Left() < m_sheet.RangeAt(b).Left(); });
        return m_row;
    }

private:
    const TvteXLSWorksheet& m_sheet;
    TvteExcelWriter::RowScan m_scan;
    std::vector<int> m_active;
    std::vector<int> m_row;
    int m_next = 0;
};

void blanks(BiffBuffer& b, int row, int from, int to, std::uint16_t xf) {
    if (from > to)
        return;
    if (from == to) {
        b.begin(biff::Record::Blank);
        b.u16(std::uint16_t(row));
        b.u16(std::uint16_t(from));
        b.u16(xf);
        b.end();
        return;
    }
    b.begin(biff::Record::MulBlank);
    b.u16(std::uint16_t(row));
    b.u16(std::uint16_t(from));
    for (int c = from; c <= to; ++c)
        b.u16(xf);
    b.u16(std::uint16_t(to));
    b.end();
}

void cells(BiffBuffer& b, int row, const TvteXLSRange& r, const WorkbookTables::RangeEntry& e) {
    int from = r.Left();
    if (row == r.Top()) {
        if (r.Value().isNumber()) {
            b.begin(biff::Record::Number);
            b.u16(std::uint16_t(row));
            b.u16(std::uint16_t(r.Left()));
            b.u16(e.xf);
            b.f64(r.Value().toNumber());
            b.end();
            ++from;
        } else if (e.sst >= 0) {
            b.begin(biff::Record::LabelSst);
            b.u16(std::uint16_t(row));
            b.u16(std::uint16_t(r.Left()));
            b.u16(e.xf);
            b.u32(std::uint32_t(e.sst));
            b.end();
            ++from;
        }
    }
    blanks(b, row, from, r.Right(), e.xf);
}

void rowBlocks(StorageStream& out, const TvteXLSWorksheet& sheet,
               const std::vector<WorkbookTables::RangeEntry>& entries, TvteExcelWriter::RowScan scan,
               std::vector<std::uint32_t>& dbcells) {
    RowRanges rowRanges(sheet, scan);
    BiffBuffer rows, cellBytes, block;
    std::vector<std::uint16_t> rowCellSizes;
    for (int first = sheet.FirstRow(); first <= sheet.LastRow(); first += 32) {
        const int last = std::min(sheet.LastRow(), first + 31);
        rows.clear();
        cellBytes.clear();
        rowCellSizes.clear();
        for (int row = first; row <= last; ++row) {
            const std::vector<int>& in = rowRanges.at(row);
            rows.begin(biff::Record::Row);
            rows.u16(std::uint16_t(row));
            rows.u16(in.empty() ? 0 : std::uint16_t(sheet.RangeAt(in.front()).Left()));
            rows.u16(in.empty() ? 0 : std::uint16_t(sheet.RangeAt(in.back()).Right() + 1));
            rows.u16(255);
            for (int i = 0; i < 4; ++i)
                rows.u16(0);
            rows.end();
            const qsizetype before = cellBytes.size();
            for (int i : in)
                cells(cellBytes, row, sheet.RangeAt(i), entries[std::size_t(i)]);
            rowCellSizes.push_back(std::uint16_t(cellBytes.size() - before));
        }
        block.clear();
        block.raw(rows.bytes());
        block.raw(cellBytes.bytes());
        dbcells.push_back(std::uint32_t(out.position() + block.size()));
        block.begin(biff::Record::DbCell);
        block.u32(std::uint32_t(rows.size() + cellBytes.size()));
        block.u16(std::uint16_t(rows.size() - 20));
        for (std::size_t i = 0; i + 1 < rowCellSizes.size(); ++i)
            block.u16(rowCellSizes[i]);
        block.end();
        out.write(block.bytes());
    }
}

} // namespace

void writeSheet(StorageStream& out, const TvteXLSWorksheet& sheet, int sheetIndex,
                const std::vector<WorkbookTables::RangeEntry>& entries, TvteExcelWriter::RowScan scan) {
    const bool hasRanges = sheet.RangeCount() > 0;
    const int blockCount = hasRanges ? (sheet.LastRow() - sheet.FirstRow() + 1 + 31) / 32 : 0;
    const TvteXLSPageSetup& page = sheet.PageSetup();
    BiffBuffer b;
    appendBof(b, biff::Substream::Worksheet, 0);
    const std::int64_t indexAt = out.position() + b.size();
    b.raw(indexRecord(sheet, std::vector<std::uint32_t>(std::size_t(blockCount), 0)));
    b.record16(biff::Record::CalcMode, 1);
    b.record16(biff::Record::CalcCount, 100);
    b.record16(biff::Record::RefMode, 1);
    b.record16(biff::Record::Iteration, 0);
    f64Record(b, biff::Record::Delta, 0.001);
    b.record16(biff::Record::SaveRecalc, 1);
    b.record16(biff::Record::PrintHeaders, page.PrintHeadings ? 1 : 0);
    b.record16(biff::Record::PrintGridLines, page.PrintGridLines ? 1 : 0);
    b.record16(biff::Record::GridSet, 1);
    b.begin(biff::Record::Guts);
    b.fill(0, 8);
    b.end();
    b.begin(biff::Record::DefaultRowHeight);
    b.u16(0);
    b.u16(255);
    b.end();
    b.record16(biff::Record::WsBool, 0x04C1);
    headerRecord(b, biff::Record::Header, headerText(page.LeftHeader, page.CenterHeader, page.RightHeader));
    headerRecord(b, biff::Record::Footer, headerText(page.LeftFooter, page.CenterFooter, page.RightFooter));
    b.record16(biff::Record::HCenter, page.CenterHorizontally ? 1 : 0);
    b.record16(biff::Record::VCenter, page.CenterVertically ? 1 : 0);
    f64Record(b, biff::Record::LeftMargin, page.LeftMargin);
    f64Record(b, biff::Record::RightMargin, page.RightMargin);
    f64Record(b, biff::Record::TopMargin, page.TopMargin);
    f64Record(b, biff::Record::BottomMargin, page.BottomMargin);
    b.begin(biff::Record::Setup);
    b.u16(page.PaperSize);
    b.u16(std::uint16_t(page.Zoom));
    b.u16(std::uint16_t(page.FirstPageNumber));
    b.u16(std::uint16_t(page.FitToPagesWide));
    b.u16(std::uint16_t(page.FitToPagesTall));
    b.u16(std::uint16_t((page.Order == 1 ? 0x0001 : 0) | (page.Orientation == 0 ? 0x0002 : 0) |
                        (page.BlackAndWhite ? 0x0008 : 0) | (page.Draft ? 0x0010 : 0) |
                        (page.PrintNotes ? 0x0020 : 0) | (page.FirstPageNumber != 1 ? 0x0080 : 0)));
    b.u16(0);
    b.u16(0);
    b.f64(page.HeaderMargin);
    b.f64(page.FooterMargin);
    b.u16(std::uint16_t(page.Copies));
    b.end();
    b.record16(biff::Record::DefColWidth, 8);
    b.begin(biff::Record::Dimensions);
    b.u32(hasRanges ? std::uint32_t(sheet.FirstRow()) : 0);
    b.u32(hasRanges ? std::uint32_t(sheet.LastRow() + 1) : 0);
    b.u16(hasRanges ? std::uint16_t(sheet.FirstCol()) : 0);
    b.u16(hasRanges ? std::uint16_t(sheet.LastCol() + 1) : 0);
    b.u16(0);
    b.end();
    out.write(b.bytes());

    std::vector<std::uint32_t> dbcells;
    if (hasRanges)
        rowBlocks(out, sheet, entries, scan, dbcells);

    b.clear();
    b.begin(biff::Record::Window2);
    b.u16(sheetIndex == 0 ? 0x06B6 : 0x04B6);
    b.u16(0);
    b.u16(0);
    b.u32(64);
    b.u16(0);
    b.u16(0);
    b.u32(0);
    b.end();
    b.begin(biff::Record::Selection);
    b.u8(3);
    b.u16(0);
    b.u16(0);
    b.u16(0);
    b.u16(1);
    b.u16(0);
    b.u16(0);
    b.u8(0);
    b.u8(0);
    b.end();
    std::vector<const TvteXLSRange*> merged;
    for (int i = 0; i < sheet.RangeCount(); ++i)
        if (sheet.RangeAt(i).isMerged())
            merged.push_back(&sheet.RangeAt(i));
    for (std::size_t at = 0; at < merged.size(); at += 1024) {
        const std::size_t n = std::min<std::size_t>(1024, merged.size() - at);
        b.begin(biff::Record::MergedCells);
        b.u16(std::uint16_t(n));
        for (std::size_t i = at; i < at + n; ++i) {
            b.u16(std::uint16_t(merged[i]->Top()));
            b.u16(std::uint16_t(merged[i]->Bottom()));
            b.u16(std::uint16_t(merged[i]->Left()));
            b.u16(std::uint16_t(merged[i]->Right()));
        }
        b.end();
    }
    b.begin(biff::Record::Eof);
    b.end();
    out.write(b.bytes());

    if (hasRanges) {
        out.seek(indexAt);
        out.write(indexRecord(sheet, dbcells));
        out.seekToEnd();
    }
}

} // namespace workbook_stream
