#include "ui/link_controller.h"

#include <QApplication>
#include <QDropEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenuBar>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <chrono>

#include "link/net/device_port.h"
#include "link/qt/port_settings.h"
#include "report/report.h"
#include "ui/platform_link.h"
#include "ui/qt_text.h"
#include "ui/status_view.h"

namespace orv::ui {
namespace {

bool IsUserInput(QEvent::Type t) {
    switch (t) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::InputMethod:  // composed text would land in a field, and so in the record
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

// A drag brings a file to open or text for a field: either would change the record.
bool IsDrag(QEvent::Type t) {
    return t == QEvent::DragEnter || t == QEvent::DragMove || t == QEvent::Drop;
}

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The port the link uses, noting when the line was last used: a Write ends when its last byte
// went or its last wait ended, not when the user has read the message it then shows. Closing the
// port after that message (which flushes what is left) is not traffic.
class TrafficStampPort : public SerialPort {
  public:
    TrafficStampPort(std::unique_ptr<SerialPort> inner, std::atomic<long long>& stamp)
        : inner_(std::move(inner)), stamp_(stamp) {}
    bool Open(const std::string& device, const SerialSettings& settings, OpenFailure* failure,
              std::string* detail) override {
        return inner_->Open(device, settings, failure, detail);
    }
    void Close() override { inner_->Close(); }
    bool IsOpen() const override { return inner_->IsOpen(); }
    bool Write(std::span<const std::uint8_t> bytes) override {
        const bool ok = inner_->Write(bytes);
        stamp_ = NowMs();
        return ok;
    }
    std::size_t BytesWaiting() override { return inner_->BytesWaiting(); }
    std::optional<std::uint8_t> ReadByte() override { return inner_->ReadByte(); }
    bool WaitForBytes(SerialClock::time_point deadline) override {
        const bool waiting = inner_->WaitForBytes(deadline);
        stamp_ = NowMs();
        return waiting;
    }
    // A reply waited for whole, as the line beneath offers it (one wake-up, not one per byte).
    bool WaitForReply(SerialClock::time_point deadline, std::size_t count) override {
        const bool waiting = inner_->WaitForReply(deadline, count);
        stamp_ = NowMs();
        return waiting;
    }

  private:
    std::unique_ptr<SerialPort> inner_;
    std::atomic<long long>& stamp_;
};

MessageKind KindOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::kCritical:
            return MessageKind::kCritical;
        case MessageIcon::kWarning:
            return MessageKind::kWarning;
        case MessageIcon::kInformation:
            return MessageKind::kInformation;
        case MessageIcon::kNone:
            break;
    }
    return MessageKind::kPlain;
}

}  // namespace

LinkController::LinkController(QWidget& window, StatusView& view, ConfigRecord& rec,
                               ModuleTypes& moduleTypes, Image& image)
    : QObject(&window),
      window_(window),
      view_(view),
      rec_(rec),
      moduleTypes_(moduleTypes),
      image_(image),
      lookup_(SettingsComPortLookup()) {
    // COMn may be mapped to a device server's address as well as to a serial device.
    setSerialPort(std::make_unique<DevicePort>(MakeLocalSerialPort));
    // Ten times a second is as smooth as a bar needs to look; at 115200 baud that is one update
    // for some thirty blocks, at 9600 one for two or three.
    progressTimer_.setInterval(std::chrono::milliseconds(100));
    connect(&progressTimer_, &QTimer::timeout, this, [this] {
        bool changed = false;
        {
            std::lock_guard<std::mutex> lock(progressLock_);
            changed = progressChanged_;
        }
        if (changed) ServeProgress();
    });
}

LinkController::~LinkController() {
    Shutdown();
}

