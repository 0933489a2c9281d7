// The File menu: New, Open, Save, Save As, Clear Form (Exit closes the window), and a .ORV file
// dropped on the window.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QStandardPaths>
#include <QTime>
#include <QTimer>

#include "files/config_file.h"
#include "model/identity.h"
#include "ui/main_window.h"

namespace orv::ui {
namespace {

QString DialogFilter() {
    const QStringList parts = FromRecord(kConfigFileFilter).split('|');
    QStringList filters;
    for (int k = 0; k + 1 < parts.size(); k += 2) filters << parts[k];
    return filters.join(";;");
}

// The one configuration file a drag carries: a single local file named *.ORV (any case).
std::optional<QString> DraggedConfigFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return std::nullopt;
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile()) return std::nullopt;
    const QString path = url.toLocalFile();
    if (!path.endsWith(".ORV", Qt::CaseInsensitive)) return std::nullopt;
    return path;
}

}  // namespace

void MainWindow::MenuFileNew() {
    if (RefuseWhileExchanging("File > New not done", "Choose it")) return;
    KeepBeforeReplacing(history_event::kBeforeNew);
    SetDefaults();
    // A new configuration is a fresh start: leaving it untouched loses nothing.
    TakeBaseline();
    TakeFileBaseline();
    StartFreshHistory();
    ClearStatusLine();
    Say("New configuration at " + QTime::currentTime().toString("HH:mm:ss"));
}

void MainWindow::Clear() {
    if (RefuseWhileExchanging("File > Clear Form not done", "Choose it")) return;
    KeepBeforeReplacing(history_event::kBeforeClear);
    SetDefaults();
    TakeBaseline();
    TakeFileBaseline();
    StartFreshHistory();
    ClearStatusLine();
    Say("Form cleared at " + QTime::currentTime().toString("HH:mm:ss"));
}

