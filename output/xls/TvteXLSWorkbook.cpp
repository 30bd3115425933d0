#include "output/xls/TvteXLSWorkbook.h"

QString xlsTrimmed(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

void TvteXLSWorkbook::setUserName(const QString& name) {
    m_userName = xlsTrimmed(name.left(66));
}

TvteXLSWorksheet& TvteXLSWorkbook::AddSheet() {
    m_sheets.push_back(std::make_unique<TvteXLSWorksheet>(this));
    TvteXLSWorksheet& sheet = *m_sheets.back();
    sheet.setName(QStringLiteral("Sheet%1").arg(m_sheets.size()));
    return sheet;
}

int TvteXLSWorkbook::indexOf(const TvteXLSWorksheet* sheet) const {
    for (std::size_t i = 0; i < m_sheets.size(); ++i)
        if (m_sheets[i].get() == sheet)
            return int(i);
    return -1;
}
