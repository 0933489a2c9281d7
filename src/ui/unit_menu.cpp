// The Unit menu: Compare with Unit, the two checks around a Write (kept in the settings store),
// Open History, Port Mapping; and the line that tells how the last Write ended.
#include <QAction>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QVBoxLayout>
#include <utility>

#include "model/rules.h"
#include "report/report.h"
#include "ui/link_controller.h"
#include "ui/main_window.h"
#include "ui/port_mapping_dialog.h"
#include "ui/settings_store.h"

namespace orv::ui {

void MainWindow::BuildUnitMenu() {
    QMenu* unit = menuBar()->addMenu("&Unit");
    unit->setObjectName("mnuUnit");
    auto add = [&](const char* name, const QString& text) {
        QAction* a = unit->addAction(text);
        a->setObjectName(name);
        return a;
    };
    connect(add("MenuUnitCompare", "&Compare with Unit…"), &QAction::triggered, this,
            &MainWindow::MenuUnitCompare);
    unit->addSeparator();
    QAction* verify = add("MenuUnitVerify", "&Verify after Write");
    QAction* backup = add("MenuUnitBackup", "&Back up Unit before Write");
    const UnitSettings stored = SettingsStore::ReadUnit();
    verify->setCheckable(true);
    verify->setChecked(stored.verifyAfterWrite);
    backup->setCheckable(true);
    backup->setChecked(stored.backupBeforeWrite);
    // Kept as soon as they change: they belong to the user, not to one run.
    for (QAction* a : {verify, backup})
        connect(a, &QAction::toggled, this, [verify, backup] {
            SettingsStore::WriteUnit({verify->isChecked(), backup->isChecked()});
        });
    unit->addSeparator();
    connect(add("MenuUnitHistory", "Open &History…"), &QAction::triggered, this,
            &MainWindow::MenuUnitHistory);
    unit->addSeparator();
    connect(add("MenuUnitPortMapping", "&Port Mapping…"), &QAction::triggered, this,
            &MainWindow::MenuUnitPortMapping);
}

void MainWindow::MenuUnitPortMapping() {
    PortMappingDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted) ShowComDevice();
}

WriteChecks MainWindow::CurrentWriteChecks() const {
    return {action("MenuUnitVerify")->isChecked(), action("MenuUnitBackup")->isChecked()};
}

void MainWindow::MenuUnitCompare() {
    if (!connected_ || RefuseWhileExchanging("Compare with Unit not started", "Choose it")) return;
    FinishFieldEditing();
    if (!RunLink(&UnitSession::CompareClick)) return;
    const QString at = " at " + link_->ExchangeEnded().toString("HH:mm:ss");
    const auto& unit = link_->session()->LastUnitContents();
    if (!unit) {
        // The exchange said why, unless the user stopped it.
        if (link_->session()->LastOutcome() == ClickOutcome::kStopped)
            Say("Compare stopped" + at);
        else
            Say("Compare failed" + at, true);
        return;
    }
    unitCopies_.Took({}, link_->LastDevice(), unit->versionLines, unit->image);  // its MAC address
    const QString notCompared =
        "The firmware version lines and the MAC address are the unit's own and were not "
        "compared. The editor was not changed.";
    const auto lines = UnitDifferences(rec_, moduleTypes_, image_, unit->moduleTypes, unit->image);
    Say(lines.empty() ? "Compared with the unit" + at + ": it holds what the editor shows"
                      : QString("Compared with the unit%1: %2 %3")
                            .arg(at)
                            .arg(lines.size())
                            .arg(lines.size() == 1 ? "difference" : "differences"),
        !lines.empty());
    if (lines.empty()) {
        ShowMessage("The unit holds the configuration the editor shows.\n\n" + notCompared,
                    AppTitle(), MessageKind::kInformation);
        return;
    }
    ShowDifferences("Compare with Unit",
                    QString("The unit differs from the editor in %1 %2 (editor -> unit):")
                        .arg(lines.size())
                        .arg(lines.size() == 1 ? "place" : "places"),
                    lines,
                    notCompared +
                        " Write puts the editor's configuration into the unit; Read takes the "
                        "unit's into the editor.");
}

void MainWindow::ShowDifferences(const QString& title, const QString& heading,
                                 const std::vector<std::string>& lines, const QString& footnote) {
    QStringList list;
    for (const auto& line : lines) list << FromMessageText(line);
    if (messageSink_) {
        messageSink_(title, heading + "\n" + list.join("\n") + "\n\n" + footnote,
                     MessageKind::kInformation);
        return;
    }
    QDialog dlg(this);
    dlg.setObjectName("dlgDifferences");
    dlg.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dlg);
    auto* head = new QLabel(heading, &dlg);
    head->setWordWrap(true);
    layout->addWidget(head);
    auto* text = new QPlainTextEdit(list.join("\n"), &dlg);
    text->setObjectName("txtDifferences");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(text, 1);
    auto* foot = new QLabel(footnote, &dlg);
    foot->setWordWrap(true);
    layout->addWidget(foot);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dlg);
    connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    layout->addWidget(buttons);
    dlg.resize(760, 440);
    dlg.exec();
}

std::string MainWindow::KeepUnitBackup(const UnitContents& unit) {
    const HistoryCopy copy = history_.KeepBackup(unit.versionLines, unit.moduleTypes, unit.image);
    unitCopies_.Took(copy.path, link_->LastDevice(), unit.versionLines, unit.image);
    return copy.ok ? std::string() : copy.error;
}

UnitCopyHint MainWindow::LastUnitCopy(const WrittenUnit& unit) {
    if (const auto copy = unitCopies_.Find(history_, unit.device, unit.versionLines))
        return {copy->path, {}};
    return {{}, "To keep one before every Write, turn on Unit > Back up Unit before Write."};
}

}  // namespace orv::ui
