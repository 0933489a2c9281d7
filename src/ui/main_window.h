// frmMain: the configuration editor. It owns the one configuration record, the module types of
// the four banks and the EEPROM image; its controls are views of the record. Whatever changes the
// record (defaults, opening a file, reading the unit, a build's normalisation) is followed by
// RefreshFields.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <functional>
#include <memory>

#include "files/history.h"
#include "files/unit_copies.h"
#include "image/image.h"
#include "link/unit_session.h"
#include "model/record.h"
#include "ui/dialogs.h"
#include "ui/load_progress.h"
#include "ui/pages.h"
#include "ui/qt_text.h"
#include "ui/status_view.h"
#include "ui/widgets.h"
#include "validate/validate.h"

class QAction;
class QLineEdit;
class QTimer;

namespace orv::ui {

class LinkController;

class MainWindow : public QMainWindow, public StatusView {
    Q_OBJECT
  public:
    // Runs the whole load: every page and list, the settings store, then the defaults.
    explicit MainWindow(LoadProgress* progress = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    ConfigRecord& record() { return rec_; }
    ModuleTypes& moduleTypes() { return moduleTypes_; }
    Image& image() { return image_; }
    const Widgets& widgets() const { return w_; }

    // Every control from the record, then the bank arrangement and the RS485 label.
    void RefreshFields() override;
    // Arranges the four bank pages for ModuleType(0..3).
    void ApplyModuleTypes() override;
    // The default configuration into the record and the controls.
    void SetDefaults();
    // The image size report into pbSize and lblSize, with a warning when it does not fit.
    void ReportImageSize();

    QString storedPath() const { return storedPath_; }
    QString storedFileName() const { return storedFileName_; }
    // Loads a configuration file exactly as File > Open does once its dialog has answered (a
    // dropped file and the file named on the command line take this way too). Refused, with a
    // word on the status line, while an exchange with the unit runs.
    void OpenFile(const QString& path);
    // The desktop session is ending and may not close the window first: keeps what would be lost
    // now, or, while an exchange uses the record, as soon as it has ended.
    void SessionEnding();
    const History& history() const { return history_; }

    void setFileDialogProvider(std::unique_ptr<FileDialogProvider> provider);
    LinkController* link() const { return link_.get(); }

    // Where messages go: a modal QMessageBox unless diverted (tests record them instead).
    using MessageSink =
        std::function<void(const QString& title, const QString& text, MessageKind kind)>;
    void setMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }
    void ShowMessage(const QString& text, const QString& title, MessageKind kind) override;

    // What the link shows (StatusView).
    void ShowBusy(bool busy) override;
    void ShowTransferProgress(int percent, bool visible) override;
    void ShowSize(const SizeReport& size) override;
    void ShowPcBaudRate(int position) override;
    void SetConnectedState() override;
    void SetDisconnectedState() override;
    void BeforeReadReplaces() override;
    void UnitImageRead(const UnitContents& unit) override;
    void ImageSent(const Image& image, bool readBackFailed) override;
    std::string KeepUnitBackup(const UnitContents& unit) override;
    UnitCopyHint LastUnitCopy(const WrittenUnit& unit) override;
    bool IsConnected() const { return connected_; }
    QTimer* connectTimer() const { return tmrConnect_; }

    QAction* action(const char* name) const;

  public slots:
    void MenuFileNew();
    void MenuFileOpen();
    void MenuFileSave();
    void MenuFileSaveAs();
    void Clear();
    void MenuFileExit();
    void MenuUnitCompare();
    void MenuUnitHistory();
    void MenuUnitPortMapping();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildMenu();
    void BuildUnitMenu();
    WriteChecks CurrentWriteChecks() const;
    // Runs a link click; afterwards the status line drops what it said while the click ran, and
    // a session end that came meanwhile is seen to.
    bool RunLink(void (UnitSession::*click)());
    // True while an exchange with the unit runs, which the user's action must not disturb: the
    // status line then says "<refused>: <exchange> in progress. <retry> again when it has ended."
    bool RefuseWhileExchanging(const QString& refused, const QString& retry);
    // Something dragged onto the window, or a close, refused while an exchange ran.
    void SayInputRefused(QEvent* event);
    // The line beside the progress bar: how the last Write ended (with the time the Write
    // ended), or, while an exchange runs, what was refused meanwhile.
    void ShowWriteEnd();
    void ClearStatusLine();
    void UpdateStatusLine();
    // The current file's name as the file system spells it ("" without a file).
    QString CurrentFileName() const;
    // The same line after Connect or Auto Baud: which banks the unit's module types changed.
    void ShowModuleTypeChanges();
    // A list of differences in a dialog of its own (the recorded messages in tests).
    void ShowDifferences(const QString& title, const QString& heading,
                         const std::vector<std::string>& lines, const QString& footnote);
    void OpenWithDialog(const QString& folder, const QString& fileName, bool newestFirst);
    void BindFields();
    void ConnectLinkButtons();
    void Guard(QLineEdit* edit, FieldGuard guard);
    bool FilterKeyPress(QLineEdit* edit, FieldGuard guard, QKeyEvent* event);
    void RunLeaveCheck(QLineEdit* edit, FieldGuard guard);
    void CheckMessage(QLineEdit* edit);
    // A time field now showing the step the unit keeps: said on the line beside the progress bar.
    void ShowTimeRounding(QLineEdit* edit, FieldGuard guard, const LeaveResult& r);
    void FinishFieldEditing();
    void UpdateRS485Label();
    void ShowLinkState(bool connected);
    void SaveTo(const QString& fullPath, bool adoptName);
    void ReportFileProblems(const QString& heading, const std::vector<std::string>& warnings);
    QString DialogFolder() const;
    // A drag of one .ORV file, wherever it enters the window: accepted, and opened on the drop.
    bool TakeFileDrag(QEvent* event);
    void AfterLinkClick(void (UnitSession::*click)());
    // The history: what was last opened, saved, read or started with, and copies of what would
    // otherwise be lost.
    void TakeBaseline();
    void KeepBeforeReplacing(std::string_view event);
    void KeepUnitImage(std::string_view event, std::string_view subject, const Image& image);
    void NoteHistoryCopy(const HistoryCopy& copy);
    void BuildComDeviceChoices();
    void ShowComDevice();
    void MapComDevice();
    void Unload();

    ConfigRecord rec_;
    ModuleTypes moduleTypes_{};
    Image image_{};
    Widgets w_;
    ListModels models_;
    QString storedPath_;
    QString storedFileName_;
    bool refreshing_ = false;
    bool connected_ = false;
    bool unloaded_ = false;
    QTimer* tmrConnect_ = nullptr;
    QHash<QObject*, FieldGuard> guards_;
    QLineEdit* checking_ = nullptr;  // the field whose leave check is running
    std::unique_ptr<FileDialogProvider> dialogs_;
    std::unique_ptr<LinkController> link_;
    MessageSink messageSink_;
    History history_;
    UnitCopies unitCopies_;  // which history copies are of which unit
    ConfigRecord baselineRecord_;
    ModuleTypes baselineModuleTypes_{};
    bool historyFailureShown_ = false;
    bool sessionEndPending_ = false;
    QString statusText_;  // how the last Write ended
    bool statusBad_ = false;
    QString statusNote_;  // what was refused while the running exchange runs
};

}  // namespace orv::ui
