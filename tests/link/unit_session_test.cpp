#include "link/unit_session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "link/port_names.h"
#include "model/defaults.h"
#include "model/lists.h"
#include "test_ports.h"

namespace orv {
namespace {

using test::Bytes;
using test::EnginePort;
using test::RecordingUi;
using test::ScriptedPort;

// The editor's state with a session over it.
// A unit that answers only at 9600 baud: the probe, two version lines and one input module.
Bytes UnitAt9600(const Bytes& w, const SerialSettings& s) {
    if (s.baud != 9600) return {};
    if (w == Bytes{0x14}) return {0x11};
    if (w == Bytes{0x13, 'V'}) return {'a', '\n', 'b', '\n'};
    if (w == Bytes{'m'}) return {15, 0, 0, 0};
    return {};
}

struct Editor {
    StartupState state = MakeStartupState();
    Image image{};
    RecordingUi ui;
    std::vector<std::string> events;
    std::vector<int> baudSelections;
    Comms comms;
    UnitSession session;

    explicit Editor(SerialPort& port)
        : comms(port),
          session(state.rec, state.moduleTypes, image, comms, ui,
                  UnitSessionHooks{
                      [this] { events.push_back("connected"); },
                      [this] { events.push_back("disconnected"); },
                      [this] { events.push_back("record"); },
                      [this] { events.push_back("modules"); },
                      [this](int p) { baudSelections.push_back(p); },
                      [this](const SizeReport&) { events.push_back("size"); },
                  }) {}
};

TEST(UnitSession, ConnectReadsVersionAndModulesThenDisconnectsWithoutBytes) {
    sim::UnitOptions options;
    options.modules = {13, 14, 15, 0};
    EnginePort port(options);
    Editor ed(port);
    ed.session.ConnectClick();
    EXPECT_TRUE(ed.session.IsConnected());
    EXPECT_EQ(ed.state.rec.txtVer[0], options.version[0]);
    EXPECT_EQ(ed.state.rec.txtVer[1], options.version[1]);
    EXPECT_EQ(ed.state.moduleTypes, (ModuleTypes{13, 14, 15, 0}));
    EXPECT_EQ(ed.events, (std::vector<std::string>{"connected", "modules", "record"}));
    EXPECT_EQ(ed.ui.busy, (std::vector<bool>{true, false}));
    EXPECT_FALSE(port.IsOpen());

    const std::size_t written = port.writes.size();
    ed.session.ConnectClick();
    EXPECT_FALSE(ed.session.IsConnected());
    EXPECT_EQ(port.writes.size(), written);
    EXPECT_EQ(port.opened.size(), 1u);
}

TEST(UnitSession, UnansweredProbeStaysDisconnectedSilently) {
    sim::UnitOptions options;
    options.badProbe = true;
    EnginePort port(options);
    Editor ed(port);
    ed.session.ConnectClick();
    EXPECT_FALSE(ed.session.IsConnected());
    EXPECT_TRUE(ed.ui.messages.empty());
    EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kNotAnswering);
    EXPECT_EQ(port.writes.size(), 1u);
}

TEST(UnitSession, AutoBaudFinds9600AfterFourFailedTries) {
    ScriptedPort port;
    port.respond = UnitAt9600;
    Editor ed(port);
    ed.state.rec.lstBaudPC = 0;  // 110: the search starts at the top whatever is selected
    ed.session.AutoBaudClick();
    EXPECT_TRUE(ed.session.IsConnected());
    EXPECT_EQ(ed.state.rec.lstBaudPC, kBaud9600);
    EXPECT_EQ(ed.baudSelections, (std::vector<int>{9, 8, 7, 6, 5}));
    // Opens: the first with the current selection, then one per try.
    std::vector<int> bauds;
    for (const auto& s : port.openSettings) bauds.push_back(s.baud);
    EXPECT_EQ(bauds, (std::vector<int>{110, 115200, 57600, 38400, 19200, 9600}));
    int probes = 0;
    for (const auto& w : port.writes) probes += w == Bytes{0x14};
    EXPECT_EQ(probes, 5);
    EXPECT_EQ(ed.state.rec.txtVer[0], "a");
    EXPECT_EQ(ed.state.rec.lstPCFormat, kFormatN81);  // never changed by the search
    EXPECT_TRUE(ed.ui.messages.empty());
}

TEST(UnitSession, AutoBaudGoesOnPastRatesThePortWillNotOpenAt) {
    ScriptedPort port;
    port.respond = UnitAt9600;
    port.refuse = [](const SerialSettings& s) {
        return s.baud == 57600 || s.baud == 38400 ? OpenFailure::kBusy : OpenFailure::kNone;
    };
    Editor ed(port);
    ed.session.AutoBaudClick();
    EXPECT_TRUE(ed.session.IsConnected());
    EXPECT_EQ(ed.state.rec.lstBaudPC, kBaud9600);
    EXPECT_EQ(ed.baudSelections, (std::vector<int>{9, 8, 7, 6, 5}));
    std::vector<int> bauds;
    for (const auto& s : port.openSettings) bauds.push_back(s.baud);
    EXPECT_EQ(bauds, (std::vector<int>{9600, 115200, 19200, 9600}));
    // Each refused rate says so as Connect would; the reason once, not again beneath the second.
    ASSERT_EQ(ed.ui.messages.size(), 2u);
    EXPECT_EQ(ed.ui.messages[0].text,
              "Unable to open selected Coms Port\n" + DefaultDeviceForCom(1) +
                  " is busy: it is held by another program. Close that program and try again.");
    EXPECT_EQ(ed.ui.messages[1].text, "Unable to open selected Coms Port");
    EXPECT_EQ(ed.ui.messages[1].title, "ORV Pro Configuration");
    EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kDone);
}

