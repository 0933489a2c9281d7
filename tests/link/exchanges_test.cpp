#include "link/exchanges.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "link/comms.h"
#include "link/protocol.h"
#include "model/lists.h"
#include "test_ports.h"

namespace orv {
namespace {

using test::Bytes;
using test::EnginePort;
using test::RecordingUi;
using test::ScriptedPort;

// Opens COM1 at 9600,N,8,1 on the given port.
void Open(Comms& comms) {
    ASSERT_TRUE(comms.OpenComms(0, kBaud9600, kFormatN81));
}

TEST(SettingsText, ParsesTheEditorsTexts) {
    struct Case {
        const char* text;
        std::optional<SerialSettings> expected;
    } cases[] = {
        {"9600,N,8,1", SerialSettings{9600, 'N', 8, 1}},
        {"115200,E,7,2", SerialSettings{115200, 'E', 7, 2}},
        {"110,o,5,1", SerialSettings{110, 'O', 5, 1}},
        {" 300 , N , 6 , 2 ", SerialSettings{300, 'N', 6, 2}},
        {"600,N,8,1", std::nullopt},  // not a rate the editor offers
        {"9600,X,8,1", std::nullopt},
        {"9600,N,9,1", std::nullopt},
        {"9600,N,8,3", std::nullopt},
        {"9600,N,8", std::nullopt},
        {"9600,N,8,1,1", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseSettingsText(c.text), c.expected) << c.text;
    // Every rate and format of the lists makes a text that parses back to itself.
    for (int b = 0; b < 10; ++b)
        for (int f = 0; f < 24; ++f) {
            const std::string text = SettingsTextFor(b, f);
            auto parsed = ParseSettingsText(text);
            ASSERT_TRUE(parsed) << text;
            EXPECT_EQ(SettingsText(*parsed), text);
        }
    EXPECT_EQ(SettingsTextFor(kBaud9600, kFormatN81), "9600,N,8,1");
    EXPECT_EQ(SettingsTextFor(-1, kFormatN81), "");
}

TEST(PortNames, ComNumbersMapToDevices) {
    const ComPortLookup lookup = [](int n) -> std::optional<std::string> {
        if (n == 3) return "/dev/ttyUSB0";
        return std::nullopt;
    };
    EXPECT_EQ(DeviceForCom(1, {}), test::UnmappedDevice(1));
    EXPECT_EQ(DeviceForCom(16, {}), test::UnmappedDevice(16));
    EXPECT_EQ(DeviceForCom(3, lookup), "/dev/ttyUSB0");
    EXPECT_EQ(DeviceForCom(4, lookup), test::UnmappedDevice(4));
    EXPECT_EQ(DeviceForCom(0, lookup), "");
    EXPECT_EQ(DeviceForCom(17, lookup), "");
    EXPECT_EQ(ParseComName("COM7"), 7);
    EXPECT_EQ(ParseComName("com16"), 16);
    EXPECT_EQ(ParseComName("COM0"), std::nullopt);
    EXPECT_EQ(ParseComName("COM17"), std::nullopt);
    EXPECT_EQ(ParseComName("COM1x"), std::nullopt);
    EXPECT_EQ(ParseComName("/dev/ttyS0"), std::nullopt);
}

// A COM port is mapped only to what the platform names a device: a path on Linux, a COM port on
// Windows, a device server's address on both. The sentence names what was given.
TEST(PortNames, ComMappingsAreCheckedForThePlatformsDeviceNames) {
    const std::pair<std::string, const char*> rows[] = {
        // device, what is wrong ("" nothing)
        {"rfc2217://10.1.2.3:4001", ""},
        {"tcp://[::1]:4001", ""},
        {"rfc2217://10.1.2.3", "is not a device server address: it has no port"},
#ifdef _WIN32
        {"COM3", ""},
        {"com17", ""},
        {"COM256", ""},
        {"\\\\.\\COM40", ""},
        {"\\\\.\\CNCA0", ""},
        {"/dev/ttyUSB0", "is not a serial port on Windows: write the COM port the adapter has"},
        {"COM0", "is not a serial port on Windows"},
        {"COM257", "is not a serial port on Windows"},
        {"ttyS0", "is not a serial port on Windows"},
        {"C:\\ports\\unit", "is not a serial port on Windows"},
        {"\\\\.\\", "is not a serial port on Windows"},
#else
        {"/dev/ttyUSB0", ""},
        {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", ""},
        {"/dev/pts/4", ""},
        {"COM3", "is not a device path: write the serial device's full path"},
        {"ttyUSB0", "is not a device path"},
        {"/", "is not a device path"},
#endif
    };
    for (const auto& [device, wrong] : rows) {
        SCOPED_TRACE(device);
        const std::string problem = ComMappingProblem(device);
        if (*wrong == '\0') {
            EXPECT_EQ(problem, "");
            continue;
        }
        EXPECT_EQ(problem.rfind("'" + device + "' " + wrong, 0), 0u) << problem;
        EXPECT_TRUE(problem.ends_with(".")) << problem;
    }
}

TEST(Protocol, BlockEncodings) {
    proto::Block ff;
    ff.fill(0xFF);
    const auto w = proto::WriteBlockRequest(5, ff);
    EXPECT_EQ(w[0], 0x13);
    EXPECT_EQ(w[1], 0x21);
    EXPECT_EQ(w[2], 5);
    EXPECT_EQ(w[3], 0);
    for (int i = 4; i < 36; ++i) EXPECT_EQ(w[i], 0x0F);
    EXPECT_EQ(w[36], 0x70);

    const auto z = proto::WriteBlockRequest(0, proto::Block{});
    for (int i = 2; i < 37; ++i) EXPECT_EQ(z[i], 0x00);

    proto::Block mixed{0x12, 0xAB};
    const auto m = proto::WriteBlockRequest(0x9C, mixed);
    EXPECT_EQ((Bytes{m[2], m[3], m[4], m[5], m[6], m[7]}),
              (Bytes{0x0C, 0x09, 0x02, 0x01, 0x0B, 0x0A}));
    EXPECT_EQ(m[36], (0x12 + 0xAB) % 128);
    for (auto b : m) EXPECT_LT(b, 0x80);

    EXPECT_EQ(proto::ReadBlockRequest(17), (std::array<std::uint8_t, 4>{0x13, 0x23, 0x01, 0x01}));
    EXPECT_EQ(proto::ReadBlockRequest(240), (std::array<std::uint8_t, 4>{0x13, 0x23, 0x00, 0x0F}));
}

TEST(Protocol, MacRequestWithChecksumE6) {
    Image image{};
    const std::uint8_t mac[6] = {0x50, 0x46, 0x4A, 0x01, 0x02, 0x03};
    std::copy(mac, mac + 6, image.begin() + kMacAddress);
    image[kMacAddress - 1] = 0x77;  // outside the block: not sent
    image[kMacAddress + 16] = 0x77;
    const auto r = proto::MacWriteRequest(image);
    const Bytes expected{0x13, 0x2B, 0xF0, 0x50, 0x46, 0x4A, 0x01, 0x02, 0x03, 0,
                         0,    0,    0,    0,    0,    0,    0,    0,    0,    0xE6};
    EXPECT_EQ(Bytes(r.begin(), r.end()), expected);
}

TEST(Comms, RxByteTellsNulFromTimeout) {
    ScriptedPort port;
    Comms comms(port);
    Open(comms);
    port.input = {0x00, 0x41};
    EXPECT_EQ(comms.RxByte(250), 0);
    EXPECT_FALSE(comms.RxTimedOut());
    EXPECT_EQ(comms.RxByte(250), 0x41);
    EXPECT_FALSE(comms.RxTimedOut());
    EXPECT_EQ(comms.RxByte(250), 0);
    EXPECT_TRUE(comms.RxTimedOut());
    ASSERT_FALSE(port.waitsMs.empty());
    EXPECT_NEAR(port.waitsMs.back(), 250, 2);
}

// A port may wait for the rest of a reply at once; once the reply ended or timed out, a single
// byte (an acknowledgement) is waited for alone, never held back for a whole reply.
TEST(Comms, RxByteAsksForTheRestOfAnExpectedReply) {
    ScriptedPort port;
    Comms comms(port);
    Open(comms);
    port.input = {0x41};
    comms.ExpectReply(3);
    EXPECT_EQ(comms.RxByte(250), 0x41);  // waiting: no wait asked
    comms.RxByte(250);
    EXPECT_TRUE(comms.RxTimedOut());
    comms.RxByte(5000);
    EXPECT_EQ(port.replyWaits, std::vector<std::size_t>{2});
    EXPECT_EQ(port.waitsMs.size(), 2u);
}

TEST(Comms, OpenAndCloseDiscardStaleInput) {
    ScriptedPort port;
    Comms comms(port);
    port.input = {0x11, 0x06};  // arrived before the exchange
    Open(comms);
    EXPECT_EQ(port.BytesWaiting(), 0u);
    port.input = {0x15};
    comms.CloseComms();
    EXPECT_EQ(port.BytesWaiting(), 0u);
    EXPECT_FALSE(comms.IsOpen());
    // Opening an open port closes it first and opens it with the new selections.
    Open(comms);
    ASSERT_TRUE(comms.OpenComms(2, kBaud115200, 23));
    EXPECT_EQ(port.closes, 2);
    EXPECT_EQ(port.opened.back(), test::UnmappedDevice(3));
    EXPECT_EQ(port.openSettings.back(), (SerialSettings{115200, 'O', 8, 2}));
}

// A line that never falls quiet (a device server streaming, a unit babbling) is drained within a
// budget: the open fails and says why, rather than following the stream forever. Leftovers up to
// the budget are drained as ever.
TEST(Comms, DrainIsBoundedAndALineThatKeepsSendingIsTold) {
    struct EndlessPort : ScriptedPort {
        std::size_t left = 0;  // bytes still to come; SIZE_MAX: without end
        std::size_t reads = 0;
        std::size_t BytesWaiting() override { return left == 0 ? 0 : 1; }
        std::optional<std::uint8_t> ReadByte() override {
            if (left == 0) return std::nullopt;
            if (left != SIZE_MAX) --left;
            ++reads;
            return 0x55;
        }
    };
    const struct {
        std::size_t waiting;
        bool opens;
    } cases[] = {{0, true}, {kMaxDrainBytes, true}, {SIZE_MAX, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.waiting);
        EndlessPort port;
        port.left = c.waiting;
        Comms comms(port);
        const auto start = SerialClock::now();
        EXPECT_EQ(comms.OpenComms(0, kBaud9600, kFormatN81), c.opens);
        EXPECT_LT(SerialClock::now() - start, kMaxDrainTime + std::chrono::milliseconds(100));
        EXPECT_LE(port.reads, kMaxDrainBytes + 1);
        EXPECT_EQ(comms.IsOpen(), c.opens);
        if (!c.opens) {
            EXPECT_EQ(comms.LastOpenFailure(), OpenFailure::kKeepsSending);
            EXPECT_NE(comms.OpenFailureMessage().find("keeps sending"), std::string::npos)
                << comms.OpenFailureMessage();
        }
        comms.CloseComms();  // bounded too
        EXPECT_FALSE(comms.IsOpen());
    }
}

TEST(Comms, OpenFailuresSayWhy) {
    struct Case {
        int comPosition;
        OpenFailure portFailure;
        OpenFailure expected;
        std::string mustMention;
    } cases[] = {
        {-1, OpenFailure::kNone, OpenFailure::kNoSuchDevice, "Select a COM port"},
        {4, OpenFailure::kNoSuchDevice, OpenFailure::kNoSuchDevice, test::UnmappedDevice(5)},
        {0, OpenFailure::kBusy, OpenFailure::kBusy, "another program"},
        {0, OpenFailure::kNoPermission, OpenFailure::kNoPermission, "member of the group dialout"},
        {0, OpenFailure::kNotSerial, OpenFailure::kNotSerial,
         test::UnmappedDevice(1) + " is not a serial port."},
    };
    for (const auto& c : cases) {
        ScriptedPort port;
        port.failOpen = c.portFailure;
        Comms comms(port);
        EXPECT_FALSE(comms.OpenComms(c.comPosition, kBaud9600, kFormatN81));
        EXPECT_EQ(comms.LastOpenFailure(), c.expected);
        const std::string text = comms.OpenFailureMessage();
        EXPECT_EQ(text.rfind("Unable to open selected Coms Port\n", 0), 0u) << text;
        EXPECT_NE(text.find(c.mustMention), std::string::npos) << text;
        EXPECT_TRUE(port.opened.empty());
    }
    ScriptedPort port;
    Comms comms(port);
    EXPECT_FALSE(comms.OpenComms(0, -1, kFormatN81));
    EXPECT_EQ(comms.LastOpenFailure(), OpenFailure::kBadSettings);
}

TEST(Connected, OnlyA0x11FirstReplyCounts) {
    struct Case {
        Bytes reply;
        bool connected;
    } cases[] = {
        {{0x11}, true}, {{0x12}, false}, {{}, false}, {{0x00, 0x11}, false}, {{0x11, 0x00}, true}};
    for (const auto& c : cases) {
        ScriptedPort port;
        port.respond = [&](const Bytes&, const SerialSettings&) { return c.reply; };
        Comms comms(port);
        Open(comms);
        EXPECT_EQ(Connected(comms), c.connected);
        EXPECT_EQ(port.writes, (std::vector<Bytes>{{0x14}}));
    }
}

Bytes Text(const std::string& s);

// A unit that answers the version request with reply and the module request with 13, 14, 15, 0.
std::function<Bytes(const Bytes&, const SerialSettings&)> VersionReply(const std::string& reply) {
    return [reply](const Bytes& w, const SerialSettings&) -> Bytes {
        if (w == Bytes{0x13, 'V'}) return Text(reply);
        if (w == Bytes{'m'}) return {13, 14, 15, 0};
        return {};
    };
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TEST(GetVersion, LinesEndedCrLfLfOrNul) {
    struct Case {
        std::string reply;
        std::string line0, line1;
    } cases[] = {
        {"V2.13\r\nBuild 7\r\n", "V2.13", "Build 7"},
        {"V2.13\nBuild 7\n", "V2.13", "Build 7"},
        {std::string("V2.13\0Build 7\0", 14), "V2.13", "Build 7"},
        {"A\r\r\n\n", "A\r", ""},  // only one CR goes; an empty line is an empty text
        {"x\ry\n \n", "x\ry", " "},
    };
    for (const auto& c : cases) {
        ScriptedPort port;
        port.respond = VersionReply(c.reply);
        Comms comms(port);
        Open(comms);
        RecordingUi ui;
        ConfigRecord rec;
        ModuleTypes types{};
        GetVersion(comms, ui, rec, types);
        EXPECT_EQ(rec.txtVer[0], c.line0);
        EXPECT_EQ(rec.txtVer[1], c.line1);
        EXPECT_EQ(types, (ModuleTypes{13, 14, 15, 0}));
        EXPECT_TRUE(ui.messages.empty());
        // "V" as one write of two bytes, then 0x13 and "m" as two writes.
        EXPECT_EQ(port.writes, (std::vector<Bytes>{{0x13, 0x56}, {0x13}, {0x6D}}));
    }
}

TEST(GetVersion, SilentUnitGivesTwoTimeoutsAndNotFitted) {
    ScriptedPort port;
    Comms comms(port);
    Open(comms);
    RecordingUi ui;
    ConfigRecord rec;
    rec.txtVer = {"old", "old"};
    ModuleTypes types{15, 14, 13, 1};
    const VersionReport report = GetVersion(comms, ui, rec, types);
    ASSERT_EQ(ui.messages.size(), 2u);
    for (const auto& m : ui.messages) {
        EXPECT_EQ(m.text, "Comms timeout while getting Version");
        EXPECT_EQ(m.title, "ORV Pro Configuration");
    }
    EXPECT_EQ(rec.txtVer, (std::array<std::string, 2>{"", ""}));
    EXPECT_EQ(types, (ModuleTypes{0, 0, 0, 0}));
    EXPECT_TRUE(report.modulesRead);
    EXPECT_EQ(port.writes.size(), 3u);  // the module request still follows
}

TEST(GetVersion, UnknownModuleCodeIsNotFittedWithMessage) {
    ScriptedPort port;
    port.respond = [](const Bytes& w, const SerialSettings&) -> Bytes {
        if (w == Bytes{0x13, 'V'}) return Text("a\nb\n");
        if (w == Bytes{'m'}) return {15, 16, 13, 200};
        return {};
    };
    Comms comms(port);
    Open(comms);
    RecordingUi ui;
    ConfigRecord rec;
    ModuleTypes types{};
    GetVersion(comms, ui, rec, types);
    EXPECT_EQ(types, (ModuleTypes{15, 0, 13, 0}));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("Bank 2 reported module type 16"), std::string::npos);
    EXPECT_NE(ui.messages[0].text.find("Bank 4 reported module type 200"), std::string::npos);
    EXPECT_EQ(ui.messages[0].text.find("Bank 1"), std::string::npos);
}

TEST(GetVersion, AFailedLineIsFollowedByTheModuleRequest) {
    const std::string longLine(300, 'Z');
    struct Case {
        std::string reply;  // to the version request; then the line is quiet
        std::array<std::string, 2> lines;
        std::vector<std::string> messages;  // the start of each
    } cases[] = {
        {"", {"", ""}, {kVersionTimeoutText, kVersionTimeoutText}},
        {longLine + "\r\nBuild 7\r\n",
         {"", ""},
         {"Comms timeout while getting Version: the unit "
          "sent more than 256 characters"}},
        {"V2.13\n" + longLine + longLine, {"V2.13", ""}, {"Comms timeout while getting Version: "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.size());
        ScriptedPort port;
        port.respond = VersionReply(c.reply);
        Comms comms(port);
        Open(comms);
        RecordingUi ui;
        ConfigRecord rec;
        rec.txtVer = {"old0", "old1"};
        ModuleTypes types{};
        const VersionReport report = GetVersion(comms, ui, rec, types);
        EXPECT_EQ(rec.txtVer, c.lines);
        // What was left of the reply was dropped before the module types were read.
        EXPECT_TRUE(report.modulesRead);
        EXPECT_EQ(types, (ModuleTypes{13, 14, 15, 0}));
        ASSERT_EQ(ui.messages.size(), c.messages.size());
        for (std::size_t k = 0; k < c.messages.size(); ++k)
            EXPECT_EQ(ui.messages[k].text.rfind(c.messages[k], 0), 0u) << ui.messages[k].text;
    }
}

TEST(GetVersion, ALineThatNeverEndsIsCutOffAndNoModulesAreAskedIntoTheStream) {
    // A unit streaming without a line end or pause: the line is given up at 256 characters and
    // the module types stay as they were.
    struct StreamingPort : ScriptedPort {
        bool streaming = false;
        std::size_t BytesWaiting() override { return streaming ? 1 : input.size(); }
        std::optional<std::uint8_t> ReadByte() override {
            return streaming ? std::optional<std::uint8_t>('Z') : ScriptedPort::ReadByte();
        }
        bool WaitForBytes(SerialClock::time_point deadline) override {
            return streaming || ScriptedPort::WaitForBytes(deadline);
        }
    } port;
    port.respond = [&port](const Bytes& w, const SerialSettings&) -> Bytes {
        port.streaming = port.streaming || w == Bytes{0x13, 'V'};
        return {};
    };
    Comms comms(port);
    Open(comms);
    RecordingUi ui;
    ConfigRecord rec;
    rec.txtVer = {"old0", "old1"};
    ModuleTypes types{15, 0, 0, 14};
    const auto t0 = SerialClock::now();
    const VersionReport report = GetVersion(comms, ui, rec, types);
    EXPECT_LT(SerialClock::now() - t0, std::chrono::seconds(2));
    EXPECT_FALSE(report.modulesRead);
    EXPECT_EQ(types, (ModuleTypes{15, 0, 0, 14}));
    EXPECT_EQ(rec.txtVer, (std::array<std::string, 2>{"", ""}));
    // One message, the one the editor and orv-cli show for such a unit.
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kUnitKeepsSendingText);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::kCritical);
    EXPECT_EQ(port.writes.size(), 1u);  // no module request into the stream
    // A full line fits its budget at the slowest rate and widest frame.
    EXPECT_GT(VersionLineBudget({110, 'E', 8, 2}), CharacterTime({110, 'E', 8, 2}) * 258);
}

TEST(GetVersion, TheLineBoundLiesBetween256And257Characters) {
    for (const std::size_t length : {256u, 257u}) {
        SCOPED_TRACE(length);
        const bool whole = length == 256;
        ScriptedPort port;
        port.respond = [length](const Bytes& w, const SerialSettings&) -> Bytes {
            if (w == Bytes{0x13, 'V'}) {
                Bytes b(length, 'Q');
                b.insert(b.end(), {'\n', 'B', '\n'});
                return b;
            }
            return w == Bytes{'m'} ? Bytes{13, 14, 15, 0} : Bytes{};
        };
        Comms comms(port);
        Open(comms);
        RecordingUi ui;
        ConfigRecord rec;
        ModuleTypes types{};
        const VersionReport report = GetVersion(comms, ui, rec, types);
        EXPECT_EQ(rec.txtVer[0], whole ? std::string(length, 'Q') : "");
        ASSERT_EQ(ui.messages.size(), whole ? 0u : 1u);
        if (!whole) {
            EXPECT_NE(ui.messages[0].text.find("more than 256 characters"), std::string::npos);
        }
        // Either way the unit fell quiet, so its modules were asked for.
        EXPECT_TRUE(report.modulesRead);
        EXPECT_EQ(types, (ModuleTypes{13, 14, 15, 0}));
    }
}

// Progress values the bar must show after each block.
std::vector<int> ExpectedSteps(int blocks, int divisor) {
    std::vector<int> steps;
    for (int n = 0; n < blocks; ++n)
        steps.push_back(static_cast<int>(std::lrint((n + 1) * 100.0 / divisor)));
    return steps;
}

std::vector<int> ShownSteps(const RecordingUi& ui) {
    std::vector<int> steps;
    for (std::size_t k = 1; k + 1 < ui.progress.size(); ++k) steps.push_back(ui.progress[k].first);
    return steps;
}

TEST(GetEEprom, ReadsAll256BlocksWithProgress) {
    sim::UnitOptions options;
    options.corruptNibbles = true;  // only the low 4 bits of each nibble byte count
    EnginePort port(options);
    for (int a = 0; a < kImageSize; ++a)
        port.eeprom[a] = static_cast<std::uint8_t>(a * 7 + a / 256);
    Comms comms(port);
    Open(comms);
    RecordingUi ui;
    Image image{};
    EXPECT_TRUE(GetEEprom(comms, ui, image));
    EXPECT_EQ(image, port.eeprom);
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(port.writes.size(), 256u);
    EXPECT_EQ(port.writes[17], (Bytes{0x13, 0x23, 0x01, 0x01}));
    EXPECT_EQ(port.writes[240], (Bytes{0x13, 0x23, 0x00, 0x0F}));
    EXPECT_EQ(ui.progress.front(), (std::pair<int, bool>{0, true}));
    EXPECT_EQ(ui.progress.back(), (std::pair<int, bool>{0, false}));
    EXPECT_EQ(ShownSteps(ui), ExpectedSteps(256, 256));
    for (int w : port.waitsMs) EXPECT_LE(w, 250);
}

TEST(GetEEprom, UnitStoppingMidwayKeepsEarlierBlocks) {
    sim::UnitOptions options;
    options.stopAfter = 10;
    EnginePort port(options);
    port.eeprom.fill(0x5A);
    Comms comms(port);
    Open(comms);
    RecordingUi ui;
    Image image;
    image.fill(0xEE);
    EXPECT_FALSE(GetEEprom(comms, ui, image));
    for (int a = 0; a < kImageSize; ++a) ASSERT_EQ(image[a], a < 160 ? 0x5A : 0xEE) << a;
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Comms failure while getting EEprom, please check Port, cables and connections");
    EXPECT_EQ(ui.messages[0].title, "Communications Error");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::kCritical);
    EXPECT_EQ(port.writes.size(), 11u);
    EXPECT_EQ(ui.progress.back(), (std::pair<int, bool>{0, false}));
    EXPECT_NEAR(port.waitsMs.back(), 250, 2);
}

TEST(PutEEprom, WritesBlocks0To239WithProgress) {
    EnginePort port;
    Image image;
    for (int a = 0; a < kImageSize; ++a) image[a] = static_cast<std::uint8_t>(255 - a % 251);
    Comms comms(port);
    Open(comms);
    RecordingUi ui;
    EXPECT_TRUE(PutEEprom(comms, ui, image));
    ASSERT_EQ(port.writes.size(), 240u);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 3840, port.eeprom.begin()));
    EXPECT_TRUE(
        std::all_of(port.eeprom.begin() + 3840, port.eeprom.end(), [](auto b) { return b == 0; }));
    EXPECT_EQ(ShownSteps(ui), ExpectedSteps(240, 255));
    EXPECT_EQ(ShownSteps(ui).back(), 94);
    for (int w : port.waitsMs) EXPECT_LE(w, 5000);
}

