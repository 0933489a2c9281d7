// The line beside the progress bar, which says what the last action did and when, and the window
// title, which names the file and marks what the file does not hold yet.
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include "base/log.h"
#include "model/settings_checks.h"
#include "model/time_steps.h"
#include "ui/link_controller.h"
#include "ui/main_window.h"

namespace orv::ui {
namespace {

// Where the line stands: in the progress bar's place, or below the bar while it shows.
constexpr int kLineLeft = 112;
constexpr int kLineWidth = 682;

const QString kGood = "QLabel { color: rgb(0, 110, 0); }";
const QString kBad = "QLabel { color: rgb(200, 0, 0); }";
const QString kRemark = "QLabel { color: rgb(150, 80, 0); }";

template <class Fields>
int IndexIn(const Fields& fields, const QLineEdit* edit) {
    const auto it = std::find(fields.begin(), fields.end(), edit);
    return it == fields.end() ? -1 : static_cast<int>(it - fields.begin());
}

}  // namespace

void MainWindow::Say(const QString& text, bool bad, const QString& detail) {
    statusText_ = text;
    statusBad_ = bad;
    remark_.clear();
    statusTip_ << (detail.isEmpty() ? text : detail);
    // The activity log keeps every line, the detail's too.
    for (const QString& line : (detail.isEmpty() ? text : detail).split('\n'))
        LogLine("-- " + line.toStdString(), true);
    UpdateStatusLine();
}

void MainWindow::Remark(const QString& text) {
    remark_ = text;
    if (!remarkTimer_) {
        remarkTimer_ = new QTimer(this);
        remarkTimer_->setSingleShot(true);
        connect(remarkTimer_, &QTimer::timeout, this, [this] {
            remark_.clear();
            UpdateStatusLine();
        });
    }
    remarkTimer_->start(6000);
    UpdateStatusLine();
}

void MainWindow::ClearStatusLine() {
    statusText_.clear();
    statusBad_ = false;
    statusTip_.clear();
    remark_.clear();
    UpdateStatusLine();
}

void MainWindow::UpdateStatusLine() {
    QLabel* line = w_.lblUnitCheck;
    const bool bar = !w_.pb100->isHidden();
    // While the bar shows, only what concerns the transfer (a refusal, the pending close) is
    // said, on a row of its own below the bar; otherwise the line takes the bar's place.
    const int y = w_.pb100->y() - 2 + (bar ? kStatusLineBelowBar : 0);
    line->setGeometry(kLineLeft, y, kLineWidth, line->height());
    QString text, style = statusBad_ ? kBad : kGood, tip;
    if (!statusNote_.isEmpty()) {
        text = tip = statusNote_;
        style = kBad;
    } else if (!remark_.isEmpty()) {
        text = tip = remark_;
        style = kRemark;
    } else if (!bar) {
        text = statusText_;
        tip = statusTip_.join("\n");
    }
    // A long file name at the front of a note gives way first, the end of any other line; the
    // tip keeps all of it.
    line->setText(line->fontMetrics().elidedText(
        text, statusNote_.isEmpty() ? Qt::ElideRight : Qt::ElideLeft, line->width()));
    line->setToolTip(tip);
    line->setStyleSheet(style);
    line->setVisible(!text.isEmpty());
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
        case WriteEnd::kVerifyStopped:
            text = "Written, not verified: the read-back was stopped";
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
            text = session.LastOutcome() == ClickOutcome::kStopped
                       ? "Not written: stopped during the backup; the unit is as it was"
                       : "Not written: nothing was sent";
            break;
    }
    // When the Write ended, not when its last message was answered.
    Say(text + " at " + link_->ExchangeEnded().toString("HH:mm:ss"), bad);
}

void MainWindow::SayKeyRefused(QLineEdit* edit, FieldGuard guard, QChar key) {
    const QString shown = key == ' ' ? QString("A space") : QString("'%1'").arg(key);
    QString field, rule;
    switch (guard) {
        case FieldGuard::kIPComponent:
            field = QString("IP address part %1")
                        .arg(IndexIn(w_.Field<&ConfigRecord::txtIP>(), edit) + 1);
            rule = "digits only (0-255)";
            break;
        case FieldGuard::kMACComponent:
            field = QString("MAC address part %1")
                        .arg(IndexIn(w_.Field<&ConfigRecord::txtMAC>(), edit) + 1);
            rule = "hexadecimal digits only (00-FF)";
            break;
        case FieldGuard::kRIC: {
            const int k = IndexIn(w_.Field<&ConfigRecord::txtRlyRIC>(), edit);
            const int slot = k % 8;
            if (k >= 0 && slot == kSlotCloseTMax) {
                field = "TMax";
                rule = "whole seconds";
            } else if (k >= 0 && slot == kSlotToggleRepeatFilter) {
                field = "Repeat Filter";
                rule = "whole seconds";
            } else {
                field = "a RIC";
                rule = "digits only (0-2097151)";
            }
            break;
        }
        case FieldGuard::kPulseTime:
            field = QString::fromStdString(
                PulseTimeLabel(IndexIn(w_.Field<&ConfigRecord::txtPulseTime>(), edit)));
            rule = "whole milliseconds, kept in 10 ms steps";
            break;
        case FieldGuard::kRepeatTime:
            field = QString::fromStdString(
                RepeatTimeLabel(IndexIn(w_.Field<&ConfigRecord::txtRepTime>(), edit)));
            rule = "whole seconds, kept in 10 s steps";
            break;
        case FieldGuard::kRS485Address:
            field = "the RS485 " + w_.lblRS485Address->text().toLower();
            rule = "digits only";
            break;
        case FieldGuard::kMessage:
            if (edit->text().size() >= kMaxMessageLength) {
                Remark(
                    QString("The message is full: %1 characters at most").arg(kMaxMessageLength));
                return;
            }
            Remark(shown + " is not taken in a message: the unit stores printable ASCII only");
            return;
    }
    Remark(QString("%1 is not taken in %2: %3").arg(shown, field, rule));
}