// The open before the search, at the rate selected: a rate refused (by a device server, or an
// adapter without it) is one failed try and the search goes on; a port that is not there stops
// it silently.
TEST(UnitSession, AutoBaudTakesARefusedFirstRateAsOneFailedTry) {
    const struct {
        OpenFailure atSelectedRate;
        bool searched;
    } cases[] = {
        {OpenFailure::kSettingsRefused, true},
        {OpenFailure::kBadSettings, true},
        {OpenFailure::kNoSuchDevice, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.atSelectedRate));
        ScriptedPort port;
        port.respond = UnitAt9600;
        // 4800 is selected; the server takes every rate but that one.
        port.refuse = [&c](const SerialSettings& s) {
            return s.baud == 4800 ? c.atSelectedRate : OpenFailure::kNone;
        };
        Editor ed(port);
        ed.state.rec.lstBaudPC = kBaud9600 - 1;
        ed.session.AutoBaudClick();
        EXPECT_EQ(ed.session.IsConnected(), c.searched);
        EXPECT_EQ(ed.session.LastOutcome(),
                  c.searched ? ClickOutcome::kDone : ClickOutcome::kPortNotOpened);
        EXPECT_EQ(ed.baudSelections.size(), c.searched ? 5u : 0u);
        if (c.searched) {
            EXPECT_EQ(ed.state.rec.lstBaudPC, kBaud9600);
        }
        EXPECT_TRUE(ed.ui.messages.empty());
    }
}

TEST(UnitSession, AutoBaudWithNoUnitEndsAt110Disconnected) {
    ScriptedPort port;
    Editor ed(port);
    ed.session.ConnectClick();  // not answering: stays disconnected
    ed.session.AutoBaudClick();
    EXPECT_FALSE(ed.session.IsConnected());
    EXPECT_EQ(ed.state.rec.lstBaudPC, 0);
    EXPECT_EQ(ed.baudSelections.size(), 10u);
    EXPECT_TRUE(ed.ui.messages.empty());
    EXPECT_FALSE(port.IsOpen());
}

TEST(UnitSession, ReadTakesTheUnitsConfiguration) {
    EnginePort port;
    // The unit holds a configuration that differs from the editor's.
    StartupState unit = MakeStartupState();
    unit.moduleTypes = {15, 0, 0, 0};
    unit.rec.txtRIC[5] = "0123456";
    unit.rec.txtMsg[0] = "FIRE ALARM";
    unit.rec.txtMAC = {"50", "46", "4A", "01", "02", "03"};
    ASSERT_TRUE(BuildImage(unit.rec, unit.moduleTypes, port.eeprom).fits);
    port.eeprom[4000] = 0x99;  // unit area: carried along

    Editor ed(port);
    ed.state.moduleTypes = unit.moduleTypes;
    testing::internal::CaptureStderr();
    ed.session.ReadClick();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(" ++ Get EEprom"), std::string::npos) << log;
    EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kDone);
    EXPECT_EQ(ed.image, port.eeprom);
    EXPECT_EQ(ed.state.rec.txtRIC[5], "0123456");
    EXPECT_EQ(ed.state.rec.txtMsg[0], "FIRE ALARM");
    EXPECT_EQ(ed.state.rec.txtMAC[5], "03");
    EXPECT_TRUE(ed.session.IsConnected());
    EXPECT_TRUE(ed.ui.messages.empty());
    EXPECT_EQ(port.writes.size(), 256u);
}

