// The link buttons of the editor as one controller: Connect, Auto Baud, Read, Write, Write MAC,
// Increment, Reset, Calibrate, Compare with Unit and the connection timer. The window and orv-cli
// both drive it, so the behaviour lives in one place. It owns nothing: it works on the editor's one
// record, module types, image and port. It touches no widget; the user sees it through LinkUi and
// the hooks.
//
// The window runs the clicks on a worker thread while it takes no input; IsConnected and
// ExchangeRunning may be read from any thread. Transfers are recorded in the activity log
// (base/log.h), which the program, a test or the fuzz build may redirect or silence.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/image.h"
#include "link/comms.h"
#include "link/exchanges.h"
#include "link/link_ui.h"
#include "model/record.h"

namespace orv {

// What a unit holds: the version lines and module types it reports and its whole EEPROM.
struct UnitContents {
    std::array<std::string, 2> versionLines;
    ModuleTypes moduleTypes{};
    Image image{};
};

// The unit a Write went to, as far as the session knows it.
struct WrittenUnit {
    std::string device;                       // the port's device, as opened
    std::array<std::string, 2> versionLines;  // as the unit reported them when connected
};

// A copy of what the unit written to held before the Write, for going back.
struct UnitCopyHint {
    std::string path;       // the copy; "" when none of that unit is kept
    std::string howToKeep;  // without one: how to have one next time
};

struct UnitSessionHooks {
    std::function<void()> setConnectedState;     // "Dis&connect", green "Connected", timer on
    std::function<void()> setDisconnectedState;  // "&Connect", red "Disconnected", timer off
    std::function<void()> recordChanged;         // refresh every widget from the record
    std::function<void()> moduleTypesChanged;    // run ApplyModuleTypes on the bank pages
    std::function<void(int baudPosition)> baudSelectionChanged;  // lstBaudPC moved (Auto Baud)
    std::function<void(const SizeReport&)> sizeReported;         // pbSize / lblSize
    // Keeping what could be lost (the history; left out where nobody keeps one, hence the
    // defaults): a Read that brought the whole EEPROM is about to replace the record and the
    // image; then what the unit held, as read, before the decode rebuilds it, with the version
    // lines and module types the unit reported when it was connected (the editor's may since
    // come from a file); and what a Write sent, once every block was accepted and any read-back
    // has ended (readBackFailed: it differed or did not complete).
    std::function<void()> beforeReadReplaces = nullptr;
    std::function<void(const UnitContents&)> unitImageRead = nullptr;
    std::function<void(const Image&, bool readBackFailed)> imageSent = nullptr;
    // The checks around a Write. What differs between what was sent and what read back, one line
    // per difference naming its block and field (without it the blocks are named by number
    // only). The unit's contents read before a Write, to keep; returns why they could not be kept
    // ("" when kept), which stops the Write. Where a copy of what the unit written to held before
    // is kept, named when a Write stops half way; never another unit's copy.
    std::function<std::vector<std::string>(const Image& sent, const Image& readBack)>
        describeDifferences = nullptr;
    std::function<std::string(const UnitContents&)> keepBackup = nullptr;
    std::function<UnitCopyHint(const WrittenUnit&)> lastUnitCopy = nullptr;
};

// What a Write does besides the blocks it sends (the editor's Unit menu, orv-cli write options).
struct WriteChecks {
    bool verify = false;  // afterwards, read blocks 0..239 back and compare them with what was sent
    bool backup = false;  // first, read the whole unit and hand it to keepBackup
};

// How the last Write left the unit.
enum class WriteEnd {
    kNothingSent,  // refused, the port would not open, or the backup failed: the unit is as it was
    kStopped,   // a block was not accepted: LastBlocksAccepted() blocks hold the new configuration
    kWritten,   // every block accepted; not read back
    kVerified,  // every block accepted and read back as sent
    kNotVerified,    // every block accepted, but the read-back did not complete
    kDifferent,      // every block accepted, but the unit read back something else
    kVerifyStopped,  // every block accepted; the user stopped the read-back before it ended
};

// The PC port choices (lstComPort, lstBaudPC, lstPCFormat) as one exchange uses them. The window
// takes them on its own thread and hands them to the connection timer's check, which runs on
// another and so never reads a record the window may be writing.
struct PortSelection {
    int comPort = 0;
    int baudRate = 0;
    int format = 0;
};
inline PortSelection PortSelectionOf(const ConfigRecord& rec) {
    return {rec.lstComPort, rec.lstBaudPC, rec.lstPCFormat};
}

// How the last click ended, for callers that need an exit status (orv-cli).
// kStopped: the user stopped a Read, Compare or the backup before a Write at the next block;
// nothing was changed, in the editor or the unit.
enum class ClickOutcome { kDone, kFailed, kPortNotOpened, kNotAnswering, kRefused, kStopped };

class UnitSession {
  public:
    UnitSession(ConfigRecord& rec, ModuleTypes& moduleTypes, Image& image, Comms& comms, LinkUi& ui,
                UnitSessionHooks hooks = {});