QString MainWindow::DialogFolder() const {
    // An installed editor starts in its own folder, which users cannot write to.
    const QFileInfo stored(storedPath_);
    if (!storedPath_.isEmpty() && stored.isDir() && stored.isWritable()) return storedPath_;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void MainWindow::MenuFileOpen() {
    if (RefuseWhileExchanging("File > Open not done", "Choose it")) return;
    OpenWithDialog(DialogFolder(), storedFileName_, false);
}

void MainWindow::MenuUnitHistory() {
    if (RefuseWhileExchanging("Open History not done", "Choose it")) return;
    const QString folder = QString::fromStdString(history_.folder());
    QDir().mkpath(folder);  // the dialog would start elsewhere before the first copy
    // Newest first, as orv-cli history lists them: the copy wanted is usually a recent one.
    OpenWithDialog(folder, QString(), true);
}

void MainWindow::OpenWithDialog(const QString& folder, const QString& fileName, bool newestFirst) {
    const FileDialogRequest request{FromRecord(kOpenDialogTitle),
                                    DialogFilter(),
                                    folder,
                                    fileName,
                                    QString::fromStdString(history_.folder()),
                                    newestFirst};
    const std::optional<QString> chosen = dialogs_->GetOpenFileName(this, request);
    if (!chosen || chosen->isEmpty()) return;
    OpenFile(*chosen);
}

void MainWindow::OpenFile(const QString& chosen) {
    if (RefuseWhileExchanging(QFileInfo(chosen).fileName() + " not opened", "Open it")) return;
    // The file is read and checked completely before anything changes: a bad file leaves the
    // editor, the module types and the current file name exactly as they were.
    // A dropped file and one named on the command line come with '/': the folder kept for the
    // dialogs is written as the system writes it, as the dialogs give it.
    const std::string path = QDir::toNativeSeparators(chosen).toStdString();
    ConfigRecord rec = rec_;
    ModuleTypes moduleTypes = moduleTypes_;
    Image image = image_;
    const ReadConfigResult r = ReadConfigFile(path, rec, moduleTypes, image);
    if (!r.ok) {
        ShowMessage(QString("The configuration file could not be opened.\n\n%1\n\nThe editor "
                            "still holds the configuration it held before.")
                        .arg(FromMessageText(r.error)),
                    AppTitle(), MessageKind::kWarning);
        return;
    }
    KeepBeforeReplacing(history_event::kBeforeOpen);
    rec_ = std::move(rec);
    moduleTypes_ = moduleTypes;
    image_ = image;
    // A copy taken back from the history is untitled: Save must not write into the history,
    // where the copy would be overwritten and, in time, deleted with the old copies.
    const QString historyFolder =
        QFileInfo(QString::fromStdString(history_.folder())).canonicalFilePath();
    if (!historyFolder.isEmpty() && QFileInfo(chosen).canonicalPath() == historyFolder) {
        rec_.txtFileName.clear();
    } else {
        const FilePathParts parts = SplitFilePath(path);
        storedFileName_ = QString::fromStdString(parts.name);
        storedPath_ = QString::fromStdString(parts.directory);
        rec_.txtFileName = ToRecord(storedFileName_);
    }
    RefreshFields();  // also applies the module-type rules
    ShowSize(r.decode.size);
    TakeBaseline();
    TakeFileBaseline();
    StartFreshHistory();
    ClearStatusLine();
    Say(QString("Opened %1 at %2")
            .arg(QFileInfo(chosen).fileName(), QTime::currentTime().toString("HH:mm:ss")));
    // The result already holds the decode's warnings, each once.
    if (!r.warnings.empty())
        ReportFileProblems(
            QString("%1 was opened, but some of its values need attention:").arg(chosen),
            r.warnings);
}

void MainWindow::MenuFileSave() {
    if (RefuseWhileExchanging("Not saved", "Save")) return;
    FinishFieldEditing();
    if (rec_.txtFileName.empty()) {
        MenuFileSaveAs();
        return;
    }
    SaveTo(storedPath_ + storedFileName_, false);
}

void MainWindow::MenuFileSaveAs() {
    if (RefuseWhileExchanging("Not saved", "Choose File > Save As")) return;
    FinishFieldEditing();
    const FileDialogRequest request{
        FromRecord(kSaveDialogTitle), DialogFilter(), DialogFolder(), storedFileName_, {}};
    const std::optional<QString> chosen = dialogs_->GetSaveFileName(this, request);
    if (!chosen || chosen->isEmpty()) return;
    const QFileInfo info(*chosen);
    if (info.exists() && !info.isWritable()) {
        ShowMessage(QString("%1 is read-only, so the configuration was not saved.\n\nChoose "
                            "another file name, or make the file writable and save again.")
                        .arg(*chosen),
                    AppTitle(), MessageKind::kWarning);
        return;
    }
    SaveTo(*chosen, true);
}

void MainWindow::SaveTo(const QString& fullPath, bool adoptName) {
    // Saving over a file that holds another configuration keeps the old one first, without a
    // question: Save after a Read would otherwise lose the file's configuration for good.
    const std::string subject = FileSubject(SplitFilePath(fullPath.toStdString()).name);
    HistoryCopy kept;
    const WriteConfigResult r = WriteConfigFile(
        fullPath.toStdString(), rec_, moduleTypes_, image_, ToRecord(windowTitle()),
        [this, &subject, &kept](std::string_view oldBytes, std::string_view newBytes) {
            kept = history_.KeepBeforeSave(subject, oldBytes, newBytes);
            NoteHistoryCopy(kept);
        });
    RefreshFields();  // the build normalises messages and chooses a new dictionary
    if (!r.ok) {
        // The file still holds what the copy holds: a copy of it would only stand for a save
        // that never happened.
        if (kept.ok && !kept.path.empty()) QFile::remove(QString::fromStdString(kept.path));
        Say(QString("Not saved at %1").arg(QTime::currentTime().toString("HH:mm:ss")), true);
        ShowMessage(QString("The configuration was not saved.\n\n%1").arg(FromMessageText(r.error)),
                    AppTitle(), MessageKind::kWarning);
        return;
    }
    if (adoptName) {
        const FilePathParts parts = SplitFilePath(fullPath.toStdString());
        storedFileName_ = QString::fromStdString(parts.name);
        storedPath_ = QString::fromStdString(parts.directory);
        rec_.txtFileName = ToRecord(storedFileName_);
        w_.Field<&ConfigRecord::txtFileName>()->setText(storedFileName_);
    }
    TakeBaseline();
    TakeFileBaseline();
    Say(QString("Saved %1 at %2")
            .arg(QFileInfo(fullPath).fileName(), QTime::currentTime().toString("HH:mm:ss")));
    if (!r.warnings.empty())
        ReportFileProblems(QString("%1 was saved; please note:").arg(fullPath), r.warnings);
}

void MainWindow::ReportFileProblems(const QString& heading,
                                    const std::vector<std::string>& warnings) {
    ShowMessage(WithList(heading, warnings), AppTitle(), MessageKind::kWarning);
}

bool MainWindow::TakeFileDrag(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    auto* drag = static_cast<QDropEvent*>(event);  // the enter and move events derive from it
    const std::optional<QString> path = DraggedConfigFile(drag->mimeData());
    if (!path) return false;
    drag->acceptProposedAction();
    // Opened once the drag has ended: the file manager should not wait on a message box.
    if (type == QEvent::Drop) QTimer::singleShot(0, this, [this, file = *path] { OpenFile(file); });
    return true;
}

void MainWindow::SayInputRefused(QEvent* event) {
    const std::optional<QString> path =
        DraggedConfigFile(static_cast<QDropEvent*>(event)->mimeData());
    RefuseWhileExchanging(path ? QFileInfo(*path).fileName() + " not opened" : "Drop refused",
                          "Drop it");
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!TakeFileDrag(event)) event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (!TakeFileDrag(event)) event->ignore();
}

}  // namespace orv::ui