TEST(UnitSession, FailedReadLeavesImageAndRecordAsTheyWere) {
    for (int stopAfter : {0, 1, 200, 255}) {
        sim::UnitOptions options;
        options.stopAfter = stopAfter;
        EnginePort port(options);
        port.eeprom.fill(0x33);
        Editor ed(port);
        ed.state.rec.txtMsg[3] = "KEEP ME";
        ed.image.fill(0x44);
        const ConfigRecord recBefore = ed.state.rec;
        const Image imageBefore = ed.image;
        ed.session.ReadClick();
        EXPECT_EQ(ed.image, imageBefore) << stopAfter;
        EXPECT_TRUE(ed.state.rec == recBefore) << stopAfter;
        ASSERT_EQ(ed.ui.messages.size(), 1u);
        EXPECT_EQ(ed.ui.messages[0].text,
                  "Comms failure while getting EEprom, please check Port, cables and connections");
        EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kFailed);
        EXPECT_EQ(ed.ui.busy, (std::vector<bool>{true, false}));
        EXPECT_FALSE(port.IsOpen());
    }
}

TEST(UnitSession, WriteSendsTheBuiltConfigurationButNotTheMacBlock) {
    EnginePort port;
    port.eeprom.fill(0xC3);
    Editor ed(port);
    ed.state.moduleTypes = {15, 14, 13, 0};
    ed.state.rec.txtRIC[0] = "1234567";
    testing::internal::CaptureStderr();
    ed.session.WriteClick();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(" ++ Put EEprom"), std::string::npos) << log;
    EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kDone);
    EXPECT_TRUE(std::equal(ed.image.begin(), ed.image.begin() + 3840, port.eeprom.begin()));
    EXPECT_TRUE(std::all_of(port.eeprom.begin() + 3840, port.eeprom.end(),
                            [](auto b) { return b == 0xC3; }));
    EXPECT_EQ(port.writes.size(), 240u);
    EXPECT_EQ(ed.events.front(), "size");    // the size report runs first
    EXPECT_FALSE(ed.session.IsConnected());  // Write leaves the state as it was
}

TEST(UnitSession, WriteRefusesValuesTheUnitCannotStore) {
    const std::function<void(ConfigRecord&)> faults[] = {
        [](ConfigRecord& r) { r.txtIP[0] = "300"; },
        [](ConfigRecord& r) { r.txtPulseTime[2] = "9000"; },
        [](ConfigRecord& r) { r.txtRIC[0] = "3000000"; },
        [](ConfigRecord& r) { r.lstPortFormat[0] = kNoSelection; },
    };
    for (const auto& fault : faults) {
        EnginePort port;
        Editor ed(port);
        fault(ed.state.rec);
        ed.session.WriteClick();
        EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kRefused);
        EXPECT_TRUE(port.opened.empty());
        EXPECT_TRUE(port.writes.empty());
        ASSERT_EQ(ed.ui.messages.size(), 1u);
        EXPECT_NE(ed.ui.messages[0].text.find("Nothing was sent to the unit."), std::string::npos);
    }
}

TEST(UnitSession, WriteRefusesAConfigurationThatDoesNotFit) {
    EnginePort port;
    Editor ed(port);
    ed.state.moduleTypes = {15, 15, 15, 15};
    unsigned seed = 12345;  // distinct messages that no dictionary can shorten much
    for (int i = 0; i < kChannelStates; ++i) {
        std::string msg;
        for (int k = 0; k < 69; ++k) {
            seed = seed * 1103515245u + 12345u;
            msg.push_back(static_cast<char>('A' + (seed >> 16) % 26));
        }
        ed.state.rec.txtMsg[i] = msg;
    }
    ed.session.WriteClick();
    EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kRefused);
    EXPECT_TRUE(port.opened.empty());
    EXPECT_TRUE(port.writes.empty());
    ASSERT_EQ(ed.ui.messages.size(), 1u);
    EXPECT_NE(ed.ui.messages[0].text.find("too large"), std::string::npos);
}

