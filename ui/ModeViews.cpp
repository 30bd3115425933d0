#include "ui/ModeViews.h"

#include "core/Error.h"
#include "db/DbfTable.h"
#include "db/MeasurementSchema.h"
#include "db/MeasurementTable.h"
#include "db/views/LayoutStore.h"
#include "db/views/ViewColumns.h"
#include "grid/ColumnFitting.h"
#include "grid/RowPosition.h"
#include "grid/ui/DBGridPro.h"
#include "ui/Command.h"
#include "ui/UiLog.h"

#include <QLayout>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Runs a step whose failure is expected (usually: there is no sort index) and leaves a trace of it.
template <typename F> void ignoreFailure(const char* step, F&& run) {
    try {
        run();
    } catch (const KvError& e) {
        qCDebug(lcUi) << step << "failed:" << e.message();
    }
}

} // namespace

ModeViews::ModeViews(DbfTable& table, QWidget* parent) : QObject(parent), m_table(table), m_link(table) {
    PageControl1 = new QTabWidget(parent);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    QWidget** sheets[] = {&TabSheet1, &TabSheet2, &TabSheet3};
    DBGridPro** grids[] = {&DBGridPro1, &DBGridPro2, &DBGridPro3};
    for (int page = 0; page < ViewColumns::kPageCount; ++page) {
        QWidget* sheet = new QWidget;
        sheet->setObjectName(QStringLiteral("TabSheet%1").arg(page + 1));
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* grid = new DBGridPro(sheet);
        grid->setObjectName(QStringLiteral("DBGridPro%1").arg(page + 1));
        grid->setColumns(ViewColumns::designColumns(page));
        grid->setAutoFit(true);
        grid->setNoMultiTitleStates(true);
        grid->setTitleLines(2);
        // The first click sorts descending (tsSortedUp): that mark points down.
        grid->setDescendingSortState(tsSortedUp);
        grid->setDataLink(&m_link);
        layout->addWidget(grid);
        PageControl1->addTab(sheet, ViewColumns::pageCaption(page));
        *sheets[page] = sheet;
        *grids[page] = grid;
    }
    PageControl1->setCurrentIndex(0);

    NoteFilter = new QLineEdit(parent);
    NoteFilter->setObjectName(QStringLiteral("NoteFilter"));
    NoteFilter->setPlaceholderText(QStringLiteral("Точка или примечание"));
    NoteFilter->setToolTip(
        QStringLiteral("Показать только записи, в примечании которых есть этот текст (Ctrl+F)"));
    NoteFilter->setClearButtonEnabled(true);
}

ModeViews::~ModeViews() {
    for (int page = 0; page < ViewColumns::kPageCount; ++page)
        if (DBGridPro* g = grid(page))
            g->setDataLink(nullptr);
}

DBGridPro* ModeViews::grid(int page) const {
    switch (page) {
    case 0:
        return DBGridPro1;
    case 1:
        return DBGridPro2;
    case 2:
        return DBGridPro3;
    }
    return nullptr;
}

int ModeViews::pageOf(const DBGridPro* g) const {
    for (int page = 0; page < ViewColumns::kPageCount; ++page)
        if (grid(page) == g)
            return page;
    return -1;
}

int ModeViews::activePage() const {
    return PageControl1->currentIndex();
}

DBGridPro* ModeViews::activeGrid() const {
    return grid(activePage());
}

void ModeViews::setPopupMenu(QMenu* menu) {
    for (int page = 0; page < ViewColumns::kPageCount; ++page)
        grid(page)->setPopupMenu(menu);
}

void ModeViews::setUpColumns() {
    for (int page = 0; page < ViewColumns::kPageCount; ++page) {
        std::vector<GridColumn> columns = grid(page)->columns();
        ViewColumns::setUpColumns(columns, page);
        DBGridPro& g = *grid(page);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            g.setColumnTitle(int(i), columns[i].title);
            g.setColumnVisible(int(i), columns[i].visible);
        }
    }
}

void ModeViews::tab_filter(int mode) {
    if (!m_table.isOpen())
        return;
    m_table.setFiltered(false);
    m_table.setFilter(MeasurementTable::modeFilter(mode));
    m_table.setFiltered(true);
    m_link.reread();
}

void ModeViews::setNoteFilter(const QString& text) {
    m_table.setTextFilter(MeasurementSchema::name(MeasurementSchema::Field::COMMENT), text);
    if (m_table.isOpen())
        m_link.reread();
}

void ModeViews::focusNoteFilter() {
    NoteFilter->setFocus(Qt::ShortcutFocusReason);
    NoteFilter->selectAll();
}

void ModeViews::reset_sort(DBGridPro& g, DbfTable& table, const QString& indexName) {
    g.clearSortStates();
    if (!table.isOpen())
        return;
    // There is usually no such index; each step is tried on its own so that the view is
    // re-read whatever failed before.
    ignoreFailure("selecting the record order", [&] { table.selectIndex(QString()); });
    ignoreFailure("deleting the sort index", [&] { table.deleteIndex(indexName); });
    if (const QString notice = table.takeIndexNotice(); !notice.isEmpty())
        command::message(qobject_cast<QWidget*>(parent()), QMessageBox::Information,
                         QStringLiteral("Кварнел-ЛД5"), notice);
    ignoreFailure("closing the index file",
                  [&] { table.closeIndexFile(indexName + QStringLiteral(".mdx")); });
    ignoreFailure("re-reading the view", [&] { m_link.reread(); });
}

