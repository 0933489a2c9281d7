// What orv-cli needs from the system it runs on, so that the commands read the same everywhere:
// platform_qt.cpp (Linux: QSerialPort, the COM map in the editor's settings store) and
// platform_win32.cpp (Windows: the Win32 COM port, where COMn is the system's COMn; no Qt).
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "cli.h"
#include "link/port_names.h"
#include "link/serial_port.h"

namespace orv::cli {

// The arguments after the program name, in UTF-8. Also sets the standard streams to pass bytes
// unchanged (files written to standard output are the same as with -o). Call once, first.
CommandArgs ProgramArguments(int argc, char** argv);

// True when standard error is a terminal (the progress bar is drawn there then).
bool StandardErrorIsTerminal();

// True when standard output is a terminal.
bool StandardOutputIsTerminal();
// The width in characters of the terminal on standard error (80 when it cannot be told).
int TerminalWidth();
// Its height in lines (24 when it cannot be told).
int TerminalHeight();
// Lets the terminal on standard error take cursor movements (ANSI sequences); false when it
// cannot, and a display must then print plain lines.
bool EnableTerminalControl();

// Lets the program hold this many files and sockets open where the system limits it per program
// (raising its own limit up to what the system allows); returns how many it may hold.
std::size_t AllowOpenFiles(std::size_t count);

// While one lives, Ctrl+C (on Linux also SIGTERM and SIGHUP) does not end the program: each
// press calls onInterrupt, on a thread of the watch's own. Make it before any other thread.
class InterruptWatch {
  public:
    virtual ~InterruptWatch() = default;
};
std::unique_ptr<InterruptWatch> WatchInterrupts(std::function<void()> onInterrupt);

// Opens a file for writing by its UTF-8 name; nullptr when it cannot.
std::FILE* OpenFileForWriting(const std::string& path);

// The serial line the unit commands drive.
std::unique_ptr<SerialPort> MakeSerialPort();
// What COMn means for this user: the editor's mapping on Linux, the system's COMn on Windows.
ComPortLookup UserComPortLookup();

// "orv-cli ports": its options and help, and the listing after an optional change of the mapping
// (map is "COMn=DEVICE", unmap "COMn"; either may be null).
std::string_view PortsHelp();
int ListPorts(const std::string* map, const std::string* unmap);

}  // namespace orv::cli
