#include "inventory.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include "base/quote.h"
#include "files/config_file.h"
#include "files/profile.h"
#include "link/device_address.h"
#include "link/net/net_serial_port.h"
#include "link/port_names.h"
#include "platform.h"
#include "report/csv.h"

namespace orv::cli {
namespace {

enum Column { kName, kDevice, kBaud, kFormat, kGolden, kColumns };
constexpr std::array<std::string_view, kColumns> kColumnNames{"name", "device", "baud", "format",
                                                              "golden"};
constexpr std::size_t kMaxName = 60;  // as much of a name as a history copy keeps

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The line of the first byte that is not UTF-8 text, or 0 when all of it is.
int LineNotUtf8(std::string_view text) {
    int line = 1;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        if (length == 0 || i + length > text.size()) return line;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return line;
        if (lead == '\n') ++line;
        i += length;
    }
    return 0;
}

// A name inside a message: its letters as written (the inventory is UTF-8), every control
// character, the line feed too, shown by its code.
std::string Quoted(const std::string& name) {
    std::string oneLine;
    for (const char c : name) oneLine += c == '\n' ? std::string("\\x0A") : std::string(1, c);
    return "\"" + TerminalText(oneLine) + "\"";
}

std::size_t Characters(const std::string& utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Why a unit's name cannot name its files ("" when it can).
std::string NameProblem(const std::string& name) {
    if (name.empty()) return "the unit has no name";
    if (Characters(name) > kMaxName)
        return "the name " + Quoted(name) + " is longer than " + std::to_string(kMaxName) +
               " characters";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::string_view("\\/:*?\"<>|").find(c) != std::string::npos)
            return "the name " + Quoted(name) +
                   " cannot name a file: it may not hold \\ / : * ? \" < > | or control characters";
    }
    if (name.back() == '.' || name.front() == '.')
        return "the name " + Quoted(name) +
               " cannot name a file: it may not begin or end "
               "with a dot";
    return {};
}

bool IsAbsolutePath(std::string_view path) {
#ifdef _WIN32
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
        return true;
    return !path.empty() && (path[0] == '\\' || path[0] == '/');
#else
    return !path.empty() && path[0] == '/';
#endif
}

// "N81", "n-8-1", "8N1" as "N,8,1"; other texts as they are.
std::string FormatText(std::string text) {
    if (text.find(',') != std::string::npos) return text;
    std::string bare;
    for (const char c : text)
        if (c != '-' && c != '/' && c != ' ') bare += c;
    if (bare.size() != 3) return text;
    if (std::isdigit(static_cast<unsigned char>(bare[0]))) std::swap(bare[0], bare[1]);
    return std::string{bare[0], ',', bare[1], ',', bare[2]};
}

// Units on one line run one after another: one key for every name that leads to it. A device
// server's key is made once every host is looked up (NetDeviceKeys).
std::string DeviceKey(const std::string& device) {
    if (IsNetAddress(device)) {
        if (const NetAddressResult r = ParseNetAddress(device); r.address)
            return "net " + Lower(r.address->host) + " " + std::to_string(r.address->port);
        return device;
    }
#ifdef _WIN32
    std::string key = device;
    if (key.starts_with("\\\\.\\")) key.erase(0, 4);
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
#else
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(device, ec);
    return ec ? device : canonical.string();
#endif
}

class Reader {
  public:
    Reader(const std::string& path, bool needGolden)
        : folder_(SplitFilePath(path).directory), needGolden_(needGolden) {}

