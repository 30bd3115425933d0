#pragma once

#include "output/xls/TvteXLSWorksheet.h"

#include <QString>

#include <memory>
#include <vector>

// The spreadsheet a writer saves: the author name it records and the sheets in order.
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
