// The window while it talks to the unit: what looks disabled, the Cancel button and Escape, a close
// that waits for the transfer, the question before a Write over other module types, and what each
// finished click says on the status line.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <utility>

#include "base/latin1.h"
#include "model/addresses.h"
#include "model/rules.h"
#include "model/time_steps.h"
#include "ui/link_controller.h"
#include "ui/main_window.h"

namespace orv::ui {
namespace {

using Click = void (UnitSession::*)();

// The exchange as the user started it: the caption of its button or menu entry.
QString ExchangeName(Click click) {
    const std::pair<Click, const char*> names[] = {
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

// The clicks that last long enough to want a Cancel button: they move the whole EEPROM, or try
// every rate.
bool Stoppable(Click click) {
    return click == &UnitSession::ReadClick || click == &UnitSession::WriteClick ||
           click == &UnitSession::CompareClick || click == &UnitSession::AutoBaudClick;
}

QString Clock(const QDateTime& when) {
    return when.toString("HH:mm:ss");
}

constexpr const char* kWriteCannotStop =
    "A Write cannot be cancelled: stopped half way, the unit would hold a mix of two "
    "configurations.";

}  // namespace

bool MainWindow::RunLink(void (UnitSession::*click)()) {
    if (link_->ExchangeRunning()) return false;
    BeginExchange(click);
    ExchangeStarting();
    const bool ran = link_->Run(click);
    ExchangeEnded();
    EndExchange();
    statusNote_.clear();
    UpdateStatusLine();
    if (std::exchange(sessionEndPending_, false)) SessionEnding();
    // The close that came meanwhile, now that nothing holds the line or the record.
    if (closePending_) QTimer::singleShot(0, this, [this] { close(); });
    return ran;
}

bool MainWindow::RefuseWhileExchanging(const QString& refused, const QString& retry) {
    if (!link_ || !link_->ExchangeRunning()) return false;
    if (closePending_) return true;  // the line says the window closes; that stays
    statusNote_ = QString("%1: %2 in progress. %3 again when it has ended.")
                      .arg(refused, ExchangeName(link_->RunningClick()), retry);
    UpdateStatusLine();
    return true;
}

void MainWindow::BeginExchange(void (UnitSession::*click)()) {
    // From here no leave check runs: the worker reads the record. What the field being edited
    // holds is in the record already; the build checks it.
    exchanging_ = true;
    exchangeButton_ = QApplication::focusWidget();
    const bool stoppable = Stoppable(click);
    w_.cmdCancel->setVisible(stoppable);
    w_.cmdCancel->setEnabled(stoppable);
    w_.cmdCancel->setToolTip("Stop at the next block (Escape)");
    if (stoppable) w_.cmdCancel->setFocus(Qt::OtherFocusReason);
    // Everything that would do nothing now looks so; File > Exit stays (the close waits). What
    // sets an entry meanwhile (the connection state, an undo stack) is kept for the end.
    savedActionStates_.clear();
    for (QAction* a : menuBar()->findChildren<QAction*>()) {
        if (a->isSeparator() || a->menu() || a->objectName() == "MenuFileExit") continue;
        savedActionStates_.insert(a, a->isEnabled());
        a->setEnabled(false);
        connect(a, &QAction::enabledChanged, this, [this, a](bool enabled) {
            if (!exchanging_ || holdingActions_ || !savedActionStates_.contains(a)) return;
            savedActionStates_[a] = enabled;
            holdingActions_ = true;
            a->setEnabled(false);
            holdingActions_ = false;
        });
    }
    w_.SSTab1->setEnabled(false);
    for (QWidget* c : {static_cast<QWidget*>(w_.cmdConnect), static_cast<QWidget*>(w_.cmdSize)})
        c->setEnabled(false);
    ShowLinkState(connected_);
    UpdateStatusLine();
}

void MainWindow::EndExchange() {
    exchanging_ = false;
    for (auto it = savedActionStates_.constBegin(); it != savedActionStates_.constEnd(); ++it) {
        disconnect(it.key(), &QAction::enabledChanged, this, nullptr);
        it.key()->setEnabled(it.value());
    }
    savedActionStates_.clear();
    w_.SSTab1->setEnabled(true);
    for (QWidget* c : {static_cast<QWidget*>(w_.cmdConnect), static_cast<QWidget*>(w_.cmdSize)})
        c->setEnabled(true);
    ShowLinkState(connected_);
    w_.cmdCancel->hide();
    if (exchangeButton_ && exchangeButton_->isEnabled() && exchangeButton_->isVisible())
        exchangeButton_->setFocus(Qt::OtherFocusReason);
    exchangeButton_ = nullptr;
    UpdateTitle();
}

void MainWindow::CancelTransfer() {
    if (!exchanging_ || !link_->StepCanStop()) return;
    link_->RequestStop();
    w_.cmdCancel->setEnabled(false);
    w_.cmdCancel->setToolTip("Stopping at the next block");
}

void MainWindow::CloseWhenExchangeEnds() {
    if (!exchanging_) return;
    closePending_ = true;
    // A Read, Compare, backup or read-back ends at the next block; a Write runs to its end.
    link_->RequestStop();
    w_.cmdCancel->setEnabled(false);
    statusNote_ =
        QString("Closing when the %1 has ended…").arg(ExchangeName(link_->RunningClick()));
    UpdateStatusLine();
}

void MainWindow::ShowTransferProgress(const TransferProgress& p) {
    // One bar across every step of a transfer: a Write with its backup and read-back runs from
    // 0 to 100 once, each step taking its share.
    int value = p.percent;
    if (p.phaseCount > 1 && p.blocks > 0)
        value = ((p.phaseIndex - 1) * 100 + p.done * 100 / p.blocks) / p.phaseCount;
    w_.pb100->setValue(std::clamp(value, 0, 100));
    QString text = "%p%";
    if (!p.phase.empty()) {
        text = QString::fromStdString(p.phase);
        if (p.phaseCount > 1) text += QString(" %1/%2").arg(p.phaseIndex).arg(p.phaseCount);
        text += QString(": block %1 of %2").arg(p.done).arg(p.blocks);
        if (p.secondsLeft >= 0)
            text += QString(", about %1:%2 left")
                        .arg(p.secondsLeft / 60)
                        .arg(p.secondsLeft % 60, 2, 10, QChar('0'));
        if (link_ && link_->StopRequested() && p.stoppable) text += " (stopping)";
    }
    w_.pb100->setFormat(text);
    w_.pb100->setToolTip(text == "%p%" ? QString() : text);
    if (exchanging_ && w_.cmdCancel->isVisible()) {
        // The step decides: a Write cannot be stopped, and the button says why.
        const bool canStop = p.stoppable && !link_->StopRequested() && !closePending_;
        w_.cmdCancel->setEnabled(canStop);
        w_.cmdCancel->setToolTip(p.phase == "Write" ? QString(kWriteCannotStop)
                                                    : QString("Stop at the next block (Escape)"));
    }
    const bool changed = w_.pb100->isHidden() == p.visible;
    w_.pb100->setVisible(p.visible);
    if (changed) UpdateStatusLine();  // the line shares the bar's place
    w_.pb100->repaint();
}

bool MainWindow::ConfirmWriteOverModuleTypes() {
    const std::optional<ModuleTypes> unit = link_->session()->UnitModuleTypes();
    if (!unit || *unit == moduleTypes_) return true;
    QStringList lines;
    for (const auto& c : ModuleTypeChanges(*unit, moduleTypes_)) lines << FromMessageText(c);
    const QString text =
        QString(
            "The unit reported other module types than the editor holds (the unit's -> the "
            "editor's):\n%1\n\nWriting configures %2 of the unit as the editor shows %3: a "
            "bank the editor holds as NOT FITTED loses its channels' messages.\n\nWrite "
            "anyway?")
            .arg(lines.join("\n"), lines.size() == 1 ? "that bank" : "those banks",
                 lines.size() == 1 ? "it" : "them");
    if (Ask(text, "Write anyway", "Cancel")) return true;
    Say("Not written: the module types differ from the unit's", true);
    return false;
}

void MainWindow::SayClickOutcome(void (UnitSession::*click)(), bool wasConnected) {
    const UnitSession& session = *link_->session();
    const ClickOutcome outcome = session.LastOutcome();
    const QString at = " at " + Clock(link_->ExchangeEnded());
    const bool connectClick =
        click == &UnitSession::ConnectClick || click == &UnitSession::AutoBaudClick;
    if (connectClick) {
        ClearStatusLine();
        if (click == &UnitSession::ConnectClick && wasConnected) {
            Say("Disconnected" + at);
            return;
        }
        if (connected_) {
            QString line = "Connected";
            if (click == &UnitSession::AutoBaudClick)
                line += " at " + w_.Field<&ConfigRecord::lstBaudPC>()->currentText() + " baud";
            line += at;
            const VersionReport& version = session.LastVersion();
            const auto changes = version.modulesRead
                                     ? ModuleTypeChanges(version.typesBefore, version.moduleTypes)
                                     : std::vector<std::string>{};
            if (changes.empty()) {
                Say(line);
                return;
            }
            // The module names do not fit beside the bar: the line gives the codes, its tip the
            // names.
            QStringList brief, full;
            for (const auto& c : ModuleTypeChanges(version.typesBefore, version.moduleTypes, false))
                brief << FromMessageText(c);
            for (const auto& c : changes) full << FromMessageText(c);
            Say(line + "; module types from the unit: " + brief.join("; "), false,
                line + "\nModule types from the unit:\n" + full.join("\n"));
            return;
        }
        switch (outcome) {
            case ClickOutcome::kNotAnswering:
                Say((click == &UnitSession::AutoBaudClick ? "No answer at any baud rate"
                                                          : "No answer from the unit") +
                        at,
                    true);
                break;
            case ClickOutcome::kPortNotOpened:
                Say("Not connected" + at + ": the port did not open", true);
                break;
            default:
                Say("Not connected" + at, true);
                break;
        }
        return;
    }
    if (outcome == ClickOutcome::kPortNotOpened) {
        Say(ExchangeName(click) + " not done" + at + ": the port did not open", true);
        return;
    }
    if (click == &UnitSession::ReadClick) {
        if (outcome == ClickOutcome::kStopped) {
            Say("Read stopped" + at + ": the editor holds what it held before");
        } else if (outcome != ClickOutcome::kDone) {
            Say("Read failed" + at + ": the editor holds what it held before", true);
        } else {
            const QString line = "Read from the unit" + at;
            const auto changes = ModuleTypeChanges(session.TypesBeforeLastRead(), moduleTypes_);
            if (changes.empty()) {
                Say(line);
            } else {
                QStringList brief, full;
                for (const auto& c :
                     ModuleTypeChanges(session.TypesBeforeLastRead(), moduleTypes_, false))
                    brief << FromMessageText(c);
                for (const auto& c : changes) full << FromMessageText(c);
                Say(line + "; module types from the unit: " + brief.join("; "), false,
                    line + "\nModule types from the unit:\n" + full.join("\n"));
            }
        }
    } else if (click == &UnitSession::WriteClick) {
        ShowWriteEnd();
    } else if (click == &UnitSession::ResetClick) {
        Say("Reset sent" + at);
    } else if (click == &UnitSession::MacWriteClick) {
        const QString mac = FromMessageText(Latin1ToUtf8(MacText(rec_)));
        if (outcome == ClickOutcome::kDone)
            Say("MAC address " + mac + " written" + at);
        else
            Say("MAC address not written" + at, true);
    }
}

void MainWindow::SayCalibration(const ConfigRecord& before) {
    const QString at = " at " + Clock(link_->ExchangeEnded());
    if (link_->session()->LastOutcome() != ClickOutcome::kDone) {
        Say("Calibrate failed" + at + ": the pulse limits were left as they were", true);
        return;
    }
    QStringList lines;
    int changed = 0;
    for (int p = 0; p < 8; ++p) {
        const auto& old = before.txtPulseTime[static_cast<std::size_t>(p)];
        const auto& now = rec_.txtPulseTime[static_cast<std::size_t>(p)];
        if (old != now) ++changed;
        lines << QString("%1: %2 -> %3 ms")
                     .arg(QString::fromStdString(PulseTimeLabel(p)), FromRecord(old),
                          FromRecord(now));
    }
    const QString line =
        "Calibrated" + at +
        (changed == 0
             ? QString(": the pulse limits are as they were")
             : QString(": %1 of the 8 pulse limits changed (old -> new in the tip)").arg(changed));
    Say(line, false,
        line +
            QString("\nMeasured: fast ON %1 ms, fast OFF %2 ms, slow ON %3 ms, slow OFF %4 ms")
                .arg(FromRecord(rec_.txtFastOne), FromRecord(rec_.txtFastZero),
                     FromRecord(rec_.txtSlowOne), FromRecord(rec_.txtSlowZero)) +
            "\nPulse limits (old -> new):\n" + lines.join("\n"));
}

}  // namespace orv::ui
