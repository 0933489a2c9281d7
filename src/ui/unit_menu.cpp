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

namespace {

// The exchange as the user started it: the caption of its button or menu entry.
QString ExchangeName(void (UnitSession::*click)()) {
    const std::pair<void (UnitSession::*)(), const char*> names[] = {
        {&UnitSession::ConnectClick, "Connect"},
        {&UnitSession::AutoBaudClick, "Auto Baud Detect"},
        {&UnitSession::ReadClick, "Read"},
        {&UnitSession::WriteClick, "Write"},
        {&UnitSession::ResetClick, "Reset ORV"},
        {&UnitSession::MacWriteClick, "Write MAC"},
        {&UnitSession::CalibrateClick, "Calibrate"},
        {&UnitSession::CompareClick, "Compare with Unit"},
    };
    for (const auto& [c, name] : names)
        if (c == click) return name;
    return "An exchange with the unit";
}

}  // namespace

bool MainWindow::RunLink(void (UnitSession::*click)()) {
    if (!link_->Run(click)) return false;
    statusNote_.clear();
    UpdateStatusLine();
    if (std::exchange(sessionEndPending_, false)) SessionEnding();
    return true;
}

bool MainWindow::RefuseWhileExchanging(const QString& refused, const QString& retry) {
    if (!link_ || !link_->ExchangeRunning()) return false;
    statusNote_ = QString("%1: %2 in progress. %3 again when it has ended.")
                      .arg(refused, ExchangeName(link_->RunningClick()), retry);
    UpdateStatusLine();
    return true;
}

void MainWindow::ClearStatusLine() {
    statusText_.clear();
    UpdateStatusLine();
}

void MainWindow::UpdateStatusLine() {
    // The line takes the progress bar's place; what was refused during a transfer goes beside
    // the bar, which makes room for it.
    const bool bar = !w_.pb100->isHidden();
    const bool note = !statusNote_.isEmpty();
    const QRect line = w_.pb100->geometry().united(w_.lblUnitCheck->geometry());
    const int left = line.left(), barWidth = bar && note ? 150 : line.width();
    w_.pb100->setGeometry(left, w_.pb100->y(), barWidth, w_.pb100->height());
    const int textLeft = bar && note ? left + barWidth + 8 : left;
    w_.lblUnitCheck->setGeometry(textLeft, w_.lblUnitCheck->y(), line.right() + 1 - textLeft,
                                 w_.lblUnitCheck->height());
    // A long file name at the front of a note gives way first, the end of any other line; the tip
    // keeps all of it.
    const QString text = note ? statusNote_ : statusText_;
    w_.lblUnitCheck->setText(w_.lblUnitCheck->fontMetrics().elidedText(
        text, note ? Qt::ElideLeft : Qt::ElideRight, w_.lblUnitCheck->width()));
    w_.lblUnitCheck->setToolTip(text);
    w_.lblUnitCheck->setStyleSheet(note || statusBad_ ? "QLabel { color: rgb(200, 0, 0); }"
                                                      : "QLabel { color: rgb(0, 110, 0); }");
    w_.lblUnitCheck->setVisible(!text.isEmpty() && (note || !bar));
}

void MainWindow::ShowWriteEnd() {
    const UnitSession& session = *link_->session();
    QString text;
    bool bad = true;
    switch (session.LastWriteEnd()) {
        case WriteEnd::kVerified:
            text = "Written and verified";
            bad = false;
            break;
        case WriteEnd::kWritten:
            text = "Written, not verified";
            bad = false;
            break;
        case WriteEnd::kNotVerified:
            text = "Written, not verified: the read-back failed";
            break;
        case WriteEnd::kDifferent:
            text = "Write failed: the unit did not keep every block";
            break;
        case WriteEnd::kStopped:
            text = QString("Write stopped after %1 of %2 blocks: the unit holds a mix")
                       .arg(session.LastBlocksAccepted())
                       .arg(kConfigBlocks);
            if (session.LastBlocksAccepted() == 0) text = "Write failed: nothing was written";
            break;
        case WriteEnd::kNothingSent:
            text = "Not written: nothing was sent";
            break;
    }
    // When the Write ended, not when its last message was answered.
    statusText_ = text + " " + link_->ExchangeEnded().toString("HH:mm:ss");
    statusBad_ = bad;
    UpdateStatusLine();
}

void MainWindow::ShowModuleTypeChanges() {
    const VersionReport& version = link_->session()->LastVersion();
    if (!version.modulesRead) return;
    const auto changes = ModuleTypeChanges(version.typesBefore, version.moduleTypes);
    if (changes.empty()) return;
    // The module names do not fit beside the bar: the line gives the codes, its tip the names.
    QStringList brief, full;
    for (const auto& c : ModuleTypeChanges(version.typesBefore, version.moduleTypes, false))
        brief << FromMessageText(c);
    for (const auto& c : changes) full << FromMessageText(c);
    statusText_ = "Module types from the unit: " + brief.join("; ") + " " +
                  link_->ExchangeEnded().toString("HH:mm:ss");
    statusBad_ = false;
    UpdateStatusLine();
    // The module names do not fit beside the bar: the tip has them.
    w_.lblUnitCheck->setToolTip("Module types from the unit:\n" + full.join("\n"));
}

void MainWindow::MenuUnitCompare() {
    if (!connected_ || RefuseWhileExchanging("Compare with Unit not started", "Choose it")) return;
    FinishFieldEditing();
    if (!RunLink(&UnitSession::CompareClick)) return;
    const auto& unit = link_->session()->LastUnitContents();
    if (!unit) return;  // the exchange said why
    unitCopies_.Took({}, link_->LastDevice(), unit->versionLines, unit->image);  // its MAC address
    const QString notCompared =
        "The firmware version lines and the MAC address are the unit's own and were not "
        "compared. The editor was not changed.";
    const auto lines = UnitDifferences(rec_, moduleTypes_, image_, unit->moduleTypes, unit->image);
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