TEST(UnitSession, PortThatWillNotOpenStopsEveryExchange) {
    using Click = void (UnitSession::*)();
    const std::pair<const char*, Click> clicks[] = {
        {"read", &UnitSession::ReadClick},           {"write", &UnitSession::WriteClick},
        {"mac", &UnitSession::MacWriteClick},        {"reset", &UnitSession::ResetClick},
        {"calibrate", &UnitSession::CalibrateClick}, {"connect", &UnitSession::ConnectClick},
    };
    for (const auto& [name, click] : clicks) {
        ScriptedPort port;
        port.failOpen = OpenFailure::kBusy;
        Editor ed(port);
        const ConfigRecord before = ed.state.rec;
        (ed.session.*click)();
        ASSERT_EQ(ed.ui.messages.size(), 1u) << name;
        EXPECT_EQ(ed.ui.messages[0].text.rfind("Unable to open selected Coms Port\n", 0), 0u)
            << name;
        EXPECT_NE(ed.ui.messages[0].text.find(test::UnmappedDevice(1) + " is busy"),
                  std::string::npos)
            << name;
        EXPECT_EQ(ed.ui.messages[0].title, "ORV Pro Configuration");
        EXPECT_TRUE(port.writes.empty()) << name;
        EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kPortNotOpened) << name;
        EXPECT_FALSE(ed.session.IsConnected()) << name;
        EXPECT_TRUE(ed.ui.busy.empty()) << name;
        if (std::string(name) != "write") {
            EXPECT_TRUE(ed.state.rec == before) << name;
        }
    }
    // Auto Baud stops silently.
    ScriptedPort port;
    port.failOpen = OpenFailure::kNoSuchDevice;
    Editor ed(port);
    ed.session.AutoBaudClick();
    EXPECT_TRUE(ed.ui.messages.empty());
    EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kPortNotOpened);
}

TEST(UnitSession, MacWriteRestoresTheFixedOctets) {
    EnginePort port;
    Editor ed(port);
    ed.state.rec.txtMAC = {"00", "11", "22", "01", "02", "03"};
    for (int a = 3846; a < 3856; ++a) ed.image[a] = 0;
    testing::internal::CaptureStderr();
    ed.session.MacWriteClick();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(" ++ Put MAC to EEprom"), std::string::npos);
    EXPECT_EQ(ed.state.rec.txtMAC,
              (std::array<std::string, 6>{"50", "46", "4A", "01", "02", "03"}));
    ASSERT_EQ(port.writes.size(), 1u);
    const Bytes expected{0x13, 0x2B, 0xF0, 0x50, 0x46, 0x4A, 0x01, 0x02, 0x03, 0,
                         0,    0,    0,    0,    0,    0,    0,    0,    0,    0xE6};
    EXPECT_EQ(port.writes[0], expected);
    EXPECT_EQ(port.eeprom[3843], 0x01);
    EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kDone);
}

TEST(UnitSession, ResetSendsTwoBytesAndWaitsForNothing) {
    ScriptedPort port;
    Editor ed(port);
    ed.session.ResetClick();
    EXPECT_EQ(port.writes, (std::vector<Bytes>{{0x13, 0x52}}));
    EXPECT_TRUE(port.waitsMs.empty());
    EXPECT_FALSE(port.IsOpen());
}