void ModeViews::titleStateChange(DBGridPro& g, int column) {
    if (column < 0 || column >= g.columnCount() || !m_table.isOpen())
        return;
    const QString& index = MeasurementTable::kSortIndex;
    // The previous sort's index, if there is one, goes first.
    ignoreFailure("dropping the previous sort", [&] {
        m_table.selectIndex(QString());
        m_table.deleteIndex(index);
        m_link.reread();
    });
    const GridColumn& c = g.column(column);
    // The grid's "up" mark stands for a descending order of the table.
    m_table.addIndex(index, c.fieldName.toUpper(), c.sortState == tsSortedUp);
    m_table.selectIndex(index);
    m_table.regenerateIndexes();
    m_link.reread();
    if (const QString notice = m_table.takeIndexNotice(); !notice.isEmpty())
        command::message(qobject_cast<QWidget*>(parent()), QMessageBox::Information,
                         QStringLiteral("Кварнел-ЛД5"), notice);
    // Another program's index file is never touched: the view is sorted in memory only, and the
    // user learns why once in a run.
    static bool told = false;
    if (m_table.indexFileIsForeign() && !told) {
        told = true;
        command::message(qobject_cast<QWidget*>(parent()), QMessageBox::Information,
                         QStringLiteral("Кварнел-ЛД5"),
                         QStringLiteral("Файл индексов «%1» принадлежит другой программе и оставлен как был: "
                                        "таблица отсортирована только на экране.")
                             .arg(m_table.indexFileName()));
    }
}

void ModeViews::setCurrentColumnColor(DBGridPro& g, const QColor& color) {
    if (!m_table.isOpen())
        return;
    g.setColumnColor(g.currentColumn(), color);
}

void ModeViews::clear_colors(DBGridPro& g) {
    g.clearColors();
}

void ModeViews::align_columns(DBGridPro& g) {
    g.setAutoFit(false);
    const int width = ColumnFitting::equalWidth(g.width(), g.columnCount());
    for (int i = 0; i < g.columnCount(); ++i)
        g.setColumnWidth(i, width);
    g.setAutoFit(true);
    g.update();
}

void ModeViews::delete_rows(DBGridPro& g, DbfTable& table) {
    if (!table.isOpen())
        return;
    g.finishEdit();
    // The cursor keeps its place: on the next row that stays, or the last one.
    const int keep = RowPosition::afterDeletion(g.selectedRows(), g.currentRow(), g.rowCount());
    const int column = g.currentColumn();
    g.deleteSelected();
    table.pack();
    g.reread();
    if (keep >= 0)
        g.setCurrentCell(keep, column);
}

QString ModeViews::normaliseLineEnds(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

QString ModeViews::layoutValueName(int page) {
    return QStringLiteral("Table_%1").arg(page + 1);
}

void ModeViews::load_layout(const QString& valueName, DBGridPro& g, LayoutStore& store) {
    if (const std::optional<QString> text = store.readLayout(valueName)) {
        g.applyLayoutText(normaliseLineEnds(*text));
        return;
    }
    align_columns(g);
    save_layout(valueName, g, store);
}

void ModeViews::save_layout(const QString& valueName, DBGridPro& g, LayoutStore& store) {
    store.writeLayout(valueName, normaliseLineEnds(g.layoutText()));
}

void ModeViews::load_layout_all(LayoutStore& store) {
    if (!m_table.isOpen())
        return;
    syncPageGeometry();
    for (int page = 0; page < ViewColumns::kPageCount; ++page)
        load_layout(layoutValueName(page), *grid(page), store);
}

void ModeViews::save_layout_all(LayoutStore& store) {
    if (!m_table.isOpen())
        return;
    for (int page = 0; page < ViewColumns::kPageCount; ++page)
        save_layout(layoutValueName(page), *grid(page), store);
}

bool ModeViews::finishEdits() {
    bool stored = true;
    for (int page = 0; page < ViewColumns::kPageCount; ++page)
        if (grid(page)->isEditing())
            stored = grid(page)->finishEdit() && stored;
    return stored;
}

void ModeViews::syncPageGeometry() {
    QWidget* shown = PageControl1->currentWidget();
    if (!shown || !PageControl1->isVisible())
        return;
    if (QWidget* window = PageControl1->window(); window && window->layout())
        window->layout()->activate();
    // A hidden page lays itself out only when it is shown; its grid is sized here directly.
    const int current = activePage();
    for (int page = 0; page < ViewColumns::kPageCount; ++page) {
        if (page == current)
            continue;
        PageControl1->widget(page)->setGeometry(shown->geometry());
        grid(page)->setGeometry(grid(current)->geometry());
    }
}