    bool IsConnected() const { return connected_.load(); }
    // True while a click is talking to the unit (the timer must not tick into it).
    bool ExchangeRunning() const { return running_.load(); }

    void ConnectClick();
    void AutoBaudClick();
    void ReadClick();
    void WriteClick();
    void MacWriteClick();
    void MacIncrementClick();
    void ResetClick();
    void CalibrateClick();
    // Reads the unit's version lines, module types and whole EEPROM into LastUnitContents without
    // touching the editor's record, module types or image (Compare with Unit, orv-cli verify).
    void CompareClick();
    // The connection timer's check with the port choices taken by the record's owner; the
    // overload without them reads the record and is for callers on the record's own thread.
    void TimerTick(const PortSelection& port);
    void TimerTick() { TimerTick(PortSelectionOf(rec_)); }

    ClickOutcome LastOutcome() const { return outcome_; }
    // The pulse times and limits of the last Calibrate.
    const std::optional<PulseLimits>& LastLimits() const { return lastLimits_; }
    const PulseTimes& LastPulseTimes() const { return lastTimes_; }
    // What the last Connect learnt: the version report (empty when the probe was not answered)
    // and the probe's first reply byte (nullopt when none came).
    const VersionReport& LastVersion() const { return lastVersion_; }
    const std::optional<std::uint8_t>& LastProbeReply() const { return lastProbeReply_; }
    // What the last CompareClick read; empty when it did not read everything.
    const std::optional<UnitContents>& LastUnitContents() const { return unitContents_; }
    // The module types the unit reported at Connect, once it has: a Read decodes under them and
    // a Write to the unit asks first where the editor's differ. Empty while not connected.
    std::optional<ModuleTypes> UnitModuleTypes() const;
    // The editor's module types before the last Read replaced them with the unit's (equal to the
    // unit's when nothing changed).
    const ModuleTypes& TypesBeforeLastRead() const { return typesBeforeRead_; }

    void SetWriteChecks(const WriteChecks& checks) { checks_ = checks; }
    WriteEnd LastWriteEnd() const { return writeEnd_; }
    int LastBlocksAccepted() const { return blocksAccepted_; }

    void SetConnectedState();
    void SetDisconnectedState();

  private:
    bool OpenOrReport();  // opens the selected port; shows the reason and fails when it will not
    void Notify(const std::function<void()>& hook);
    // The unit's report and EEPROM read into contents with progress; on a failure shows failure
    // (a sentence closing the usual kind of link message) and returns false.
    bool ReadUnit(UnitContents& contents, const std::string& failure);
    bool BackUpUnit(int phases);
    WriteEnd VerifyWrite(int phase);
    void ReportStoppedWrite(int accepted, bool refused);

    ConfigRecord& rec_;
    ModuleTypes& moduleTypes_;
    Image& image_;
    Comms& comms_;
    LinkUi& ui_;
    UnitSessionHooks hooks_;
    std::atomic<bool> connected_{false};
    std::atomic<bool> running_{false};
    ClickOutcome outcome_ = ClickOutcome::kDone;
    // During Auto Baud: the last open failure shown in this search.
    std::optional<std::string> baudSearch_;
    std::optional<PulseLimits> lastLimits_;
    PulseTimes lastTimes_;
    VersionReport lastVersion_;
    bool versionReported_ = false;  // lastVersion_ is the connected unit's
    std::optional<std::uint8_t> lastProbeReply_;
    std::optional<UnitContents> unitContents_;
    ModuleTypes typesBeforeRead_{};
    WriteChecks checks_;
    WriteEnd writeEnd_ = WriteEnd::kNothingSent;
    int blocksAccepted_ = 0;
};

}  // namespace orv