TEST(UnitSession, CalibrateFillsTimesAndLimitsAndReportsClamping) {
    struct Case {
        std::array<std::uint8_t, 4> reply;
        std::array<const char*, 4> times;  // FastZero, FastOne, SlowZero, SlowOne
        std::array<const char*, 8> limits;
        bool clampMessage;
    } cases[] = {
        {{12, 12, 48, 48},
         {"120", "120", "480", "480"},
         {"80", "240", "80", "240", "240", "720", "240", "720"},
         false},
        {{10, 10, 45, 35},
         {"100", "100", "450", "350"},
         {"70", "190", "70", "210", "190", "520", "210", "680"},
         false},
        {{10, 10, 200, 171},
         {"100", "100", "2000", "1710"},
         {"70", "410", "70", "450", "410", "2500", "450", "2500"},
         true},
    };
    for (const auto& c : cases) {
        sim::UnitOptions options;
        options.pulse = c.reply;
        EnginePort port(options);
        Editor ed(port);
        ed.session.CalibrateClick();
        const auto& r = ed.state.rec;
        EXPECT_EQ(
            (std::array<std::string, 4>{r.txtFastZero, r.txtFastOne, r.txtSlowZero, r.txtSlowOne}),
            (std::array<std::string, 4>{c.times[0], c.times[1], c.times[2], c.times[3]}));
        for (int k = 0; k < 8; ++k) EXPECT_EQ(r.txtPulseTime[k], c.limits[k]) << k;
        EXPECT_EQ(ed.ui.messages.size(), c.clampMessage ? 1u : 0u);
        EXPECT_EQ(port.writes, (std::vector<Bytes>{{0x13}, {0x74}}));
    }
}

TEST(UnitSession, CalibrateWithoutAnAnswerKeepsTheUsersValues) {
    // Nothing at all, and only two of the four bytes: either way the fields stay as they were.
    for (const Bytes& reply : {Bytes{}, Bytes{12, 12}}) {
        ScriptedPort port;
        port.respond = [&](const Bytes& w, const SerialSettings&) -> Bytes {
            return w == Bytes{0x74} ? reply : Bytes{};
        };
        Editor ed(port);
        ed.state.rec.txtPulseTime[1] = "390";
        const ConfigRecord before = ed.state.rec;
        ed.session.CalibrateClick();
        EXPECT_EQ(ed.state.rec, before);
        EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kFailed);
        ASSERT_EQ(ed.ui.messages.size(), 1u);
        EXPECT_EQ(ed.ui.messages[0].title, "Communications Error");
        EXPECT_EQ(ed.ui.messages[0].icon, MessageIcon::kCritical);
        EXPECT_EQ(ed.ui.messages[0].text.rfind("Comms failure while getting pulse times", 0), 0u);
        EXPECT_FALSE(port.IsOpen());
    }
}

TEST(UnitSession, TimerTickNoticesALostUnit) {
    bool answering = true;
    ScriptedPort port;
    port.respond = [&](const Bytes& w, const SerialSettings&) -> Bytes {
        if (!answering) return {};
        if (w == Bytes{0x14}) return {0x11};
        if (w == Bytes{0x13, 'V'}) return {'a', '\n', 'b', '\n'};
        if (w == Bytes{'m'}) return {0, 0, 0, 0};
        return {};
    };
    Editor ed(port);
    ed.session.TimerTick();  // not connected: does nothing
    EXPECT_TRUE(port.opened.empty());
    ed.session.ConnectClick();
    ASSERT_TRUE(ed.session.IsConnected());
    ed.session.TimerTick();
    EXPECT_TRUE(ed.session.IsConnected());
    answering = false;
    ed.session.TimerTick();
    EXPECT_FALSE(ed.session.IsConnected());
    EXPECT_TRUE(ed.ui.messages.empty());
    EXPECT_EQ(ed.events.back(), "disconnected");
    EXPECT_FALSE(port.IsOpen());
}