TEST(PutEEprom, RefusedBlockIsSentFourTimes) {
    sim::UnitOptions options;
    options.refuseBlock = 3;
    EnginePort port(options);
    Image image{};
    Comms comms(port);
    Open(comms);
    RecordingUi ui;
    EXPECT_FALSE(PutEEprom(comms, ui, image));
    ASSERT_EQ(port.writes.size(), 3u + 4u);
    for (int k = 3; k < 7; ++k) EXPECT_EQ(port.writes[k], port.writes[3]);
    EXPECT_EQ(port.writes[3][2], 3);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Missing/bad response while putting EEprom");
    EXPECT_EQ(ui.messages[0].title, "ORV Pro Configuration");
    EXPECT_EQ(ui.progress.back(), (std::pair<int, bool>{0, false}));
}

TEST(PutEEprom, NoAcknowledgementWithin5000ms) {
    ScriptedPort port;
    Comms comms(port);
    Open(comms);
    RecordingUi ui;
    EXPECT_FALSE(PutEEprom(comms, ui, Image{}));
    EXPECT_EQ(port.writes.size(), 1u);
    ASSERT_EQ(port.waitsMs.size(), 1u);
    EXPECT_NEAR(port.waitsMs[0], 5000, 2);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Comms failure while putting EEprom, please check Port, cables and connections");
    EXPECT_EQ(ui.messages[0].title, "Communications Error");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::kCritical);
}

