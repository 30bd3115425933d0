#pragma once

// The grid's inner state and the work behind its public calls, shared by the files of the widget.
#include "grid/ui/DBGridPro.h"

#include "core/Error.h"
#include "grid/ColumnFitting.h"
#include "grid/ColumnLayoutText.h"
#include "grid/GridDataLink.h"
#include "grid/TitleStateMachine.h"
#include "grid/ui/GridDelegate.h"
#include "grid/ui/GridHeader.h"
#include "grid/ui/GridModel.h"
#include "grid/ui/GridView.h"

#include <QMessageBox>
#include <QPointer>

#include <algorithm>

struct DBGridPro::Impl {
    DBGridPro* q = nullptr;
    GridModel* model = nullptr;
    GridView* view = nullptr;
    GridHeader* header = nullptr;
    bool autoFit = true;
    bool noMultiTitleStates = true;
    int titleLines = 2;
    bool readOnly = false;
    int applyingWidths = 0; // > 0 while the grid itself sizes the sections
    int currentColumn = -1;
    int errorCount = 0;
    QPointer<QMenu> popup;
    std::function<void(const QString&)> onError;

    const std::vector<GridColumn>& columns() const { return model->columns(); }
    int count() const { return static_cast<int>(columns().size()); }

    std::vector<int> visibleColumns() const {
        std::vector<int> out;
        for (int i = 0; i < count(); ++i)
            if (columns()[i].visible)
                out.push_back(i);
        return out;
    }

    int firstVisible() const {
        const auto v = visibleColumns();
        return v.empty() ? -1 : v.front();
    }

    void reportError(const QString& message) {
        ++errorCount;
        if (onError)
            onError(message);
        else
            QMessageBox::critical(q, QStringLiteral("Error"), message);
    }

    void syncHidden() {
        // Hiding a section reports it resized to 0: not a width the user chose.
        ++applyingWidths;
        for (int i = 0; i < count(); ++i)
            view->setColumnHidden(i, !columns()[i].visible);
        --applyingWidths;
        if (currentColumn >= count() || (currentColumn >= 0 && !columns()[currentColumn].visible))
            currentColumn = firstVisible();
        if (currentColumn < 0)
            currentColumn = firstVisible();
    }

    void refit() {
        ++applyingWidths;
        view->setHorizontalScrollBarPolicy(autoFit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
        const auto visible = visibleColumns();
        std::vector<int> widths;
        if (autoFit) {
            std::vector<int> design;
            for (int i : visible)
                design.push_back(columns()[i].width);
            widths = ColumnFitting::fit(design, view->viewport()->width());
        }
        for (int i = 0; i < count(); ++i) {
            const auto it = std::find(visible.begin(), visible.end(), i);
            const int w =
                (autoFit && it != visible.end()) ? widths[it - visible.begin()] : columns()[i].width;
            if (header->sectionSize(i) != w || header->isSectionHidden(i))
                header->resizeSection(i, w);
        }
        --applyingWidths;
    }

    // The user dragged a title edge.
    void onSectionResized(int logical, int, int newSize) {
        if (applyingWidths > 0 || !model->validColumn(logical))
            return;
        if (!autoFit) {
            GridColumn c = columns()[logical];
            c.width = newSize;
            model->setColumn(logical, std::move(c));
            return;
        }
        const auto visible = visibleColumns();
        const auto it = std::find(visible.begin(), visible.end(), logical);
        if (it == visible.end())
            return;
        std::vector<int> shown;
        for (int i : visible)
            shown.push_back(i == logical ? newSize : header->sectionSize(i));
        const auto widths = ColumnFitting::resize(shown, static_cast<int>(it - visible.begin()), newSize,
                                                  view->viewport()->width());
        for (size_t k = 0; k < visible.size(); ++k) {
            GridColumn c = columns()[visible[k]];
            c.width = widths[k];
            model->setColumn(visible[k], std::move(c));
        }
        refit();
    }

    void onTitleClicked(int logical, Qt::KeyboardModifiers modifiers) {
        if (!model->validColumn(logical))
            return;
        // The sort that follows reorders the rows under an open editor: its value goes first.
        q->finishEdit();
        std::vector<TitleState> states;
        for (const auto& c : columns())
            states.push_back(c.sortState);
        const bool changed = TitleStateMachine::click(
            states, logical, modifiers.testFlag(Qt::ControlModifier), noMultiTitleStates);
        setStates(states);
        if (changed)
            emit q->titleStateChange(logical);
    }

    // Runs a call of the link from inside an event of the view. An error it throws must not
    // unwind through Qt's event delivery: it ends the call and is shown like any other.
    template <typename F> void report(F&& call) {
        try {
            call();
        } catch (const KvError& e) {
            reportError(e.message());
        } catch (const std::exception& e) {
            reportError(QString::fromLocal8Bit(e.what()));
        }
    }

    void setStates(const std::vector<TitleState>& states) {
        for (int i = 0; i < count() && i < static_cast<int>(states.size()); ++i) {
            if (columns()[i].sortState == states[i])
                continue;
            GridColumn c = columns()[i];
            c.sortState = states[i];
            model->setColumn(i, std::move(c));
        }
        header->viewport()->update();
    }

    // After the link re-read: back on the link's current row, the same column.
    void afterLinkReset() {
        const int rows = model->rowCount();
        syncHidden();
        if (rows <= 0 || currentColumn < 0)
            return;
        const int row = std::clamp(model->link()->currentRow(), 0, rows - 1);
        const QModelIndex idx = model->index(row, currentColumn);
        view->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
        view->scrollTo(idx);
    }

    void updateHeaderHeight() {
        const QFontMetrics fm(header->font());
        header->setFixedHeight(fm.lineSpacing() * titleLines + 8);
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    }

    template <typename F> void changeColumn(int index, F&& change) {
        if (!model->validColumn(index))
            return;
        GridColumn c = columns()[index];
        change(c);
        model->setColumn(index, std::move(c));
    }
};
