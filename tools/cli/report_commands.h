// orv-cli commands for technicians: show (a readable report), diff (what differs between two
// configurations), export-csv and import-csv (the channel table to and from a spreadsheet).
#pragma once

#include "cli.h"

namespace orv::cli {

int RunShow(const CommandArgs& args);
// Exit status as diff has it: 0 the same, 1 different, 2 trouble.
int RunDiff(const CommandArgs& args);
int RunExportCsv(const CommandArgs& args);
int RunImportCsv(const CommandArgs& args);

}  // namespace orv::cli
