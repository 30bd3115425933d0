// The stored layout text reader: any text from the settings store, read, applied to the columns
// of a view, written back and read again. The second reading must give back what was applied.
#include "FuzzSupport.h"

#include "grid/ColumnLayoutText.h"

#include <QGuiApplication>

namespace {

std::vector<GridColumn> viewColumns() {
    static const char* names[] = {"N", "DATE", "TIME", "MODE", "A",    "A_SR", "F",       "V",      "V_SR",
                                  "S", "S_SR", "DT",   "T",    "TR_F", "TR_A", "TR_A_SR", "COMMENT"};
    std::vector<GridColumn> columns;
    for (const char* n : names)
        columns.emplace_back(QString::fromLatin1(n), QString::fromLatin1(n), 60, ColumnAlignment::Right);
    return columns;
}

bool sameColor(const QColor& a, const QColor& b) {
    return a.isValid() == b.isValid() && (!a.isValid() || a.rgb() == b.rgb());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The settings store gives the text as UTF-8; an odd first byte takes the rest as Latin-1.
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString text =
        (size > 0 && (data[0] & 1)) ? QString::fromLatin1(bytes.mid(1)) : QString::fromUtf8(bytes);

    const std::vector<ColumnLayoutText::StoredColumn> stored = ColumnLayoutText::read(text);
    if (stored.size() > 4096)
        fuzz::fail("more items than the reader promises");
    std::vector<GridColumn> columns = viewColumns();
    const int matched = ColumnLayoutText::apply(stored, columns);
    if (matched < 0 || matched > int(columns.size()))
        fuzz::fail("apply matched an impossible number of columns");
    if (columns.size() != viewColumns().size())
        fuzz::fail("apply changed the number of columns");

    const std::vector<ColumnLayoutText::StoredColumn> again =
        ColumnLayoutText::read(ColumnLayoutText::write(columns));
    if (again.size() != columns.size())
        fuzz::fail("written layout does not read back whole");
    for (size_t i = 0; i < columns.size(); ++i) {
        const GridColumn& c = columns[i];
        const ColumnLayoutText::StoredColumn& s = again[i];
        if (s.fieldName != c.fieldName)
            fuzz::fail("field name or order lost in the round trip");
        if (s.width != c.width || s.sortState != c.sortState || s.visualOptions != c.visualOptions ||
            s.alignment != c.alignment)
            fuzz::fail("width, sort state, options or alignment lost in the round trip");
        if (!s.color || !sameColor(*s.color, c.color))
            fuzz::fail("colour lost in the round trip");
        if (c.font.has_value() != s.font.has_value())
            fuzz::fail("own font lost in the round trip");
        if (c.font && (c.font->family() != s.font->family() || c.font->bold() != s.font->bold() ||
                       c.font->italic() != s.font->italic()))
            fuzz::fail("font lost in the round trip");
    }
    return 0;
}
