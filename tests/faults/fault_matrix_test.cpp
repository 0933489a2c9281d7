// The fault matrix of the link: each button that talks to the unit (Connect, Read, Write, Write
// MAC, Calibrate, Auto Baud) against each fault of the unit or the line, end to end through the
// code the window uses (UnitSession on a worker thread, the QSerialPort adapter) and orv-unit-sim
// on a pseudo-terminal; and a network column, the unit behind a device server (the same port,
// orv-unit-sim listening on loopback). Each row states the messages shown, word for word, a bound
// on the time the click takes, what may change in the editor, what may change in the unit's EEPROM
// and the state the window is left in.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "../link/ser2net_process.h"
#include "../link/sim_process.h"
#include "image/image.h"
#include "link/comms.h"
#include "link/exchanges.h"
#include "link/net/device_port.h"
#include "link/qt/qt_serial_port.h"
#include "link/unit_session.h"
#include "model/defaults.h"
#include "model/lists.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::SimProcess;

enum class Button { kConnect, kRead, kWrite, kMacWrite, kCalibrate, kAutoBaud };
enum class Fault {
    kNone,
    kNoAnswer,
    kWrongProbeAnswer,
    kRefusedBlocks,
    kStopsAfterBlocks,
    kCorruptedNibbles,
    kEndlessVersionLine,
    kPortVanishes,
    kPortBusy,
    kPortMissing,
    // The network column: the unit behind a device server (orv-unit-sim --listen, its faults in
    // the row's arguments), a port nothing listens on, a server name that is not found.
    kNetwork,
    kNetRefused,
    kNetNameNotFound
};

// What the editor may hold after the click.
enum class Editor {
    kUnchanged,       // record, module types and image exactly as before
    kVersionChanged,  // only the version lines and the module types may differ
    kFromUnit,        // image = the unit's EEPROM, record decoded from it
    kCalibrated,      // only the measured times and the pulse limits may differ
    kBaudSearched,    // unchanged except the PC baud rate selection
};

// What the unit's EEPROM may hold after the click.
enum class Unit {
    kUnchanged,
    kBlocksWritten,  // blocks [0, blocks) hold the editor's image, the rest are as they were
    kMacWritten,     // only block 240 changed, to the editor's MAC block
};

struct Message {
    std::string text;  // "{device}" stands for the terminal the COM port is mapped to
    std::string title;
    MessageIcon icon;
};

const std::string kTitle = "ORV Pro Configuration";
const Message kGetFailure{
    "Comms failure while getting EEprom, please check Port, cables and connections",
    "Communications Error", MessageIcon::kCritical};
const Message kPutFailure{
    "Comms failure while putting EEprom, please check Port, cables and connections",
    "Communications Error", MessageIcon::kCritical};
const Message kPulseFailure{
    "Comms failure while getting pulse times, please check Port, cables and connections. The "
    "measured times and pulse limits were left as they were.",
    "Communications Error", MessageIcon::kCritical};
const Message kPutRefused{"Missing/bad response while putting EEprom", kTitle, MessageIcon::kNone};
// What a Write that stopped left in the unit, after the failure message.
const Message kNoneAccepted{
    "The unit accepted none of the 240 blocks of the configuration, so it should still hold the "
    "one it held before. Write again once the connection is sound.",
    kTitle, MessageIcon::kWarning};
// refused: the unit answered the next block four times with something other than 0x06.
Message StoppedAfter(int accepted, bool refused = false) {
    const std::string n = std::to_string(accepted);
    return {(refused ? "The unit refused block " + n +
                           " four times: it answered each time, so the connection is not the "
                           "cause. "
                     : std::string()) +
                "The Write stopped after the unit accepted " + n +
                " of the 240 blocks of the configuration. The unit now holds a mix: the new "
                "configuration in blocks 0 to " +
                std::to_string(accepted - 1) + " and the one it held before in the rest (blocks " +
                n + " to 239).\n" +
                (refused ? "Check that the unit's configuration memory is not write-protected, "
                           "then write again; if the unit refuses the block again, it may have a "
                           "fault."
                         : "To recover, write again once the connection is sound."),
            kTitle, MessageIcon::kWarning};
}
const Message kVersionTimeout{"Comms timeout while getting Version", kTitle, MessageIcon::kNone};
const Message kKeepsSending{
    "The unit keeps sending without ending its version line, so its module types are not known.\n"
    "Check that the PC baud rate and serial format match the unit; if they do, restart the unit, "
    "then connect again.",
    "Communications Error", MessageIcon::kCritical};
const Message kBusy{
    "Unable to open selected Coms Port\n{device} is busy: it is held by another "
    "program. Close that program and try again.",
    kTitle, MessageIcon::kNone};
const Message kUnableToOpen{"Unable to open selected Coms Port", kTitle, MessageIcon::kNone};
const Message kMissing{
    "Unable to open selected Coms Port\nThere is no device {device}. Check that "
    "the serial adapter is plugged in, or map the COM port to the right device "
    "on the Comms page.",
    kTitle, MessageIcon::kNone};

