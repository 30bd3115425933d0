#pragma once

#include <QDialog>

class QLabel;
class QTimer;

// The splash window of the start-up: a banner that closes itself when Timer1 fires.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(int intervalMs = 3000, QWidget* parent = nullptr);

    QLabel* Image1;
    QTimer* Timer1;

    // The 400 x 78 banner, drawn by the program.
    static QPixmap banner();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void Timer1Timer();
};
