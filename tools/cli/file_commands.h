// orv-cli commands on configuration files: new, export, import, resave, size. Each starts from
// the state the editor has after start-up and a zero image, and opens and saves files exactly as
// the editor does.
#pragma once

#include "cli.h"

namespace orv::cli {

int RunNew(const CommandArgs& args);
int RunExport(const CommandArgs& args);
int RunImport(const CommandArgs& args);
int RunResave(const CommandArgs& args);
int RunSize(const CommandArgs& args);

}  // namespace orv::cli