// The network's messages: "{device}" is the server's address, "{hostport}" what follows its
// "rfc2217://".
Message NotOpened(const std::string& reason) {
    return {"Unable to open selected Coms Port\n" + reason, kTitle, MessageIcon::kNone};
}
const Message kNetRefusedMessage = NotOpened(
    "The device server at {device} refused the connection: nothing listens on that port, or it "
    "serves another client now. Check the port number and that no other program is connected.");
const Message kNetNotFound = NotOpened(
    "The device server's name in {device} was not found (Host not found (authoritative)). Check "
    "the name, or give the server's IP address instead.");
const Message kNetTimedOut = NotOpened(
    "The device server at {device} did not answer within 3 s. Check that it is switched on and "
    "reachable from this PC (network cable, address, firewall).");
const Message kNetNoRfc2217 = NotOpened(
    "The device server at {device} did not set up the serial line: it did not take up RFC 2217 "
    "(telnet Com Port Control) within 3 s; if its port is set up for raw TCP, use "
    "tcp://{hostport} instead.");
Message NetBaudRefused(const std::string& asked, const std::string& answered) {
    return NotOpened("The device server at {device} refused the serial settings " + asked +
                     ",N,8,1 (asked for " + asked + " baud, it answered " + answered +
                     " baud). Choose another PC baud rate or serial format, or check the port "
                     "settings of the server.");
}
// Servers that would hold a click without end: each is given up within the connect timeout. (A
// server streaming data is told as such or as a unit not answering, as the stream's pauses fall:
// net_e2e_test bounds it in time and memory.)
const Message kNetEndlessSubnegotiation = NotOpened(
    "The device server at {device} did not set up the serial line: it sent a subnegotiation of "
    "more than 4096 bytes without ending it.");
const Message kNetStopsReading = NotOpened(
    "The device server at {device} did not set up the serial line: it stopped taking data (what "
    "was sent to it was not taken within 3 s).");
const Message kNetRawAutoBaud{
    "Auto Baud cannot search the baud rate over raw TCP ({device}): the device server keeps its "
    "own port settings, whatever rate the PC asks for. Set the server's port to the unit's rate, "
    "or reach the unit with rfc2217:// if the server offers RFC 2217.",
    kTitle, MessageIcon::kNone};

struct Row {
    const char* name;
    Button button;
    Fault fault;
    std::vector<std::string> unitArgs;  // extra options of orv-unit-sim
    int vanishAtWrite;                  // the unit disappears just before this write (1-based)
    std::vector<Message> messages;
    std::optional<bool> connected;  // the window's state afterwards (nullopt: not checked)
    ClickOutcome outcome;
    double minSeconds, maxSeconds;
    Editor editor;
    Unit unit;
    int blocksWritten;  // kBlocksWritten: how many; -1 any prefix up to vanishAtWrite - 1
};

// Rows print by name in test listings.
void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

using B = Button;
using F = Fault;
using E = Editor;
using U = Unit;
using O = ClickOutcome;

