#include "output/modereports/DbfDataSet.h"

#include "core/Error.h"

namespace reports {

DbfDataSet::DbfDataSet(DbfTable& table, QString name)
    : m_table(table), m_name(std::move(name)), m_savedRecNo(table.isOpen() ? table.recNo() : 0) {
    if (!table.isOpen())
        throw KvError(QStringLiteral("Таблица не открыта."));
}

DbfDataSet::~DbfDataSet() {
    if (m_savedRecNo > 0 && m_table.isOpen())
        m_table.goToRecNo(m_savedRecNo);
}

bool DbfDataSet::hasField(const QString& field) const {
    return m_table.fieldIndex(field) >= 0;
}

void DbfDataSet::first() {
    m_table.first();
}

bool DbfDataSet::eof() const {
    return m_table.eof();
}

void DbfDataSet::next() {
    m_table.next();
}

QVariant DbfDataSet::value(const QString& field) const {
    return m_table.value(field);
}

} // namespace reports
