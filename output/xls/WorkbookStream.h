#pragma once

#include "output/xls/BiffRecords.h"
#include "output/xls/TvteExcelWriter.h"
#include "output/xls/WorkbookTables.h"

#include <cstdint>

class BiffBuffer;
class StorageStream;

// The BIFF8 record stream of one save.
namespace workbook_stream {

struct SheetPositions {
    std::int64_t bof = 0;
    std::int64_t boundSheetField = 0;
};

// The globals substream; fills in the position of each sheet's BOUNDSHEET position field.
void writeGlobals(StorageStream& out, const TvteXLSWorkbook& workbook, const WorkbookTables& tables,
                  std::vector<SheetPositions>& positions);

void writeSheet(StorageStream& out, const TvteXLSWorksheet& sheet, int sheetIndex,
                const std::vector<WorkbookTables::RangeEntry>& entries, TvteExcelWriter::RowScan scan);

// A BIFF8 string with a 16-bit character count and the option byte 0x01.
void appendString16(BiffBuffer& b, const QString& text);

// The record that opens a substream; lowestVersion is the oldest BIFF version that reads it
// (0: not stated).
void appendBof(BiffBuffer& b, biff::Substream type, std::uint32_t lowestVersion);

} // namespace workbook_stream
