#include "ui/TForm4.h"

#include "core/FileVersion.h"
#include "ui/Screen.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

namespace {

QFont pixelFont(QFont font, int pixels, bool bold = false) {
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

TForm4::TForm4(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(449, 151);

    StaticText1 = new QLabel(QStringLiteral("Кварнел-ЛД5"), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setFont(pixelFont(font(), 16, true));
    StaticText1->setGeometry(16, 16, 417, 24);

    StaticText3 = new QLabel(QStringLiteral("Версия 1.0"), this);
    StaticText3->setObjectName(QStringLiteral("StaticText3"));
    StaticText3->setFont(pixelFont(font(), 13));
    StaticText3->setGeometry(16, 48, 417, 20);

    StaticText2 = new QLabel(QStringLiteral("Программа для передачи данных с прибора \"Кварнел-ЛД5\""), this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    StaticText2->setFont(pixelFont(font(), 13));
    StaticText2->setGeometry(16, 76, 417, 20);

    Button1 = new QPushButton(QStringLiteral("Ок"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(pixelFont(font(), 11));
    Button1->setGeometry(449 - 8 - 75, 151 - 8 - 25, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
}

void TForm4::showEvent(QShowEvent* event) {
    FormShow();
    centreOnScreen(this);
    QDialog::showEvent(event);
}

void TForm4::FormShow() {
    StaticText3->setText(QStringLiteral("Версия ") +
                         ReadFileVersion(QCoreApplication::applicationFilePath()));
}

void TForm4::Button1Click() {
    done(QDialog::Accepted);
}
