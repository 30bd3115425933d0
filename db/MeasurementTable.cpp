#include "db/MeasurementTable.h"

#include "core/Error.h"
#include "db/MeasurementSchema.h"

#include <QFileInfo>

namespace MeasurementTable {

const std::vector<DbfField>& fields() {
    static const std::vector<DbfField> list = [] {
        std::vector<DbfField> l;
        for (const MeasurementSchema::FieldDef& f : MeasurementSchema::fields())
            l.push_back({f.name, f.type, f.length, f.decimals});
        return l;
    }();
    return list;
}

// Windows-1251 (language driver 0xC9), the code page of the program's tables.
constexpr std::uint8_t kLanguageDriver = 0xC9;

void createFile(const QString& path) {
    DbfTable::create(path, fields(), kLanguageDriver);
}

void createBeside(DbfTable& table, const QString& path, const std::function<void()>& fill) {
    table.createBeside(path, fields(), kLanguageDriver, fill);
}

namespace {

// "N(18,9)", "C(50)": a field's type as dBase writes it in its structure listings.
QString shape(const DbfField& f) {
    if (f.type == 'N')
        return QStringLiteral("N(%1,%2)").arg(f.length).arg(f.decimals);
    return QStringLiteral("%1(%2)").arg(QChar::fromLatin1(f.type)).arg(f.length);
}

} // namespace

QString recordDifference(const std::vector<DbfField>& have) {
    const std::vector<DbfField>& want = fields();
    for (size_t i = 0; i < want.size(); ++i) {
        if (i >= have.size())
            return QStringLiteral("нет поля %1, ожидалось %2").arg(want[i].name, shape(want[i]));
        if (have[i].name != want[i].name)
            return QStringLiteral("поле %1: %2, ожидалось поле %3: %4")
                .arg(have[i].name, shape(have[i]), want[i].name, shape(want[i]));
        if (have[i].type != want[i].type || have[i].length != want[i].length ||
            have[i].decimals != want[i].decimals)
            return QStringLiteral("поле %1: %2, ожидалось %3")
                .arg(have[i].name, shape(have[i]), shape(want[i]));
    }
    if (have.size() > want.size())
        return QStringLiteral("лишнее поле %1: %2").arg(have[want.size()].name, shape(have[want.size()]));
    return {};
}

bool hasMeasurementRecord(const DbfTable& table) {
    return table.isOpen() && recordDifference(table.fields()).isEmpty();
}

void open(DbfTable& table, const QString& path, DbfTable::Access access) {
    table.open(path, access);
    const QString difference = recordDifference(table.fields());
    if (!difference.isEmpty()) {
        table.close();
        throw KvError(QStringLiteral("Файл «%1» не является таблицей замеров: %2.")
                          .arg(QFileInfo(path).fileName(), difference));
    }
}

QString modeFilter(int mode) {
    return QStringLiteral("MODE=") + QString::number(mode);
}

int parseMode(const QString& text) {
    bool ok = false;
    const int mode = text.toInt(&ok);
    if (!ok || mode < 0 || mode >= kModeCount)
        throw KvError(QStringLiteral("Режим должен быть 0, 1 или 2, а не «%1».").arg(text));
    return mode;
}

SortOrder parseSort(const QString& text, const DbfTable& table) {
    SortOrder order;
    order.field = text;
    if (text.endsWith(QLatin1String(":desc"), Qt::CaseInsensitive)) {
        order.field.chop(5);
        order.descending = true;
    } else if (text.endsWith(QLatin1String(":asc"), Qt::CaseInsensitive)) {
        order.field.chop(4);
    }
    if (table.fieldIndex(order.field) < 0)
        throw KvError(QStringLiteral("В таблице нет поля «%1» для сортировки.").arg(order.field));
    order.field = order.field.toUpper();
    return order;
}

} // namespace MeasurementTable
