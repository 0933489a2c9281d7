// Every exchange with the unit: connection probe, version and module report, EEPROM block
// transfer, MAC block, reset and pulse measurement, with their bytes, timeouts, retries, progress
// steps and messages. They expect the port to be open (Comms::OpenComms) and never open or close
// it; the user sees them only through LinkUi.
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "image/image.h"
#include "link/comms.h"
#include "link/link_ui.h"
#include "model/record.h"

namespace orv {

// Titles and texts of the messages the exchanges show.
inline constexpr const char* kCommsErrorTitle = "Communications Error";
inline constexpr const char* kVersionTimeoutText = "Comms timeout while getting Version";
inline constexpr const char* kGetFailureText =
    "Comms failure while getting EEprom, please check Port, cables and connections";
inline constexpr const char* kPutFailureText =
    "Comms failure while putting EEprom, please check Port, cables and connections";
inline constexpr const char* kPutRefusedText = "Missing/bad response while putting EEprom";
// A unit that answered the probe but never ends its version reply: nothing it sends can be told
// apart from that stream, so its module types are not known. The editor and orv-cli say the same.
inline constexpr const char* kUnitKeepsSendingText =
    "The unit keeps sending without ending its version line, so its module types are not known.\n"
    "Check that the PC baud rate and serial format match the unit; if they do, restart the unit, "
    "then connect again.";
inline constexpr const char* kPulseTimesFailure =
    "Comms failure while getting pulse times, please check Port, cables and connections. The "
    "measured times and pulse limits were left as they were.";

// A version line stops at this many characters, or when it takes longer in all than its time
// budget: a unit streaming without a line end, or trickling, must not hang the editor or fill its
// memory. The budget is twice the wire time of a full line at the line's rate and frame plus
// some seconds for a unit that pauses between characters, so a full line fits at 110 baud and a
// stream at 115200 stops within a few seconds.
constexpr std::size_t kMaxVersionLine = 256;
constexpr int kVersionLineSlackMs = 4000;
std::chrono::milliseconds VersionLineBudget(const SerialSettings& settings);

// Sends the probe 0x14 and returns whether the first reply byte is 0x11 (within 250 ms). reply,
// when given, receives that first byte, or nullopt when none came.
bool Connected(Comms& comms, std::optional<std::uint8_t>* reply = nullptr);

// Drops what the unit is still sending until the line has been quiet for a byte's timeout. False
// when it was still sending after twice the time a full version line takes: the unit keeps
// sending and nothing it says can be read as a reply.
bool DropUntilQuiet(Comms& comms);

enum class LineEnd { kLine, kTimeout, kTooLong, kTooSlow };
struct RxLine {
    std::string text;
    LineEnd end = LineEnd::kLine;
};
// Receives one text line ended by LF or NUL (a CR before it is dropped), each byte within 250 ms.
// On a timeout shows "Comms timeout while getting Version" and returns an empty text. A line
// longer than kMaxVersionLine or slower than its VersionLineBudget is given up with a message
// (empty text).
RxLine RxStringEx(Comms& comms, LinkUi& ui);
std::string RxString(Comms& comms, LinkUi& ui);

// What GetVersion learnt from the unit.
struct VersionReport {
    std::array<std::string, 2> lines;
    ModuleTypes moduleTypes{};
    ModuleTypes typesBefore{};  // the module types held before the unit reported its own
    bool modulesRead = false;   // false when the unit never stopped sending its version reply
};
// Requests the version lines and the module types and stores them in rec.txtVer and moduleTypes.
// A line that fails (timeout, too long, too slow) becomes empty and the module request still
// follows; after a line given up, what is left of the reply is dropped first (the other line with
// it), and when the unit does not stop sending the module request is not made, since its answer
// could not be told from the stream: the module types stay as they were and the one message shown
// is kUnitKeepsSendingText (critical, as a communications failure).
// A module code of 16 or more is stored as 0 (not fitted) with a message naming bank and code.
// The caller arranges the bank pages afterwards (ApplyModuleTypes).
VersionReport GetVersion(Comms& comms, LinkUi& ui, ConfigRecord& rec, ModuleTypes& moduleTypes);

// Reads blocks 0..255 into image, showing progress (n+1)/256*100. Returns true when all 256
// arrived; on a timeout shows the failure message and returns false (bytes of the blocks that
// arrived are stored, the rest keep their values). A stop the user asked for (LinkUi) ends it
// at the next block, false without a message.
bool GetEEprom(Comms& comms, LinkUi& ui, Image& image);

// Requests block n and stores its bytes in image as they arrive. False when a reply byte did not
// come within 250 ms.
bool ReadBlock(Comms& comms, int n, Image& image);
// Reads blocks 0..count-1 in order into image, setting the progress bar to (n+1)/count*100 after
// each; stops at the first block that does not arrive, or before the next block once the user
// asked to stop. Shows no message and leaves the bar's visibility to the caller. Returns how many
// blocks arrived whole.
int ReadBlocks(Comms& comms, LinkUi& ui, Image& image, int count);

// Writes blocks 0..239, each sent at most four times and acknowledged within 5000 ms, showing
// progress (n+1)/255*100. Returns true when every block was accepted; acknowledged, when given,
// receives how many blocks the unit accepted (0..240) either way, and refused whether the Write
// stopped because the unit answered a block four times with something other than 0x06 (rather
// than not answering at all).
bool PutEEprom(Comms& comms, LinkUi& ui, const Image& image, int* acknowledged = nullptr,
               bool* refused = nullptr);

// Writes the MAC block (block 240) as whole bytes with an 8-bit checksum, acknowledged within
// 500 ms, at most four sends. Returns true when accepted.
bool PutMAC(Comms& comms, LinkUi& ui, const Image& image);

// Steps txtMAC(3..5) to the next address as one 24-bit counter; octets 0..2 never change.
// An octet that is not valid hexadecimal counts as 00.
void IncrementMAC(ConfigRecord& rec);

// Sends the reset command 0x13 'R'; nothing comes back.
void SendReset(Comms& comms);

// The four measured pulse times in milliseconds (reply bytes times 10).
struct PulseTimes {
    int fastOff = 0, fastOn = 0, slowOff = 0, slowOn = 0;
    bool complete = true;  // false when a reply byte did not arrive
};
// Requests the pulse times (0x13 't'); a missing reply byte counts as 0 and clears complete.
PulseTimes MeasurePulseTimes(Comms& comms);

// The largest limit the unit accepts; computed limits above it are clamped.
constexpr int kMaxPulseLimit = 2500;
struct PulseLimits {
    std::array<int, 8> value{};     // txtPulseTime(0..7) in ms
    std::array<bool, 8> clamped{};  // limits that were above kMaxPulseLimit
    std::array<int, 8> computed{};  // before clamping
    bool anyClamped() const;
};
PulseLimits ComputePulseLimits(const PulseTimes& times);
// Names of the limits, "Fast Pulse ON Min" .. "Slow Pulse OFF Max".
extern const std::array<const char*, 8> kPulseLimitNames;
// The message telling the user which limits were clamped; empty when none.
std::string ClampedLimitsMessage(const PulseLimits& limits);

}  // namespace orv
