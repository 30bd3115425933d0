#include "output/xls/TvteExcelWriter.h"

#include "output/xls/CompoundFile.h"
#include "output/xls/WorkbookStream.h"
#include "output/xls/WorkbookTables.h"

void TvteExcelWriter::SaveToFile(const TvteXLSWorkbook& workbook, const QString& fileName) {
    std::unique_ptr<Storage> storage = createCompoundFile(fileName);
    saveToStorage(workbook, *storage);
}

void TvteExcelWriter::saveToStorage(const TvteXLSWorkbook& workbook, Storage& storage) {
    StorageStream& out = storage.createStream(QStringLiteral("Workbook"));
    const WorkbookTables tables(workbook);
    std::vector<workbook_stream::SheetPositions> positions;
    workbook_stream::writeGlobals(out, workbook, tables, positions);
    for (int i = 0; i < workbook.SheetCount(); ++i) {
        positions[std::size_t(i)].bof = out.position();
        workbook_stream::writeSheet(out, workbook.SheetAt(i), i, tables.entries(i), m_rowScan);
    }
    for (const auto& p : positions) {
        out.seek(p.boundSheetField);
        const std::uint32_t bof = std::uint32_t(p.bof);
        const char bytes[4] = {char(bof & 0xFF), char((bof >> 8) & 0xFF), char((bof >> 16) & 0xFF),
                               char(bof >> 24)};
        out.write(bytes, 4);
    }
    out.seekToEnd();
    storage.commit();
}
