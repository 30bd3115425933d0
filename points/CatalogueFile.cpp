#include "points/CatalogueFile.h"

#include "core/Error.h"
#include "points/CatalogueModel.h"

#include <QFileInfo>
#include <QSet>

#include <cmath>

namespace points {
namespace {

enum Field { Name, Class, AB, BC, CD, Base, Alert, Danger, Days, FieldCount };

constexpr std::uint8_t kWindows1251 = 0xC9;

std::optional<double> number(DbfTable& t, int field) {
    const QVariant v = t.value(field);
    if (v.isNull())
        return std::nullopt;
    return v.toDouble();
}

QString fileName(const DbfTable& t) {
    return QFileInfo(t.path()).fileName();
}

} // namespace

const std::vector<DbfField>& catalogueFields() {
    static const std::vector<DbfField> list = {
        {QStringLiteral("NAME"), 'C', kMaxNameLength, 0},
        {QStringLiteral("CLASS"), 'C', 8, 0},
        {QStringLiteral("A_B"), 'N', 8, 3},
        {QStringLiteral("B_C"), 'N', 8, 3},
        {QStringLiteral("C_D"), 'N', 8, 3},
        {QStringLiteral("BASE"), 'N', 8, 3},
        {QStringLiteral("ALERT"), 'N', 8, 3},
        {QStringLiteral("DANGER"), 'N', 8, 3},
        {QStringLiteral("DAYS"), 'N', 4, 0},
    };
    return list;
}

void createCatalogue(const QString& path) {
    DbfTable::create(path, catalogueFields(), kWindows1251);
}

bool hasCatalogueFields(const DbfTable& table) {
    const std::vector<DbfField>& want = catalogueFields();
    const std::vector<DbfField>& have = table.fields();
    if (!table.isOpen() || have.size() != want.size())
        return false;
    for (size_t i = 0; i < want.size(); ++i)
        if (have[i].name != want[i].name || have[i].type != want[i].type)
            return false;
    return true;
}

std::vector<PointEntry> readEntries(DbfTable& table) {
    if (!hasCatalogueFields(table))
        throw KvError(QStringLiteral("Файл «%1» не является каталогом оборудования: в нём другие поля.")
                          .arg(fileName(table)));
    std::vector<PointEntry> entries;
    entries.reserve(size_t(table.recordCount()));
    QSet<QString> names;
    for (table.first(); !table.eof(); table.next()) {
        PointEntry e;
        e.name = table.value(Name).toString();
        e.cls = table.value(Class).toString().trimmed();
        e.ab = number(table, AB);
        e.bc = number(table, BC);
        e.cd = number(table, CD);
        e.base = number(table, Base);
        e.alert = number(table, Alert);
        e.danger = number(table, Danger);
        if (const auto days = number(table, Days))
            e.days = qint64(std::llround(*days));
        // A blank name is that point's own error; two points of one name make every record of
        // that name ambiguous, so such a catalogue is not read at all.
        if (!e.name.isEmpty() && names.contains(e.name))
            throw KvError(
                QStringLiteral("В каталоге «%1» точка «%2» записана дважды.").arg(fileName(table), e.name));
        names.insert(e.name);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<PointEntry> readCatalogue(const QString& path) {
    DbfTable table;
    table.open(path, DbfTable::Access::ReadOnly);
    return readEntries(table);
}

void writeEntries(DbfTable& table, const std::vector<PointEntry>& entries) {
    if (!hasCatalogueFields(table))
        throw KvError(QStringLiteral("Файл «%1» не является каталогом оборудования: в нём другие поля.")
                          .arg(fileName(table)));
    const auto put = [&](int field, const std::optional<double>& v) {
        table.setValue(field, v ? QVariant(*v) : QVariant());
    };
    table.changeBeside([&] {
        table.setFiltered(false);
        for (table.first(); !table.eof();)
            table.deleteRecord();
        for (const PointEntry& e : entries) {
            table.append();
            table.setValue(Name, e.name);
            table.setValue(Class, e.cls);
            put(AB, e.ab);
            put(BC, e.bc);
            put(CD, e.cd);
            put(Base, e.base);
            put(Alert, e.alert);
            put(Danger, e.danger);
            table.setValue(Days, e.days ? QVariant(*e.days) : QVariant());
            table.post();
        }
        table.pack();
    });
}

void CatalogueEditor::open(const QString& path) {
    m_table.open(path, DbfTable::Access::Exclusive);
    try {
        m_entries = readEntries(m_table);
    } catch (...) {
        m_table.close();
        m_entries.clear();
        throw;
    }
}

void CatalogueEditor::close() {
    m_table.close();
    m_entries.clear();
}

void CatalogueEditor::reread() {
    m_table.refresh();
    m_entries = readEntries(m_table);
}

void CatalogueEditor::change(const std::function<void(CatalogueModel&)>& change) {
    reread();
    CatalogueModel model(m_entries);
    change(model);
    writeEntries(m_table, model.entries());
    m_entries = model.entries();
}

} // namespace points
