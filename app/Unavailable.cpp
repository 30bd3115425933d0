#include "app/Unavailable.h"

#include "app/Command.h"
#include "app/TForm1.h"

void commandNotAvailable(QWidget* parent, const QString& caption) {
    command::message(parent, QMessageBox::Information, TForm1::BaseTitle,
                     QStringLiteral("Команда «%1» пока недоступна.").arg(caption));
}