void MainWindow::SayImpossibleSetting(QLineEdit* edit) {
    // Only between two values the leave checks take: a refused one has had its message.
    auto taken = [](FieldGuard guard, const std::string& text) {
        return !LeaveCheck(guard, text).keepFocus;
    };
    std::optional<std::string> problem;
    if (const int p = IndexIn(w_.Field<&ConfigRecord::txtPulseTime>(), edit); p >= 0) {
        const int w = PulseWindowOf(p);
        if (taken(FieldGuard::kPulseTime, rec_.txtPulseTime[static_cast<std::size_t>(2 * w)]) &&
            taken(FieldGuard::kPulseTime, rec_.txtPulseTime[static_cast<std::size_t>(2 * w + 1)]))
            problem = PulseWindowProblem(rec_, w);
    } else if (const int k = IndexIn(w_.Field<&ConfigRecord::txtRlyRIC>(), edit); k >= 0) {
        const std::optional<RelayRange> range = RelayRangeOf(k);
        if (range && moduleTypes_[static_cast<std::size_t>(range->relay / 8)] == kModuleRelay) {
            const auto base = static_cast<std::size_t>(RelayRicIndex(range->relay, 0));
            const auto from = base + static_cast<std::size_t>(range->action);
            if (taken(FieldGuard::kRIC, rec_.txtRlyRIC[from]) &&
                taken(FieldGuard::kRIC, rec_.txtRlyRIC[from + 4]))
                problem = RelayRangeProblem(rec_, range->relay, range->action);
        }
    }
    if (problem) Say(FromMessageText(*problem), true);
}

bool MainWindow::Ask(const QString& text, const QString& yes, const QString& no) {
    if (questionSink_) return questionSink_(AppTitle(), text, yes);
    if (messageSink_) {
        messageSink_(AppTitle(), text, MessageKind::kWarning);
        return false;
    }
    QMessageBox box(this);
    box.setObjectName("msgQuestion");
    box.setWindowTitle(AppTitle());
    box.setText(text);
    box.setIcon(QMessageBox::Warning);
    QPushButton* first = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton* second = box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(second);  // Enter does not write by accident
    box.setEscapeButton(second);
    box.exec();
    return box.clickedButton() == first;
}

// ---- The title.

void MainWindow::TakeFileBaseline() {
    fileRecord_ = rec_;
    fileModuleTypes_ = moduleTypes_;
    UpdateTitle();
}

void MainWindow::ScheduleTitleUpdate() {
    if (!titleTimer_) {
        titleTimer_ = new QTimer(this);
        titleTimer_->setSingleShot(true);
        connect(titleTimer_, &QTimer::timeout, this, [this] { UpdateTitle(); });
    }
    // Comparing configurations builds both: once a pause in typing is enough.
    if (!titleTimer_->isActive()) titleTimer_->start(150);
}

QString MainWindow::DisplayedTitle() const {
    const QString name = CurrentFileName();
    if (name.isEmpty() && !isWindowModified()) return windowTitle();
    return (name.isEmpty() ? QString("Untitled") : name) + (isWindowModified() ? "*" : "") + " - " +
           windowTitle();
}

void MainWindow::UpdateTitle() {
    // The worker of a running exchange reads the record; the title catches up when it ends.
    if (exchanging_) return;
    setAttribute(Qt::WA_WindowModified,
                 !SameConfiguration(rec_, moduleTypes_, fileRecord_, fileModuleTypes_));
    const QString name = CurrentFileName();
    setWindowFilePath(name.isEmpty() ? QString() : storedPath_ + name);
    // The caption stays the program's own (files record it as the saving program); the title bar
    // shows the file and the marker in front of it.
    if (QWindow* window = windowHandle()) window->setTitle(DisplayedTitle());
}

}  // namespace orv::ui
