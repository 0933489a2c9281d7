// End-to-end: the real QSerialPort path against orv-unit-sim on a pseudo-terminal. What went over
// the wire is checked from the simulator's command log.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "files/config_file.h"
#include "files/history.h"
#include "link/protocol.h"
#include "link/qt/port_settings.h"
#include "link/qt/qt_serial_port.h"
#include "link/unit_session.h"
#include "model/defaults.h"
#include "model/lists.h"
#include "sim_process.h"
#include "test_ports.h"

namespace orv {
namespace {

namespace fs = std::filesystem;
using test::RecordingUi;
using test::SimProcess;

// Settings go to a scratch folder so the user's own COM mapping is never touched.
class QtEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        char tmpl[] = "/tmp/orv-link-e2e-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        ::setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);  // the history of orv-cli
        static int argc = 1;
        static char name[] = "link_e2e_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override {
        app_.reset();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static std::string dir_;

  private:
    std::unique_ptr<QCoreApplication> app_;
};
std::string QtEnvironment::dir_;
testing::Environment* const kEnv = testing::AddGlobalTestEnvironment(new QtEnvironment);

class LinkE2E : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = QtEnvironment::dir_ + "/" +
               testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(dir_);
    }

    // Starts a simulated unit and points COM1 of the editor at it.
    SimProcess& StartSim(std::vector<std::string> args) {
        sim_.reset();
        sim_ = std::make_unique<SimProcess>(ORV_UNIT_SIM_PATH, std::move(args), dir_ + "/sim.log");
        const std::string device = sim_->Device();
        comms_.SetLookup([device](int) { return std::optional<std::string>(device); });
        return *sim_;
    }

    // A copy in the history as an earlier run left it, its file written `age` from now.
    static void PlantCopy(const std::string& name, std::chrono::hours age) {
        const fs::path path = fs::path(History().folder()) / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
        fs::last_write_time(path, fs::file_time_type::clock::now() + age);
    }

    std::string dir_;
    QtSerialPort port_;
    StartupState state_ = MakeStartupState();
    Image image_{};
    RecordingUi ui_;
    std::unique_ptr<SimProcess> sim_;
    Comms comms_{port_};
    std::unique_ptr<UnitSession> session_ =
        std::make_unique<UnitSession>(state_.rec, state_.moduleTypes, image_, comms_, ui_);
};

TEST_F(LinkE2E, ConnectWithEachLineEnd) {
    for (const char* end : {"crlf", "lf", "nul"}) {
        StartSim({"--line-end", end, "--version1", "ORV V2.13", "--version2", "Build 7",
                  "--modules", "13,14,15,0"});
        state_.moduleTypes = {};
        session_->ConnectClick();
        EXPECT_TRUE(session_->IsConnected()) << end;
        EXPECT_EQ(state_.rec.txtVer[0], "ORV V2.13") << end;
        EXPECT_EQ(state_.rec.txtVer[1], "Build 7") << end;
        EXPECT_EQ(state_.moduleTypes, (ModuleTypes{13, 14, 15, 0})) << end;
        EXPECT_TRUE(ui_.messages.empty()) << end;
        EXPECT_FALSE(port_.IsOpen());
        sim_->Stop();
        EXPECT_EQ(sim_->LogStarting("probe").size(), 1u);
        EXPECT_EQ(sim_->LogStarting("version | 13 56 |").size(), 1u);
        EXPECT_EQ(sim_->LogStarting("modules | 13 6D |").size(), 1u);
        session_->ConnectClick();  // disconnect for the next round
    }
}

