#pragma once

#include <QTableView>

// The table view inside a DBGridPro; opens up the editor calls the grid needs.
class GridView : public QTableView {
    Q_OBJECT
public:
    explicit GridView(QWidget* parent = nullptr);

    bool isEditing() const { return state() == QAbstractItemView::EditingState; }
    // Commits the open editor's value to the model and closes the editor; false when none.
    bool commitOpenEditor();
    void cancelOpenEditor();

protected:
    // Tab in an editor posts its value and moves the cursor on without opening another editor.
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    QWidget* openEditor() const;
};