// The checks around a Write, and a Write that stops, against the in-memory unit, whose EEPROM
// starts as zeros so that a block it does not keep reads back different.
TEST(UnitSession, WriteSaysWhatTheUnitHolds) {
    struct Row {
        const char* name;
        WriteChecks checks;
        sim::UnitOptions unit;
        const char* backupError;
        WriteEnd end;
        std::size_t requests;   // 240 writes; a backup adds 3 for the version report and 256 reads
        std::string message;    // in the last message shown, "" for none
        const char* kept = "";  // what the history is told was sent: "write", "unverified"
    } rows[] = {
        {"not kept",
         {true, false},
         {.forgetBlock = 1},
         "",
         WriteEnd::kDifferent,
         480,
         "but block 1 reads back different from what was sent (sent -> unit):\n"
         "block 1 (addresses 16 to 31)\n",
         "unverified"},
        {"read-back stops",
         {true, false},
         {.stopAfter = 250},
         "",
         WriteEnd::kNotVerified,
         251,
         "Written, but not verified: the unit accepted every block, then stopped answering while "
         "it was read back (block 10).",
         "unverified"},
        {"backup", {false, true}, {}, "", WriteEnd::kWritten, 499, "", "write"},
        {"backup not kept",
         {true, true},
         {},
         "Disc full.",
         WriteEnd::kNothingSent,
         259,
         "Disc full.\nThe unit's configuration could not be backed up, so nothing was written"},
        {"last block not kept",
         {true, false},
         {.forgetBlock = 239},
         "",
         WriteEnd::kDifferent,
         480,
         "but block 239 reads back different from what was sent (sent -> unit):\n"
         "block 239 (addresses 3824 to 3839)\n",
         "unverified"},
        {"refused",
         {true, true},
         {.refuseBlock = 3},
         "",
         WriteEnd::kStopped,
         266,
         "The unit refused block 3 four times: it answered each time, so the connection is not "
         "the cause. The Write stopped after the unit accepted 3 of the 240 blocks of the "
         "configuration. The unit now holds a mix: the new configuration in blocks 0 to 2 and "
         "the one it held before in the rest (blocks 3 to 239).\nCheck that the unit's "
         "configuration memory is not write-protected, then write again; if the unit refuses "
         "the block again, it may have a fault. To go back instead, the last configuration read "
         "from this unit is kept in the history:\n/h/read.ORV"},
        {"stopped",
         {true, false},
         {.stopAfter = 5},
         "",
         WriteEnd::kStopped,
         6,
         "in blocks 0 to 4 and the one it held before in the rest (blocks 5 to 239).\nTo recover, "
         "write again once the connection is sound. To go back instead"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EnginePort port(row.unit);
        port.eeprom[3000] = 0x5A;
        port.eeprom[3839] = 0xA5;  // the last verified byte differs from what is sent
        const Image unitBefore = port.eeprom;
        StartupState state = MakeStartupState();
        Image image{}, expected{};
        BuildImage(state.rec, state.moduleTypes, expected);
        RecordingUi ui;
        Comms comms(port);
        std::vector<Image> backups;
        UnitSessionHooks hooks;
        hooks.keepBackup = [&](const UnitContents& unit) {
            backups.push_back(unit.image);
            return std::string(row.backupError);
        };
        hooks.lastUnitCopy = [](const WrittenUnit&) { return UnitCopyHint{"/h/read.ORV", {}}; };
        std::string kept;
        hooks.imageSent = [&](const Image&, bool readBackFailed) {
            kept = readBackFailed ? "unverified" : "write";
        };
        UnitSession session(state.rec, state.moduleTypes, image, comms, ui, hooks);
        session.SetWriteChecks(row.checks);
        session.WriteClick();
        EXPECT_EQ(session.LastWriteEnd(), row.end);
        EXPECT_EQ(port.writes.size(), row.requests);
        const std::string last = ui.messages.empty() ? "" : ui.messages.back().text;
        EXPECT_TRUE(row.message.empty() ? last.empty() : last.find(row.message) != last.npos)
            << last;
        EXPECT_EQ(session.LastOutcome(),
                  row.message.empty() ? ClickOutcome::kDone : ClickOutcome::kFailed);
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + 3840, expected.begin()));
        EXPECT_EQ(backups,
                  row.checks.backup ? std::vector<Image>{unitBefore} : std::vector<Image>{});
        EXPECT_EQ(kept, row.kept);
    }
}