TEST_F(LinkE2E, ReadAndWriteRoundTripMatchTheUnitsEeprom) {
    const std::string eeprom = dir_ + "/unit.eeprom";
    auto& sim = StartSim({"--eeprom", eeprom, "--modules", "15,13,14,0"});
    session_->ConnectClick();
    ASSERT_TRUE(session_->IsConnected());
    const auto t0 = std::chrono::steady_clock::now();
    session_->ReadClick();
    const double readSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
    std::string unit = test::ReadFile(eeprom);
    ASSERT_EQ(unit.size(), 4096u);
    EXPECT_TRUE(std::equal(image_.begin(), image_.end(),
                           reinterpret_cast<const std::uint8_t*>(unit.data())));
    EXPECT_EQ(state_.rec.txtMsg[ChannelStateIndex(0, 0, kStateReset)], "BANK 1 CHAN 1 RESET");
    EXPECT_LT(readSeconds, 5.0);

    // Change the configuration and write it back.
    state_.rec.txtMsg[0] = "PUMP 3 FAILED";
    state_.rec.txtRIC[0] = "0765432";
    session_->WriteClick();
    ASSERT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
    unit = test::ReadFile(eeprom);
    EXPECT_TRUE(std::equal(image_.begin(), image_.end(),
                           reinterpret_cast<const std::uint8_t*>(unit.data())));
    sim.Stop();
    EXPECT_EQ(sim.LogStarting("read ").size(), 256u);
    const auto writes = sim.LogStarting("write ");
    ASSERT_EQ(writes.size(), 240u);
    EXPECT_EQ(writes.front().rfind("write 0 | 13 21 00 00 ", 0), 0u);
    EXPECT_EQ(writes.back().rfind("write 239 | 13 21 0F 0E ", 0), 0u);
    for (const auto& w : writes) EXPECT_NE(w.find("| sent 06"), std::string::npos) << w;

    // A fresh editor reading the unit sees the change.
    StartupState fresh = MakeStartupState();
    Image freshImage{};
    UnitSession reader(fresh.rec, fresh.moduleTypes, freshImage, comms_, ui_);
    StartSim({"--eeprom", eeprom, "--modules", "15,13,14,0"});
    reader.ConnectClick();
    reader.ReadClick();
    EXPECT_EQ(fresh.rec.txtMsg[0], "PUMP 3 FAILED");
    EXPECT_EQ(fresh.rec.txtRIC[0], "0765432");
}

// A paced unit's --timing file, which the transfer benchmarks take apart: a line for each block
// served, and no stamp earlier than the line's rate allows (a request and its reply cross the
// line one character after another).
TEST_F(LinkE2E, PacedUnitTimesEachBlockReplyNoFasterThanTheLine) {
    constexpr int kBaud = 115200;
    constexpr double kCharNs = 10 * 1e9 / kBaud;
    const std::string timing = dir_ + "/timing.txt";
    auto& sim = StartSim(
        {"--pace", "--baud", std::to_string(kBaud), "--timing", timing, "--modules", "15,0,0,0"});
    for (std::size_t p = 0; p < kBaudRateItems.size(); ++p)
        if (kBaudRateItems[p].text == std::to_string(kBaud))
            state_.rec.lstBaudPC = static_cast<int>(p);
    session_->ConnectClick();
    ASSERT_TRUE(session_->IsConnected());
    session_->ReadClick();
    session_->WriteClick();
    ASSERT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
    sim.Stop();

    struct Stamps {
        long long first, last, seen;
    };
    std::vector<Stamps> lines;
    std::ifstream in(timing);
    for (Stamps t{}; in >> t.first >> t.last >> t.seen;) lines.push_back(t);
    ASSERT_EQ(lines.size(), 256u + 240u) << "a line for each block read, then each written";
    struct Kind {
        std::size_t from, to;
        int requestBytes, replyBytes;
    };
    for (const Kind& k : {Kind{0, 256, proto::kReadRequestSize, proto::kReadReplySize},
                          Kind{256, 496, proto::kWriteRequestSize, 1}}) {
        for (std::size_t i = k.from; i < k.to; ++i) {
            SCOPED_TRACE(i);
            const Stamps& t = lines[i];
            ASSERT_GT(t.seen, 0);
            EXPECT_GE(t.first - t.seen, (k.requestBytes + 1) * kCharNs - 1000)
                << "the first reply byte left before the request and it had crossed the line";
            EXPECT_GE(t.last - t.seen, (k.requestBytes + k.replyBytes) * kCharNs - 1000);
            EXPECT_GE(t.last, t.first);
            if (i + 1 < k.to) {
                EXPECT_GT(lines[i + 1].seen, t.last) << "the next request";
            }
        }
    }
}

TEST_F(LinkE2E, ExchangesRunOnAPlainWorkerThread) {
    // The editor runs each click on a std::thread while its window keeps painting.
    StartSim({});
    testing::internal::CaptureStderr();
    std::thread worker([this] {
        session_->ConnectClick();
        session_->ReadClick();
    });
    worker.join();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(session_->IsConnected());
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(err.find("QSocketNotifier"), std::string::npos) << err;
    EXPECT_NE(err.find("++ Get EEprom"), std::string::npos) << err;
}

