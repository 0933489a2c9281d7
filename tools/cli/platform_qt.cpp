// orv-cli on Linux: the serial line is QSerialPort, and COMn means what the editor's settings
// store maps it to (default /dev/ttyS<n-1>).
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <array>
#include <cerrno>
#include <iostream>
#include <thread>

#include "base/quote.h"
#include "link/device_address.h"
#include "link/qt/port_settings.h"
#include "link/qt/qt_serial_port.h"
#include "platform.h"

namespace orv::cli {
namespace {

// QSerialPort wants a Qt application object in the thread that drives it.
void EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "orv-cli";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) static QCoreApplication app(argc, argv);
}

}  // namespace

CommandArgs ProgramArguments(int argc, char** argv) {
    return CommandArgs(argv + 1, argv + argc);
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool StandardOutputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

int TerminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

int TerminalHeight() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0) return size.ws_row;
    return 24;
}

bool EnableTerminalControl() {
    return true;
}

std::size_t AllowOpenFiles(std::size_t count) {
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0) return count;
    if (files.rlim_cur != RLIM_INFINITY && files.rlim_cur < count) {
        files.rlim_cur =
            files.rlim_max == RLIM_INFINITY ? count : std::min<rlim_t>(count, files.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &files);
        ::getrlimit(RLIMIT_NOFILE, &files);
    }
    return files.rlim_cur == RLIM_INFINITY ? count : static_cast<std::size_t>(files.rlim_cur);
}

namespace {

// The signal handler only writes a byte into a pipe; the watch's thread reads it and does the
// rest, where anything may be done.
int gInterruptPipe = -1;

void OnInterruptSignal(int) {
    const int saved = errno;
    const char byte = 'i';
    [[maybe_unused]] const auto n = ::write(gInterruptPipe, &byte, 1);
    errno = saved;
}

constexpr std::array<int, 3> kInterruptSignals{SIGINT, SIGTERM, SIGHUP};

class PosixInterruptWatch : public InterruptWatch {
  public:
    explicit PosixInterruptWatch(std::function<void()> onInterrupt) {
        if (::pipe2(pipe_, O_CLOEXEC) != 0) return;
        gInterruptPipe = pipe_[1];
        thread_ = std::thread([this, onInterrupt = std::move(onInterrupt)] {
            char byte = 0;
            while (::read(pipe_[0], &byte, 1) == 1 && byte == 'i') onInterrupt();
        });
        struct sigaction action {};
        action.sa_handler = OnInterruptSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t k = 0; k < kInterruptSignals.size(); ++k)
            ::sigaction(kInterruptSignals[k], &action, &previous_[k]);
    }
    ~PosixInterruptWatch() override {
        if (!thread_.joinable()) return;
        for (std::size_t k = 0; k < kInterruptSignals.size(); ++k)
            ::sigaction(kInterruptSignals[k], &previous_[k], nullptr);
        const char stop = 'q';
        [[maybe_unused]] const auto n = ::write(pipe_[1], &stop, 1);
        thread_.join();
        gInterruptPipe = -1;
        ::close(pipe_[0]);
        ::close(pipe_[1]);
    }

  private:
    int pipe_[2] = {-1, -1};
    std::thread thread_;
    std::array<struct sigaction, kInterruptSignals.size()> previous_{};
};

}  // namespace

std::unique_ptr<InterruptWatch> WatchInterrupts(std::function<void()> onInterrupt) {
    return std::make_unique<PosixInterruptWatch>(std::move(onInterrupt));
}

std::FILE* OpenFileForWriting(const std::string& path) {
    return std::fopen(path.c_str(), "w");
}

std::unique_ptr<SerialPort> MakeSerialPort() {
    EnsureQtApplication();
    return std::make_unique<QtSerialPort>();
}

ComPortLookup UserComPortLookup() {
    EnsureQtApplication();
    return SettingsComPortLookup();
}

std::string_view PortsHelp() {
    return "Usage: orv-cli ports [--map COMn=DEVICE | --unmap COMn]\n\n"
           "Lists what each COM port means on this machine and the serial devices found.\n"
           "The mapping is the editor's (settings store \"ORV Pro Configuration\").\n\n"
           "      --map COMn=DEVICE  make COMn use DEVICE, e.g. --map COM3=/dev/ttyUSB0, or a\n"
           "                         device server: --map COM5=rfc2217://10.1.2.3:4001 (RFC 2217)\n"
           "                         or --map COM5=tcp://10.1.2.3:4001 (raw TCP)\n"
           "      --unmap COMn       let COMn use its default device again\n"
           "  -h, --help             show this help\n";
}

int ListPorts(const std::string* map, const std::string* unmap) {
    EnsureQtApplication();
    if (map) {
        const auto eq = map->find('=');
        const auto n = eq == std::string::npos ? std::nullopt : ParseComName(map->substr(0, eq));
        if (!n || eq + 1 >= map->size())
            throw UsageError("ports", "write the mapping as COMn=DEVICE, e.g. COM3=/dev/ttyUSB0");
        const std::string target = map->substr(eq + 1);
        if (std::string problem = ComMappingProblem(target); !problem.empty()) {
            problem.pop_back();  // the usage line ends the sentence
            throw UsageError("ports", problem);
        }
        SetComMapping(*n, target);
    }
    if (unmap) {
        const auto n = ParseComName(*unmap);
        if (!n) throw UsageError("ports", "'" + *unmap + "' is not a COM port; use COM1 .. COM16");
        ClearComMapping(*n);
    }
    // Mappings come from the settings store and descriptions from the devices: shown, never
    // obeyed by the terminal.
    const auto mappings = ReadAllComMappings();
    std::cout << "COM ports:\n";
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        const auto it = mappings.find(n);
        std::cout << "  " << ComName(n) << (n < 10 ? "   " : "  ")
                  << TerminalText(it != mappings.end() ? it->second + "  (mapped)"
                                                       : DefaultDeviceForCom(n))
                  << '\n';
    }
    std::cout << "Serial devices found:\n";
    const auto devices = ListSerialDevices();
    if (devices.empty()) std::cout << "  (none)\n";
    for (const auto& d : devices) {
        std::string line = "  " + d.device;
        if (!d.description.empty()) line += "  " + d.description;
        if (!d.manufacturer.empty()) line += ", " + d.manufacturer;
        if (!d.serialNumber.empty()) line += ", serial " + d.serialNumber;
        if (!d.accessible)
            line +=
                "  [no permission: join the group " + (d.group.empty() ? "dialout" : d.group) + "]";
        std::cout << TerminalText(line) << '\n';
    }
    return kExitOk;
}

}  // namespace orv::cli
