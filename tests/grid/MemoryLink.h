#pragma once

#include "core/Error.h"
#include "grid/GridDataLink.h"

#include <QStringList>
#include <vector>

// An in-memory data link: rows of values, with a record of what the grid asked of it.
class MemoryLink : public GridDataLink {
public:
    QStringList names;
    std::vector<FieldType> types;
    std::vector<std::vector<QVariant>> rows;
    bool active = true;
    int current = -1;
    mutable long long valueCalls = 0;
    std::vector<int> deletedRows;     // in the order deleteRow was called
    std::vector<QVariant> deletedIds; // first field of each deleted row
    int rereads = 0;
    QString refuseMessage;  // setValue throws this when not empty
    bool failReads = false; // value throws, as a table with a read error would

    MemoryLink(QStringList fieldNames, std::vector<FieldType> fieldTypes)
        : names(std::move(fieldNames)), types(std::move(fieldTypes)) {}

    bool isActive() const override { return active; }
    int rowCount() const override { return active ? static_cast<int>(rows.size()) : 0; }
    int fieldIndex(const QString& name) const override {
        for (int i = 0; i < names.size(); ++i)
            if (names[i].compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    FieldType fieldType(int field) const override {
        return field >= 0 && field < static_cast<int>(types.size()) ? types[field] : FieldType::Unknown;
    }
    QVariant value(int row, int field) const override {
        ++valueCalls;
        if (failReads)
            throw KvError(QStringLiteral("Ошибка чтения"));
        if (row < 0 || row >= rowCount() || field < 0 || field >= names.size())
            return {};
        return rows[row][field];
    }
    void setValue(int row, int field, const QVariant& v) override {
        if (!refuseMessage.isEmpty())
            throw KvError(refuseMessage);
        rows.at(row).at(field) = v;
        emit valuesChanged(row, row);
    }
    int currentRow() const override { return rows.empty() ? -1 : current; }
    void setCurrentRow(int row) override { current = row; }
    void deleteRow(int row) override {
        deletedRows.push_back(row);
        deletedIds.push_back(rows.at(row).at(0));
        rows.erase(rows.begin() + row);
        if (current >= static_cast<int>(rows.size()))
            current = static_cast<int>(rows.size()) - 1;
    }
    void reread() override {
        ++rereads;
        emit dataReset();
    }
};