    void Header(const csv::Row& row) {
        headerCells_ = row.cells.size();
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            const std::string name = Trimmed(row.cells[c]);
            names_.push_back(name);
            const auto known = std::find(kColumnNames.begin(), kColumnNames.end(), Lower(name));
            if (known == kColumnNames.end()) continue;
            const auto k = static_cast<std::size_t>(known - kColumnNames.begin());
            if (at_[k])
                Problem(row.line, "the column " + name + " appears twice");
            else
                at_[k] = c;
        }
        std::string missing;
        for (const Column c : {kName, kDevice, kGolden}) {
            if (at_[c] || (c == kGolden && !needGolden_)) continue;
            missing += (missing.empty() ? "" : " and ") + std::string(kColumnNames[c]);
        }
        // A spreadsheet set to another list separator saves "name;device;golden".
        const bool semicolons =
            std::any_of(row.cells.begin(), row.cells.end(),
                        [](const std::string& c) { return c.find(';') != std::string::npos; });
        if (!missing.empty())
            Problem(row.line,
                    "the header row has no column " + missing +
                        ". The first row must name the columns: name,device,baud,format,golden "
                        "(baud and format may be left out" +
                        (needGolden_ ? ")" : "; golden is needed by check and write)") +
                        (semicolons ? ". Its columns seem to be separated by semicolons: save "
                                      "the file with commas (\"CSV UTF-8 (comma delimited)\")"
                                    : ""));
    }

    void Unit(const csv::Row& row) {
        InventoryUnit u;
        u.line = row.line;
        auto cell = [&row](const std::optional<std::size_t>& at) {
            return at && *at < row.cells.size() ? Trimmed(row.cells[*at]) : std::string();
        };
        for (std::size_t c = headerCells_; c < row.cells.size(); ++c) {
            if (Trimmed(row.cells[c]).empty()) continue;
            Problem(row.line, std::to_string(row.cells.size()) + " cells, but the header names " +
                                  std::to_string(headerCells_) +
                                  " columns (a format such as N,8,1 holds commas: write it in "
                                  "double quotes, \"N,8,1\", or as N81)");
            break;
        }
        u.name = cell(at_[kName]);
        if (const std::string p = NameProblem(u.name); !p.empty()) {
            Problem(row.line, p);
        } else if (const auto [it, fresh] = lines_.emplace(Lower(u.name), row.line); !fresh) {
            Problem(row.line, "the name " + Quoted(u.name) + " is already used on line " +
                                  std::to_string(it->second));
        }
        const std::string unit = u.name.empty() ? "the unit" : "unit " + Quoted(u.name);
        u.device = cell(at_[kDevice]);
        if (u.device.empty())
            Problem(row.line, unit +
                                  " has no device: give COMn, a device path, tcp://HOST:PORT or "
                                  "rfc2217://HOST:PORT");
        else
            Device(row.line, u);
        std::string error;
        if (const std::string baud = cell(at_[kBaud]); !baud.empty()) {
            u.baud = baud;
            if (!(u.link.baudPosition = BaudPosition(baud, &error))) Problem(row.line, error);
        } else {
            u.link.baudPosition = BaudPosition(u.baud, nullptr);
        }
        if (const std::string format = cell(at_[kFormat]); !format.empty()) {
            u.format = FormatText(format);
            if (!(u.link.formatPosition = FormatPosition(u.format, &error)))
                Problem(row.line, error);
        } else {
            u.link.formatPosition = FormatPosition(u.format, nullptr);
        }
        u.goldenAsWritten = cell(at_[kGolden]);
        if (!u.goldenAsWritten.empty())
            u.golden =
                IsAbsolutePath(u.goldenAsWritten) ? u.goldenAsWritten : folder_ + u.goldenAsWritten;
        else if (needGolden_)
            Problem(row.line, unit +
                                  " has no golden file (the signed-off .ORV to compare with "
                                  "and write)");
        for (std::size_t c = 0; c < names_.size() && c < row.cells.size(); ++c)
            if (std::find(at_.begin(), at_.end(), c) == at_.end())
                u.extra.emplace_back(names_[c], row.cells[c]);
        inventory.units.push_back(std::move(u));
    }

    void Problem(int line, const std::string& text) {
        inventory.problems.push_back("line " + std::to_string(line) + ": " + text);
    }

    Inventory inventory;

  private:
    void Device(int line, InventoryUnit& u) {
        std::string device = u.device;
        if (const auto com = ParseComName(device)) {
            if (!lookup_) lookup_ = UserComPortLookup();
            device = DeviceForCom(*com, *lookup_);
        } else if (device.size() > 3 && Lower(device.substr(0, 3)) == "com" &&
                   device.find_first_not_of("0123456789", 3) == std::string::npos) {
#ifndef _WIN32
            Problem(line, "'" + device +
                              "' is not a COM port; use COM1 .. COM16 or the device's "
                              "path");
            return;
#endif
        }
        if (const std::string p = DeviceAddressProblem(device); !p.empty()) {
            Problem(line, p);
            return;
        }
        u.link.device = device;
        u.deviceKey = DeviceKey(device);
    }

    std::string folder_;
    bool needGolden_;
    std::size_t headerCells_ = 0;
    std::vector<std::string> names_;
    std::array<std::optional<std::size_t>, kColumns> at_{};
    std::map<std::string, int> lines_;  // lower-case name: the line it is on
    std::optional<ComPortLookup> lookup_;
};

