#include "app/TForm1.h"

#include "app/Unavailable.h"

void TForm1::N2Click() {
    commandNotAvailable(this, QStringLiteral("Создать"));
}

void TForm1::N14Click() {
    commandNotAvailable(this, QStringLiteral("Дополнить"));
}

void TForm1::bin1Click() {
    commandNotAvailable(this, QStringLiteral("Загрузить bin-файл"));
}
