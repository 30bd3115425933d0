#pragma once

#include "report/DataSource.h"

#include <QStringList>
#include <QVariant>
#include <vector>

// Rows held in memory, for driving the engine without a table file.
class MemorySource : public report::ReportDataSource {
public:
    MemorySource(QString name, QStringList fields) : m_name(std::move(name)), m_fields(std::move(fields)) {}

    void addRow(std::vector<QVariant> values) { m_rows.push_back(std::move(values)); }
    int walks() const { return m_walks; }

    QString name() const override { return m_name; }
    bool hasField(const QString& field) const override {
        return m_fields.contains(field, Qt::CaseInsensitive);
    }
    void first() override {
        m_pos = 0;
        ++m_walks;
    }
    bool eof() const override { return m_pos >= int(m_rows.size()); }
    void next() override { ++m_pos; }
    QVariant value(const QString& field) const override {
        const int i = int(m_fields.indexOf(field));
        if (eof() || i < 0 || i >= int(m_rows[m_pos].size()))
            return {};
        return m_rows[m_pos][i];
    }

private:
    QString m_name;
    QStringList m_fields;
    std::vector<std::vector<QVariant>> m_rows;
    int m_pos = 0;
    int m_walks = 0;
};