TEST_F(LinkE2E, RefusedBlockIsSentFourTimes) {
    auto& sim = StartSim({"--refuse-block", "2"});
    session_->WriteClick();
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[0].text, "Missing/bad response while putting EEprom");
    EXPECT_EQ(ui_.messages[1].text.rfind("The unit refused block 2 four times: it answered each "
                                         "time, so the connection is not the cause. The Write "
                                         "stopped after the unit accepted 2 of the 240 blocks",
                                         0),
              0u);
    sim.Stop();
    const auto refused = sim.LogStarting("write 2 |");
    ASSERT_EQ(refused.size(), 4u);
    for (const auto& l : refused) EXPECT_EQ(l, refused[0]);
    EXPECT_NE(refused[0].find("sent 15"), std::string::npos);
    EXPECT_TRUE(sim.LogStarting("write 3 |").empty());
}

TEST_F(LinkE2E, SilentUnitLeavesEditorUnchanged) {
    auto& sim = StartSim({"--silent"});
    state_.rec.txtMsg[7] = "UNCHANGED";
    image_.fill(0x5C);
    const ConfigRecord rec = state_.rec;
    const Image image = image_;
    const auto t0 = std::chrono::steady_clock::now();
    session_->ReadClick();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text,
              "Comms failure while getting EEprom, please check Port, cables and connections");
    EXPECT_EQ(ui_.messages[0].title, "Communications Error");
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::kCritical);
    EXPECT_TRUE(state_.rec == rec);
    EXPECT_EQ(image_, image);
    EXPECT_GE(seconds, 0.24);  // the first reply byte waited its 250 ms
    EXPECT_LT(seconds, 1.0);
    sim.Stop();
    EXPECT_EQ(sim.LogStarting("read 0 | 13 23 00 00 |").size(), 1u);
}

TEST_F(LinkE2E, UnitStoppingMidReadLeavesEditorUnchanged) {
    auto& sim = StartSim({"--stop-after", "100"});
    state_.rec.txtMsg[0] = "MINE";
    const ConfigRecord rec = state_.rec;
    const Image image = image_;
    session_->ReadClick();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text,
              "Comms failure while getting EEprom, please check Port, cables and connections");
    EXPECT_TRUE(state_.rec == rec);
    EXPECT_EQ(image_, image);
    sim.Stop();
    EXPECT_EQ(sim.LogStarting("read ").size(), 101u);
}

TEST_F(LinkE2E, AutoBaudFinds9600AfterFourFailedTries) {
    auto& sim = StartSim({"--baud", "9600"});
    std::vector<int> tried;
    session_ = std::make_unique<UnitSession>(
        state_.rec, state_.moduleTypes, image_, comms_, ui_,
        UnitSessionHooks{{}, {}, {}, {}, [&](int p) { tried.push_back(p); }, {}});
    session_->AutoBaudClick();
    EXPECT_TRUE(session_->IsConnected());
    EXPECT_EQ(state_.rec.lstBaudPC, kBaud9600);
    EXPECT_EQ(tried, (std::vector<int>{9, 8, 7, 6, 5}));
    sim.Stop();
    const auto noise = sim.LogStarting("noise | 14 |");
    ASSERT_EQ(noise.size(), 4u);
    EXPECT_NE(noise[0].find("line set to 115200 baud"), std::string::npos) << noise[0];
    EXPECT_NE(noise[3].find("line set to 19200 baud"), std::string::npos) << noise[3];
    EXPECT_EQ(sim.LogStarting("probe | 14 | sent 11").size(), 1u);
}

TEST_F(LinkE2E, MacWriteBytesAndChecksum) {
    auto& sim = StartSim({});
    state_.rec.txtMAC = {"AA", "BB", "CC", "01", "02", "03"};
    session_->MacWriteClick();
    EXPECT_TRUE(ui_.messages.empty());
    sim.Stop();
    const auto mac = sim.LogStarting("mac |");
    ASSERT_EQ(mac.size(), 1u);
    EXPECT_EQ(mac[0],
              "mac | 13 2B F0 50 46 4A 01 02 03 00 00 00 00 00 00 00 00 00 00 E6 | sent 06");
}