void LinkController::setSerialPort(std::unique_ptr<SerialPort> port) {
    WaitForTick();
    session_.reset();
    comms_.reset();
    port_ = std::make_unique<TrafficStampPort>(std::move(port), lastTrafficMs_);
    comms_ = std::make_unique<Comms>(*port_, lookup_);
    UnitSessionHooks hooks;
    hooks.setConnectedState = [this] { OnUiThread([this] { view_.SetConnectedState(); }); };
    hooks.setDisconnectedState = [this] { OnUiThread([this] { view_.SetDisconnectedState(); }); };
    hooks.recordChanged = [this] { OnUiThread([this] { view_.RefreshFields(); }); };
    hooks.moduleTypesChanged = [this] { OnUiThread([this] { view_.ApplyModuleTypes(); }); };
    hooks.baudSelectionChanged = [this](int p) {
        OnUiThread([this, p] { view_.ShowPcBaudRate(p); });
    };
    hooks.sizeReported = [this](const SizeReport& size) {
        OnUiThread([this, size] { view_.ShowSize(size); });
    };
    // The worker waits while the window keeps its copies, so the record and images hold still.
    hooks.beforeReadReplaces = [this] { OnUiThread([this] { view_.BeforeReadReplaces(); }); };
    hooks.unitImageRead = [this](const UnitContents& unit) {
        OnUiThread([this, &unit] { view_.UnitImageRead(unit); });
    };
    hooks.imageSent = [this](const Image& image, bool readBackFailed) {
        OnUiThread([this, &image, readBackFailed] { view_.ImageSent(image, readBackFailed); });
    };
    // The window takes no input while the Write runs, so its module types hold still.
    hooks.describeDifferences = [this](const Image& sent, const Image& readBack) {
        return BlockDifferences(sent, readBack, moduleTypes_);
    };
    hooks.keepBackup = [this](const UnitContents& unit) {
        std::string error;
        OnUiThread([this, &unit, &error] { error = view_.KeepUnitBackup(unit); });
        return error;
    };
    hooks.lastUnitCopy = [this](const WrittenUnit& unit) {
        UnitCopyHint copy;
        OnUiThread([this, &unit, &copy] { copy = view_.LastUnitCopy(unit); });
        return copy;
    };
    session_ =
        std::make_unique<UnitSession>(rec_, moduleTypes_, image_, *comms_, *this, std::move(hooks));
}

void LinkController::setLookup(ComPortLookup lookup) {
    WaitForTick();
    lookup_ = std::move(lookup);
    if (comms_) comms_->SetLookup(lookup_);
}

void LinkController::OnUiThread(const std::function<void()>& fn) {
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    // What the worker asks for comes after the progress it left before.
    // The request goes over under a lock of our own, and Qt only carries a call by name: a
    // thread checker then sees the worker's work happen before the window's, and the window's
    // before the worker goes on (Qt's own locks are invisible to it).
    std::unique_lock<std::mutex> lock(handOver_);
    pending_ = &fn;
    QMetaObject::invokeMethod(this, "ServeWorker", Qt::QueuedConnection);
    served_.wait(lock, [this] { return pending_ == nullptr; });
}

void LinkController::ServeWorker() {
    std::unique_lock<std::mutex> lock(handOver_);
    const std::function<void()>* fn = pending_;
    if (!fn) return;
    lock.unlock();  // fn may show a message box, which runs the event loop
    ServeProgress();
    (*fn)();
    lock.lock();
    pending_ = nullptr;
    served_.notify_one();
}

void LinkController::ShowMessage(const std::string& text, const std::string& title,
                                 MessageIcon icon) {
    OnUiThread([this, &text, &title, icon] {
        view_.ShowMessage(FromMessageText(text), FromMessageText(title), KindOf(icon));
    });
}

void LinkController::SetBusy(bool busy) {
    OnUiThread([this, busy] { view_.ShowBusy(busy); });
}

// Progress never holds the worker up: it leaves the latest figures and the window shows them when
// it next gets to it, so a slow repaint costs the line nothing.
void LinkController::SetProgress(int value, bool visible) {
    std::lock_guard<std::mutex> lock(progressLock_);
    const bool shownOrHidden = visible != progress_.visible;
    progress_.percent = value;
    progress_.visible = visible;
    if (!visible) progress_ = TransferProgress{};
    progressChanged_ = true;
    if (shownOrHidden) PostProgress();
}

void LinkController::BeginPhase(const std::string& name, int index, int count, int blocks) {
    std::lock_guard<std::mutex> lock(progressLock_);
    progress_.phase = name;
    progress_.phaseIndex = index;
    progress_.phaseCount = count;
    progress_.done = 0;
    progress_.blocks = blocks;
    progress_.secondsLeft = -1;
    // Only a Write changes the unit; every other step may end between two blocks.
    progress_.stoppable = name != "Write";
    phaseStarted_ = std::chrono::steady_clock::now();
    PostProgress();
}

void LinkController::BlockDone(int done) {
    std::lock_guard<std::mutex> lock(progressLock_);
    progress_.done = done;
    // From the pace of this step: its blocks still to come, and a Write's later steps, which
    // move the 240 blocks of the configuration each.
    const auto elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - phaseStarted_).count();
    const int later = std::max(0, progress_.phaseCount - progress_.phaseIndex) * kConfigBlocks;
    if (done >= 3 && elapsed > 0.2)
        progress_.secondsLeft =
            static_cast<int>(elapsed / done * (progress_.blocks - done + later) + 0.5);
    progressChanged_ = true;
}

