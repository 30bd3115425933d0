#include "output/modereports/DbfDataSet.h"

#include "core/Error.h"

namespace reports {

DbfDataSet::DbfDataSet(const DbfTable& table, QString name) : m_table(table), m_name(std::move(name)) {
    if (!table.isOpen())
        throw KvError(QStringLiteral("Таблица не открыта."));
}

bool DbfDataSet::hasField(const QString& field) const {
    return m_table.fieldIndex(field) >= 0;
}

void DbfDataSet::first() {
    m_row = 0;
}

bool DbfDataSet::eof() const {
    return m_row >= m_table.recordCount();
}

void DbfDataSet::next() {
    if (!eof())
        ++m_row;
}

QVariant DbfDataSet::value(const QString& field) const {
    const int f = m_table.fieldIndex(field);
    if (f < 0)
        throw KvError(QStringLiteral("В таблице нет поля «%1».").arg(field));
    return m_table.valueAt(m_row, f);
}

} // namespace reports