// A Write that stops asks for a copy of the unit it went to (its device and the version lines it
// reported at Connect, not those of a file opened since) and names it, or says there is none and
// how to keep one.
TEST(UnitSession, StoppedWriteNamesACopyOfTheUnitWrittenTo) {
    const struct {
        const char* name;
        UnitCopyHint hint;
        std::string ending;
    } rows[] = {
        {"copy",
         {"/h/2026-12-09 10.48.05 read ORV V2.13.ORV", ""},
         "To recover, write again once the connection is sound. To go back instead, the last "
         "configuration read from this unit is kept in the history:\n"
         "/h/2026-12-09 10.48.05 read ORV V2.13.ORV"},
        {"none",
         {"", "Turn on the backup."},
         "To recover, write again once the connection is sound. No copy of what this unit held "
         "before is kept in the history, so there is none to go back to. Turn on the backup."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim::UnitOptions options;
        options.version = {"ORV V2.13", "SIM 1"};
        options.stopAfter = 30;
        EnginePort port(options);
        RecordingUi ui;
        Comms comms(port);
        StartupState state = MakeStartupState();
        Image image{};
        std::vector<WrittenUnit> asked;
        UnitSessionHooks hooks;
        hooks.lastUnitCopy = [&](const WrittenUnit& unit) {
            asked.push_back(unit);
            return row.hint;
        };
        UnitSession session(state.rec, state.moduleTypes, image, comms, ui, hooks);
        session.ConnectClick();
        ASSERT_TRUE(session.IsConnected());
        state.rec.txtVer = {"FROM A FILE", ""};  // a file opened since
        session.WriteClick();
        EXPECT_EQ(session.LastWriteEnd(), WriteEnd::kStopped);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].device, DeviceForCom(1, {}));
        EXPECT_EQ(asked[0].versionLines, (std::array<std::string, 2>{"ORV V2.13", "SIM 1"}));
        ASSERT_FALSE(ui.messages.empty());
        const std::string& text = ui.messages.back().text;
        EXPECT_TRUE(text.ends_with(row.ending)) << text;
    }
}

// A user who asks to stop once `after` blocks of the step named `step` have been moved; what
// steps the transfer announced is kept.
class StoppingUi : public RecordingUi {
  public:
    StoppingUi(std::string step, int after) : step_(std::move(step)), after_(after) {}
    void BeginPhase(const std::string& name, int index, int count, int blocks) override {
        phases.push_back(name + " " + std::to_string(index) + "/" + std::to_string(count) + " " +
                         std::to_string(blocks));
        current_ = name;
    }
    void BlockDone(int done) override {
        if (current_ == step_ && done >= after_) stop_ = true;
    }
    bool StopRequested() const override { return stop_; }
    std::vector<std::string> phases;

  private:
    std::string step_, current_;
    int after_;
    bool stop_ = false;
};