void LinkController::PostProgress() {
    progressChanged_ = true;
    if (progressPosted_) return;
    progressPosted_ = true;
    QMetaObject::invokeMethod(this, "ServeProgress", Qt::QueuedConnection);
}

void LinkController::ServeProgress() {
    TransferProgress shown;
    {
        std::lock_guard<std::mutex> lock(progressLock_);
        progressPosted_ = false;
        progressChanged_ = false;
        shown = progress_;
    }
    view_.ShowTransferProgress(shown);
}

void LinkController::RequestStop() {
    if (clickRunning_) stopRequested_ = true;
}

bool LinkController::StepCanStop() const {
    std::lock_guard<std::mutex> lock(progressLock_);
    return progress_.stoppable && !stopRequested_;
}

bool LinkController::TakenDuringClick(QObject* watched, QEvent::Type type) const {
    if (type == QEvent::Close || IsDrag(type)) return false;
    for (QObject* o = watched; o; o = o->parent()) {
        if (o->objectName() == "cmdCancel") return true;
        if (qobject_cast<QMenuBar*>(o)) return true;
    }
    // File > Exit's shortcut reaches its action: the close is put off like any other.
    return type == QEvent::Shortcut && watched->objectName() == "MenuFileExit";
}

bool LinkController::eventFilter(QObject* watched, QEvent* event) {
    // While an exchange runs the window takes no input; a message box shown by the exchange
    // is a window of its own and works as usual.
    if (!clickRunning_) return QObject::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (TakenDuringClick(watched, type)) return QObject::eventFilter(watched, event);
    if (watched->isWidgetType()) {
        if (static_cast<QWidget*>(watched)->window() != &window_)
            return QObject::eventFilter(watched, event);
        if (IsDrag(type)) {
            static_cast<QDropEvent*>(event)->ignore();  // the pointer shows it will not be taken
            if (type != QEvent::DragMove) emit InputRefused(event);
            return true;
        }
        if (type == QEvent::Close) {
            // Taken, but only once the exchange has ended: closing now would leave the unit half
            // written, or the program waiting for a window that has gone.
            if (watched == &window_) {
                event->ignore();
                emit CloseDeferred();
            }
            return true;
        }
        if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            emit StopKeyPressed();
            return true;
        }
        if (IsUserInput(type)) return true;
    } else if (type == QEvent::Shortcut) {
        // A menu command's shortcut goes to its action, not to a widget of the window.
        for (QObject* o = watched; o; o = o->parent())
            if (o == &window_) return true;
    }
    return QObject::eventFilter(watched, event);
}

QDateTime LinkController::ExchangeEnded() const {
    return QDateTime::fromMSecsSinceEpoch(std::max(lastTrafficMs_.load(), clickStartedMs_));
}

bool LinkController::Run(void (UnitSession::*click)()) {
    if (clickRunning_) return false;
    WaitForTick();
    clickRunning_ = true;
    stopRequested_ = false;
    {
        std::lock_guard<std::mutex> lock(progressLock_);
        progress_ = TransferProgress{};
    }
    click_ = click;
    clickStartedMs_ = NowMs();
    qApp->installEventFilter(this);
    progressTimer_.start();
    std::atomic<bool> done{false};
    std::thread worker([this, click, &done] {
        ((*session_).*click)();
        done = true;
        // By name: nothing of ours crosses to the window's thread. It only wakes the loop below.
        QMetaObject::invokeMethod(this, "ServeWorker", Qt::QueuedConnection);
    });
    // Events are served until the worker has ended, whatever else happens meanwhile: an event
    // loop could be told to quit (the application leaving, a last window closed) while the worker
    // still needs the window's thread, and waiting for it then would hold both for ever.
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
    progressTimer_.stop();
    ServeProgress();
    qApp->removeEventFilter(this);
    clickRunning_ = false;
    stopRequested_ = false;
    return true;
}

void LinkController::Tick() {
    // An exchange in progress owns the port; the check waits for the next tick.
    if (clickRunning_ || tickRunning_ || !session_->IsConnected()) return;
    WaitForTick();  // joins the previous, finished check
    tickRunning_ = true;
    // Taken here, on the window's thread: the check must not read the record while the user
    // changes the port, rate or format.
    const PortSelection port = PortSelectionOf(rec_);
    tickThread_ = std::thread([this, port] {
        session_->TimerTick(port);
        tickRunning_ = false;
    });
}

void LinkController::WaitForTick() {
    // The check may be waiting for the window's thread to show its outcome: keep serving it.
    while (tickRunning_) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    if (tickThread_.joinable()) tickThread_.join();
}

void LinkController::Shutdown() {
    WaitForTick();
}

}  // namespace orv::ui
