#pragma once

#include "output/xls/TvteXLSWorkbook.h"

#include <QString>

class Storage;

class TvteCustomWriter {
public:
    virtual ~TvteCustomWriter() = default;
    // Throws KvError; a failed save leaves an existing file as it was and nothing else behind.
    virtual void SaveToFile(const TvteXLSWorkbook& workbook, const QString& fileName) = 0;
};

// Writes a workbook as an Excel 97 file: a compound file with one BIFF8 stream "Workbook".
// All tables are rebuilt at every save, so one writer can save any number of workbooks.
class TvteExcelWriter : public TvteCustomWriter {
public:
    // How the ranges of each row are found. Both give the same bytes; Plain scans every range of
    // the sheet for every row and is kept to prove that.
    enum class RowScan { OnePass, Plain };

    void SaveToFile(const TvteXLSWorkbook& workbook, const QString& fileName) override;
    // The same stream into any storage; commits it at the end.
    void saveToStorage(const TvteXLSWorkbook& workbook, Storage& storage);

    void setRowScan(RowScan scan) { m_rowScan = scan; }

private:
    RowScan m_rowScan = RowScan::OnePass;
};
