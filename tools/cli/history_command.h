// orv-cli history: the copies of configurations that the editor and orv-cli keep (files/history.h),
// newest first, and how to get one back.
#pragma once

#include "cli.h"

namespace orv::cli {

int RunHistory(const CommandArgs& args);

}  // namespace orv::cli
