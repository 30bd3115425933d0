#include "grid/ui/DBGridPro.h"

#include "grid/ui/DBGridProImpl.h"

#include <QEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProxyStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Silver grid lines whatever the platform style draws otherwise.
class GridStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Table_GridLineColor)
            return static_cast<int>(QColor(0xC0, 0xC0, 0xC0).rgba());
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Watches the viewport: its width is what the columns are fitted to.
class ResizeWatcher : public QObject {
public:
    ResizeWatcher(std::function<void()> onResize, QObject* parent)
        : QObject(parent), m_onResize(std::move(onResize)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            m_onResize();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onResize;
};

} // namespace

DBGridPro::DBGridPro(QWidget* parent) : QWidget(parent), d(std::make_unique<Impl>()) {
    d->q = this;
    d->model = new GridModel(this);
    d->view = new GridView(this);
    d->header = new GridHeader(d->view);
    d->view->setHorizontalHeader(d->header);
    d->view->setModel(d->model);
    auto* delegate = new GridDelegate(
        d->model, [this](int column) { emit initEdit(column); }, d->view);
    delegate->setRefusal([this](int column) {
        if (!d->readOnly)
            return false;
        // Reported after the key or click that asked for the editor has been handled.
        QMetaObject::invokeMethod(
            this, [this, column] { emit editRefused(column); }, Qt::QueuedConnection);
        return true;
    });
    d->view->setItemDelegate(delegate);

    auto* style = new GridStyle;
    style->setParent(d->view);
    d->view->setStyle(style);

    d->view->setSelectionBehavior(QAbstractItemView::SelectRows);
    d->view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    d->view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    d->view->setShowGrid(true);
    d->view->setGridStyle(Qt::SolidLine);
    d->view->setWordWrap(false);
    d->view->setSortingEnabled(false);
    d->view->setDragEnabled(false);
    d->view->setCornerButtonEnabled(false);
    d->view->verticalHeader()->hide();
    d->view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    d->view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    d->view->setContextMenuPolicy(Qt::CustomContextMenu);

    // Selected rows stay drawn filled when the grid does not have the focus.
    QPalette pal = d->view->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    d->view->setPalette(pal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d->view);
    setFocusProxy(d->view);

    d->view->viewport()->installEventFilter(new ResizeWatcher([this] { d->refit(); }, this));
    d->model->setErrorHandler([this](const QString& m) { d->reportError(m); });

    connect(d->header, &GridHeader::titleClicked, this,
            [this](int logical, Qt::KeyboardModifiers m) { d->onTitleClicked(logical, m); });
    connect(d->header, &QHeaderView::sectionResized, this, [this](int logical, int oldSize, int newSize) {
        d->onSectionResized(logical, oldSize, newSize);
    });
    connect(d->model, &GridModel::linkReset, this, [this] { d->afterLinkReset(); });
    connect(d->view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                if (!current.isValid())
                    return;
                if (d->model->validColumn(current.column()))
                    d->currentColumn = current.column();
                if (current.row() != previous.row() && d->model->linkActive())
                    d->report([&] { d->model->link()->setCurrentRow(current.row()); });
            });
    connect(d->view, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex idx = d->view->indexAt(pos);
        if (idx.isValid())
            d->view->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
        if (d->popup)
            d->popup->popup(d->view->viewport()->mapToGlobal(pos));
    });

    d->updateHeaderHeight();
}

DBGridPro::~DBGridPro() = default;

void DBGridPro::setDataLink(GridDataLink* link) {
    d->model->setLink(link);
}
GridDataLink* DBGridPro::dataLink() const {
    return d->model->link();
}
int DBGridPro::rowCount() const {
    return d->model->rowCount();
}

void DBGridPro::setColumns(std::vector<GridColumn> columns) {
    d->model->setColumns(std::move(columns));
    d->currentColumn = -1;
    d->syncHidden();
    d->refit();
}

