#include "output/xls/TvteXLSRange.h"

void TvteXLSRange::setValue(const TvteXLSValue& value) {
    const auto& v = value.storage();
    QByteArray text;
    if (const auto* t8 = std::get_if<QByteArray>(&v))
        text = *t8;
    else if (std::holds_alternative<QString>(v))
        text = value.toText8();
    else {
        m_value = value;
        return;
    }
    text.replace("\r\n", "\n");
    m_value = TvteXLSValue(std::move(text));
}
