#include "app/TForm1.h"

#include "app/Unavailable.h"

void TForm1::N4Click() {
    commandNotAvailable(this, QStringLiteral("Предварительный просмотр"));
}

void TForm1::ToolButton4Click() {
    commandNotAvailable(this, QStringLiteral("Печать"));
}