const std::vector<GridColumn>& DBGridPro::columns() const {
    return d->columns();
}
int DBGridPro::columnCount() const {
    return d->count();
}
const GridColumn& DBGridPro::column(int index) const {
    return d->columns().at(static_cast<size_t>(index));
}

int DBGridPro::columnIndex(const QString& fieldName) const {
    for (int i = 0; i < d->count(); ++i)
        if (d->columns()[i].fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void DBGridPro::setColumn(int index, GridColumn column) {
    if (!d->model->validColumn(index))
        return;
    d->model->setColumn(index, std::move(column));
    d->syncHidden();
    d->refit();
}

void DBGridPro::setColumnTitle(int index, const QString& title) {
    d->changeColumn(index, [&](GridColumn& c) { c.title = title; });
}

void DBGridPro::setColumnWidth(int index, int designWidth) {
    d->changeColumn(index, [&](GridColumn& c) { c.width = std::max(0, designWidth); });
    d->refit();
}

void DBGridPro::setColumnVisible(int index, bool visible) {
    d->changeColumn(index, [&](GridColumn& c) { c.visible = visible; });
    d->syncHidden();
    d->refit();
}

void DBGridPro::setColumnColor(int index, const QColor& color) {
    d->changeColumn(index, [&](GridColumn& c) { c.color = color; });
}

void DBGridPro::setColumnReadOnly(int index, bool readOnly) {
    d->changeColumn(index, [&](GridColumn& c) { c.readOnly = readOnly; });
}

void DBGridPro::setColumnDisplayFormat(int index, const QString& pattern) {
    d->changeColumn(index, [&](GridColumn& c) { c.displayFormat = pattern; });
}

void DBGridPro::setColumnFont(int index, const std::optional<QFont>& font) {
    d->changeColumn(index, [&](GridColumn& c) { c.font = font; });
}

void DBGridPro::setColumnMaxLength(int index, int maxLength) {
    d->changeColumn(index, [&](GridColumn& c) { c.maxLength = std::max(0, maxLength); });
}

void DBGridPro::setColumnCharFilter(int index, std::function<bool(QChar)> acceptChar) {
    d->changeColumn(index, [&](GridColumn& c) { c.acceptChar = std::move(acceptChar); });
}

void DBGridPro::setSortState(int index, TitleState state) {
    d->changeColumn(index, [&](GridColumn& c) { c.sortState = state; });
    d->header->viewport()->update();
}

void DBGridPro::clearSortStates() {
    d->setStates(std::vector<TitleState>(d->count(), tsSortedNone));
}

void DBGridPro::clearColors() {
    for (int i = 0; i < d->count(); ++i)
        setColumnColor(i, QColor());
}

int DBGridPro::displayedWidth(int index) const {
    if (!d->model->validColumn(index) || d->header->isSectionHidden(index))
        return 0;
    return d->header->sectionSize(index);
}

void DBGridPro::setAutoFit(bool on) {
    d->autoFit = on;
    d->refit();
}

bool DBGridPro::autoFit() const {
    return d->autoFit;
}
void DBGridPro::setNoMultiTitleStates(bool on) {
    d->noMultiTitleStates = on;
}
bool DBGridPro::noMultiTitleStates() const {
    return d->noMultiTitleStates;
}

void DBGridPro::setTitleLines(int lines) {
    d->titleLines = std::clamp(lines, 1, 2);
    d->updateHeaderHeight();
}

void DBGridPro::setDescendingSortState(TitleState state) {
    d->header->setDescendingState(int(state));
    d->header->viewport()->update();
}

void DBGridPro::setReadOnly(bool on) {
    if (on)
        cancelEdit();
    d->readOnly = on;
}

bool DBGridPro::isReadOnly() const {
    return d->readOnly;
}

int DBGridPro::currentRow() const {
    const QModelIndex idx = d->view->currentIndex();
    return idx.isValid() ? idx.row() : -1;
}

int DBGridPro::currentColumn() const {
    return d->model->validColumn(d->currentColumn) ? d->currentColumn : -1;
}

void DBGridPro::setCurrentCell(int row, int column) {
    if (d->model->validColumn(column) && d->columns()[column].visible)
        d->currentColumn = column;
    if (row < 0 || row >= d->model->rowCount() || d->currentColumn < 0)
        return;
    const QModelIndex idx = d->model->index(row, d->currentColumn);
    d->view->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
    d->view->scrollTo(idx);
}

std::vector<int> DBGridPro::selectedRows() const {
    std::vector<int> rows;
    const int count = d->model->rowCount();
    if (count == 0)
        return rows;
    for (const QModelIndex& idx : d->view->selectionModel()->selectedRows())
        if (idx.row() >= 0 && idx.row() < count)
            rows.push_back(idx.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty() && currentRow() >= 0)
        rows.push_back(currentRow());
    return rows;
}

void DBGridPro::selectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    const int count = d->model->rowCount();
    const int last = d->count() - 1;
    if (last < 0)
        return;
    for (int r : rows)
        if (r >= 0 && r < count)
            selection.select(d->model->index(r, 0), d->model->index(r, last));
    d->view->selectionModel()->select(selection,
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void DBGridPro::clearSelection() {
    d->view->selectionModel()->clearSelection();
}

int DBGridPro::deleteSelected() {
    finishEdit();
    GridDataLink* link = d->model->link();
    if (!d->model->linkActive())
        return 0;
    std::vector<int> rows = selectedRows();
    std::sort(rows.rbegin(), rows.rend());

    // Whatever happens, the display comes back and shows what the link now holds.
    struct Restore {
        Impl* d;
        ~Restore() {
            d->view->selectionModel()->clearSelection();
            d->view->setUpdatesEnabled(true);
            d->model->resetFromLink();
        }
    } restore{d.get()};
    d->view->setUpdatesEnabled(false);
    int deleted = 0;
    for (int row : rows) {
        link->deleteRow(row);
        ++deleted;
    }
    return deleted;
}

bool DBGridPro::finishEdit() {
    if (!d->view->isEditing())
        return true;
    const int errorsBefore = d->errorCount;
    d->view->commitOpenEditor();
    return d->errorCount == errorsBefore;
}

void DBGridPro::cancelEdit() {
    d->view->cancelOpenEditor();
}
bool DBGridPro::isEditing() const {
    return d->view->isEditing();
}

void DBGridPro::reread() {
    finishEdit();
    const int column = d->currentColumn;
    if (GridDataLink* link = d->model->link(); link && link->isActive())
        link->reread();
    d->model->resetFromLink();
    if (column >= 0)
        setCurrentCell(currentRow(), column);
}

QString DBGridPro::layoutText() const {
    return ColumnLayoutText::write(d->columns());
}

int DBGridPro::applyLayoutText(const QString& text) {
    std::vector<GridColumn> cols = d->columns();
    const int matched = ColumnLayoutText::apply(ColumnLayoutText::read(text), cols);
    if (d->noMultiTitleStates) {
        bool seen = false;
        for (auto& c : cols) {
            if (c.sortState == tsSortedNone)
                continue;
            if (seen)
                c.sortState = tsSortedNone;
            seen = true;
        }
    }
    for (int i = 0; i < static_cast<int>(cols.size()); ++i)
        d->model->setColumn(i, std::move(cols[i]));
    d->syncHidden();
    d->refit();
    d->header->viewport()->update();
    return matched;
}

void DBGridPro::setErrorHandler(std::function<void(const QString&)> handler) {
    d->onError = std::move(handler);
}
void DBGridPro::setPopupMenu(QMenu* menu) {
    d->popup = menu;
}
QTableView* DBGridPro::view() const {
    return d->view;
}

void DBGridPro::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    d->refit();
}

void DBGridPro::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        d->updateHeaderHeight(); // two title lines of the new font
}
