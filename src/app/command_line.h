// The editor's command line: orv-config [FILE], --help, --version.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace orv::app {

// The program's name and version as --version and the settings store know them.
void SetApplicationIdentity();
// The program's icon on every window it opens (title bar, task bar, window switcher).
void SetApplicationIcon();

// The file to open once the window is up, as an absolute path. --help (or "/?") and --version
// print and end the program (status 0); a wrong command line says why with a usage line (in a
// message box where there is no console, on Windows) and ends it with status 2. Needs an
// application object, but no display: it runs before the window's application exists, so the
// toolkit's own options (-style, -platform, ...) are let through for it.
std::optional<QString> ParseCommandLine(const QStringList& arguments);

}  // namespace orv::app
