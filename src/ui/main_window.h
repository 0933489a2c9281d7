// frmMain: the configuration editor. It owns the one configuration record, the module types of
// the four banks and the EEPROM image; its controls are views of the record. Whatever changes the
// record (defaults, opening a file, reading the unit, a build's normalisation) is followed by
// RefreshFields.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <bitset>
#include <functional>
#include <memory>

#include "files/history.h"
#include "files/unit_copies.h"
#include "image/image.h"
#include "link/unit_session.h"
#include "model/field_ref.h"
#include "model/record.h"
#include "print/sheet.h"
#include "ui/dialogs.h"
#include "ui/load_progress.h"
#include "ui/pages.h"
#include "ui/qt_text.h"
#include "ui/status_view.h"
#include "ui/widgets.h"
#include "validate/validate.h"

class QAction;
class QLineEdit;
class QMenu;
class QTimer;

namespace orv::ui {

class ChannelTable;
class LinkController;
class RecordEdits;

class MainWindow : public QMainWindow, public StatusView {
    Q_OBJECT
  public:
    // When the controls of the four banks' channel and relay pages are made: with everything
    // else, or once the window shows (the program's own start: they are most of its controls,
    // and the window can be seen without them; the bank pages are not the first shown).
    enum class BankControls { kWithTheWindow, kOnceShown };

    // Runs the whole load: every page and list, the settings store, then the defaults.
    explicit MainWindow(LoadProgress* progress = nullptr, QWidget* parent = nullptr,
                        BankControls bankControls = BankControls::kWithTheWindow);
    ~MainWindow() override;

    ConfigRecord& record() { return rec_; }
    ModuleTypes& moduleTypes() { return moduleTypes_; }
    Image& image() { return image_; }
    const Widgets& widgets() const { return w_; }
    // Makes the bank pages' controls now if they are still to come (BankControls::kOnceShown),
    // bound and showing the record. Until then the record holds their values alone.
    void MakeBankControls();
    bool BankControlsMade() const { return bankControlsMade_; }

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
    // A question with two answers; true for the first (a QMessageBox unless diverted; with only a
    // message sink set, the question is recorded there and answered with the second).
    using QuestionSink =
        std::function<bool(const QString& title, const QString& text, const QString& yes)>;
    void setQuestionSink(QuestionSink sink) { questionSink_ = std::move(sink); }
    bool Ask(const QString& text, const QString& yes, const QString& no);

    // The line beside the progress bar: what the last action did and when. The tip lists every
    // line said since it was last cleared (Connect, Disconnect, Open, New, Clear Form and Read
    // clear it); each line also goes to the activity log. detail, when given, goes into the tip
    // in the line's place (a line too long for the window).
    void Say(const QString& text, bool bad = false, const QString& detail = QString());
    // A passing remark (a key a field does not take), on the line until the next one or a few
    // seconds; not logged.
    void Remark(const QString& text);
    // Whether what the window shows differs from the current file (or, without one, from what the
    // editor started with or was last cleared to): the title's marker.
    bool UnsavedChanges() const { return isWindowModified(); }
    // The title the window manager shows: the file's name and the marker before the caption.
    QString DisplayedTitle() const;

    // What the link shows (StatusView).
    void ShowBusy(bool busy) override;
    void ShowTransferProgress(const TransferProgress& progress) override;
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
    // The one undo stack over the record, and the Channel Table window once opened.
    RecordEdits* edits() const { return edits_; }
    ChannelTable* channelTable() const { return table_; }