TEST(PutMAC, AnswersAndRetries) {
    struct Case {
        Bytes replies;  // one per send
        bool ok;
        std::size_t sends;
        const char* message;
        int waitMs;
    } cases[] = {
        {{0x06}, true, 1, nullptr, 500},
        {{0x15, 0x15, 0x06}, true, 3, nullptr, 500},
        {{0x15, 0x15, 0x15, 0x15}, false, 4, "Missing/bad response while putting EEprom", 500},
        {{},
         false,
         1,
         "Comms failure while putting EEprom, please check Port, cables and connections",
         500},
    };
    for (const auto& c : cases) {
        ScriptedPort port;
        std::size_t next = 0;
        port.respond = [&](const Bytes&, const SerialSettings&) -> Bytes {
            if (next < c.replies.size()) return {c.replies[next++]};
            return {};
        };
        Comms comms(port);
        Open(comms);
        RecordingUi ui;
        Image image{};
        image[3840] = 0x50;
        EXPECT_EQ(PutMAC(comms, ui, image), c.ok);
        EXPECT_EQ(port.writes.size(), c.sends);
        for (const auto& w : port.writes) EXPECT_EQ(w.size(), 20u);
        if (c.message) {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].text, c.message);
        } else {
            EXPECT_TRUE(ui.messages.empty());
            EXPECT_EQ(ui.progress[ui.progress.size() - 2], (std::pair<int, bool>{100, true}));
        }
        if (c.replies.empty()) {
            ASSERT_EQ(port.waitsMs.size(), 1u);
            EXPECT_NEAR(port.waitsMs[0], c.waitMs, 2);
        }
    }
}

