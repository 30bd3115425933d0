#pragma once

#include "db/DbfTable.h"
#include "report/DataSource.h"

// frDBDataSet1: the report's data link to the table Dbf1. Walks the table's visible records (its
// filter, in the order of its selected index) by position, without the table's cursor: the grids
// showing the table stay where they are and an edit in progress stays pending (its edited values
// are what the report reads).
namespace reports {

class DbfDataSet : public report::ReportDataSource {
public:
    explicit DbfDataSet(const DbfTable& table, QString name = QStringLiteral("Dbf1"));

    QString name() const override { return m_name; }
    bool hasField(const QString& field) const override;
    void first() override;
    bool eof() const override;
    void next() override;
    QVariant value(const QString& field) const override;

private:
    const DbfTable& m_table;
    QString m_name;
    int m_row = 0;
};

} // namespace reports
