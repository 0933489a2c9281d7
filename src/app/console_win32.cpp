#include <windows.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "app/console.h"
#include "base/win32_text.h"

namespace orv::app {
namespace {

bool attached = false;

// A standard handle the caller gave us (redirected to a file or a pipe) is kept as it is.
bool IsUsable(DWORD which) {
    const HANDLE h = ::GetStdHandle(which);
    return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN;
}

bool canPrint = false;

}  // namespace

bool AttachParentConsole(int argc) {
    if (argc < 2) return false;
    const bool out = IsUsable(STD_OUTPUT_HANDLE), err = IsUsable(STD_ERROR_HANDLE);
    if (out && err) {
        canPrint = true;
        return false;
    }
    // Started from Explorer or a shortcut: no console, the answers go to a message box.
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    attached = true;
    if (!out) std::freopen("CONOUT$", "w", stdout);
    if (!err) std::freopen("CONOUT$", "w", stderr);
    canPrint = true;
    return true;
}

void PrintHelpOrVersion(const QCommandLineParser& parser) {
    // Qt's parser answers a window program in a message box unless it has a console window or
    // handles its starter gave it; output redirected by other means (Wine started from a Unix
    // shell, for one) would get a box nobody sees.
    if (!canPrint) return;
    if (parser.isSet("help")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
    } else if (parser.isSet("version")) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
    } else {
        return;
    }
    std::fflush(stdout);
    std::exit(EXIT_SUCCESS);
}

void ReportUsageError(const std::string& text) {
    if (canPrint) {
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
        return;
    }
    ::MessageBoxW(nullptr, WideFromUtf8(text).c_str(), L"ORV Pro Configuration",
                  MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void ReleaseParentConsole() {
    if (!attached) return;
    std::fflush(stdout);
    std::fflush(stderr);
    ::FreeConsole();
    attached = false;
}

}  // namespace orv::app
