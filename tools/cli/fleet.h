// orv-cli fleet: the units of a site, listed in an inventory (inventory.h), connected, backed up,
// compared with their golden files or written, side by side. Each unit is the single-unit command
// of its kind (unit_link.h) with a link, a record and an image of its own; units that share one
// line run one after another.
#pragma once

#include "cli.h"

namespace orv::cli {

int RunFleet(const CommandArgs& args);

}  // namespace orv::cli
