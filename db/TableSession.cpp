#include "db/TableSession.h"

#include "db/MeasurementTable.h"

TableSession::TableSession(QObject* parent) : QObject(parent) {}

TableSession::~TableSession() = default;

void TableSession::setClosed() {
    const bool wasOpen = m_open;
    m_open = false;
    m_modified = false;
    if (m_table.isOpen()) {
        try {
            m_table.close();
        } catch (const std::exception&) {
            // Closing posts a pending edit; whatever it could not write is lost with the table.
        }
    }
    if (wasOpen)
        emit closed();
}

void TableSession::open(const QString& path) {
    setClosed();
    MeasurementTable::open(m_table, path);
    m_open = true;
    m_modified = false;
    emit opened();
}

void TableSession::close() {
    const bool wasOpen = m_open;
    setClosed();
    if (!wasOpen)
        emit closed();
}

void TableSession::save() {
    if (!m_open)
        return;
    if (m_table.isOpen()) {
        const QString path = m_table.path();
        m_table.close();
        try {
            m_table.open(path, DbfTable::Access::Exclusive);
        } catch (...) {
            setClosed();
            throw;
        }
        emit reloaded();
    }
    m_modified = false;
}

void TableSession::replace(const std::function<void(DbfTable&)>& make) {
    setClosed();
    try {
        make(m_table);
    } catch (...) {
        setClosed();
        throw;
    }
    m_open = m_table.isOpen();
    m_modified = false;
    if (m_open)
        emit opened();
}

void TableSession::change(const std::function<void(DbfTable&)>& work) {
    try {
        work(m_table);
    } catch (...) {
        if (m_table.isOpen())
            emit rowsChanged();
        else
            setClosed();
        throw;
    }
    emit rowsChanged();
}
