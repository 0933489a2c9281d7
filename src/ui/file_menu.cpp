// The File menu: New, Open, Save, Save As, Clear Form (Exit closes the window).
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

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

}  // namespace

void MainWindow::MenuFileNew() {
    SetDefaults();
}

void MainWindow::Clear() {
    SetDefaults();
}

void MainWindow::MenuFileOpen() {
    const FileDialogRequest request{FromRecord(kOpenDialogTitle), DialogFilter(), storedPath_,
                                    storedFileName_};
    const std::optional<QString> chosen = dialogs_->GetOpenFileName(this, request);
    if (!chosen || chosen->isEmpty()) return;

    // The file is read and checked completely before anything changes: a bad file leaves the
    // editor, the module types and the current file name exactly as they were.
    const std::string path = chosen->toStdString();
    const ReadConfigResult r = ReadConfigFile(path, rec_, moduleTypes_, image_);
    if (!r.ok) {
        ShowMessage(QString("The configuration file could not be opened.\n\n%1\n\nThe editor "
                            "still holds the configuration it held before.")
                        .arg(FromMessageText(r.error)),
                    AppTitle(), MessageKind::kWarning);
        return;
    }
    const FilePathParts parts = SplitFilePath(path);
    storedFileName_ = QString::fromStdString(parts.name);
    storedPath_ = QString::fromStdString(parts.directory);
    rec_.txtFileName = ToRecord(storedFileName_);
    RefreshFields();  // also applies the module-type rules
    ShowSize(r.decode.size);
    std::vector<std::string> notes = r.warnings;
    notes.insert(notes.end(), r.decode.warnings.begin(), r.decode.warnings.end());
    if (!notes.empty())
        ReportFileProblems(
            QString("%1 was opened, but some of its values need attention:").arg(*chosen), notes);
}

void MainWindow::MenuFileSave() {
    FinishMessageEditing();
    if (rec_.txtFileName.empty()) {
        MenuFileSaveAs();
        return;
    }
    SaveTo(storedPath_ + storedFileName_, false);
}

void MainWindow::MenuFileSaveAs() {
    FinishMessageEditing();
    const FileDialogRequest request{FromRecord(kSaveDialogTitle), DialogFilter(), storedPath_,
                                    storedFileName_};
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
    const WriteConfigResult r = WriteConfigFile(fullPath.toStdString(), rec_, moduleTypes_, image_,
                                                ToRecord(windowTitle()));
    RefreshFields();  // the build normalises messages and chooses a new dictionary
    if (!r.ok) {
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
    if (!r.warnings.empty())
        ReportFileProblems(QString("%1 was saved; please note:").arg(fullPath), r.warnings);
}

void MainWindow::ReportFileProblems(const QString& heading,
                                    const std::vector<std::string>& warnings) {
    ShowMessage(WithList(heading, warnings), AppTitle(), MessageKind::kWarning);
}

}  // namespace orv::ui
