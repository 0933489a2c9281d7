// Soak run of the link: many unpaced Read/Write cycles against orv-unit-sim, then many Connect /
// Disconnect clicks and connection-timer ticks, through UnitSession and the QSerialPort adapter as
// the window uses them. Counts every failure and reports the resident memory at the start (after a
// warm-up) and at the end. Used by scripts/soak under the sanitizer build.
//
//   orv_soak <orv-unit-sim> [cycles] [connects]
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "../link/sim_process.h"
#include "image/image.h"
#include "link/comms.h"
#include "link/qt/qt_serial_port.h"
#include "link/unit_session.h"
#include "model/defaults.h"

namespace {

using namespace orv;

// Resident set size of this process in kB.
long RssKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

class CountingUi : public LinkUi {
  public:
    int messages = 0;
    std::string last;
    void ShowMessage(const std::string& text, const std::string&, MessageIcon) override {
        ++messages;
        last = text;
    }
    void SetBusy(bool) override {}
    void SetProgress(int, bool) override {}
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: orv_soak <orv-unit-sim> [cycles] [connects]\n");
        return 2;
    }
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int connects = argc > 3 ? std::atoi(argv[3]) : 300;
    QCoreApplication app(argc, argv);

    char tmpl[] = "/tmp/orv-soak-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    int failures = 0;
    long rssStart = 0, rssEnd = 0;
    {
        test::SimProcess unit(argv[1], {"--eeprom", dir + "/unit.eeprom", "--log", "/dev/null"});
        const std::string device = unit.Device();
        StartupState state = MakeStartupState();
        Image image{};
        QtSerialPort port;
        Comms comms(port, [device](int) { return std::optional<std::string>(device); });
        CountingUi ui;
        UnitSession session(state.rec, state.moduleTypes, image, comms, ui);

        auto check = [&](const char* what, int round) {
            if (session.LastOutcome() == ClickOutcome::kDone && ui.messages == 0) return;
            ++failures;
            std::fprintf(stderr, "%s %d failed: outcome %d, %d message(s)%s%s\n", what, round,
                         static_cast<int>(session.LastOutcome()), ui.messages,
                         ui.messages ? ": " : "", ui.last.c_str());
            ui.messages = 0;
        };

        const auto started = std::chrono::steady_clock::now();
        double readSeconds = 0;
        // ASan holds freed memory in its quarantine until that is full: measure after it filled.
        const int warmUp = cycles > 200 ? 100 : 0;
        for (int c = 0; c < cycles; ++c) {
            if (c == warmUp) rssStart = RssKb();
            const auto t0 = std::chrono::steady_clock::now();
            session.ReadClick();
            readSeconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            check("read", c);
            // A different configuration each time, so every write really changes the unit.
            state.rec.txtMsg[c % 64] = "SOAK CYCLE " + std::to_string(c);
            session.WriteClick();
            check("write", c);
            if ((c + 1) % 100 == 0)
                std::printf("  %5d read/write cycles, %d failures, RSS %ld kB\n", c + 1, failures,
                            RssKb());
        }
        const double transferSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

        const auto connectStarted = std::chrono::steady_clock::now();
        // A finished Read leaves the window connected: start from the disconnected state.
        if (session.IsConnected()) session.ConnectClick();
        for (int k = 0; k < connects; ++k) {
            session.ConnectClick();  // connect
            check("connect", k);
            if (!session.IsConnected()) {
                ++failures;
                std::fprintf(stderr, "connect %d: not connected\n", k);
            }
            session.TimerTick();
            session.TimerTick();
            if (!session.IsConnected()) {
                ++failures;
                std::fprintf(stderr, "timer tick %d: lost a unit that answers\n", k);
            }
            session.ConnectClick();  // disconnect
            check("disconnect", k);
        }
        rssEnd = RssKb();
        const double connectSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - connectStarted)
                .count();
        std::printf(
            "%d read/write cycles in %.1f s (reads %.1f s), %d connect/disconnect pairs with %d "
            "timer "
            "ticks in %.1f s\n",
            cycles, transferSeconds, readSeconds, connects, 2 * connects, connectSeconds);
    }
    std::filesystem::remove_all(dir);
    std::printf("failures: %d\nRSS after warm-up: %ld kB\nRSS at end:       %ld kB (%+ld kB)\n",
                failures, rssStart, rssEnd, rssEnd - rssStart);
    return failures == 0 ? 0 : 1;
}
