// Key filters and leave checks bound to the guarded text fields of the main window.
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "model/identity.h"
#include "model/lists.h"
#include "model/message_text.h"
#include "model/time_steps.h"
#include "ui/main_window.h"

namespace orv::ui {
namespace {

// Editing commands are not typed characters: cut, copy, paste, undo and select-all work in every
// field (text that is not a number reaches a field only by pasting, and its leave check answers
// for it).
bool IsEditingCommand(QKeyEvent* e) {
    return e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Copy) ||
           e->matches(QKeySequence::Paste) || e->matches(QKeySequence::SelectAll) ||
           e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo);
}

}  // namespace

void MainWindow::Guard(QLineEdit* edit, FieldGuard guard) {
    guards_.insert(edit, guard);
    edit->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // A text field would take a dropped file as text; a configuration file opens instead.
    if (guards_.contains(watched) && TakeFileDrag(event)) return true;
    if (type == QEvent::KeyPress || type == QEvent::FocusOut) {
        const auto it = guards_.constFind(watched);
        if (it != guards_.constEnd()) {
            auto* edit = static_cast<QLineEdit*>(watched);
            if (type == QEvent::KeyPress)
                return FilterKeyPress(edit, it.value(), static_cast<QKeyEvent*>(event));
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            // Leaving the field means moving to another control; switching to another window,
            // opening a menu or a context menu is not leaving it. While an exchange runs the
            // worker reads the record: the focus goes to Cancel, and nothing is checked.
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
                reason != Qt::MenuBarFocusReason && checking_ != edit && !exchanging_)
                RunLeaveCheck(edit, it.value());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::FilterKeyPress(QLineEdit* edit, FieldGuard guard, QKeyEvent* event) {
    if (IsEditingCommand(event)) return false;
    const QString text = event->text();
    if (text.size() != 1) return false;  // navigation and function keys carry no character
    const QChar ch = text.at(0);
    const int code = ch.unicode();
    // Delete and the other non-character keys some platforms report as control codes are not
    // typed characters; Backspace, Enter and printable characters are.
    if (code == 0x7F ||
        (code < 0x20 && code != kKeyBackspace && code != '\r' && code != '\n' && code != 0x1B))
        return false;
    if (code == 0x1B) return false;  // Escape
    const int result = code > 0xFF
                           ? kKeyRefused
                           : FilterKey(guard, code, static_cast<std::size_t>(edit->text().size()));
    if (result == kKeyRefused) {
        // Swallowed, but not in silence: "2.5" must not become "25" without a word. Enter and
        // Backspace are no typed characters.
        if (code >= 0x20) SayKeyRefused(edit, guard, ch);
        return true;
    }
    if (result == code) return false;  // passes unchanged
    // The filter changed the character (upper case): insert the changed one instead.
    edit->insert(QString(QChar(result)));
    return true;
}

void MainWindow::RunLeaveCheck(QLineEdit* edit, FieldGuard guard) {
    if (guard == FieldGuard::kMessage) {
        CheckMessage(edit);
        return;
    }
    const LeaveResult r = LeaveCheck(guard, ToRecord(edit->text()));
    checking_ = edit;
    if (r.message) {
        ShowMessage(FromRecord(*r.message), AppTitle(), MessageKind::kPlain);
    }
    const QString newText = FromRecord(r.newText);
    if (edit->text() != newText) edit->setText(newText);
    if (r.roundedFrom) ShowTimeRounding(edit, guard, r);
    // A window or range this field makes impossible is named, never refused: the other end may
    // be the next field the user changes.
    if (!r.keepFocus) SayImpossibleSetting(edit);
    if (r.keepFocus) {
        if (r.message) edit->window()->activateWindow();  // back from the message box
        edit->setFocus(Qt::OtherFocusReason);
    }
    checking_ = nullptr;
}

// A pasted message may hold what the unit cannot store, or more than it takes: the field takes
// what the unit will hold, the user is told what changed, and the focus moves on.
void MainWindow::CheckMessage(QLineEdit* edit) {
    const UnitMessage m = MessageForUnit(edit->text().toUtf8().toStdString());
    if (!m.changed()) return;
    checking_ = edit;
    const QString stored = FromRecord(m.text);
    edit->setText(stored);
    const auto& fields = w_.Field<&ConfigRecord::txtMsg>();
    const auto i = static_cast<int>(std::find(fields.begin(), fields.end(), edit) - fields.begin());
    ShowMessage(QString("The message of Bank %1, channel %2, %3 now reads\n\n%4\n\n%5")
                    .arg(BankOf(i) + 1)
                    .arg(ChannelOf(i) + 1)
                    .arg(FromRecord(kStateNames[static_cast<std::size_t>(StateOf(i))]))
                    .arg(stored, QString::fromStdString(DescribeMessageChanges(m))),
                AppTitle(), MessageKind::kWarning);
    checking_ = nullptr;
}

void MainWindow::ShowTimeRounding(QLineEdit* edit, FieldGuard guard, const LeaveResult& r) {
    const bool pulse = guard == FieldGuard::kPulseTime;
    auto indexIn = [edit](const auto& fields) {
        return static_cast<int>(std::find(fields.begin(), fields.end(), edit) - fields.begin());
    };
    const int index = pulse ? indexIn(w_.Field<&ConfigRecord::txtPulseTime>())
                            : indexIn(w_.Field<&ConfigRecord::txtRepTime>());
    const std::string note = TimeRoundingNote(
        pulse ? PulseTimeLabel(index) : RepeatTimeLabel(index), r.roundedFrom.value_or(""),
        std::stoll(r.newText), pulse ? kPulseTimeUnit : kRepeatTimeUnit);
    // On the line beside the progress bar; several in a row are all in its tip and the log.
    Say(QString::fromStdString(note));
}

void MainWindow::FinishFieldEditing() {
    // Saving or comparing from the keyboard or the menu leaves the focus where it is: the message
    // being edited is checked as if it had been left, and a time being edited shows the step the
    // unit keeps (a value the check would refuse is the build's to report, without a box here).
    auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    const auto it = guards_.constFind(edit);
    if (it == guards_.constEnd()) return;
    if (it.value() == FieldGuard::kMessage) {
        CheckMessage(edit);
    } else if (it.value() == FieldGuard::kPulseTime || it.value() == FieldGuard::kRepeatTime) {
        const LeaveResult r = LeaveCheck(it.value(), ToRecord(edit->text()));
        if (r.keepFocus || !r.roundedFrom) return;
        edit->setText(FromRecord(r.newText));
        ShowTimeRounding(edit, it.value(), r);
    }
}

}  // namespace orv::ui
