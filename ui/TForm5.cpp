#include "ui/TForm5.h"

#include "ui/Screen.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

TForm5::TForm5(int intervalMs, QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form5"));
    setFixedSize(400, 77);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(banner());
    Image1->setGeometry(0, 0, 400, 78);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(intervalMs);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TForm5::Timer1Timer);
}

QPixmap TForm5::banner() {
    QPixmap pixmap(400, 78);
    QPainter painter(&pixmap);
    QLinearGradient fill(0, 0, 0, 78);
    fill.setColorAt(0, QColor(0x1f, 0x3f, 0x7a));
    fill.setColorAt(1, QColor(0x0e, 0x24, 0x4d));
    painter.fillRect(pixmap.rect(), fill);
    painter.setPen(QColor(0xf2, 0xc1, 0x4e));
    painter.drawLine(16, 60, 384, 60);

    QFont title = painter.font();
    title.setPixelSize(30);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(16, 6, 368, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Кварнел-ЛД5"));

    QFont small = painter.font();
    small.setPixelSize(11);
    small.setBold(false);
    painter.setFont(small);
    painter.setPen(QColor(0xd0, 0xd8, 0xe8));
    painter.drawText(QRect(16, 62, 368, 14), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Morvalen"));
    return pixmap;
}

void TForm5::showEvent(QShowEvent* event) {
    centreOnScreen(this);
    FormShow();
    QDialog::showEvent(event);
}

void TForm5::FormShow() {
    Timer1->start();
}

void TForm5::Timer1Timer() {
    done(QDialog::Accepted);
}
