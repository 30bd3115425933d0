#include "points/OverviewRows.h"

#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"

#include <QDir>
#include <QFileInfo>

namespace points {

void appendRows(DbfTable& table, int tableOrder, std::vector<MeasurementRow>& rows) {
    const auto field = [&](const char* name) {
        const int i = table.fieldIndex(QLatin1String(name));
        if (i < 0)
            throw KvError(QStringLiteral("В таблице «%1» нет поля %2.")
                              .arg(QFileInfo(table.path()).fileName(), QLatin1String(name)));
        return i;
    };
    const int fDate = field("DATE"), fTime = field("TIME"), fMode = field("MODE"), fN = field("N"),
              fValue = field("V_SR"), fNote = field("COMMENT");
    table.setFiltered(false);
    rows.reserve(rows.size() + size_t(table.recordCount()));
    NoteTexts notes;
    for (table.first(); !table.eof(); table.next()) {
        // A record without a value never counts: nothing else of it is read.
        const QVariant v = table.value(fValue);
        if (v.isNull())
            continue;
        MeasurementRow r;
        r.table = tableOrder;
        r.recNo = table.recNo();
        r.vsr = v.toDouble();
        r.moment = momentOf(table.value(fDate).toString(), table.value(fTime).toString());
        const QVariant mode = table.value(fMode);
        r.mode = mode.isNull() ? -1 : int(mode.toLongLong());
        const QVariant n = table.value(fN);
        r.n = n.isNull() ? -1 : n.toLongLong();
        r.note = notes.shared(table.value(fNote).toString());
        rows.push_back(std::move(r));
    }
}

std::vector<QString> folderTables(const QString& cataloguePath, std::vector<SkippedFile>& skipped) {
    const QFileInfo catalogue(cataloguePath);
    const QString own = catalogue.canonicalFilePath();
    std::vector<QString> tables;
    const QFileInfoList files =
        QDir(catalogue.absolutePath())
            .entryInfoList({QStringLiteral("*.dbf")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& f : files) {
        if (f.isHidden())
            skipped.push_back({f.fileName(), QStringLiteral("скрытый файл")});
        else if (f.canonicalFilePath() == own)
            skipped.push_back({f.fileName(), QStringLiteral("каталог оборудования")});
        else
            tables.push_back(f.absoluteFilePath());
    }
    return tables;
}

FolderRows readFolder(const QString& cataloguePath) {
    FolderRows result;
    for (const QString& path : folderTables(cataloguePath, result.skipped)) {
        const QString name = QFileInfo(path).fileName();
        DbfTable table;
        try {
            table.open(path, DbfTable::Access::ReadOnly);
        } catch (const KvError& e) {
            result.skipped.push_back({name, e.message()});
            continue;
        }
        if (!MeasurementTable::hasMeasurementRecord(table)) {
            result.skipped.push_back({name, QStringLiteral("другие поля")});
            continue;
        }
        appendRows(table, int(result.tables.size()), result.rows);
        result.tables.push_back(path);
    }
    return result;
}

} // namespace points
