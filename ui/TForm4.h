#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about box "О программе".
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    QLabel* StaticText1;
    QLabel* StaticText2;
    QLabel* StaticText3;
    QPushButton* Button1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void Button1Click();
};