// The unit's answers to probe, version and module requests are quick; a block read or write of the
// whole EEPROM unpaced takes well under a second. Bounds leave room for a loaded CI machine.
const std::vector<Row> kRows = {
    // Connect
    {"Connect_None",
     B::kConnect,
     F::kNone,
     {},
     0,
     {},
     true,
     O::kDone,
     0,
     3,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    {"Connect_NoAnswer",
     B::kConnect,
     F::kNoAnswer,
     {"--silent"},
     0,
     {},
     false,
     O::kNotAnswering,
     0.2,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Connect_WrongProbeAnswer",
     B::kConnect,
     F::kWrongProbeAnswer,
     {"--bad-probe"},
     0,
     {},
     false,
     O::kNotAnswering,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Connect_RefusedBlocks",
     B::kConnect,
     F::kRefusedBlocks,
     {"--refuse-block", "0"},
     0,
     {},
     true,
     O::kDone,
     0,
     3,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    {"Connect_StopsAfterBlocks",
     B::kConnect,
     F::kStopsAfterBlocks,
     {"--stop-after", "1"},
     0,
     {},
     true,
     O::kDone,
     0,
     3,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    {"Connect_CorruptedNibbles",
     B::kConnect,
     F::kCorruptedNibbles,
     {"--corrupt-nibbles"},
     0,
     {},
     true,
     O::kDone,
     0,
     3,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    // The probe is answered, then the version line never ends: the unit cannot be used.
    {"Connect_EndlessVersionLine",
     B::kConnect,
     F::kEndlessVersionLine,
     {"--endless-version"},
     0,
     {kKeepsSending},
     false,
     O::kFailed,
     0,
     6,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    // The line goes after the probe was answered: both version lines time out, no module types.
    {"Connect_PortVanishes",
     B::kConnect,
     F::kPortVanishes,
     {},
     2,
     {kVersionTimeout, kVersionTimeout},
     true,
     O::kDone,
     0,
     3,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    {"Connect_PortBusy",
     B::kConnect,
     F::kPortBusy,
     {},
     0,
     {kBusy},
     false,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Connect_PortMissing",
     B::kConnect,
     F::kPortMissing,
     {},
     0,
     {kMissing},
     false,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},

    // Read: a failed read leaves the editor exactly as it was.
    {"Read_None",
     B::kRead,
     F::kNone,
     {},
     0,
     {},
     true,
     O::kDone,
     0,
     8,
     E::kFromUnit,
     U::kUnchanged,
     0},
    {"Read_NoAnswer",
     B::kRead,
     F::kNoAnswer,
     {"--silent"},
     0,
     {kGetFailure},
     true,
     O::kFailed,
     0.2,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Read_WrongProbeAnswer",
     B::kRead,
     F::kWrongProbeAnswer,
     {"--bad-probe"},
     0,
     {},
     true,
     O::kDone,
     0,
     8,
     E::kFromUnit,
     U::kUnchanged,
     0},
    {"Read_RefusedBlocks",
     B::kRead,
     F::kRefusedBlocks,
     {"--refuse-block", "3"},
     0,
     {},
     true,
     O::kDone,
     0,
     8,
     E::kFromUnit,
     U::kUnchanged,
     0},
    {"Read_StopsAfterBlocks",
     B::kRead,
     F::kStopsAfterBlocks,
     {"--stop-after", "5"},
     0,
     {kGetFailure},
     true,
     O::kFailed,
     0.2,
     3,
     E::kUnchanged,
     U::kUnchanged,
     0},
    // Only the low four bits of a nibble byte carry data: the image arrives intact.
    {"Read_CorruptedNibbles",
     B::kRead,
     F::kCorruptedNibbles,
     {"--corrupt-nibbles"},
     0,
     {},
     true,
     O::kDone,
     0,
     8,
     E::kFromUnit,
     U::kUnchanged,
     0},
    {"Read_EndlessVersionLine",
     B::kRead,
     F::kEndlessVersionLine,
     {"--endless-version"},
     0,
     {},
     true,
     O::kDone,
     0,
     8,
     E::kFromUnit,
     U::kUnchanged,
     0},
    {"Read_PortVanishes",
     B::kRead,
     F::kPortVanishes,
     {},
     50,
     {kGetFailure},
     true,
     O::kFailed,
     0,
     3,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Read_PortBusy",
     B::kRead,
     F::kPortBusy,
     {},
     0,
     {kBusy},
     std::nullopt,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Read_PortMissing",
     B::kRead,
     F::kPortMissing,
     {},
     0,
     {kMissing},
     std::nullopt,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},

    // Write: the unit holds the new blocks it acknowledged and its old blocks after them.
    {"Write_None",
     B::kWrite,
     F::kNone,
     {},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     10,
     E::kUnchanged,
     U::kBlocksWritten,
     kConfigBlocks},
    {"Write_NoAnswer",
     B::kWrite,
     F::kNoAnswer,
     {"--silent"},
     0,
     {kPutFailure, kNoneAccepted},
     std::nullopt,
     O::kFailed,
     4.9,
     8,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Write_WrongProbeAnswer",
     B::kWrite,
     F::kWrongProbeAnswer,
     {"--bad-probe"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     10,
     E::kUnchanged,
     U::kBlocksWritten,
     kConfigBlocks},
    {"Write_RefusedBlocks",
     B::kWrite,
     F::kRefusedBlocks,
     {"--refuse-block", "3"},
     0,
     {kPutRefused, StoppedAfter(3, true)},
     std::nullopt,
     O::kFailed,
     0,
     5,
     E::kUnchanged,
     U::kBlocksWritten,
     3},
    {"Write_StopsAfterBlocks",
     B::kWrite,
     F::kStopsAfterBlocks,
     {"--stop-after", "5"},
     0,
     {kPutFailure, StoppedAfter(5)},
     std::nullopt,
     O::kFailed,
     4.9,
     8,
     E::kUnchanged,
     U::kBlocksWritten,
     5},
    {"Write_CorruptedNibbles",
     B::kWrite,
     F::kCorruptedNibbles,
     {"--corrupt-nibbles"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     10,
     E::kUnchanged,
     U::kBlocksWritten,
     kConfigBlocks},
    {"Write_EndlessVersionLine",
     B::kWrite,
     F::kEndlessVersionLine,
     {"--endless-version"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     10,
     E::kUnchanged,
     U::kBlocksWritten,
     kConfigBlocks},
    {"Write_PortVanishes",
     B::kWrite,
     F::kPortVanishes,
     {},
     50,
     {kPutFailure, StoppedAfter(49)},
     std::nullopt,
     O::kFailed,
     0,
     8,
     E::kUnchanged,
     U::kBlocksWritten,
     -1},
    {"Write_PortBusy",
     B::kWrite,
     F::kPortBusy,
     {},
     0,
     {kBusy},
     std::nullopt,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Write_PortMissing",
     B::kWrite,
     F::kPortMissing,
     {},
     0,
     {kMissing},
     std::nullopt,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},

    // Write MAC: block 240 only.
    {"MacWrite_None",
     B::kMacWrite,
     F::kNone,
     {},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     3,
     E::kUnchanged,
     U::kMacWritten,
     0},
    {"MacWrite_NoAnswer",
     B::kMacWrite,
     F::kNoAnswer,
     {"--silent"},
     0,
     {kPutFailure},
     std::nullopt,
     O::kFailed,
     0.45,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"MacWrite_WrongProbeAnswer",
     B::kMacWrite,
     F::kWrongProbeAnswer,
     {"--bad-probe"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     3,
     E::kUnchanged,
     U::kMacWritten,
     0},
    {"MacWrite_RefusedBlocks",
     B::kMacWrite,
     F::kRefusedBlocks,
     {"--refuse-block", "240"},
     0,
     {kPutRefused},
     std::nullopt,
     O::kFailed,
     0,
     3,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"MacWrite_StopsAfterBlocks",
     B::kMacWrite,
     F::kStopsAfterBlocks,
     {"--stop-after", "0"},
     0,
     {kPutFailure},
     std::nullopt,
     O::kFailed,
     0.45,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"MacWrite_CorruptedNibbles",
     B::kMacWrite,
     F::kCorruptedNibbles,
     {"--corrupt-nibbles"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     3,
     E::kUnchanged,
     U::kMacWritten,
     0},
    {"MacWrite_EndlessVersionLine",
     B::kMacWrite,
     F::kEndlessVersionLine,
     {"--endless-version"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     3,
     E::kUnchanged,
     U::kMacWritten,
     0},
    {"MacWrite_PortVanishes",
     B::kMacWrite,
     F::kPortVanishes,
     {},
     1,
     {kPutFailure},
     std::nullopt,
     O::kFailed,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"MacWrite_PortBusy",
     B::kMacWrite,
     F::kPortBusy,
     {},
     0,
     {kBusy},
     std::nullopt,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"MacWrite_PortMissing",
     B::kMacWrite,
     F::kPortMissing,
     {},
     0,
     {kMissing},
     std::nullopt,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},

    // Calibrate: four times from the unit; when any of them does not come the user's values
    // stay and the failure is reported. A vanished line ends the waits at once.
    {"Calibrate_None",
     B::kCalibrate,
     F::kNone,
     {},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     2,
     E::kCalibrated,
     U::kUnchanged,
     0},
    {"Calibrate_NoAnswer",
     B::kCalibrate,
     F::kNoAnswer,
     {"--silent"},
     0,
     {kPulseFailure},
     std::nullopt,
     O::kFailed,
     0.9,
     3,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Calibrate_WrongProbeAnswer",
     B::kCalibrate,
     F::kWrongProbeAnswer,
     {"--bad-probe"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     2,
     E::kCalibrated,
     U::kUnchanged,
     0},
    {"Calibrate_RefusedBlocks",
     B::kCalibrate,
     F::kRefusedBlocks,
     {"--refuse-block", "0"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     2,
     E::kCalibrated,
     U::kUnchanged,
     0},
    {"Calibrate_StopsAfterBlocks",
     B::kCalibrate,
     F::kStopsAfterBlocks,
     {"--stop-after", "1"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     2,
     E::kCalibrated,
     U::kUnchanged,
     0},
    {"Calibrate_CorruptedNibbles",
     B::kCalibrate,
     F::kCorruptedNibbles,
     {"--corrupt-nibbles"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     2,
     E::kCalibrated,
     U::kUnchanged,
     0},
    {"Calibrate_EndlessVersionLine",
     B::kCalibrate,
     F::kEndlessVersionLine,
     {"--endless-version"},
     0,
     {},
     std::nullopt,
     O::kDone,
     0,
     2,
     E::kCalibrated,
     U::kUnchanged,
     0},
    {"Calibrate_PortVanishes",
     B::kCalibrate,
     F::kPortVanishes,
     {},
     1,
     {kPulseFailure},
     std::nullopt,
     O::kFailed,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Calibrate_PortBusy",
     B::kCalibrate,
     F::kPortBusy,
     {},
     0,
     {kBusy},
     std::nullopt,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"Calibrate_PortMissing",
     B::kCalibrate,
     F::kPortMissing,
     {},
     0,
     {kMissing},
     std::nullopt,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},

    // Auto Baud: ten rates from 115200 down; the unit listens at 9600.
    {"AutoBaud_None",
     B::kAutoBaud,
     F::kNone,
     {},
     0,
     {},
     true,
     O::kDone,
     0,
     4,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    {"AutoBaud_NoAnswer",
     B::kAutoBaud,
     F::kNoAnswer,
     {"--silent"},
     0,
     {},
     false,
     O::kNotAnswering,
     2.4,
     6,
     E::kBaudSearched,
     U::kUnchanged,
     0},
    {"AutoBaud_WrongProbeAnswer",
     B::kAutoBaud,
     F::kWrongProbeAnswer,
     {"--bad-probe"},
     0,
     {},
     false,
     O::kNotAnswering,
     0,
     6,
     E::kBaudSearched,
     U::kUnchanged,
     0},
    {"AutoBaud_RefusedBlocks",
     B::kAutoBaud,
     F::kRefusedBlocks,
     {"--refuse-block", "0"},
     0,
     {},
     true,
     O::kDone,
     0,
     4,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    {"AutoBaud_StopsAfterBlocks",
     B::kAutoBaud,
     F::kStopsAfterBlocks,
     {"--stop-after", "1"},
     0,
     {},
     true,
     O::kDone,
     0,
     4,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    {"AutoBaud_CorruptedNibbles",
     B::kAutoBaud,
     F::kCorruptedNibbles,
     {"--corrupt-nibbles"},
     0,
     {},
     true,
     O::kDone,
     0,
     4,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    // 9600 answers the probe and the search stops there, though the unit cannot be used.
    {"AutoBaud_EndlessVersionLine",
     B::kAutoBaud,
     F::kEndlessVersionLine,
     {"--endless-version"},
     0,
     {kKeepsSending},
     false,
     O::kFailed,
     0,
     8,
     E::kVersionChanged,
     U::kUnchanged,
     0},
    // The line goes during the second rate's probe: the next open names the vanished device,
    // and each rate after it says it will not open, the reason not repeated.
    {"AutoBaud_PortVanishes",
     B::kAutoBaud,
     F::kPortVanishes,
     {},
     2,
     {kMissing, kUnableToOpen, kUnableToOpen, kUnableToOpen, kUnableToOpen, kUnableToOpen,
      kUnableToOpen, kUnableToOpen},
     false,
     O::kNotAnswering,
     0,
     4,
     E::kBaudSearched,
     U::kUnchanged,
     0},
    // Auto Baud stops silently when the port will not open.
    {"AutoBaud_PortBusy",
     B::kAutoBaud,
     F::kPortBusy,
     {},
     0,
     {},
     false,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
    {"AutoBaud_PortMissing",
     B::kAutoBaud,
     F::kPortMissing,
     {},
     0,
     {},
     false,
     O::kPortNotOpened,
     0,
     2,
     E::kUnchanged,
     U::kUnchanged,
     0},
};

// Connect, Read, Write and Auto Baud with the unit behind a device server. A connection that
// ends mid-transfer fails at once (no waiting out the 5 s acknowledgement); a server that never
// accepts or never negotiates holds the click for the connect timeout (3 s), no longer.
const std::vector<std::string> kRfc2217{"--listen", "rfc2217:0"};
std::vector<std::string> Rfc2217And(std::vector<std::string> more) {
    more.insert(more.begin(), kRfc2217.begin(), kRfc2217.end());
    return more;
}
// A row of the network column: no line vanishes there.
Row Net(const char* name, Button button, Fault fault, std::vector<std::string> args,
        std::vector<Message> messages, std::optional<bool> connected, ClickOutcome outcome,
        double minSeconds, double maxSeconds, Editor editor, Unit unit = Unit::kUnchanged,
        int blocks = 0) {
    return {name,      button,  fault,      std::move(args), 0,      std::move(messages),
            connected, outcome, minSeconds, maxSeconds,      editor, unit,
            blocks};
}
const std::vector<Row> kNetworkRows = {
    Net("Connect_Rfc2217", B::kConnect, F::kNetwork, kRfc2217, {}, true, O::kDone, 0, 2,
        E::kVersionChanged),
    Net("Connect_RawTcp", B::kConnect, F::kNetwork, {"--listen", "tcp:[::1]:0"}, {}, true, O::kDone,
        0, 2, E::kVersionChanged),
    Net("Connect_ConnectionRefused", B::kConnect, F::kNetRefused, {}, {kNetRefusedMessage}, false,
        O::kPortNotOpened, 0, 1, E::kUnchanged),
    Net("Connect_NameNotFound", B::kConnect, F::kNetNameNotFound, {}, {kNetNotFound}, false,
        O::kPortNotOpened, 0, 3, E::kUnchanged),
    Net("Connect_NeverAccepts", B::kConnect, F::kNetwork, Rfc2217And({"--never-accept"}),
        {kNetTimedOut}, false, O::kPortNotOpened, 2.9, 3.5, E::kUnchanged),
    Net("Connect_NeverNegotiates", B::kConnect, F::kNetwork, Rfc2217And({"--never-answer"}),
        {kNetNoRfc2217}, false, O::kPortNotOpened, 2.9, 3.5, E::kUnchanged),
    Net("Connect_SlowNegotiation", B::kConnect, F::kNetwork,
        Rfc2217And({"--slow-negotiation", "900"}), {}, true, O::kDone, 1.7, 3, E::kVersionChanged),
    Net("Connect_BaudRefused", B::kConnect, F::kNetwork,
        Rfc2217And({"--baud", "19200", "--refuse-baud", "9600"}), {NetBaudRefused("9600", "19200")},
        false, O::kPortNotOpened, 0, 1, E::kUnchanged),
    Net("Connect_NoControlAck", B::kConnect, F::kNetwork, Rfc2217And({"--no-control-ack"}), {},
        true, O::kDone, 0, 2, E::kVersionChanged),
    Net("Read_Rfc2217", B::kRead, F::kNetwork, kRfc2217, {}, true, O::kDone, 0, 4, E::kFromUnit),
    Net("Read_ClosedMidTransfer", B::kRead, F::kNetwork, Rfc2217And({"--close-after", "5"}),
        {kGetFailure}, true, O::kFailed, 0, 1.5, E::kUnchanged),
    Net("Write_Rfc2217", B::kWrite, F::kNetwork, kRfc2217, {}, std::nullopt, O::kDone, 0, 4,
        E::kUnchanged, U::kBlocksWritten, 240),
    Net("Write_ClosedMidTransfer", B::kWrite, F::kNetwork, Rfc2217And({"--close-after", "5"}),
        {kPutFailure, StoppedAfter(5)}, std::nullopt, O::kFailed, 0, 1.5, E::kUnchanged,
        U::kBlocksWritten, 5),
    Net("AutoBaud_Rfc2217", B::kAutoBaud, F::kNetwork, kRfc2217, {}, true, O::kDone, 0.5, 4,
        E::kVersionChanged),
    Net("AutoBaud_BaudRefused", B::kAutoBaud, F::kNetwork, Rfc2217And({"--refuse-baud", "115200"}),
        {NetBaudRefused("115200", "9600")}, true, O::kDone, 0.5, 4, E::kVersionChanged),
    Net("AutoBaud_RawTcp", B::kAutoBaud, F::kNetwork, {"--listen", "tcp:0"}, {kNetRawAutoBaud},
        false, O::kRefused, 0, 1, E::kUnchanged),
    // The rate selected (9600) refused: the search goes on from the top and finds 4800.
    Net("AutoBaud_SelectedRateRefused", B::kAutoBaud, F::kNetwork,
        Rfc2217And({"--baud", "4800", "--refuse-baud", "9600"}), {NetBaudRefused("9600", "4800")},
        true, O::kDone, 0.5, 6, E::kVersionChanged),
    Net("Connect_EndlessSubnegotiation", B::kConnect, F::kNetwork,
        Rfc2217And({"--endless-subnegotiation"}), {kNetEndlessSubnegotiation}, false,
        O::kPortNotOpened, 0, 1.5, E::kUnchanged),
    Net("Connect_StopsReading", B::kConnect, F::kNetwork, Rfc2217And({"--stop-reading"}),
        {kNetStopsReading}, false, O::kPortNotOpened, 2.9, 4, E::kUnchanged),
};

// A loopback port nothing listens on: taken from the system, then given back.
std::string RefusingAddress() {
    return "rfc2217://127.0.0.1:" + std::to_string(test::FreeLoopbackPort());
}

// QSerialPort wants an application object; settings go to a scratch folder.
class QtEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        char tmpl[] = "/tmp/orv-faults-XXXXXX";
        dir = ::mkdtemp(tmpl);
        ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        static int argc = 1;
        static char name[] = "fault_matrix_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override {
        app_.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static inline std::string dir;

  private:
    std::unique_ptr<QCoreApplication> app_;
};
testing::Environment* const kEnv = testing::AddGlobalTestEnvironment(new QtEnvironment);

// The window's port, with a hand on the plug: just before the chosen write the unit is killed,
// so the terminal disappears in the middle of the exchange.
class VanishingPort : public SerialPort {
  public:
    DevicePort real{[] { return std::make_unique<QtSerialPort>(); }};
    int vanishAtWrite = 0;
    std::function<void()> vanish;
    int writes = 0;

    bool Open(const std::string& device, const SerialSettings& settings, OpenFailure* failure,
              std::string* detail) override {
        return real.Open(device, settings, failure, detail);
    }
    void Close() override { real.Close(); }
    bool IsOpen() const override { return real.IsOpen(); }
    bool Write(std::span<const std::uint8_t> bytes) override {
        if (++writes == vanishAtWrite && vanish) vanish();
        return real.Write(bytes);
    }
    std::size_t BytesWaiting() override { return real.BytesWaiting(); }
    std::optional<std::uint8_t> ReadByte() override { return real.ReadByte(); }
    bool WaitForBytes(SerialClock::time_point deadline) override {
        return real.WaitForBytes(deadline);
    }
};

struct Shown {
    std::string text, title;
    MessageIcon icon;
};

class RecordingUi : public LinkUi {
  public:
    std::vector<Shown> messages;
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        messages.push_back({text, title, icon});
    }
    void SetBusy(bool) override {}
    void SetProgress(int value, bool) override {
        EXPECT_GE(value, 0);
        EXPECT_LE(value, 100);
    }
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
        text.replace(at, from.size(), to);
    return text;
}

Image ReadImageFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Image image{};
    in.read(reinterpret_cast<char*>(image.data()), image.size());
    EXPECT_EQ(in.gcount(), kImageSize) << path;
    return image;
}

bool SameBlock(const Image& a, const Image& b, int block) {
    return std::equal(a.begin() + block * kBlockSize, a.begin() + (block + 1) * kBlockSize,
                      b.begin() + block * kBlockSize);
}

class FaultMatrix : public testing::TestWithParam<Row> {};

TEST_P(FaultMatrix, Row) {
    const Row& row = GetParam();
    const std::string dir = QtEnvironment::dir + "/" + row.name;
    fs::create_directories(dir);

    // The unit holds another configuration than the editor, so every block that moves shows.
    StartupState unitState = MakeStartupState();
    unitState.moduleTypes = {15, 13, 14, 0};
    SetDefaults(unitState.rec, unitState.moduleTypes);
    unitState.rec.txtMsg[0] = "UNIT SIDE CONFIG";
    Image unitBefore{};
    BuildImage(unitState.rec, unitState.moduleTypes, unitBefore);
    // What lies after the packed part is the unit's own and differs from the editor's zeros, so a
    // block that moved shows in the comparison.
    for (int a = WalkPackedPart(unitBefore) + 1; a < kImageSize; ++a)
        unitBefore[a] = static_cast<std::uint8_t>(0xA5 ^ a);
    const std::string eepromPath = dir + "/unit.eeprom";
    std::ofstream(eepromPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(unitBefore.data()), unitBefore.size());

    std::vector<std::string> args = {"--eeprom", eepromPath,       "--modules", "15,13,14,0",
                                     "--baud",   "9600",           "--pulse",   "12,13,48,49",
                                     "--log",    dir + "/unit.log"};
    args.insert(args.end(), row.unitArgs.begin(), row.unitArgs.end());
    SimProcess unit(ORV_UNIT_SIM_PATH, args);
    std::string device = row.fault == Fault::kPortMissing ? dir + "/ttyGone" : unit.Device();
    if (row.fault == Fault::kNetRefused) device = RefusingAddress();
    if (row.fault == Fault::kNetNameNotFound)  // too long a label to go to any name server
        device = "rfc2217://" + std::string(70, 'u') + ".invalid:4001";

    // The editor: its own configuration, its image built from it, as after a Size click.
    StartupState state = MakeStartupState();
    for (int i = 0; i < 64; ++i) state.rec.txtMsg[i] = "PUMP " + std::to_string(i) + " FAILED";
    state.rec.txtRIC[0] = "0765432";
    state.rec.txtMAC[3] = "12";
    state.rec.txtPulseTime[0] = "367";  // rounded to 370 ms, below Fast ON Max
    Image image{};
    ASSERT_TRUE(BuildImage(state.rec, state.moduleTypes, image).fits);
    const StartupState before = state;
    const Image imageBefore = image;

    VanishingPort port;
    port.vanishAtWrite = row.vanishAtWrite;
    port.vanish = [&unit] { unit.Stop(SIGKILL); };
    Comms comms(port, [device](int) { return std::optional<std::string>(device); });
    RecordingUi ui;
    UnitSession session(state.rec, state.moduleTypes, image, comms, ui);

    // Another program holding the line.
    QtSerialPort holder;
    if (row.fault == Fault::kPortBusy) {
        ASSERT_TRUE(holder.Open(device, {9600, 'N', 8, 1}, nullptr, nullptr));
    }

    // The window runs a click on a std::thread worker, as here.
    const auto started = std::chrono::steady_clock::now();
    std::thread worker([&] {
        switch (row.button) {
            case Button::kConnect:
                session.ConnectClick();
                break;
            case Button::kRead:
                session.ReadClick();
                break;
            case Button::kWrite:
                session.WriteClick();
                break;
            case Button::kMacWrite:
                session.MacWriteClick();
                break;
            case Button::kCalibrate:
                session.CalibrateClick();
                break;
            case Button::kAutoBaud:
                session.AutoBaudClick();
                break;
        }
    });
    worker.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    holder.Close();
    unit.Stop(SIGTERM);

    // Messages, word for word and in order.
    std::vector<std::string> shown, expected;
    for (const auto& m : ui.messages)
        shown.push_back(m.title + " | " + std::to_string(static_cast<int>(m.icon)) + " | " +
                        m.text);
    for (const auto& m : row.messages)
        expected.push_back(m.title + " | " + std::to_string(static_cast<int>(m.icon)) + " | " +
                           Replace(Replace(m.text, "{device}", device), "{hostport}",
                                   device.substr(device.find("://") + 3)));
    EXPECT_EQ(shown, expected);

    EXPECT_EQ(session.LastOutcome(), row.outcome);
    if (row.connected) {
        EXPECT_EQ(session.IsConnected(), *row.connected);
    }
    EXPECT_GE(seconds, row.minSeconds);
    EXPECT_LE(seconds, row.maxSeconds);
    EXPECT_FALSE(port.IsOpen()) << "the port stays open after the click";
    EXPECT_FALSE(session.ExchangeRunning());

    // The editor.
    ConfigRecord expectedRec = before.rec;
    ModuleTypes expectedTypes = before.moduleTypes;
    Image expectedImage = imageBefore;
    switch (row.editor) {
        case Editor::kUnchanged:
            break;
        case Editor::kVersionChanged:
            expectedRec.txtVer = state.rec.txtVer;
            expectedRec.lstBaudPC = state.rec.lstBaudPC;
            expectedTypes = state.moduleTypes;
            if (row.fault != Fault::kEndlessVersionLine && row.fault != Fault::kPortVanishes) {
                EXPECT_EQ(state.moduleTypes, (ModuleTypes{15, 13, 14, 0}));
                EXPECT_EQ(state.rec.txtVer[0], "ORV-PRO SIM V2.13");
            } else {
                EXPECT_EQ(state.rec.txtVer, (std::array<std::string, 2>{}));
            }
            if (row.fault == Fault::kEndlessVersionLine) {
                EXPECT_EQ(state.moduleTypes, before.moduleTypes);  // not known: left alone
                if (row.button == Button::kAutoBaud) {
                    EXPECT_EQ(state.rec.lstBaudPC, kBaud9600);
                }
            }
            break;
        case Editor::kFromUnit: {
            // As if the unit's EEPROM had been decoded in place.
            expectedImage = unitBefore;
            DecodeImage(expectedRec, expectedTypes, expectedImage);
            EXPECT_TRUE(expectedImage == unitBefore);
            break;
        }
        case Editor::kCalibrated: {
            const bool answered =
                row.fault != Fault::kNoAnswer && row.fault != Fault::kPortVanishes;
            EXPECT_EQ(state.rec.txtFastZero, answered ? "120" : "0");
            EXPECT_EQ(state.rec.txtFastOne, answered ? "130" : "0");
            EXPECT_EQ(state.rec.txtSlowZero, answered ? "480" : "0");
            EXPECT_EQ(state.rec.txtSlowOne, answered ? "490" : "0");
            expectedRec.txtFastZero = state.rec.txtFastZero;
            expectedRec.txtFastOne = state.rec.txtFastOne;
            expectedRec.txtSlowZero = state.rec.txtSlowZero;
            expectedRec.txtSlowOne = state.rec.txtSlowOne;
            expectedRec.txtPulseTime = state.rec.txtPulseTime;
            break;
        }
        case Editor::kBaudSearched:
            expectedRec.lstBaudPC = state.rec.lstBaudPC;
            if (row.fault == Fault::kNoAnswer) {
                EXPECT_EQ(state.rec.lstBaudPC, 0);
            }
            break;
    }
    EXPECT_TRUE(state.rec == expectedRec) << "the editor's record changed";
    EXPECT_EQ(state.moduleTypes, expectedTypes);
    EXPECT_TRUE(image == expectedImage) << "the editor's image changed";

    // The unit.
    const Image unitAfter = ReadImageFile(eepromPath);
    switch (row.unit) {
        case Unit::kUnchanged:
            EXPECT_TRUE(unitAfter == unitBefore) << "the unit's EEPROM changed";
            break;
        case Unit::kMacWritten:
            for (int b = 0; b < kImageBlocks; ++b)
                EXPECT_TRUE(SameBlock(unitAfter, b == kMacBlock ? image : unitBefore, b))
                    << "block " << b;
            break;
        case Unit::kBlocksWritten: {
            // Blocks before the first unacknowledged one hold the editor's image, every other block
            // is as it was. A vanishing line takes the block it was about to carry with it.
            const int acknowledged =
                row.blocksWritten >= 0 ? row.blocksWritten : row.vanishAtWrite - 1;
            for (int b = 0; b < kImageBlocks; ++b)
                EXPECT_TRUE(SameBlock(unitAfter, b < acknowledged ? image : unitBefore, b))
                    << "block " << b
                    << (b < acknowledged ? " not written" : " beyond those acknowledged");
            break;
        }
    }
    RecordProperty("seconds", std::to_string(seconds));
    std::printf("%-30s %6.2f s, %zu message(s)\n", row.name, seconds, ui.messages.size());
}

INSTANTIATE_TEST_SUITE_P(Link, FaultMatrix, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Network, FaultMatrix, testing::ValuesIn(kNetworkRows),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
}  // namespace orv
