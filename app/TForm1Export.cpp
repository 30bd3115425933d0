#include "app/TForm1.h"

#include "app/Unavailable.h"

void TForm1::Excel1Click() {
    commandNotAvailable(this, QStringLiteral("Экспорт в Excel"));
}