TEST(IncrementMAC, CountsOctets3To5) {
    struct Case {
        std::array<const char*, 6> before, after;
    } cases[] = {
        {{"50", "46", "4A", "00", "00", "FF"}, {"50", "46", "4A", "00", "01", "00"}},
        {{"50", "46", "4A", "12", "FF", "FF"}, {"50", "46", "4A", "13", "00", "00"}},
        {{"50", "46", "4A", "FF", "FF", "FF"}, {"50", "46", "4A", "00", "00", "00"}},
        {{"50", "46", "4A", "00", "00", "09"}, {"50", "46", "4A", "00", "00", "0A"}},
        {{"11", "22", "33", "0a", "ff", "fe"}, {"11", "22", "33", "0a", "ff", "FF"}},
        {{"50", "46", "4A", "00", "01", "zz"}, {"50", "46", "4A", "00", "01", "01"}},
    };
    for (const auto& c : cases) {
        ConfigRecord rec;
        for (int k = 0; k < 6; ++k) rec.txtMAC[k] = c.before[k];
        IncrementMAC(rec);
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(rec.txtMAC[k], c.after[k]) << c.before[5] << " octet " << k;
    }
}

TEST(PulseLimits, ComputedFromTheMeasuredTimes) {
    struct Case {
        PulseTimes times;  // fast OFF, fast ON, slow OFF, slow ON
        std::array<int, 8> limits;
        std::array<bool, 8> clamped;
    } cases[] = {
        {{120, 120, 480, 480}, {80, 240, 80, 240, 240, 720, 240, 720}, {}},
        {{100, 100, 450, 350}, {70, 190, 70, 210, 190, 520, 210, 680}, {}},
        {{0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, {}},
        {{100, 100, 1700, 1700},
         {70, 410, 70, 410, 410, 2500, 410, 2500},
         {false, false, false, false, false, true, false, true}},
        {{2550, 2550, 2550, 2550},
         {1700, 2500, 1700, 2500, 2500, 2500, 2500, 2500},
         {false, true, false, true, true, true, true, true}},
    };
    for (const auto& c : cases) {
        const PulseLimits l = ComputePulseLimits(c.times);
        EXPECT_EQ(l.value, c.limits);
        EXPECT_EQ(l.clamped, c.clamped);
        EXPECT_EQ(l.anyClamped(), ClampedLimitsMessage(l) != "");
    }
    const PulseLimits l = ComputePulseLimits({100, 100, 1700, 1700});
    EXPECT_EQ(l.computed[5], 2550);
    const std::string text = ClampedLimitsMessage(l);
    EXPECT_NE(text.find("Slow Pulse ON Max: 2550 mS"), std::string::npos) << text;
    EXPECT_NE(text.find("Slow Pulse OFF Max: 2550 mS"), std::string::npos) << text;
    EXPECT_EQ(text.find("Fast"), std::string::npos) << text;
}

TEST(MeasurePulseTimes, ReadsFourBytesInTensOfMs) {
    ScriptedPort port;
    port.respond = [](const Bytes& w, const SerialSettings&) -> Bytes {
        if (w == Bytes{'t'}) return {10, 12, 45, 35};
        return {};
    };
    Comms comms(port);
    Open(comms);
    const PulseTimes t = MeasurePulseTimes(comms);
    EXPECT_EQ(t.fastOff, 100);
    EXPECT_EQ(t.fastOn, 120);
    EXPECT_EQ(t.slowOff, 450);
    EXPECT_EQ(t.slowOn, 350);
    EXPECT_EQ(port.writes, (std::vector<Bytes>{{0x13}, {0x74}}));

    ScriptedPort partial;
    partial.respond = [](const Bytes& w, const SerialSettings&) -> Bytes {
        return w == Bytes{'t'} ? Bytes{255} : Bytes{};
    };
    Comms comms2(partial);
    Open(comms2);
    const PulseTimes p = MeasurePulseTimes(comms2);
    EXPECT_EQ(p.fastOff, 2550);
    EXPECT_EQ(p.fastOn + p.slowOff + p.slowOn, 0);
}

}  // namespace
}  // namespace orv
