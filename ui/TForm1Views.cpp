#include "ui/TForm1.h"

#include "db/MeasurementTable.h"
#include "grid/ui/DBGridPro.h"
#include "ui/ModeViews.h"

int TForm1::activePage() const {
    return m_views->activePage();
}

DBGridPro* TForm1::activeGrid() const {
    return m_views->activeGrid();
}

DBGridPro* TForm1::grid(int page) const {
    return m_views->grid(page);
}

void TForm1::tab_filter(int mode) {
    m_views->tab_filter(mode);
}

void TForm1::reset_sort(DBGridPro& g) {
    m_views->reset_sort(g, Dbf1, MeasurementTable::kSortIndex);
}

void TForm1::reset_sort_all() {
    for (int page = 0; page < MeasurementTable::kModeCount; ++page)
        reset_sort(*grid(page));
}

void TForm1::load_layout_all() {
    m_views->load_layout_all(*this);
}

void TForm1::save_layout_all() {
    m_views->save_layout_all(*this);
}

std::optional<QString> TForm1::readLayout(const QString& name) const {
    return Settings.tryReadString(name);
}

void TForm1::writeLayout(const QString& name, const QString& text) {
    Settings.writeString(name, text);
}

void TForm1::DBGridPro1TitleStateChange(DBGridPro& g, int column) {
    m_views->titleStateChange(g, column);
}

void TForm1::DBGridPro1InitEdit() {
    m_session.markModified();
}

void TForm1::ToolButton6Click() {
    if (TableOpen() && Dbf1.isOpen())
        reset_sort(*activeGrid());
}

void TForm1::N6Click() {
    if (!ColorDialog1.execute(this))
        return;
    m_views->setCurrentColumnColor(*activeGrid(), ColorDialog1.color);
}

void TForm1::N7Click() {
    m_views->setCurrentColumnColor(*activeGrid(), QColor());
}

void TForm1::N8Click() {
    if (Dbf1.isOpen())
        m_views->clear_colors(*activeGrid());
}

void TForm1::N9Click() {
    if (TableOpen() && Dbf1.isOpen())
        m_views->align_columns(*activeGrid());
}

void TForm1::N13Click() {
    if (!Dbf1.isOpen() || refuseReadOnly())
        return;
    // The rows are marked deleted before the pack, which may still fail (full disk).
    m_session.markModified();
    m_views->delete_rows(*activeGrid(), Dbf1);
}
