#pragma once

#include "db/views/DataFormat.h"

#include <QDialog>

class ModeViews;
class QGroupBox;
class QPushButton;
class QRadioButton;

// "Формат данных": which member of each value pair the shown view displays.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(ModeViews& views, QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QRadioButton* RadioButton1; // "Амплитудное"
    QRadioButton* RadioButton2; // "Средне квадратическое"
    QGroupBox* GroupBox3;
    QRadioButton* RadioButton5; // "Обычное"
    QRadioButton* RadioButton6; // "Полное"
    QPushButton* Button2;       // "Ок"
    QPushButton* Button1;       // "Отмена"

    void set_but1() { setButtons(0); }
    void set_but2() { setButtons(1); }
    void set_but3() { setButtons(2); }
    void set_on1() { setColumns(0); }
    void set_on2() { setColumns(1); }
    void set_on3() { setColumns(2); }

    DataFormat::Choice choice() const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow();
    void Button2Click();
    void Button1Click();
    void setButtons(int page);
    void setColumns(int page);

    ModeViews& m_views;
};
