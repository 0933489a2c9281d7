// The link behind the main window's buttons. Each click runs the unit session on a worker thread
// while the window takes no input but keeps painting; whatever the exchange shows (messages, BUSY,
// the progress bar, new field values) goes to the window's status view on the window's thread, and
// the worker waits until it has been shown (a message until its OK).
#pragma once

#include <QDateTime>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "link/comms.h"
#include "link/link_ui.h"
#include "link/unit_session.h"
#include "ui/status_view.h"

class QWidget;

namespace orv::ui {

class StatusView;

class LinkController : public QObject, public LinkUi {
    Q_OBJECT
  public:
    // window takes no input while a click runs; view shows what the exchanges report.
    LinkController(QWidget& window, StatusView& view, ConfigRecord& rec, ModuleTypes& moduleTypes,
                   Image& image);
    ~LinkController() override;

    // A click of one of the link buttons; returns when its exchange has ended, false when another
    // click was still running and this one did not run.
    bool Run(void (UnitSession::*click)());
    // The connection timer's check, in the background with the port choices as they are now;
    // skipped while a click runs.
    void Tick();

    void setSerialPort(std::unique_ptr<SerialPort> port);
    void setLookup(ComPortLookup lookup);
    UnitSession* session() const { return session_.get(); }
    // True while a click or a timer check talks to the unit.
    bool Busy() const { return clickRunning_ || tickRunning_; }
    // True while a click runs: its worker uses the record, the module types and the image, so
    // nothing else may change or read them until it has ended.
    bool ExchangeRunning() const { return clickRunning_; }
    // The click running now, or the last one.
    void (UnitSession::*RunningClick() const)() { return click_; }
    // When the last click's exchange with the unit ended: its last byte or wait on the line (a
    // message box it then showed does not count), or when it started if it never used the line.
    QDateTime ExchangeEnded() const;
    // Waits for a running timer check; used before the window closes.
    void Shutdown();
    // The device the running or last click opened (read by the window while the click's worker
    // waits for it).
    std::string LastDevice() const { return comms_ ? comms_->LastDevice() : std::string(); }

    // Asks the running click to stop: a Read, Compare, the backup before a Write or the read-back
    // after it ends at the next block; a Write itself runs to its end. On the window's thread.
    void RequestStop();
    // Whether the step running now would stop at the next block if asked (the Cancel button).
    bool StepCanStop() const;

    // LinkUi, called from the thread running the exchange.
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    void SetBusy(bool busy) override;
    void SetProgress(int value, bool visible) override;
    void BeginPhase(const std::string& name, int index, int count, int blocks) override;
    void BlockDone(int done) override;
    bool StopRequested() const override { return stopRequested_.load(); }

  signals:
    // The user tried to drag something onto the window (a file, text for a field) while a click
    // ran; it was refused. The event is the drag, during the call.
    void InputRefused(QEvent* event);
    // The window was asked to close while a click ran (close box, Alt+F4, File > Exit, the
    // session ending): the close was put off until the click has ended.
    void CloseDeferred();
    // Escape while a click ran.
    void StopKeyPressed();

  private:
    void WaitForTick();
    // Runs fn on the window's thread and returns when it has run.
    void OnUiThread(const std::function<void()>& fn);
    // The window's side of OnUiThread: runs the request a worker left.
    Q_INVOKABLE void ServeWorker();
    // Shows the latest progress the worker left (it does not wait for the window to paint it).
    Q_INVOKABLE void ServeProgress();
    void PostProgress();
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Input that reaches the window while a click runs and is taken all the same: the Cancel
    // button, the menu bar (only File > Exit is enabled then) and the Exit shortcut.
    bool TakenDuringClick(QObject* watched, QEvent::Type type) const;

    QWidget& window_;
    StatusView& view_;
    ConfigRecord& rec_;
    ModuleTypes& moduleTypes_;
    Image& image_;
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<Comms> comms_;
    std::unique_ptr<UnitSession> session_;
    ComPortLookup lookup_;
    std::atomic<bool> clickRunning_{false};
    void (UnitSession::*click_)() = nullptr;
    std::atomic<long long> lastTrafficMs_{0};  // since the epoch, set by the worker's port
    long long clickStartedMs_ = 0;
    std::atomic<bool> tickRunning_{false};
    std::thread tickThread_;
    std::mutex handOver_;  // guards pending_
    std::condition_variable served_;
    const std::function<void()>* pending_ = nullptr;  // a worker's request, until it has run
    std::atomic<bool> stopRequested_{false};

    // Progress as the worker last left it, under progressLock_; shown by ServeProgress. A new
    // step, or the bar shown or hidden, is posted at once; the figures of each block are left
    // for progressTimer_, which shows them a few times a second while a click runs, so the
    // worker never hands the window a call per block.
    mutable std::mutex progressLock_;
    TransferProgress progress_;
    bool progressPosted_ = false;   // a ServeProgress is on its way
    bool progressChanged_ = false;  // figures left since the window last showed them
    QTimer progressTimer_;
    std::chrono::steady_clock::time_point phaseStarted_;
};

}  // namespace orv::ui
