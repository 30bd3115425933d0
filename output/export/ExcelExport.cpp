#include "output/export/ExcelExport.h"

#include "core/Cp1251.h"
#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MeasurementSchema.h"
#include "output/xls/TvteExcelWriter.h"
#include "output/xls/TvteXLSWorkbook.h"

#include <QFileInfo>

#include <vector>

namespace excel_export {
namespace {

struct Column {
    QString header;
    QString field;
    bool number;
};

std::vector<Column> columnsOf(int mode) {
    std::vector<Column> columns;
    for (MeasurementSchema::Field f : MeasurementSchema::columns(MeasurementSchema::Place::Excel, mode)) {
        const MeasurementSchema::FieldDef& d = MeasurementSchema::field(f);
        columns.push_back({d.texts.excelHeader, d.name, d.type == 'N'});
    }
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

void fillWorkbook(TvteXLSWorkbook& workbook, const DbfTable& table, int mode, const QString& firmwareDate) {
    if (mode < 0 || mode > 2)
        throw KvError(QStringLiteral("Неизвестный режим %1: ожидается 0, 1 или 2.").arg(mode));
    TvteXLSWorksheet& sheet = workbook.AddSheet();
    sheet.setName(QStringLiteral("Кварнел - ЛД5 ") + firmwareDate);
    const std::vector<Column> columns = columnsOf(mode);
    std::vector<int> fields;
    for (const Column& c : columns) {
        const int f = table.fieldIndex(c.field);
        if (f < 0)
            throw KvError(QStringLiteral("В таблице нет поля %1.").arg(c.field));
        fields.push_back(f);
    }
    for (std::size_t c = 0; c < columns.size(); ++c)
        sheet.Cells(int(c), 0).setValue(columns[c].header);
    const int n = table.recordCount();
    for (int row = 1; row <= n; ++row) {
        const int recNo = table.recNoAt(row - 1);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            TvteXLSRange& cell = sheet.Cells(int(c), row);
            const QVariant v = table.recordValue(recNo, fields[c]);
            // A field without a value stays a blank cell, as the views show it.
            if (v.isNull())
                continue;
            if (columns[c].number)
                cell.setValue(v.toDouble());
            else // table texts come from Windows-1251, so they go back without loss
                cell.setValue(TvteXLSValue(cp1251::encodeReplacing(v.toString())));
        }
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
    // The rows were read without the cursor; the export ends on the last record of the view all
    // the same, as it always has, whether the writing succeeds or not.
    table.last();
    TvteExcelWriter writer;
    writer.SaveToFile(workbook, fileName);
}

} // namespace excel_export