TEST_F(LinkE2E, CalibrationLimits) {
    struct Case {
        const char* pulse;
        std::array<const char*, 8> limits;
    } cases[] = {
        {"12,12,48,48", {"80", "240", "80", "240", "240", "720", "240", "720"}},
        {"10,10,45,35", {"70", "190", "70", "210", "190", "520", "210", "680"}},
    };
    for (const auto& c : cases) {
        StartSim({"--pulse", c.pulse});
        session_->CalibrateClick();
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(state_.rec.txtPulseTime[k], c.limits[k]) << c.pulse << " " << k;
        sim_->Stop();
        EXPECT_EQ(sim_->LogStarting("pulse | 13 74 |").size(), 1u);
    }
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LinkE2E, RunawayVersionLineIsCutOffQuickly) {
    StartSim({"--endless-version"});
    const auto t0 = std::chrono::steady_clock::now();
    session_->ConnectClick();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // The probe was answered, but a unit that never stops sending cannot be read or written.
    EXPECT_FALSE(session_->IsConnected());
    EXPECT_EQ(session_->LastOutcome(), ClickOutcome::kFailed);
    ASSERT_EQ(ui_.messages.size(), 1u) << ui_.messages[0].text;
    EXPECT_EQ(ui_.messages[0].text, kUnitKeepsSendingText);
    EXPECT_EQ(state_.rec.txtVer[0], "");
    EXPECT_LT(seconds, 3.0);
}

TEST_F(LinkE2E, LongVersionLineAtASlowRateIsReadAndTheModulesFollow) {
    std::string line = "ORV-PRO V2.13";
    while (line.size() < 150) line += " build notes " + std::to_string(line.size());
    line.resize(150);
    StartSim({"--pace", "--baud", "300", "--version1", line, "--version2", "B", "--modules",
              "13,14,15,0"});
    state_.rec.lstBaudPC = 1;  // 300: the line alone is 5 s on the wire
    session_->ConnectClick();
    EXPECT_TRUE(session_->IsConnected());
    EXPECT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
    EXPECT_EQ(state_.rec.txtVer[0], line);
    EXPECT_EQ(state_.rec.txtVer[1], "B");
    EXPECT_EQ(state_.moduleTypes, (ModuleTypes{13, 14, 15, 0}));
}

TEST_F(LinkE2E, PortsThatWillNotOpenSayWhy) {
    StartSim({});
    // Held by another program: the device is open elsewhere for exclusive use.
    QtSerialPort holder;
    OpenFailure f = OpenFailure::kNone;
    std::string detail;
    ASSERT_TRUE(holder.Open(sim_->Device(), SerialSettings{}, &f, &detail)) << detail;
    session_->ReadClick();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text.rfind("Unable to open selected Coms Port\n", 0), 0u);
    EXPECT_NE(ui_.messages[0].text.find("busy"), std::string::npos) << ui_.messages[0].text;
    holder.Close();

    ui_.messages.clear();
    comms_.SetLookup([](int) { return std::optional<std::string>("/dev/orv-no-such-device"); });
    session_->CalibrateClick();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_NE(ui_.messages[0].text.find("There is no device /dev/orv-no-such-device"),
              std::string::npos);
    sim_->Stop();
    EXPECT_TRUE(sim_->LogStarting("read").empty());
    EXPECT_TRUE(sim_->LogStarting("pulse").empty());
}

TEST_F(LinkE2E, ComMappingLastsWhileTheSimulatorRuns) {
    SetComMapping(5, "/dev/ttyUSB7");
    {
        SimProcess sim(ORV_UNIT_SIM_PATH, {"--com", "5"}, dir_ + "/sim.log");
        EXPECT_EQ(ReadComMapping(5), sim.Device());
        EXPECT_EQ(sim.Stop(), 0);
    }
    EXPECT_EQ(ReadComMapping(5), "/dev/ttyUSB7");
    ClearComMapping(5);
    {
        SimProcess sim(ORV_UNIT_SIM_PATH, {"--com", "6"}, dir_ + "/sim.log");
        EXPECT_EQ(ReadComMapping(6), sim.Device());
    }
    EXPECT_EQ(ReadComMapping(6), std::nullopt);
}

TEST_F(LinkE2E, CliReadWriteAndErrors) {
    auto& sim = StartSim({"--eeprom", dir_ + "/unit.eeprom", "--com", "2"});
    const std::string orv = dir_ + "/read.ORV", trace = dir_ + "/trace.txt";
    auto r = test::Run(ORV_CLI_PATH, {"read", "--port", "COM2", "-o", orv, "--trace", trace}, dir_);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(orv));
    const auto traceLines = test::Lines(test::ReadFile(trace));
    ASSERT_GT(traceLines.size(), 256u * 2);
    EXPECT_NE(traceLines[1].find(" TX 14"), std::string::npos) << traceLines[1];
    EXPECT_NE(traceLines[2].find(" RX 11"), std::string::npos) << traceLines[2];

    r = test::Run(ORV_CLI_PATH, {"write", orv, "--device", sim.Device()}, dir_);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("49.28%"), std::string::npos) << r.out;

    r = test::Run(ORV_CLI_PATH, {"calibrate", "--device", sim.Device()}, dir_);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Slow Pulse OFF Max:  720 mS"), std::string::npos) << r.out;

    sim.Stop();
    StartSim({"--refuse-block", "0"});
    r = test::Run(ORV_CLI_PATH, {"write", orv, "--device", sim_->Device()}, dir_);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Missing/bad response while putting EEprom"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("The unit refused block 0 four times"), std::string::npos) << r.err;

    r = test::Run(ORV_CLI_PATH, {"connect", "--device", "/dev/orv-no-such-device"}, dir_);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to open selected Coms Port"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--port COMn or --device PATH"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Comms page"), std::string::npos) << r.err;
}

