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
