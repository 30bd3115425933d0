#include "db/TableSession.h"

#include "core/FileLayer.h"
#include "db/DbLog.h"
#include "db/MeasurementTable.h"

QString readOnlyRefusal() {
    return QStringLiteral("Таблица открыта только для чтения: файл не удалось заблокировать. "
                          "Изменить, удалить строки, дополнить или сохранить её нельзя.");
}

TableSession::TableSession(QObject* parent) : QObject(parent) {}

TableSession::~TableSession() = default;

void TableSession::setClosed() {
    const bool wasOpen = m_open;
    m_open = false;
    m_modified = false;
    if (m_table.isOpen()) {
        try {
            m_table.close();
        } catch (const KvError& e) {
            // Closing posts a pending edit; whatever it could not write is lost with the table.
            qCDebug(lcDb) << "closing lost a pending edit:" << e.message();
        }
    }
    if (wasOpen)
        emit closed();
}

void TableSession::open(const QString& path) {
    setClosed();
    m_readOnly = false;
    try {
        MeasurementTable::open(m_table, path);
    } catch (const fileio::OpenError& e) {
        if (e.reason() != fileio::OpenFailure::LockUnsupported)
            throw;
        // Without a lock another program could change the file under us: we only read it.
        MeasurementTable::open(m_table, path, DbfTable::Access::ReadOnly);
        m_readOnly = true;
    }
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

QString TableSession::save() {
    if (!m_open)
        return {};
    if (m_readOnly)
        throw KvError(readOnlyRefusal());
    QString repaired;
    if (m_table.isOpen()) {
        if (m_table.isShort())
            repaired = m_table.repair();
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
    return repaired;
}

void TableSession::replace(const std::function<void(DbfTable&)>& make) {
    setClosed();
    m_readOnly = false;
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
    if (isReadOnly())
        throw KvError(readOnlyRefusal());
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
