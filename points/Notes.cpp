#include "points/Notes.h"

#include "core/Error.h"
#include "db/DbfCodec.h"
#include "db/DbfTable.h"

#include <QFileInfo>
#include <QStringList>

namespace points {

QString assignedNote(const QString& note, const QString& name, const PointIndex& catalogue) {
    qsizetype n = note.size();
    while (n > 0 && note[n - 1] == QLatin1Char(' '))
        --n;
    const QString kept = note.left(n);
    if (kept.isEmpty())
        return name;
    const int point = catalogue.pointOf(kept);
    if (point >= 0) {
        // What follows the point's name: nothing, or ";" and the operator's text.
        const qsizetype semicolon = kept.indexOf(kNoteSeparator);
        return semicolon < 0 ? name : name + kept.mid(semicolon);
    }
    return name + kNoteSeparator + kept;
}

AssignmentPlan planAssignment(const std::vector<NoteRow>& rows, const QString& name,
                              const PointIndex& catalogue, int maxLength) {
    AssignmentPlan plan;
    for (const NoteRow& r : rows) {
        QString note = assignedNote(r.note, name, catalogue);
        if (note == r.note)
            continue;
        if (note.size() > maxLength)
            plan.tooLong.push_back(r.recNo);
        else
            plan.changes.push_back({r.recNo, std::move(note)});
    }
    return plan;
}

AssignmentPlan assignPoint(DbfTable& table, const std::vector<int>& recNos, const QString& name,
                           const PointIndex& catalogue) {
    const int field = table.fieldIndex(QStringLiteral("COMMENT"));
    if (field < 0)
        throw KvError(QStringLiteral("В таблице нет поля COMMENT для примечаний."));
    const int saved = table.recNo();
    std::vector<NoteRow> rows;
    for (int recNo : recNos) {
        if (!table.goToRecNo(recNo))
            throw KvError(QStringLiteral("Записи %1 нет среди показанных.").arg(recNo));
        rows.push_back({recNo, table.value(field).toString()});
    }
    AssignmentPlan plan = planAssignment(rows, name, catalogue, table.fields()[size_t(field)].length);
    const auto page = dbf::CodePage::forDriver(table.languageDriver());
    for (const NoteRow& c : plan.changes)
        if (!page || !page->encode(c.note))
            throw KvError(
                QStringLiteral("Кодировка таблицы «%1» не вмещает примечание «%2»: таблица не изменена.")
                    .arg(QFileInfo(table.path()).fileName(), c.note));
    if (!plan.changes.empty()) {
        table.changeBeside([&] {
            for (const NoteRow& c : plan.changes) {
                table.goToRecNo(c.recNo);
                table.setValue(field, c.note);
                table.post();
            }
        });
    }
    if (saved <= 0 || !table.goToRecNo(saved))
        table.first();
    return plan;
}

QString tooLongMessage(const std::vector<int>& recNos, int maxLength) {
    QStringList numbers;
    for (int r : recNos)
        numbers << QString::number(r);
    return QStringLiteral("Примечание не поместилось бы в %1 знаков, записи оставлены как были: %2.")
        .arg(maxLength)
        .arg(numbers.join(QStringLiteral(", ")));
}

} // namespace points
