// Helpers for the Channel Table window: open it from the main window, find cells by what the
// pages call them, select ranges as the mouse would.
#pragma once

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include "ui/channel_table.h"
#include "ui/record_edits.h"
#include "ui_test_util.h"

namespace orv::ui::test {

// The window with these module types, shown and active, and its Channel Table opened by Ctrl+T.
struct TableHarness : Harness {
    ChannelTable* table = nullptr;
    bool active = false;  // the table window took the focus

    explicit TableHarness(ModuleTypes types) {
        window->moduleTypes() = types;
        window->ApplyModuleTypes();
        window->show();
        QApplication::setActiveWindow(window.get());
        if (!QTest::qWaitForWindowActive(window.get())) return;
        QTest::keyClick(window.get(), Qt::Key_T, Qt::ControlModifier);
        table = window->channelTable();
        if (!table) return;
        QApplication::setActiveWindow(table);  // the offscreen platform has no window manager
        active = QTest::qWaitForWindowActive(table);
    }
    ChannelTableModel& model() const { return *table->model(); }
    QTableView* view() const { return table->view(); }
    QSortFilterProxyModel* proxy() const { return table->proxy(); }

    // The view's index of the cell showing a record element.
    QModelIndex Cell(FieldRef ref) const {
        const auto at = model().CellOf(ref);
        if (!at) return {};
        return proxy()->mapFromSource(model().index(at->first, at->second));
    }
    QString Shown(FieldRef ref) const { return Cell(ref).data(Qt::DisplayRole).toString(); }
    // Makes the cell current and the only one selected.
    void Select(FieldRef ref) const {
        view()->selectionModel()->setCurrentIndex(Cell(ref), QItemSelectionModel::ClearAndSelect);
    }
    // Selects the rectangle between two cells, as a drag of the mouse does.
    void SelectRange(FieldRef from, FieldRef to) const {
        const QModelIndex a = Cell(from), b = Cell(to);
        view()->selectionModel()->setCurrentIndex(a, QItemSelectionModel::NoUpdate);
        view()->selectionModel()->select(QItemSelection(a, b), QItemSelectionModel::ClearAndSelect);
    }
    QString UndoText() const { return window->action("MenuEditUndo")->text(); }
};

inline FieldRef Ric(int i) {
    return RefOf<&ConfigRecord::txtRIC>(static_cast<std::size_t>(i));
}
inline FieldRef Msg(int i) {
    return RefOf<&ConfigRecord::txtMsg>(static_cast<std::size_t>(i));
}
inline FieldRef RelayRic(int k) {
    return RefOf<&ConfigRecord::txtRlyRIC>(static_cast<std::size_t>(k));
}

}  // namespace orv::ui::test
