#include "ui/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QUrl>
#include <algorithm>

namespace orv::ui {
namespace {

constexpr int kModifiedColumn = 3;  // of the dialog's file list: name, size, type, date modified

}  // namespace

void ConfigureFileDialog(QFileDialog& dlg, const FileDialogRequest& r, bool save) {
    dlg.setObjectName("dlgCommonDialog");
    dlg.setWindowTitle(r.title);
    dlg.setDirectory(r.directory);
    // Windows users expect Windows' own dialog (Quick access, their libraries, its columns),
    // which takes no extra places: there the history is reached by Unit > Open History, which
    // starts in it. Elsewhere Qt's dialog offers the history beside the usual places.
    if (!r.sidebarFolder.isEmpty() && !kNativeDialogsOnly) {
        dlg.setOption(QFileDialog::DontUseNativeDialog);
        QDir().mkpath(r.sidebarFolder);
        QList<QUrl> places = dlg.sidebarUrls();
        places << QUrl::fromLocalFile(r.sidebarFolder);
        dlg.setSidebarUrls(places);
        // Room for the copies' long names (date, time, event and file or unit).
        dlg.resize(std::max(dlg.width(), 900), std::max(dlg.height(), 520));
        if (auto* list = dlg.findChild<QTreeView*>("treeView"))
            list->header()->resizeSection(0, 420);
    }
    dlg.setNameFilters(r.filter.split(";;"));
    dlg.selectNameFilter(dlg.nameFilters().value(0));
    dlg.setOption(QFileDialog::ReadOnly, false);
    if (save) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        // The first filter's extension: "ORV (*.ORV)" gives ORV, "PDF (*.pdf)" pdf.
        const QString first = r.filter.section(";;", 0, 0);
        const int star = first.indexOf("*.");
        dlg.setDefaultSuffix(star < 0 ? QString("ORV")
                                      : first.mid(star + 2).section(')', 0, 0).section(' ', 0, 0));
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::ExistingFile);
    }
    if (!r.fileName.isEmpty()) dlg.selectFile(r.fileName);
}

namespace {

std::optional<QString> Run(QWidget* parent, const FileDialogRequest& r, bool save) {
    QFileDialog dlg(parent);
    ConfigureFileDialog(dlg, r, save);
    // Qt's dialog keeps its columns and order for the next one; the newest-first order belongs
    // to this dialog only.
    auto* list = dlg.findChild<QTreeView*>("treeView");
    QByteArray ordinaryOrder;
    if (r.newestFirst && list) {
        ordinaryOrder = list->header()->saveState();
        list->sortByColumn(kModifiedColumn, Qt::DescendingOrder);
    }
    const bool chosen = dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty();
    if (!ordinaryOrder.isEmpty()) list->header()->restoreState(ordinaryOrder);
    if (!chosen) return std::nullopt;
    return QDir::toNativeSeparators(dlg.selectedFiles().first());
}

}  // namespace

std::optional<QString> QtFileDialogProvider::GetOpenFileName(QWidget* parent,
                                                             const FileDialogRequest& request) {
    return Run(parent, request, false);
}

std::optional<QString> QtFileDialogProvider::GetSaveFileName(QWidget* parent,
                                                             const FileDialogRequest& request) {
    return Run(parent, request, true);
}

}  // namespace orv::ui
