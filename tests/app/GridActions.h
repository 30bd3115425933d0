#pragma once

#include "grid/ui/DBGridPro.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

// What a user does to a grid of the main window, for the window's tests.
namespace grid_actions {

inline int col(const DBGridPro* g, const char* field) {
    return g->columnIndex(QString::fromLatin1(field));
}

// Lets the posted events of a command (resets, deferred repaints) run.
inline void settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

inline void clickTitle(DBGridPro* g, int column, Qt::KeyboardModifiers modifiers = {}) {
    QHeaderView* header = g->view()->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, at);
}

// Opens the in-place editor of a cell with F2; the editor has the focus then.
inline QLineEdit* startEdit(TForm1& w, DBGridPro* g, int row, int column) {
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w))
        return nullptr;
    g->setCurrentCell(row, column);
    g->view()->setFocus();
    QTest::keyClick(g->view(), Qt::Key_F2);
    return qobject_cast<QLineEdit*>(QApplication::focusWidget());
}

} // namespace grid_actions
