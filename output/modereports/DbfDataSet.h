#pragma once

#include "db/DbfTable.h"
#include "report/DataSource.h"

// frDBDataSet1: the report's data link to the table Dbf1. Walks the table's visible records (its
// filter, in the order of its selected index) and gives the report the values of the current one.
// The table's current record is put back when the data set is destroyed, so the grids showing the
// table do not jump.
namespace reports {

class DbfDataSet : public report::ReportDataSource {
public:
    explicit DbfDataSet(DbfTable& table, QString name = QStringLiteral("Dbf1"));
    ~DbfDataSet() override;
    DbfDataSet(const DbfDataSet&) = delete;
    DbfDataSet& operator=(const DbfDataSet&) = delete;

    QString name() const override { return m_name; }
    bool hasField(const QString& field) const override;
    void first() override;
    bool eof() const override;
    void next() override;
    QVariant value(const QString& field) const override;

private:
    DbfTable& m_table;
    QString m_name;
    int m_savedRecNo;
};

} // namespace reports
