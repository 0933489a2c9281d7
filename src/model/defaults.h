// The default configuration (File > New, Clear Form, end of start-up) and the values the main
// window load gives the fields that the defaults leave alone.
#pragma once

#include "model/record.h"

namespace orv {

// Puts the default configuration into the record and sets every bank to "NOT FITTED". Fields not
// named by the defaults (LAN, RS485, port settings, editor serial choices) keep their values.
void SetDefaults(ConfigRecord& rec, ModuleTypes& moduleTypes);

// The values the main window load puts into the fields before it applies SetDefaults: port rates
// 9600/115200, formats N,8,1, master with limit 0, IP 0.0.0.0, MAC 50:46:4A:00:00:00, PC link
// COM1 9600 N,8,1, every pager type "Alpha", paging rate "1200", repeat "A".
void ApplyStartupValues(ConfigRecord& rec);

// The state a headless program starts from: exactly what the editor holds after start-up
// (start-up values, then SetDefaults).
struct StartupState {
    ConfigRecord rec;
    ModuleTypes moduleTypes{};
};
StartupState MakeStartupState();

}  // namespace orv