// A message with a control character, opened from a file, saved and written back: the unit gets
// it byte for byte. orv-cli keeps what it sent and what it read in the history.
TEST_F(LinkE2E, CliWritesATabMessageBackAndKeepsTheHistory) {
    const std::string data = dir_ + "/data";  // a history of this test's own
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    const std::string eeprom = dir_ + "/unit.eeprom";
    auto& sim = StartSim({"--eeprom", eeprom});
    StartupState made = MakeStartupState();
    made.moduleTypes = {15, 0, 0, 0};
    made.rec.txtMsg[0] = "ZONE\t1\x7F";
    Image madeImage{};
    const std::string first = dir_ + "/tab.ORV", site = dir_ + "/site.ORV";
    ASSERT_TRUE(WriteConfigFile(first, made.rec, made.moduleTypes, madeImage).ok);
    StartupState opened = MakeStartupState();
    Image image{};
    ASSERT_TRUE(ReadConfigFile(first, opened.rec, opened.moduleTypes, image).ok);
    const WriteConfigResult saved = WriteConfigFile(site, opened.rec, opened.moduleTypes, image);
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(test::ReadFile(site), test::ReadFile(first));

    auto r = test::Run(ORV_CLI_PATH, {"write", site, "--device", sim.Device()}, dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // no activity log without --verbose
    EXPECT_EQ(test::ReadFile(eeprom).substr(0, 3840),
              std::string(image.begin(), image.begin() + 3840));

    r = test::Run(ORV_CLI_PATH, {"read", "-o", dir_ + "/back.ORV", "--device", sim.Device(), "-v"},
                  dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(" ++ Get EEprom"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" ++ Kept a copy in "), std::string::npos) << r.err;
    const auto copies = History().List();
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0].event, "read");
    EXPECT_EQ(copies[0].subject, "ORV-PRO SIM V2.13");
    EXPECT_EQ(copies[1].event, "write");
    EXPECT_EQ(copies[1].subject, "site");
    StartupState held = MakeStartupState();
    Image heldImage{};
    ASSERT_TRUE(ReadConfigFile(copies[0].path, held.rec, held.moduleTypes, heldImage).ok);
    EXPECT_EQ(std::string(heldImage.begin(), heldImage.end()), test::ReadFile(eeprom));

    r = test::Run(ORV_CLI_PATH, {"history"}, dir_);
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = test::Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0], "History folder: " + History().folder());
    EXPECT_NE(lines[1].find("  read   ORV-PRO SIM V2.13  " + copies[0].path), std::string::npos)
        << lines[1];

    // --no-history keeps nothing; a history that cannot be written is one warning, no failure.
    r = test::Run(ORV_CLI_PATH, {"write", site, "--device", sim.Device(), "--no-history"}, dir_);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(History().List().size(), 2u);
    ::setenv("XDG_DATA_HOME", site.c_str(), 1);  // a file where the folder should be
    r = test::Run(ORV_CLI_PATH, {"write", site, "--device", sim.Device()}, dir_);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::Lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("orv-cli: warning: Cannot keep a copy in the history folder ", 0), 0u)
        << r.err;
}

