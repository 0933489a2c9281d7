// The console a command-line user started the editor from (Windows).
//
// On Windows the editor is a window program: it gets no console of its own, so "--help" and
// "--version" typed in a console would print nowhere. The editor borrows the console of the
// program that started it for as long as it reads its command line, then lets it go, so that
// closing that console later does not close the editor. Elsewhere these do nothing.
#pragma once

#include <cstdio>
#include <string>

class QCommandLineParser;

namespace orv::app {

#ifdef _WIN32
// Sends standard output and error to the starting program's console when there are arguments
// to answer and the output is not already going somewhere (a pipe, a file). True when attached.
bool AttachParentConsole(int argc);

// After a successful parse: prints the answer to --help or --version and ends the program, where
// there is somewhere to print; otherwise returns and leaves the parser to answer (in a message
// box, on Windows).
void PrintHelpOrVersion(const QCommandLineParser& parser);

// Lets the console go again once the command line is accepted and the window is to run.
void ReleaseParentConsole();

// Says what is wrong with the command line: on standard error where there is somewhere to
// print, otherwise in a message box (started from Explorer or a shortcut, nobody would see it).
void ReportUsageError(const std::string& text);
#else
inline bool AttachParentConsole(int) {
    return false;
}
inline void PrintHelpOrVersion(const QCommandLineParser&) {}
inline void ReleaseParentConsole() {}
inline void ReportUsageError(const std::string& text) {
    std::fputs(text.c_str(), stderr);
}
#endif

}  // namespace orv::app
