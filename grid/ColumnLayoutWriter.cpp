#include "grid/ColumnLayoutNames.h"
#include "grid/ColumnLayoutText.h"

#include <QFontInfo>
#include <QStringList>

#include <cmath>

using namespace ColumnLayoutNames;

namespace {

QString setText(const QStringList& names) {
    return u'[' + names.join(QStringLiteral(", ")) + u']';
}

// Font.Height is the negative character height in pixels, as the component streams it.
int fontHeight(const QFont& font) {
    if (font.pixelSize() > 0)
        return -font.pixelSize();
    const double pt = font.pointSizeF() > 0 ? font.pointSizeF() : 8.0;
    return -static_cast<int>(std::lround(pt * 96.0 / 72.0));
}

} // namespace

namespace ColumnLayoutText {

QString write(const std::vector<GridColumn>& columns) {
    const QString nl = QStringLiteral("\r\n");
    QString out = QStringLiteral("object TUniDataStorage") + nl;
    if (columns.empty()) {
        out += QStringLiteral("  Data = <>") + nl;
    } else {
        out += QStringLiteral("  Data = <") + nl;
        for (size_t i = 0; i < columns.size(); ++i) {
            const GridColumn& c = columns[i];
            auto prop = [&](const char* name, const QString& value) {
                out += QStringLiteral("      ") + QLatin1String(name) + QStringLiteral(" = ") + value + nl;
            };
            out += QStringLiteral("    item") + nl;
            prop("FieldName", quote(c.fieldName));
            prop("Width", QString::number(c.width));
            prop("Alignment", alignmentName(c.alignment));
            prop("Color", colorText(c.color, "clDefault"));
            prop("SortState", sortStateName(c.sortState));
            QStringList options;
            for (const auto& o : kVisualOptions)
                if (c.visualOptions.testFlag(o.option))
                    options << QLatin1String(o.name);
            prop("VisualOptions", setText(options));
            if (c.font) {
                const QFont& f = *c.font;
                prop("Font.Charset", QStringLiteral("DEFAULT_CHARSET"));
                prop("Font.Color", colorText(c.fontColor, "clWindowText"));
                prop("Font.Height", QString::number(fontHeight(f)));
                prop("Font.Name", quote(f.family()));
                QStringList styles;
                const bool on[] = {f.bold(), f.italic(), f.underline(), f.strikeOut()};
                for (int k = 0; k < 4; ++k)
                    if (on[k])
                        styles << QLatin1String(kFontStyles[k].name);
                prop("Font.Style", setText(styles));
            }
            out += QStringLiteral("    end");
            if (i + 1 == columns.size())
                out += u'>';
            out += nl;
        }
    }
    out += QStringLiteral("end") + nl;
    return out;
}

} // namespace ColumnLayoutText
