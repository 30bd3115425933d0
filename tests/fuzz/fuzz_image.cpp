// The memory image loader and the import: any bytes as a .bin, decoded record by record, then
// imported into a fresh table and appended to it once more.
#include "FuzzSupport.h"

#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString bin = fuzz::scratchFile(QStringLiteral("i.bin"));
    const QString dbf = fuzz::scratchFile(QStringLiteral("i.dbf"));
    fuzz::writeFile(bin, bytes);

    image::MemoryImage memory;
    try {
        memory.loadFile(bin);
    } catch (const KvError&) {
        if (size <= size_t(image::kImageSize))
            fuzz::fail("a readable .bin of at most 8192 bytes was refused");
        return 0;
    }
    if (size > size_t(image::kImageSize))
        fuzz::fail("a .bin larger than the image was accepted");
    if (memory.loadedBytes() != bytes)
        fuzz::fail("loadedBytes differs from the file");
    const int count = memory.recordCount();
    if (count < 0 || count > image::kMaxRecords || count > memory.storedCount())
        fuzz::fail("recordCount out of range");
    for (int k = 1; k <= count; ++k) {
        const image::DecodedRecord r = memory.decoded(k);
        if (r.DATE.size() != 10 || r.TIME.size() != 8)
            fuzz::fail("date or time text of the wrong length");
        (void)image::is_later(image::kNoRecordKey, r.key());
    }

    // Every record takes the same road into the table; importing the first few keeps the run
    // fast. A longer image goes in cut after them, so the cut count is exercised as well.
    constexpr int kImported = 24;
    image::MemoryImage imported;
    if (count > kImported) {
        imported.load(bytes.left(image::kFirstRecordOffset + kImported * image::kRecordSize));
        if (imported.recordCount() != kImported)
            fuzz::fail("a cut image does not hold the records before the cut");
    } else {
        imported = memory;
    }
    const int rows = imported.recordCount();

    DbfTable table;
    image::Importer importer(table);
    try {
        const image::ImportResult created = importer.createTable(dbf, imported);
        if (created.recordCount != rows || created.added != rows)
            fuzz::fail("create did not keep every record");
        if (table.physicalCount() != rows)
            fuzz::fail("the new table does not hold every record");
        // A last row without a real calendar date (31.11 from a damaged memory) is refused as the
        // reference of an append, and the refusal must leave the table as it was.
        try {
            importer.checkAppend();
        } catch (const KvError&) {
            if (table.physicalCount() != rows)
                fuzz::fail("a refused append changed the table");
            return 0;
        }
        const image::ImportResult appended = importer.append(imported);
        if (appended.added + appended.dropped != rows)
            fuzz::fail("append lost track of records");
        if (table.physicalCount() != rows + appended.added)
            fuzz::fail("append changed the table by other than its added rows");
        (void)image::notices(appended);
        table.close();
        MeasurementTable::open(table, dbf, DbfTable::Access::ReadOnly);
        if (table.physicalCount() != rows + appended.added)
            fuzz::fail("the table on disk differs from what the import reported");
    } catch (const KvError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        fuzz::fail("the import of a loaded image failed");
    }
    return 0;
}
