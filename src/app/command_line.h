// The editor's command line: orv-config [FILE], --help, --version.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace orv::app {

// The program's name and version as --version and the settings store know them.
void SetApplicationIdentity();

// The file to open once the window is up, as an absolute path. --help and --version print and end
// the program (status 0); a wrong command line prints why with a usage line and ends it with
// status 2. Needs an application object, but no display: it runs before the window's application
// exists, so the toolkit's own options (-style, -platform, ...) are let through for it.
std::optional<QString> ParseCommandLine(const QStringList& arguments);

}  // namespace orv::app
