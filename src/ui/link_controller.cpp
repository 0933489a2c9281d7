#include "ui/link_controller.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include "link/qt/port_settings.h"
#include "link/qt/qt_serial_port.h"
#include "ui/main_window.h"

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
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

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

LinkController::LinkController(MainWindow& window)
    : QObject(&window), window_(window), lookup_(SettingsComPortLookup()) {
    setSerialPort(std::make_unique<QtSerialPort>());
    const Widgets& w = window_.widgets();
    connect(w.cmdConnect, &QPushButton::clicked, this, [this] { Run(&UnitSession::ConnectClick); });
    connect(w.cmdAutoBaud, &QPushButton::clicked, this,
            [this] { Run(&UnitSession::AutoBaudClick); });
    connect(w.cmdGet, &QPushButton::clicked, this, [this] { Run(&UnitSession::ReadClick); });
    connect(w.cmdPut, &QPushButton::clicked, this, [this] { Run(&UnitSession::WriteClick); });
    connect(w.cmdReset, &QPushButton::clicked, this, [this] { Run(&UnitSession::ResetClick); });
    connect(w.cmdMACwrite, &QPushButton::clicked, this,
            [this] { Run(&UnitSession::MacWriteClick); });
    connect(w.cmdMeasurePulse, &QPushButton::clicked, this,
            [this] { Run(&UnitSession::CalibrateClick); });
    // The increment never touches the port.
    connect(w.cmdMACincrement, &QPushButton::clicked, this,
            [this] { session_->MacIncrementClick(); });
    connect(window_.connectTimer(), &QTimer::timeout, this, [this] { Tick(); });
}

LinkController::~LinkController() {
    Shutdown();
}

void LinkController::setSerialPort(std::unique_ptr<SerialPort> port) {
    WaitForTick();
    session_.reset();
    comms_.reset();
    port_ = std::move(port);
    comms_ = std::make_unique<Comms>(*port_, lookup_);
    UnitSessionHooks hooks;
    hooks.setConnectedState = [this] { OnUiThread([this] { window_.SetConnectedState(); }); };
    hooks.setDisconnectedState = [this] { OnUiThread([this] { window_.SetDisconnectedState(); }); };
    hooks.recordChanged = [this] { OnUiThread([this] { window_.RefreshFields(); }); };
    hooks.moduleTypesChanged = [this] { OnUiThread([this] { window_.ApplyModuleTypes(); }); };
    hooks.baudSelectionChanged = [this](int p) {
        OnUiThread([this, p] {
            QComboBox* list = window_.widgets().Field<&ConfigRecord::lstBaudPC>();
            list->setCurrentIndex(p);
            list->repaint();
        });
    };
    hooks.sizeReported = [this](const SizeReport& size) {
        OnUiThread([this, size] {
            const Widgets& w = window_.widgets();
            w.pbSize->setValue(std::clamp(size.lastAddress, 0, kConfigAreaLast));
            w.lblSize->setText(QString::fromStdString(size.percentText));
        });
    };
    session_ = std::make_unique<UnitSession>(window_.record(), window_.moduleTypes(),
                                             window_.image(), *comms_, *this, std::move(hooks));
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
    QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
}

void LinkController::ShowMessage(const std::string& text, const std::string& title,
                                 MessageIcon icon) {
    OnUiThread([this, &text, &title, icon] {
        window_.ShowMessage(QString::fromLatin1(text.data(), static_cast<int>(text.size())),
                            QString::fromLatin1(title.data(), static_cast<int>(title.size())),
                            KindOf(icon));
    });
}

void LinkController::SetBusy(bool busy) {
    OnUiThread([this, busy] {
        QLabel* l = window_.widgets().lblBusy;
        l->setVisible(busy);
        l->repaint();
    });
}

void LinkController::SetProgress(int value, bool visible) {
    OnUiThread([this, value, visible] {
        QProgressBar* pb = window_.widgets().pb100;
        pb->setValue(std::clamp(value, 0, 100));
        pb->setVisible(visible);
        pb->repaint();
    });
}

bool LinkController::eventFilter(QObject* watched, QEvent* event) {
    // While an exchange runs the window takes no input; a message box shown by the exchange
    // is a window of its own and works as usual.
    if (clickRunning_ && watched->isWidgetType() && IsUserInput(event->type())) {
        QWidget* top = static_cast<QWidget*>(watched)->window();
        if (top == &window_) return true;
    }
    return QObject::eventFilter(watched, event);
}

void LinkController::Run(void (UnitSession::*click)()) {
    if (clickRunning_) return;
    WaitForTick();
    clickRunning_ = true;
    qApp->installEventFilter(this);
    QEventLoop loop;
    std::thread worker([this, click, &loop] {
        ((*session_).*click)();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::AllEvents);
    worker.join();
    qApp->removeEventFilter(this);
    clickRunning_ = false;
}

void LinkController::Tick() {
    // An exchange in progress owns the port; the check waits for the next tick.
    if (clickRunning_ || tickRunning_ || !session_->IsConnected()) return;
    WaitForTick();  // joins the previous, finished check
    tickRunning_ = true;
    tickThread_ = std::thread([this] {
        session_->TimerTick();
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
