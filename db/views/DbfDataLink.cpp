#include "db/views/DbfDataLink.h"

#include "core/Decimal.h"
#include "core/Error.h"
#include "db/DbfTable.h"

DbfDataLink::DbfDataLink(DbfTable& table, QObject* parent) : GridDataLink(parent), m_table(table) {}

bool DbfDataLink::isActive() const {
    return m_table.isOpen();
}

int DbfDataLink::rowCount() const {
    return m_table.isOpen() ? m_table.recordCount() : 0;
}

int DbfDataLink::fieldIndex(const QString& name) const {
    return m_table.isOpen() ? m_table.fieldIndex(name) : -1;
}

GridDataLink::FieldType DbfDataLink::fieldType(int field) const {
    if (!m_table.isOpen() || field < 0 || field >= int(m_table.fields().size()))
        return FieldType::Unknown;
    return m_table.fields()[std::size_t(field)].type == 'N' ? FieldType::Number : FieldType::Text;
}

QVariant DbfDataLink::value(int row, int field) const {
    if (!m_table.isOpen() || field < 0 || field >= int(m_table.fields().size()))
        return {};
    return m_table.valueAt(row, field);
}

QVariant DbfDataLink::fieldValue(char fieldType, const QVariant& value) {
    if (fieldType != 'N' || value.isNull() || value.typeId() != QMetaType::QString)
        return value;
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return {};
    const auto number = decimal::read(text);
    if (!number)
        throw KvError(QStringLiteral("«%1» не является числом.").arg(text));
    return *number;
}

void DbfDataLink::setValue(int row, int field, const QVariant& value) {
    if (!m_table.isOpen() || row < 0 || row >= m_table.recordCount() || field < 0 ||
        field >= int(m_table.fields().size()))
        return;
    const QVariant stored = fieldValue(m_table.fields()[std::size_t(field)].type, value);
    m_table.moveTo(row);
    const int recNo = m_table.recNo();
    m_table.edit();
    try {
        m_table.setValue(field, stored);
        m_table.post();
    } catch (...) {
        m_table.cancel();
        throw;
    }
    // An edit of the sort key can move the record; the grids then follow it to its new place.
    if (m_table.recNo() != recNo || m_table.position() != row) {
        m_table.goToRecNo(recNo);
        emit dataReset();
    } else {
        emit valuesChanged(row, row);
    }
}

int DbfDataLink::currentRow() const {
    if (!m_table.isOpen() || m_table.recordCount() == 0)
        return -1;
    return m_table.position();
}

void DbfDataLink::setCurrentRow(int row) {
    if (m_table.isOpen() && row >= 0 && row < m_table.recordCount())
        m_table.moveTo(row);
}

void DbfDataLink::deleteRow(int row) {
    if (!m_table.isOpen() || row < 0 || row >= m_table.recordCount())
        return;
    m_table.moveTo(row);
    m_table.deleteRecord();
}

void DbfDataLink::reread() {
    if (m_table.isOpen())
        m_table.refresh();
    emit dataReset();
}

void DbfDataLink::reset() {
    emit dataReset();
}