// A stop is taken between two blocks of whatever changes nothing on the unit; a Write itself
// always runs to its end. Nothing the user stopped is reported as a failure.
TEST(UnitSession, AStopEndsReadsAndChecksAtTheNextBlockButNeverAWrite) {
    using Click = void (UnitSession::*)();
    struct Row {
        const char* name;
        Click click;
        WriteChecks checks;
        const char* step;
        int after;
        ClickOutcome outcome;
        WriteEnd end;
        std::size_t requests;  // a version report is 3 writes, a block one
        std::vector<std::string> phases;
        const char* kept;  // what the history is told a Write sent
    };
    const Row rows[] = {
        {"read",
         &UnitSession::ReadClick,
         {},
         "Read",
         10,
         ClickOutcome::kStopped,
         WriteEnd::kNothingSent,
         10,
         {"Read 1/1 256"},
         ""},
        {"compare",
         &UnitSession::CompareClick,
         {},
         "Compare",
         5,
         ClickOutcome::kStopped,
         WriteEnd::kNothingSent,
         3 + 5,
         {"Compare 1/1 256"},
         ""},
        {"backup before a Write",
         &UnitSession::WriteClick,
         {true, true},
         "Backup",
         7,
         ClickOutcome::kStopped,
         WriteEnd::kNothingSent,
         3 + 7,
         {"Backup 1/3 256"},
         ""},
        {"read-back after a Write",
         &UnitSession::WriteClick,
         {true, false},
         "Verify",
         20,
         ClickOutcome::kDone,
         WriteEnd::kVerifyStopped,
         240 + 20,
         {"Write 1/2 240", "Verify 2/2 240"},
         "unverified"},
        {"the Write itself",
         &UnitSession::WriteClick,
         {false, false},
         "Write",
         1,
         ClickOutcome::kDone,
         WriteEnd::kWritten,
         240,
         {"Write 1/1 240"},
         "write"},
        {"every step of a Write",
         &UnitSession::WriteClick,
         {true, true},
         "none",
         0,
         ClickOutcome::kDone,
         WriteEnd::kVerified,
         3 + 256 + 240 + 240,
         {"Backup 1/3 256", "Write 2/3 240", "Verify 3/3 240"},
         "write"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EnginePort port;
        port.eeprom.fill(0x21);
        StartupState state = MakeStartupState();
        state.moduleTypes = {15, 0, 0, 0};
        Image image{};
        image.fill(0x44);
        const ConfigRecord recordBefore = state.rec;
        StoppingUi ui(row.step, row.after);
        Comms comms(port);
        UnitSessionHooks hooks;
        hooks.keepBackup = [](const UnitContents&) { return std::string(); };
        std::string kept;
        hooks.imageSent = [&](const Image&, bool failed) {
            kept = failed ? "unverified" : "write";
        };
        UnitSession session(state.rec, state.moduleTypes, image, comms, ui, hooks);
        session.SetWriteChecks(row.checks);
        (session.*row.click)();
        EXPECT_EQ(session.LastOutcome(), row.outcome);
        EXPECT_EQ(port.writes.size(), row.requests);
        EXPECT_EQ(ui.phases, row.phases);
        EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;
        EXPECT_EQ(kept, row.kept);
        if (row.click == &UnitSession::WriteClick) {
            EXPECT_EQ(session.LastWriteEnd(), row.end);
        } else {
            // What the editor shows and holds is as before the Read.
            EXPECT_TRUE(state.rec == recordBefore);
            EXPECT_EQ(image[100], 0x44);
            EXPECT_FALSE(session.LastUnitContents().has_value());
        }
        EXPECT_FALSE(port.IsOpen());
    }
}

// The module types rule what the blocks mean: a Read decodes under those the unit reported at
// Connect, not those of a file opened since, and the editor takes them with its version lines.
TEST(UnitSession, ReadDecodesUnderTheModuleTypesTheUnitReported) {
    sim::UnitOptions options;
    options.modules = {15, 0, 0, 0};
    EnginePort port(options);
    StartupState unit = MakeStartupState();
    unit.moduleTypes = {15, 0, 0, 0};
    ASSERT_TRUE(BuildImage(unit.rec, unit.moduleTypes, port.eeprom).fits);

    Editor ed(port);
    ed.session.ConnectClick();
    ASSERT_EQ(ed.session.UnitModuleTypes(), (ModuleTypes{15, 0, 0, 0}));
    // A file with other module types and version lines opened since.
    ed.state.moduleTypes = {15, 13, 14, 0};
    ed.state.rec.txtVer = {"FILE V1", "FILE BUILD"};
    ConfigRecord expected = ed.state.rec;
    Image decoded = port.eeprom;
    DecodeImage(expected, {15, 0, 0, 0}, decoded);
    expected.txtVer = {options.version[0], options.version[1]};
    ed.events.clear();

    ed.session.ReadClick();
    EXPECT_EQ(ed.session.LastOutcome(), ClickOutcome::kDone);
    EXPECT_EQ(ed.state.moduleTypes, (ModuleTypes{15, 0, 0, 0}));
    EXPECT_EQ(ed.session.TypesBeforeLastRead(), (ModuleTypes{15, 13, 14, 0}));
    EXPECT_TRUE(ed.state.rec == expected);
    // Bank 3's relay fields were not decoded from input-channel words.
    EXPECT_NE(ed.state.rec.txtRlyRIC[RelayRicIndex(RelayIndex(2, 0), kSlotCloseTMax)], "1000032");
    EXPECT_NE(std::find(ed.events.begin(), ed.events.end(), "modules"), ed.events.end());

    // Disconnected, the unit's report no longer stands: a Read keeps the editor's types.
    ed.session.ConnectClick();
    EXPECT_FALSE(ed.session.UnitModuleTypes().has_value());
    ed.state.moduleTypes = {15, 13, 14, 0};
    ed.session.ReadClick();
    EXPECT_EQ(ed.state.moduleTypes, (ModuleTypes{15, 13, 14, 0}));
}

TEST(UnitSession, MacIncrementTouchesNoPort) {
    ScriptedPort port;
    Editor ed(port);
    ed.state.rec.txtMAC = {"50", "46", "4A", "00", "00", "FF"};
    ed.session.MacIncrementClick();
    EXPECT_EQ(ed.state.rec.txtMAC[4], "01");
    EXPECT_EQ(ed.state.rec.txtMAC[5], "00");
    EXPECT_TRUE(port.opened.empty());
    EXPECT_EQ(ed.events, (std::vector<std::string>{"record"}));
}

}  // namespace
}  // namespace orv
