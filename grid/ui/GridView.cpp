#include "grid/ui/GridView.h"

GridView::GridView(QWidget* parent) : QTableView(parent) {}

QWidget* GridView::openEditor() const {
    if (!isEditing())
        return nullptr;
    return indexWidget(currentIndex());
}

bool GridView::commitOpenEditor() {
    QWidget* editor = openEditor();
    if (!editor)
        return false;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void GridView::cancelOpenEditor() {
    if (QWidget* editor = openEditor())
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void GridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (hint != QAbstractItemDelegate::EditNextItem && hint != QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    QTableView::closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
    const QModelIndex next =
        moveCursor(hint == QAbstractItemDelegate::EditNextItem ? MoveNext : MovePrevious, Qt::NoModifier);
    if (next.isValid())
        selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
}
