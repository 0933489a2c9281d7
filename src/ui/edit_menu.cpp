// The Edit menu (Undo, Redo, Channel Table, Find & Replace), the record's undo stack as the
// window uses it, and the channel table files of the File menu (Import and Export Channel Table).
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QTime>
#include <QUndoStack>

#include "files/profile.h"
#include "report/report.h"
#include "ui/channel_table.h"
#include "ui/link_controller.h"
#include "ui/main_window.h"
#include "ui/record_edits.h"
#include "ui/undo_actions.h"

namespace orv::ui {
namespace {

// Ctrl+Z (and Redo) in a text field undoes the field's own typing while there is some since it
// was last committed; otherwise it is the window's Undo, which would never be reached from the
// pages, where the focus is nearly always in a field.
class UndoKeyRouter : public QObject {
  public:
    using QObject::QObject;
    void Watch(QLineEdit* edit) { edit->installEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        auto* edit = static_cast<QLineEdit*>(watched);
        const bool redo = key->matches(QKeySequence::Redo) ||
                          key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
        if (key->matches(QKeySequence::Undo) ? edit->isUndoAvailable()
            : redo                           ? edit->isRedoAvailable()
                                             : true)
            return false;
        key->ignore();  // not the field's: the shortcut of the window's menu takes it
        return true;
    }
};

QString TableFilter() {
    return "Channel tables (*.csv);;All Files (*.*)";
}

}  // namespace

void MainWindow::BuildEditMenu() {
    edits_ = new RecordEdits(rec_, moduleTypes_, this);
    edits_->setObjectName("recordEdits");
    // While an exchange's worker uses the record nothing may change it, from any window.
    edits_->setGuard([this](const QString& what) {
        return RefuseWhileExchanging(what + " not done", "Try it") ? statusNote_ : QString();
    });
    // What the pages' own controls changed they show already, and the title follows them.
    connect(edits_, &RecordEdits::FieldsChanged, this,
            [this](const std::vector<FieldRef>& refs, bool shownOnPage) {
                if (shownOnPage) return;
                ShowFields(refs);
                ScheduleTitleUpdate();
            });
    connect(edits_, &RecordEdits::ModuleTypesChanged, this, [this] {
        ApplyModuleTypes();
        ScheduleTitleUpdate();
    });
    auto at = [] { return " at " + QTime::currentTime().toString("HH:mm:ss"); };
    connect(edits_, &RecordEdits::StepUndone, this,
            [this, at](const QString& name) { Say("Undone: " + name + at()); });
    connect(edits_, &RecordEdits::StepRedone, this,
            [this, at](const QString& name) { Say("Redone: " + name + at()); });

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->setObjectName("mnuEdit");
    const auto [undo, redo] = MakeUndoActions(*edits_, this);
    undo->setObjectName("MenuEditUndo");
    redo->setObjectName("MenuEditRedo");
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    QAction* table = edit->addAction("Channel &Table…");
    table->setObjectName("MenuEditChannelTable");
    table->setShortcut(QKeySequence("Ctrl+T"));
    connect(table, &QAction::triggered, this, &MainWindow::MenuEditChannelTable);
    QAction* find = edit->addAction("&Find && Replace…");
    find->setObjectName("MenuEditFindReplace");
    find->setShortcut(QKeySequence("Ctrl+H"));
    connect(find, &QAction::triggered, this, &MainWindow::MenuEditFindReplace);
}

void MainWindow::AddChannelTableFileItems(QMenu* file) {
    file->addSeparator();
    QAction* import = file->addAction("&Import Channel Table…");
    import->setObjectName("MenuFileImportTable");
    connect(import, &QAction::triggered, this, &MainWindow::MenuFileImportTable);
    QAction* exportTable = file->addAction("Expor&t Channel Table…");
    exportTable->setObjectName("MenuFileExportTable");
    connect(exportTable, &QAction::triggered, this, &MainWindow::MenuFileExportTable);
}

void MainWindow::BindEditCommits(const std::bitset<kRecordFieldCount>& fields) {
    auto* router = new UndoKeyRouter(this);
    std::uint16_t k = 0;
    ForEachFieldControls(w_, [this, router, &k, &fields](const auto& field, const auto& controls) {
        using Field = std::remove_cvref_t<decltype(field)>;
        if (!fields[k]) {
            ++k;
            return;
        }
        if constexpr (Field::kind == FieldKind::kText) {
            for (std::size_t i = 0; i < Field::count; ++i) {
                const FieldRef ref{k, static_cast<std::uint16_t>(i)};
                if (!IsUndoableField(ref)) continue;
                QLineEdit* edit = controls[i];
                // Leaving the field, or Enter in it, makes what was typed one step; from then on
                // the field's own undo starts afresh, so that it never undoes past that step.
                connect(edit, &QLineEdit::editingFinished, edits_, [this, edit, ref] {
                    if (edits_->IsPending(ref)) edits_->CommitPending();
                    if (!edit->isUndoAvailable() && !edit->isRedoAvailable()) return;
                    const bool wasRefreshing = std::exchange(refreshing_, true);
                    const int at = edit->cursorPosition();
                    edit->setText(edit->text());
                    edit->setCursorPosition(at);
                    refreshing_ = wasRefreshing;
                });
                router->Watch(edit);
            }
        }
        ++k;
    });
}

void MainWindow::ShowFields(const std::vector<FieldRef>& refs) {
    const bool wasRefreshing = std::exchange(refreshing_, true);
    bool role = false;
    for (const FieldRef& ref : refs) {
        VisitRecordField(ref.field, [&](const auto& field, auto k) {
            using Field = std::remove_cvref_t<decltype(field)>;
            if (ref.index >= Field::count) return;
            auto* control = std::get<decltype(k)::value>(w_.fields)[ref.index];
            if (control == nullptr) return;  // a bank control still to come shows it when made
            ShowInControl<Field>(control, field.At(rec_, ref.index), w_.optSlave);
            if constexpr (Field::kind == FieldKind::kOption) role = true;
        });
    }
    refreshing_ = wasRefreshing;
    if (role) UpdateRS485Label();
}

void MainWindow::StartFreshHistory() {
    edits_->Clear();
    if (table_) table_->model()->ClearMarks();
}

void MainWindow::ExchangeStarting() {
    edits_->CommitPending();
    if (table_)
        table_->Freeze(
            "An exchange with the unit is in progress: the table shows the configuration as it "
            "was and takes no edits until the exchange has ended.");
}

void MainWindow::ExchangeEnded() {
    if (table_) table_->Thaw();
}

void MainWindow::ChannelTableFollows() {
    if (table_) table_->Follow();
}

void MainWindow::MenuEditChannelTable() {
    if (!table_) {
        table_ = new ChannelTable(rec_, moduleTypes_, *edits_, this);
        // Reports go where the window's messages go (recorded in tests).
        table_->setReporter([this](const QString& text, MessageKind kind) {
            if (!messageSink_) return false;
            messageSink_(AppTitle(), text, kind);
            return true;
        });
        if (link_ && link_->ExchangeRunning())
            table_->Freeze(
                "An exchange with the unit is in progress: the table takes no edits "
                "until it has ended.");
    }
    // A field being edited is committed before the table shows it.
    edits_->CommitPending();
    table_->show();
    table_->raise();
    table_->activateWindow();
}

void MainWindow::MenuEditFindReplace() {
    MenuEditChannelTable();
    table_->ShowFindReplace();
}

void MainWindow::MenuFileImportTable() {
    if (RefuseWhileExchanging("Import Channel Table not done", "Choose it")) return;
    FinishFieldEditing();
    edits_->CommitPending();
    const FileDialogRequest request{"Import Channel Table", TableFilter(), DialogFolder(), {}, {}};
    const std::optional<QString> chosen = dialogs_->GetOpenFileName(this, request);
    if (!chosen || chosen->isEmpty()) return;
    const QString name = QFileInfo(*chosen).fileName();
    std::string text;
    if (const FileIoResult read = ReadWholeFile(chosen->toStdString(), text); !read.ok) {
        ShowMessage(QString("The channel table %1 could not be read: %2.\n\nThe editor was not "
                            "changed.")
                        .arg(*chosen, FromMessageText(read.error)),
                    AppTitle(), MessageKind::kWarning);
        return;
    }
    // Checked whole against the editor's module types, exactly as orv-cli import-csv checks it.
    ConfigRecord after = rec_;
    const TableImportResult r = ImportChannelTable(text, after, moduleTypes_);
    if (!r.ok) {
        std::vector<std::string> problems;
        for (const TableProblem& p : r.problems) problems.push_back(p.Text());
        ShowMessage(WithList(QString("The table %1 was refused and the editor was not changed "
                                     "(%2 %3):")
                                 .arg(name)
                                 .arg(problems.size())
                                 .arg(problems.size() == 1 ? "problem" : "problems"),
                             problems),
                    AppTitle(), MessageKind::kWarning);
        return;
    }
    const auto changed = edits_->ApplyRecord("Import Channel Table " + name, after);
    const QString applied = QString("%1 %2, %3 %4 changed")
                                .arg(r.rows)
                                .arg(r.rows == 1 ? "row" : "rows")
                                .arg(r.changed)
                                .arg(r.changed == 1 ? "value" : "values");
    Say(QString("Imported the channel table %1 at %2: %3")
            .arg(name, QTime::currentTime().toString("HH:mm:ss"), applied));
    QString summary = QString("Applied %1: %2.").arg(name, applied);
    if (!changed.empty()) summary += " Edit > Undo takes it back.";
    if (r.warnings.empty()) {
        ShowMessage(summary, AppTitle(), MessageKind::kInformation);
        return;
    }
    ShowMessage(WithList(summary + "\n\nPlease note:", r.warnings), AppTitle(),
                MessageKind::kWarning);
}

void MainWindow::MenuFileExportTable() {
    if (RefuseWhileExchanging("Export Channel Table not done", "Choose it")) return;
    FinishFieldEditing();
    const QString base = CurrentFileName().isEmpty()
                             ? QString("channels")
                             : QFileInfo(CurrentFileName()).completeBaseName();
    const FileDialogRequest request{
        "Export Channel Table", TableFilter(), DialogFolder(), base + ".csv", {}};
    const std::optional<QString> chosen = dialogs_->GetSaveFileName(this, request);
    if (!chosen || chosen->isEmpty()) return;
    const FileIoResult r =
        WriteFileAtomically(chosen->toStdString(), ExportChannelTable(rec_, moduleTypes_));
    const QString at = QTime::currentTime().toString("HH:mm:ss");
    if (!r.ok) {
        Say("Channel table not exported at " + at, true);
        ShowMessage(QString("The channel table was not saved to %1: %2.")
                        .arg(*chosen, FromMessageText(r.error)),
                    AppTitle(), MessageKind::kWarning);
        return;
    }
    Say(QString("Exported the channel table to %1 at %2").arg(QFileInfo(*chosen).fileName(), at));
}

}  // namespace orv::ui
