#include "output/export/ExcelExport.h"

#include "core/Cp1251.h"
#include "core/Error.h"
#include "db/DbfTable.h"
#include "output/xls/TvteExcelWriter.h"
#include "output/xls/TvteXLSWorkbook.h"

#include <QFileInfo>

#include <array>
#include <vector>

namespace excel_export {
namespace {

struct Column {
    const char16_t* header;
    const char* field;
    bool number;
};

constexpr std::array<Column, 7> commonColumns = {{
    {u"N", "N", true},
    {u"Дата", "DATE", false},
    {u"Время", "TIME", false},
    {u"Виброускорение a, м/кв.с", "A", true},
    {u"Частота f, Гц", "F", true},
    {u"Виброскорость V, мм/с", "V", true},
    {u"Виброперемещение S, мм", "S", true},
}};

constexpr Column commentColumn = {u"Примечание", "COMMENT", false};

std::vector<Column> columnsOf(int mode) {
    std::vector<Column> columns(commonColumns.begin(), commonColumns.end());
    if (mode == 1) {
        columns.push_back({u"Порог f, Гц", "TR_F", true});
        columns.push_back({u"Порог a, м/кв. с", "TR_A", true});
    } else if (mode == 2) {
        columns.push_back({u"Длительность, мин.", "T", true});
        columns.push_back({u"Интервал, с", "DT", true});
    }
    columns.push_back(commentColumn);
    return columns;
}

} // namespace

QString successMessage(const QString& fileName) {
    return QStringLiteral("Экспорт в файл ") + QFileInfo(fileName).fileName() +
           QStringLiteral(" завершен успешно.");
}

QString sheetName(const QString& firmwareDate) {
    return xlsSheetName(QStringLiteral("Кварнел - ЛД5 ") + firmwareDate);
}

void fillWorkbook(TvteXLSWorkbook& workbook, DbfTable& table, int mode, const QString& firmwareDate) {
    if (mode < 0 || mode > 2)
        throw KvError(QStringLiteral("Неизвестный режим %1: ожидается 0, 1 или 2.").arg(mode));
    TvteXLSWorksheet& sheet = workbook.AddSheet();
    sheet.setName(QStringLiteral("Кварнел - ЛД5 ") + firmwareDate);
    const std::vector<Column> columns = columnsOf(mode);
    std::vector<int> fields;
    for (const Column& c : columns) {
        const int f = table.fieldIndex(QString::fromLatin1(c.field));
        if (f < 0)
            throw KvError(QStringLiteral("В таблице нет поля %1.").arg(QString::fromLatin1(c.field)));
        fields.push_back(f);
    }
    table.first();
    for (std::size_t c = 0; c < columns.size(); ++c)
        sheet.Cells(int(c), 0).setValue(QString::fromUtf16(columns[c].header));
    const int n = table.recordCount();
    for (int row = 1; row <= n; ++row) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            TvteXLSRange& cell = sheet.Cells(int(c), row);
            const QVariant v = table.value(fields[c]);
            // A field without a value stays a blank cell, as the views show it.
            if (v.isNull())
                continue;
            if (columns[c].number)
                cell.setValue(v.toDouble());
            else // table texts come from Windows-1251, so they go back without loss
                cell.setValue(TvteXLSValue(cp1251::encodeReplacing(v.toString())));
        }
        table.next();
    }
}

void exportView(DbfTable& table, int mode, const QString& firmwareDate, const QString& fileName) {
    const int n = table.recordCount();
    if (n > maxRecords)
        throw KvError(QStringLiteral("Вид содержит %1 записей, а на листе Excel под строкой заголовков "
                                     "помещается не более %2. Экспорт не выполнен.")
                          .arg(n)
                          .arg(maxRecords));
    TvteXLSWorkbook workbook;
    fillWorkbook(workbook, table, mode, firmwareDate);
    TvteExcelWriter writer;
    writer.SaveToFile(workbook, fileName);
}

} // namespace excel_export
