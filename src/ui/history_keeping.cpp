// The editor's side of the history: New, Clear Form, Open, Read and leaving the program replace
// the configuration without asking, so whatever differs from what was last opened, saved, read or
// started with is kept as a copy first; every Read and Write is kept as the unit's image.
#include "ui/link_controller.h"
#include "ui/main_window.h"

namespace orv::ui {

void MainWindow::TakeBaseline() {
    baselineRecord_ = rec_;
    baselineModuleTypes_ = moduleTypes_;
}

void MainWindow::KeepBeforeReplacing(std::string_view event) {
    if (SameConfiguration(rec_, moduleTypes_, baselineRecord_, baselineModuleTypes_)) return;
    NoteHistoryCopy(history_.KeepRecord(event, FileSubject(CurrentFileName().toStdString()), rec_,
                                        moduleTypes_, image_));
}

void MainWindow::KeepUnitImage(std::string_view event, std::string_view subject,
                               const Image& image) {
    NoteHistoryCopy(history_.KeepImage(event, subject, rec_.txtVer, moduleTypes_, image));
}

void MainWindow::NoteHistoryCopy(const HistoryCopy& copy) {
    // Said once per run: the action goes on regardless, and a full disc or a locked folder would
    // otherwise interrupt every New and every Read.
    if (copy.ok || historyFailureShown_) return;
    historyFailureShown_ = true;
    ShowMessage(QString::fromStdString(copy.error) +
                    "\n\nThe editor goes on without keeping copies of replaced configurations "
                    "until it is started again; save your work to a file to keep it.",
                AppTitle(), MessageKind::kWarning);
}

void MainWindow::BeforeReadReplaces() {
    KeepBeforeReplacing(history_event::kBeforeRead);
    ClearStatusLine();  // how the last Write ended no longer speaks for what the editor shows
}

void MainWindow::UnitImageRead(const UnitContents& unit) {
    // The unit's own report: the editor's version lines and module types may be a file's.
    const HistoryCopy copy =
        history_.KeepImage(history_event::kRead, UnitSubject(unit.versionLines), unit.versionLines,
                           unit.moduleTypes, unit.image);
    unitCopies_.Took(copy.path, link_->LastDevice(), unit.versionLines, unit.image);
    NoteHistoryCopy(copy);
}

void MainWindow::ImageSent(const Image& image, bool readBackFailed) {
    // Named by the file it came from, as orv-cli names it; a Write the read-back did not
    // confirm is not an ordinary "write".
    KeepUnitImage(readBackFailed ? history_event::kWriteUnverified : history_event::kWrite,
                  FileSubject(CurrentFileName().toStdString()), image);
}

void MainWindow::AfterLinkClick(void (UnitSession::*click)()) {
    const ClickOutcome outcome = link_->session()->LastOutcome();
    if (click == &UnitSession::ReadClick && outcome == ClickOutcome::kDone) {
        TakeBaseline();
        StartFreshHistory();
    } else if ((click == &UnitSession::ConnectClick || click == &UnitSession::AutoBaudClick) &&
               connected_) {
        // The unit's version lines and module types are its report, not the user's work: a Read
        // that follows replaces nothing the user changed.
        baselineRecord_.txtVer = rec_.txtVer;
        baselineModuleTypes_ = moduleTypes_;
        // Nor do the unit's version lines make the file's configuration unsaved; its module
        // types, where they differ from the file's, do (a Write would ask about them).
        fileRecord_.txtVer = rec_.txtVer;
        UpdateTitle();
    }
}

}  // namespace orv::ui
