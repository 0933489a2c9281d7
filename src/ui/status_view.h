// What the link shows on the main window. The window implements it; the link calls it on the
// window's thread and never touches a control itself.
#pragma once

#include <QString>
#include <string>

#include "image/image.h"
#include "link/unit_session.h"

namespace orv::ui {

enum class MessageKind { kPlain, kCritical, kWarning, kInformation };

// Where a transfer stands: its step ("Write", 2 of 3), the blocks of that step done and in all,
// and an estimate of the time left for the whole transfer (negative while unknown).
struct TransferProgress {
    int percent = 0;  // pb100: the step's own figure, 0..100
    bool visible = false;
    std::string phase;  // empty until the transfer names its step
    int phaseIndex = 0, phaseCount = 0;
    int done = 0, blocks = 0;
    int secondsLeft = -1;
    bool stoppable = false;  // the step ends at the next block if asked (a Write does not)
};

class StatusView {
  public:
    virtual ~StatusView() = default;

    // A modal message with an OK button; returns once the user has seen it.
    virtual void ShowMessage(const QString& text, const QString& title, MessageKind kind) = 0;
    // "BUSY", painted at once: the exchange does not wait for the event loop.
    virtual void ShowBusy(bool busy) = 0;
    // The transfer progress bar pb100 (0..100) with the step and block it has reached.
    virtual void ShowTransferProgress(const TransferProgress& progress) = 0;
    // pbSize and lblSize.
    virtual void ShowSize(const SizeReport& size) = 0;
    // lstBaudPC while Auto Baud tries the rates, painted at once.
    virtual void ShowPcBaudRate(int position) = 0;
    // Captions, colours, enabled buttons and the connection timer.
    virtual void SetConnectedState() = 0;
    virtual void SetDisconnectedState() = 0;
    // Every control from the record, after the link changed it.
    virtual void RefreshFields() = 0;
    // The bank pages, after the unit reported its module types.
    virtual void ApplyModuleTypes() = 0;
    // For keeping what could be lost: a Read that brought the whole EEPROM is about to replace
    // the configuration; what the unit held, as read, with what it reported at Connect; what a
    // Write sent, every block accepted (readBackFailed: the read-back differed or did not
    // complete).
    virtual void BeforeReadReplaces() = 0;
    virtual void UnitImageRead(const UnitContents& unit) = 0;
    virtual void ImageSent(const Image& image, bool readBackFailed) = 0;
    // The unit's configuration read before a Write, to keep: why it could not be kept ("" when
    // kept). Where a copy of what the unit written to held is kept, or how to keep one.
    virtual std::string KeepUnitBackup(const UnitContents& unit) = 0;
    virtual UnitCopyHint LastUnitCopy(const WrittenUnit& unit) = 0;
};

}  // namespace orv::ui