  public slots:
    void MenuFileNew();
    void MenuFileOpen();
    void MenuFileSave();
    void MenuFileSaveAs();
    void MenuFilePrint();
    void MenuFileExportPdf();
    void Clear();
    void MenuFileExit();
    void MenuUnitCompare();
    void MenuUnitHistory();
    void MenuUnitPortMapping();
    void MenuEditChannelTable();
    void MenuEditFindReplace();
    void MenuFileImportTable();
    void MenuFileExportTable();

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildMenu();
    void BuildUnitMenu();
    // The Edit menu and the record's undo stack (edit_menu.cpp).
    void BuildEditMenu();
    void AddChannelTableFileItems(QMenu* file);
    // Text edits become undo steps when committed; Ctrl+Z in a field with nothing typed is the
    // window's Undo.
    void BindEditCommits(const std::bitset<kRecordFieldCount>& fields);
    // The controls of these elements from the record.
    void ShowFields(const std::vector<FieldRef>& refs);
    // A new configuration replaced the record: its undo history starts afresh.
    void StartFreshHistory();
    // Views that read the record stop reading it while an exchange's worker uses it.
    void ExchangeStarting();
    void ExchangeEnded();
    // The table follows the record's module types and values.
    void ChannelTableFollows();
    // Print and Export PDF, after Save As (print_menu.cpp).
    void BuildPrintMenu(QMenu* file);
    print::SheetContent CommissioningSheet();
    WriteChecks CurrentWriteChecks() const;
    // Runs a link click; afterwards the status line drops what it said while the click ran, and
    // a session end or a close that came meanwhile is seen to.
    bool RunLink(void (UnitSession::*click)());
    // While a click runs every control that would do nothing looks disabled; the Cancel button
    // stops what may be stopped.
    void BeginExchange(void (UnitSession::*click)());
    void EndExchange();
    void CancelTransfer();
    // A close that came while a click ran: the click runs to its end (a Read or check stops at
    // the next block), then the window closes.
    void CloseWhenExchangeEnds();
    // Before a Write: where the editor's module types differ from those the unit reported, asks
    // whether to write anyway.
    bool ConfirmWriteOverModuleTypes();
    // What a finished click did, on the status line.
    void SayClickOutcome(void (UnitSession::*click)(), bool wasConnected);
    void SayCalibration(const ConfigRecord& before);
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
    // A pulse window or relay range the field belongs to that cannot work as set, on leaving it.
    void SayImpossibleSetting(QLineEdit* edit);
    // The key a field's filter refused, in words.
    void SayKeyRefused(QLineEdit* edit, FieldGuard guard, QChar key);
    // The title and its unsaved-changes marker, soon after the record changed.
    void ScheduleTitleUpdate();
    void UpdateTitle();
    // What the current file holds (or, without one, what New or the start gave): the reference
    // for the title's marker. Taken on Open, Save, New, Clear Form and at start; not on Read.
    void TakeFileBaseline();
    // The current file's name as the file system spells it ("" without a file).
    QString CurrentFileName() const;
    // The same line after Connect or Auto Baud: which banks the unit's module types changed.
    void ShowModuleTypeChanges();
    // A list of differences in a dialog of its own (the recorded messages in tests).
    void ShowDifferences(const QString& title, const QString& heading,
                         const std::vector<std::string>& lines, const QString& footnote);
    void OpenWithDialog(const QString& folder, const QString& fileName, bool newestFirst);
    // Each control of these fields into the record and the undo stack, with its key filter
    // and leave check.
    void BindFields(const std::bitset<kRecordFieldCount>& fields);
    // What a control does beyond the record (module types, the RS485 label, the COM port).
    void BindSideEffects();
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
    bool bankControlsMade_ = false;
    bool bankControlsComing_ = false;             // asked for after the first paint
    std::bitset<kRecordFieldCount> boundFields_;  // the fields whose controls are bound
    // The last control made before the bank controls: they follow it in the Tab order.
    QWidget* beforeBankControls_ = nullptr;
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
    QString statusText_;  // what the last action did
    bool statusBad_ = false;
    QStringList statusTip_;  // every line said since the line was last cleared
    QString statusNote_;     // what was refused while the running exchange runs
    QString remark_;         // a passing remark, for a few seconds
    QTimer* remarkTimer_ = nullptr;
    QuestionSink questionSink_;
    bool closePending_ = false;
    bool exchanging_ = false;                  // a click runs: no leave check, no title update
    QHash<QAction*, bool> savedActionStates_;  // the menu entries as they were before the click
    bool holdingActions_ = false;              // disabling an entry that was set meanwhile
    QWidget* exchangeButton_ = nullptr;        // had the focus when the click began
    ConfigRecord fileRecord_;
    ModuleTypes fileModuleTypes_{};
    QTimer* titleTimer_ = nullptr;
    RecordEdits* edits_ = nullptr;
    ChannelTable* table_ = nullptr;
};

}  // namespace orv::ui
