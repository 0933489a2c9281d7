// orv-cli commands that talk to the unit: ports, connect, autobaud, read, write, verify, write-mac,
// mac-increment, reset, calibrate. They drive the same session as the editor's buttons.
#pragma once

#include "cli.h"

namespace orv::cli {

int RunPorts(const CommandArgs& args);
int RunConnect(const CommandArgs& args);
int RunAutoBaud(const CommandArgs& args);
int RunRead(const CommandArgs& args);
int RunWrite(const CommandArgs& args);
int RunVerify(const CommandArgs& args);
int RunWriteMac(const CommandArgs& args);
int RunMacIncrement(const CommandArgs& args);
int RunReset(const CommandArgs& args);
int RunCalibrate(const CommandArgs& args);

}  // namespace orv::cli
