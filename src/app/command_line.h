// The editor's command line: orv-config [FILE], --help, --version.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace orv::app {

// The program's name and version as --version and the settings store know them.
void SetApplicationIdentity();

// True when the arguments ask for --help or --version, which are answered before the program
// needs a display.
bool AsksForHelpOrVersion(int argc, char** argv);

// The file to open once the window is up, as an absolute path. --help and --version print and end
// the program; so does a wrong argument, with its reason on standard error (status 1). Needs the
// application object; arguments as it gives them (the toolkit's own options already taken).
std::optional<QString> ParseCommandLine(const QStringList& arguments);

}  // namespace orv::app