// orv-cli write reads back what it wrote and names a block the unit did not keep; --backup reads
// the unit first into the history; verify and diff --ignore-versions compare with the unit.
TEST_F(LinkE2E, CliWriteVerifiesAndComparesWithTheUnit) {
    ::setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    const std::string eeprom = dir_ + "/unit.eeprom", site = dir_ + "/site.ORV";
    const std::vector<std::string> unit = {"--eeprom", eeprom,      "--baud",
                                           "115200",   "--modules", "15,13,14,0"};
    auto run = [&](std::vector<std::string> args) {
        for (const auto& a : {"--device", sim_->Device().c_str(), "-b", "115200"})
            args.push_back(a);
        return test::Run(ORV_CLI_PATH, args, dir_);
    };
    auto sim = [&](std::vector<std::string> extra) -> SimProcess& {
        extra.insert(extra.begin(), unit.begin(), unit.end());
        return StartSim(extra);
    };
    // The unit's own configuration with repeat time B (address 17, block 1) changed.
    ASSERT_EQ(test::Run(ORV_CLI_PATH, {"new", "-m", "15,13,14,0", "-o", site}, dir_).status, 0);
    StartupState file = MakeStartupState();
    Image fileImage{};
    ASSERT_TRUE(ReadConfigFile(site, file.rec, file.moduleTypes, fileImage).ok);
    file.rec.txtRepTime[1] = "120";
    ASSERT_TRUE(WriteConfigFile(site, file.rec, file.moduleTypes, fileImage).ok);

    sim({"--forget-block", "1"});
    auto r = run({"verify", site});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "The unit on " + sim_->Device() + " at 115200,N,8,1 differs from " + site +
                         " in 1 place (file -> unit):\nRepeat time B: 120 s -> 30 s\n");
    const std::string held = test::ReadFile(eeprom);
    r = run({"write", site, "--backup"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("but block 1 reads back different from what was sent (sent -> unit):\n"
                         "block 1: Repeat time B: 120 s -> 30 s\n"),
              std::string::npos)
        << r.err;
    const auto log = sim_->Log();
    const auto firstWith = [&](const std::string& prefix) {
        return std::find_if(log.begin(), log.end(), [&](auto& l) { return l.starts_with(prefix); });
    };
    EXPECT_LT(firstWith("read 255 "), firstWith("write 0 "));
    const auto copies = History().List();
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0].event, "write-unverified");
    EXPECT_EQ(copies[1].event, "backup");
    StartupState backup = MakeStartupState();
    Image backupImage{};
    ASSERT_TRUE(ReadConfigFile(copies[1].path, backup.rec, backup.moduleTypes, backupImage).ok);
    EXPECT_EQ(std::string(backupImage.begin(), backupImage.end()), held);
    EXPECT_EQ(run({"verify", site}).status, 1);

    sim({});
    r = run({"write", site, "--no-verify"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim_->LogStarting("read ").size(), 0u);
    r = run({"verify", site});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    r = run({"read", "-o", dir_ + "/back.ORV"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::Run(ORV_CLI_PATH, {"diff", site, dir_ + "/back.ORV"}, dir_).status, 1);
    r = test::Run(ORV_CLI_PATH, {"diff", "--ignore-versions", site, dir_ + "/back.ORV"}, dir_);
    EXPECT_EQ(r.status, 0) << r.out;

    // A Write that stops names a copy of the unit it went to, never a newer "before read". The
    // read above was another orv-cli run, and the unit has no MAC address of its own to tell it
    // by: no copy, and how to keep one. With --backup, the backup that Write took.
    const HistoryEntry read = History().List().front();
    ASSERT_EQ(read.event, "read");
    PlantCopy("2026-12-08 14.03.22 before read site.ORV", std::chrono::hours(1));
    sim({"--refuse-block", "3"});
    r = run({"write", site});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No copy of what this unit held before is kept in the history, so there "
                         "is none to go back to. To keep one before a Write, write with "
                         "--backup.\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find(read.path), std::string::npos) << r.err;
    r = run({"write", site, "--backup"});
    EXPECT_EQ(r.status, 1);
    std::string newestBackup;
    for (const HistoryEntry& e : History().List())
        if (e.event == "backup" && newestBackup.empty()) newestBackup = e.path;
    ASSERT_FALSE(newestBackup.empty());
    EXPECT_NE(r.err.find("read from this unit is kept in the history:\n" + newestBackup + "\n"),
              std::string::npos)
        << r.err;
}

// A full history whose copies all look newer than now (the clock was set back since): the
// backup a Write takes is on disk when the Write goes on, and stays there.
TEST_F(LinkE2E, CliBackupSurvivesAFullHistoryAndAClockSetBack) {
    ::setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    // Copies of no unit, which pruning may take (the newest copy of a unit it never takes).
    for (std::size_t k = 0; k < kHistoryKeep; ++k)
        PlantCopy("2099-01-01 00.00.00 before open old " + std::to_string(k) + ".ORV",
                  std::chrono::hours(24));
    auto& sim = StartSim({});
    const std::string site = dir_ + "/site.ORV";
    ASSERT_EQ(test::Run(ORV_CLI_PATH, {"new", "-o", site}, dir_).status, 0);
    const auto r =
        test::Run(ORV_CLI_PATH, {"write", site, "--backup", "--device", sim.Device()}, dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string said = "Backed up the unit's configuration to ";
    const auto at = r.out.find(said);
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string backup =
        r.out.substr(at + said.size(), r.out.find('\n', at) - at - said.size());
    EXPECT_TRUE(fs::exists(backup)) << backup;
    const auto copies = History().List();
    EXPECT_EQ(copies.size(), kHistoryKeep);
    EXPECT_EQ(std::count_if(copies.begin(), copies.end(),
                            [](const HistoryEntry& c) { return c.event == "write"; }),
              1);
}

// Ctrl+C during orv-cli write: once, the Write runs to its end and says so; twice, it stops at
// once, and the count it gives covers every block the unit acknowledged (a block sent counts),
// with the backup to write back named.
TEST_F(LinkE2E, CliWriteUnderCtrlCSaysWhatTheUnitMayHold) {
    ::setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    const std::string site = dir_ + "/site.ORV";
    ASSERT_EQ(test::Run(ORV_CLI_PATH, {"new", "-m", "15,0,0,0", "-o", site}, dir_).status, 0);
    for (const int presses : {1, 2}) {
        SCOPED_TRACE(presses);
        auto& sim = StartSim({"--pace", "--baud", "38400"});
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::freopen((dir_ + "/out").c_str(), "w", stdout);
            ::freopen((dir_ + "/err").c_str(), "w", stderr);
            ::execl(ORV_CLI_PATH, ORV_CLI_PATH, "write", site.c_str(), "--backup", "--device",
                    sim.Device().c_str(), "--baud", "38400", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (sim.LogStarting("write ").size() < 30 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (int k = 0; k < presses; ++k) {
            ::kill(pid, SIGINT);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 130);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a block still in flight
        int acknowledged = 0;
        for (const auto& line : sim.LogStarting("write "))
            if (line.find("| sent 06") != std::string::npos)
                acknowledged = std::max(acknowledged, std::stoi(line.substr(6)) + 1);
        const std::string out = test::ReadFile(dir_ + "/out"), err = test::ReadFile(dir_ + "/err");
        EXPECT_NE(err.find("Write in progress: stopping would leave the unit with a mix; press "
                           "Ctrl+C again to stop anyway"),
                  std::string::npos)
            << err;
        if (presses == 1) {
            EXPECT_EQ(acknowledged, 240);
            EXPECT_NE(out.find("and verified it"), std::string::npos) << out << err;
            continue;
        }
        const std::string said = "Stopped by Ctrl+C during the Write: the unit may hold up to ";
        const auto at = err.find(said);
        ASSERT_NE(at, std::string::npos) << err;
        const int held = std::stoi(err.substr(at + said.size()));
        EXPECT_GT(acknowledged, 0);
        EXPECT_LT(acknowledged, 240);
        EXPECT_GE(held, acknowledged);
        EXPECT_LE(held, acknowledged + 1);
        EXPECT_NE(err.find("write its backup back: orv-cli write '" + History().folder()),
                  std::string::npos)
            << err;
        EXPECT_EQ(out.find("Wrote "), std::string::npos) << out;
    }
}

// A file made for other modules than the unit has: write warns naming each bank and sends the
// file as it is; verify then names the same banks, and only them, as the difference.
TEST_F(LinkE2E, CliWriteToAUnitWithOtherModulesWarnsAndVerifyAgrees) {
    ::setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    const std::string m = dir_ + "/m.ORV";
    ASSERT_EQ(test::Run(ORV_CLI_PATH, {"new", "-m", "13,13,13,13", "-o", m}, dir_).status, 0);
    StartSim({"--eeprom", dir_ + "/unit.eeprom", "--modules", "15,13,14,0"});
    const std::string banks =
        "  Bank 1: Type 13 (16-Channel Dry Contact Input Module) -> Type 15 (16-Channel "
        "Opto-Isolated DC Voltage Input Module)\n"
        "  Bank 3: Type 13 (16-Channel Dry Contact Input Module) -> Type 14 (8-Channel Relay "
        "Output Module)\n"
        "  Bank 4: Type 13 (16-Channel Dry Contact Input Module) -> NOT FITTED\n";
    auto r = test::Run(ORV_CLI_PATH, {"write", m, "-v", "--device", sim_->Device()}, dir_);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\norv-cli: warning: the unit's modules differ from those in " + m +
                         " (file -> unit):\n" + banks +
                         "The file is written as it is, for the modules it names; check that it "
                         "is meant for this unit.\n"),
              std::string::npos)
        << r.err;
    // The activity log says it in the same words, as the editor's does after Connect.
    EXPECT_NE(r.err.find(" ++ Module types from the unit: Bank 1: Type 13 (16-Channel Dry "
                         "Contact Input Module) -> Type 15 (16-Channel Opto-Isolated DC Voltage "
                         "Input Module); Bank 3: "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("and verified it"), std::string::npos) << r.out;

    r = test::Run(ORV_CLI_PATH, {"verify", m, "--device", sim_->Device()}, dir_);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(banks), std::string::npos) << r.err;
    const auto lines = test::Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_NE(lines[0].find("differs from " + m + " in 3 places (file -> unit):"),
              std::string::npos);
    for (int k = 1; k < 4; ++k) EXPECT_NE(lines[k].find(" module: "), std::string::npos);
}

// A unit that answers the probe but never ends its version line: every command that connects
// says so and fails, instead of showing empty version lines or blaming the connection.
TEST_F(LinkE2E, CliCommandsOnAUnitThatKeepsSendingFailSayingSo) {
    const std::string m = dir_ + "/m.ORV";
    ASSERT_EQ(test::Run(ORV_CLI_PATH, {"new", "-o", m}, dir_).status, 0);
    const std::vector<std::vector<std::string>> commands = {
        {"connect"}, {"autobaud"}, {"read", "-o", dir_ + "/r.ORV", "--no-history"}, {"write", m}};
    for (auto args : commands) {
        SCOPED_TRACE(args[0]);
        StartSim({"--endless-version"});  // a new unit: the last one's stream may still run
        args.insert(args.end(), {"--device", sim_->Device()});
        const auto r = test::Run(ORV_CLI_PATH, args, dir_);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "orv-cli: error: " + std::string(kUnitKeepsSendingText) + "\n");
        sim_->Stop();
        EXPECT_TRUE(sim_->LogStarting("write ").empty());
        EXPECT_TRUE(sim_->LogStarting("read ").empty());
    }
}

// Version lines with an escape sequence and C1 characters reach no terminal as they are.
TEST_F(LinkE2E, CliShowsTheUnitsTextAsText) {
    ::setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    const std::string hostile =
        "ORV\x1B]0;T\x07 V2\x9B"
        "1m";
    StartSim({"--version1", hostile, "--modules", "15,13,14,0"});
    const std::string read = dir_ + "/read.ORV";
    const auto unit = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--device", sim_->Device()});
        return test::Run(ORV_CLI_PATH, args, dir_);
    };
    auto r = unit({"connect"});
    EXPECT_NE(r.out.find("Version line 1: ORV\\x1B]0;T\\x07 V2\\x9B1m\n"), std::string::npos)
        << r.out;
    const auto readRun = unit({"read", "-o", read, "-v"});  // its log names the copy it kept
    ASSERT_EQ(readRun.status, 0) << readRun.err;
    const std::vector<test::RunResult> outputs = {
        r, unit({"verify", read}), test::Run(ORV_CLI_PATH, {"show", read}, dir_),
        test::Run(ORV_CLI_PATH, {"history"}, dir_), readRun};
    EXPECT_NE(outputs[2].out.find("Firmware version      ORV\\x1B]0;T\\x07 V2\\x9B1m / "),
              std::string::npos)
        << outputs[2].out;
    for (const auto& o : outputs) {
        for (const std::string& text : {o.out, o.err}) {
            EXPECT_EQ(text.find('\x1B'), std::string::npos) << text;
            EXPECT_EQ(text.find('\x07'), std::string::npos) << text;
            EXPECT_EQ(text.find("\xC2\x9B"), std::string::npos) << text;
            EXPECT_EQ(text.find('\x9B'), std::string::npos) << text;
        }
    }
}

// -v prints the activity log for every command that talks to the unit.
TEST_F(LinkE2E, CliVerboseLogsEveryUnitCommand) {
    StartSim({});
    const std::pair<const char*, const char*> cases[] = {{"connect", " ++ Connect to "},
                                                         {"autobaud", " ++ Auto Baud Detect"},
                                                         {"reset", " ++ Reset ORV"},
                                                         {"calibrate", " ++ Get pulse times"}};
    for (const auto& [command, line] : cases) {
        const auto r = test::Run(ORV_CLI_PATH, {command, "-v", "--device", sim_->Device()}, dir_);
        EXPECT_EQ(r.status, 0) << command << r.err;
        EXPECT_NE(r.err.find(line), std::string::npos) << command << ": " << r.err;
    }
}

}  // namespace
}  // namespace orv