// How long the names of device servers may take to look up, all together.
constexpr auto kLookUpTime = std::chrono::seconds(3);

// One server written two ways, by name and by address, or as 127.0.0.1 and localhost, is one
// line: the units of every device server port are joined by the addresses their hosts lead to.
// A host that leads nowhere keeps its name as its key (its units fail when they connect).
void NetDeviceKeys(std::vector<InventoryUnit>& units) {
    std::vector<std::string> hosts;
    std::vector<std::optional<NetAddress>> addresses(units.size());
    for (std::size_t k = 0; k < units.size(); ++k) {
        if (!IsNetAddress(units[k].link.device)) continue;
        addresses[k] = ParseNetAddress(units[k].link.device).address;
        if (addresses[k]) hosts.push_back(addresses[k]->host);
    }
    if (hosts.empty()) return;
    const auto found = HostAddresses(hosts, kLookUpTime);
    // Units that share a port and an address share a line (a union of sets).
    std::vector<std::size_t> parent(units.size());
    for (std::size_t k = 0; k < parent.size(); ++k) parent[k] = k;
    const std::function<std::size_t(std::size_t)> root = [&](std::size_t k) {
        return parent[k] == k ? k : parent[k] = root(parent[k]);
    };
    std::map<std::string, std::size_t> firstAt;  // "address port" -> a unit reached there
    std::map<std::size_t, std::string> keyOf;    // a set's root -> the smallest "address port"
    for (std::size_t k = 0; k < units.size(); ++k) {
        if (!addresses[k]) continue;
        std::vector<std::string> places;
        for (const auto& a : found.at(addresses[k]->host))
            places.push_back(a + " " + std::to_string(addresses[k]->port));
        if (places.empty())
            places.push_back(Lower(addresses[k]->host) + " " + std::to_string(addresses[k]->port));
        for (const auto& place : places) {
            const auto [at, fresh] = firstAt.emplace(place, k);
            if (!fresh) parent[root(k)] = root(at->second);
        }
    }
    for (const auto& [place, k] : firstAt) {
        auto& key = keyOf[root(k)];
        if (key.empty() || place < key) key = place;
    }
    for (std::size_t k = 0; k < units.size(); ++k)
        if (addresses[k]) units[k].deviceKey = "net " + keyOf[root(k)];
}

}  // namespace

Inventory ReadInventory(const std::string& path, bool needGolden) {
    Inventory none;
    std::string text;
    if (const FileIoResult r = ReadWholeFile(path, text); !r.ok) {
        none.problems.push_back("Cannot read the inventory '" + path + "': " + r.error + ".");
        return none;
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);  // a spreadsheet's BOM
    if (const int line = LineNotUtf8(text)) {
        none.problems.push_back("line " + std::to_string(line) +
                                ": the inventory is not UTF-8 text. Save it from the "
                                "spreadsheet as \"CSV UTF-8\".");
        return none;
    }
    const csv::Table table = csv::Parse(text);
    Reader reader(path, needGolden);
    std::map<int, std::string> rowErrors;
    for (const auto& e : table.errors) rowErrors.emplace(e.row, e.why);
    bool header = true;
    for (const auto& row : table.rows) {
        if (const auto e = rowErrors.find(row.number); e != rowErrors.end()) {
            reader.Problem(row.line, e->second);
            continue;
        }
        if (std::all_of(row.cells.begin(), row.cells.end(),
                        [](const std::string& c) { return Trimmed(c).empty(); }))
            continue;
        if (header) {
            reader.Header(row);
            header = false;
            continue;
        }
        reader.Unit(row);
    }
    if (reader.inventory.problems.empty()) NetDeviceKeys(reader.inventory.units);
    if (header)
        reader.inventory.problems.push_back("'" + path + "' lists no units.");
    else if (reader.inventory.units.empty() && reader.inventory.problems.empty())
        reader.inventory.problems.push_back("'" + path +
                                            "' has its header row but lists no units.");
    return reader.inventory;
}

}  // namespace orv::cli
