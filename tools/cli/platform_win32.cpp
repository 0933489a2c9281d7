// orv-cli on Windows: the serial line is the Win32 COM port and COMn is the system's COMn; the
// command line and file names come in UTF-8 from the wide-character API. No Qt.
#include <windows.h>
// windows.h first: the shell header builds on it.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdlib>
#include <iostream>
#include <mutex>

#include "base/quote.h"
#include "base/win32_text.h"
#include "link/win32/com_ports.h"
#include "link/win32/win32_serial_port.h"
#include "platform.h"

namespace orv::cli {
namespace {

UINT gConsoleOutputCodePage = 0;

void RestoreConsoleOutputCodePage() {
    if (gConsoleOutputCodePage != 0) ::SetConsoleOutputCP(gConsoleOutputCodePage);
}

}  // namespace

CommandArgs ProgramArguments(int, char**) {
    CommandArgs args;
    int n = 0;
    if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &n)) {
        for (int i = 1; i < n; ++i) args.push_back(Utf8FromWide(wide[i]));
        ::LocalFree(wide);
    }
    // Files written to standard output keep their CR LF and LF exactly; a table read from
    // standard input arrives as it was written.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Messages are UTF-8 (file names); the console shows them as such while orv-cli runs.
    gConsoleOutputCodePage = ::GetConsoleOutputCP();
    if (gConsoleOutputCodePage != 0 && gConsoleOutputCodePage != CP_UTF8 &&
        ::SetConsoleOutputCP(CP_UTF8))
        std::atexit(RestoreConsoleOutputCodePage);
    return args;
}

bool StandardErrorIsTerminal() {
    // Not _isatty: it says yes for the NUL device too.
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool StandardOutputIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

int TerminalWidth() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
}

int TerminalHeight() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Bottom - info.srWindow.Top + 1;
    return 24;
}

bool EnableTerminalControl() {
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!::GetConsoleMode(err, &mode)) return false;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
    return ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::size_t AllowOpenFiles(std::size_t count) {
    return count;  // sockets and handles have no such limit per program here
}

namespace {

std::mutex gInterruptMutex;
std::function<void()> gOnInterrupt;

// Windows calls this on a thread of its own for each Ctrl+C or Ctrl+Break.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    const std::lock_guard lock(gInterruptMutex);
    if (gOnInterrupt) gOnInterrupt();
    return TRUE;
}

class ConsoleInterruptWatch : public InterruptWatch {
  public:
    explicit ConsoleInterruptWatch(std::function<void()> onInterrupt) {
        {
            const std::lock_guard lock(gInterruptMutex);
            gOnInterrupt = std::move(onInterrupt);
        }
        ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    }
    ~ConsoleInterruptWatch() override {
        ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        const std::lock_guard lock(gInterruptMutex);
        gOnInterrupt = nullptr;
    }
};

}  // namespace

std::unique_ptr<InterruptWatch> WatchInterrupts(std::function<void()> onInterrupt) {
    return std::make_unique<ConsoleInterruptWatch>(std::move(onInterrupt));
}

std::FILE* OpenFileForWriting(const std::string& path) {
    return _wfopen(WideFromUtf8(path).c_str(), L"w");
}

std::unique_ptr<SerialPort> MakeSerialPort() {
    return std::make_unique<Win32SerialPort>();
}

ComPortLookup UserComPortLookup() {
    return {};
}

std::string_view PortsHelp() {
    return "Usage: orv-cli ports\n\n"
           "Lists the COM ports this PC has. COMn is the Windows port COMn: a USB serial adapter\n"
           "gets its number from Windows (Device Manager, Ports (COM & LPT)); use it with\n"
           "-p COMn, or with -d COMn from COM17 on. A unit behind a serial device server is\n"
           "reached with -d rfc2217://HOST:PORT (RFC 2217) or -d tcp://HOST:PORT (raw TCP).\n\n"
           "  -h, --help  show this help\n";
}

int ListPorts(const std::string* map, const std::string* unmap) {
    if (map || unmap)
        throw UsageError("ports",
                         "on Windows COMn is the system's port COMn and is not mapped; give the "
                         "adapter's port with -p COMn (from COM17 on with -d COMn), or a device "
                         "server with -d rfc2217://HOST:PORT or -d tcp://HOST:PORT");
    const auto ports = ListComPorts();
    std::cout << "COM ports on this PC:\n";
    if (ports.empty())
        std::cout << "  (none: plug in the serial adapter and see Device Manager, Ports (COM & "
                     "LPT))\n";
    // Names from the system's device map: shown, never obeyed by the terminal.
    for (const auto& p : ports) {
        std::string line =
            "  " + p.name + std::string(p.name.size() < 7 ? 7 - p.name.size() : 1, ' ') + p.device;
        if (!ParseComName(p.name)) line += "  (use -d " + p.name + ")";
        std::cout << TerminalText(line) << '\n';
    }
    return kExitOk;
}

}  // namespace orv::cli
