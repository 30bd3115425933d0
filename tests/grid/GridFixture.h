#pragma once

#include "MemoryLink.h"
#include "grid/ui/DBGridPro.h"

#include <QTableView>
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

// The columns of an operative-mode view over an in-memory link.
struct GridFixture {
    std::unique_ptr<MemoryLink> link;
    std::unique_ptr<DBGridPro> grid;

    explicit GridFixture(int rowCount = 10) {
        using T = GridDataLink::FieldType;
        link = std::make_unique<MemoryLink>(
            QStringList{"N", "DATE", "TIME", "A", "A_SR", "F", "V", "V_SR", "S", "S_SR", "COMMENT"},
            std::vector<T>{T::Number, T::Text, T::Text, T::Number, T::Number, T::Number, T::Number, T::Number,
                           T::Number, T::Number, T::Text});
        for (int i = 0; i < rowCount; ++i) {
            const double a = 2.0 + i;
            link->rows.push_back({qint64(i + 1), QStringLiteral("01.02.2024"), QStringLiteral("10:00:00"), a,
                                  a * std::sqrt(2.0) / 2, 50.0, 1.0, 0.7, 0.01, 0.02,
                                  i == 3 ? QVariant() : QVariant(QStringLiteral("note %1").arg(i))});
        }
        link->current = rowCount > 0 ? 0 : -1;
        grid = std::make_unique<DBGridPro>();
        grid->setColumns(columns());
        grid->setDataLink(link.get());
        grid->resize(900, 400);
    }

    static std::vector<GridColumn> columns() {
        const QString a = QStringLiteral("Виброускорение\ra, м/кв.с");
        std::vector<GridColumn> c;
        c.emplace_back("N", "N", 35, ColumnAlignment::Right);
        c.emplace_back("DATE", "Дата", 63, ColumnAlignment::Center);
        c.emplace_back("TIME", "Время", 49, ColumnAlignment::Center);
        c.emplace_back("A", a, 148, ColumnAlignment::Right);
        c.emplace_back("A_SR", a, 34, ColumnAlignment::Right);
        c.emplace_back("F", "Частота\rf, Гц", 106, ColumnAlignment::Right);
        c.emplace_back("V", "Виброскорость\rV, мм/с", 102, ColumnAlignment::Right);
        c.emplace_back("V_SR", "Виброскорость\rV, мм/с", 40, ColumnAlignment::Right);
        c.emplace_back("S", "Виброперемещение\rS, мм", 101, ColumnAlignment::Right);
        c.emplace_back("S_SR", "Виброперемещение\rS, мм", 42, ColumnAlignment::Right);
        c.emplace_back("COMMENT", "Примечание", 101, ColumnAlignment::Left);
        for (auto& col : c) {
            col.readOnly = !(col.fieldName.endsWith("_SR") || col.fieldName == "COMMENT");
            if (col.fieldName.startsWith(u'A') || col.fieldName.startsWith(u'F') ||
                col.fieldName.startsWith(u'V') || col.fieldName.startsWith(u'S'))
                col.displayFormat = "00.000";
            if (col.fieldName.endsWith("_SR"))
                col.visible = false;
        }
        return c;
    }

    int col(const char* field) const { return grid->columnIndex(QString::fromLatin1(field)); }
    QTableView* view() const { return grid->view(); }

    bool show() {
        grid->show();
        return QTest::qWaitForWindowExposed(grid.get());
    }
};
