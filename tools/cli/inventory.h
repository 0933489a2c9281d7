// A site's units as technicians keep them: a CSV file (RFC 4180, UTF-8) whose header row names
// the columns name and device and, when wanted, baud, format and golden, in any order and any
// case; other columns are kept with each unit and otherwise ignored. One row per unit; blank rows
// are skipped.
//
//   name,device,baud,format,golden,location
//   boiler-room,COM3,9600,"N,8,1",signed-off/boiler.ORV,Level -1
//   gatehouse,rfc2217://10.20.0.14:4001,,,signed-off/gate.ORV,Gate
//
// device is COMn, a device path or a device server's address (tcp://HOST:PORT,
// rfc2217://HOST:PORT); baud defaults to 9600 and format to N,8,1 (also written N81 or 8N1);
// golden, the signed-off configuration, is taken from the CSV's folder unless its path is
// absolute. Names must be unique (they name history copies and files).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "unit_link.h"

namespace orv::cli {

struct InventoryUnit {
    int line = 0;  // where its row starts in the file
    std::string name;
    std::string device;  // as written in the file
    std::string baud = "9600";
    std::string format = "N,8,1";
    LinkOptions link;       // how it is reached: the device the name leads to, rate and format
    std::string deviceKey;  // units with the same key share one line: they run one after another
    std::string golden;     // the path of its golden file, as opened ("" when none is given)
    std::string goldenAsWritten;
    std::vector<std::pair<std::string, std::string>> extra;  // the other columns: name, value
};

struct Inventory {
    std::vector<InventoryUnit> units;
    // Every problem found, each starting "line N: " (or naming the file when it concerns all of
    // it). Nothing may start while there is one.
    std::vector<std::string> problems;
};

// Reads the inventory; needGolden: every unit must name its golden file.
Inventory ReadInventory(const std::string& path, bool needGolden);

}  // namespace orv::cli
