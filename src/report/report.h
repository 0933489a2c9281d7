// What technicians ask of a configuration besides editing it: a readable report, the differences
// between two configurations named as a person names them, and the channel table that goes to
// and from a spreadsheet. Pure functions over the record and the module types of its banks; the
// record is taken as a file open leaves it (decoded and normalised by the closing rebuild).
// The report layer uses the image and what lies below it (cmake/core_layers.cmake): record texts
// reach the user through base/latin1.h and base/quote.h, RIC rules come from model/addresses.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "image/image.h"
#include "model/record.h"

namespace orv {

// ---- Report

// The whole configuration as text: general settings, then every bank with the captions the
// editor shows for its module type. source names the configuration in the first line (a file
// name); empty leaves the name out. Lines end in "\n"; texts of the record are shown as UTF-8.
std::string ConfigReport(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                         std::string_view source = {});

// ---- Differences

// One line per difference, "RS232 port: 9600 -> 19200", "Bank 2 channel 5 SLOW: message 'X' ->
// 'Y'", in the order of the report. What cannot differ in meaning is left out: the dictionary,
// the editor's own serial settings, fields the module type hides (banks not fitted, SLOW and FAST
// of dry-contact banks, the channel copies of relay settings) and numbers written with other
// leading zeros. Where a bank's module type differs, only what both types use is compared.
std::vector<std::string> ConfigDifferences(const ConfigRecord& a, const ModuleTypes& typesA,
                                           const ConfigRecord& b, const ModuleTypes& typesB);

// The field a line of ConfigDifferences is about, for leaving such lines out: its label without
// the bank, channel or relay, in lower case with its words joined by hyphens ("ip-address",
// "rs485-address-limit", "repeat-time-b", "message", "ric-range", "module"). Empty for a line
// that is none of ConfigDifferences's.
std::string DifferenceField(std::string_view line);
// Every name DifferenceField gives.
std::vector<std::string> DifferenceFieldNames();

// ---- The unit against the editor

// What the unit holds compared with what the editor holds, built as a Write would send it: the
// lines of ConfigDifferences (editor -> unit), the unit's image decoded with the module types it
// reports. The firmware version lines and the MAC address are the unit's own (a Write sends
// neither) and are not compared.
std::vector<std::string> UnitDifferences(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                                         const Image& image, const ModuleTypes& unitTypes,
                                         const Image& unitImage);

// What a Write sent and what the unit read back differ in, block by block over blocks 0..239:
// "block 100: Bank 2 channel 5 SLOW: message 'X' -> 'Y'" for each field that block alone changes
// (sent -> read back), or "block 230: bytes the editor does not read (addresses 3680 to 3681)"
// when it changes none. Both images are read with moduleTypes.
std::vector<std::string> BlockDifferences(const Image& sent, const Image& readBack,
                                          const ModuleTypes& moduleTypes);

// ---- Channel table (CSV, RFC 4180)

// The columns of the table, in the order export writes them.
inline constexpr std::string_view kColBank = "Bank";
inline constexpr std::string_view kColChannel = "Channel";
inline constexpr std::string_view kColState = "State";
inline constexpr std::string_view kColRic = "RIC";
inline constexpr std::string_view kColRicTo = "RIC To";
inline constexpr std::string_view kColFunction = "Function";
inline constexpr std::string_view kColPagerType = "Pager Type";
inline constexpr std::string_view kColPagingRate = "Paging Rate";
inline constexpr std::string_view kColRepeat = "Repeat";
inline constexpr std::string_view kColSeconds = "Seconds";
inline constexpr std::string_view kColMessage = "Message";

// A header row, then one row per channel state the editor shows (RESET, SLOW, FAST, STEADY of
// input banks; RESET and STEADY of dry-contact banks) and one per relay action (Close, Open,
// Toggle). Banks not fitted have no rows. Texts are UTF-8, lines end in CR LF.
std::string ExportChannelTable(const ConfigRecord& rec, const ModuleTypes& moduleTypes);

// One reason a table was refused. row counts the header as row 1, as a spreadsheet shows it;
// column and value are empty where the reason concerns the whole row or the whole table.
struct TableProblem {
    int row = 0;
    std::string column;
    std::string value;
    std::string why;
    // "row 5, column RIC, value '2097152': ..."
    std::string Text() const;
};

struct TableImportResult {
    bool ok = false;
    std::vector<TableProblem> problems;  // every reason the table was refused (ok == false)
    std::vector<std::string> warnings;   // applied, but worth a look
    int rows = 0;                        // data rows read
    int changed = 0;                     // fields whose value the table changed
};

// Applies a table to the record. A cell equal to what export writes for the record leaves its
// field alone; any other cell must be a valid value for its field, except that a message is
// taken as a paste into its field would be (model/message_text.h: characters the unit cannot
// store become ASCII, text beyond 69 characters is cut, each with a warning). Columns other
// than Bank, Channel and State may be left out, rows may be left out, and so may blank rows.
// With any problem in any row nothing is changed and every problem is listed.
TableImportResult ImportChannelTable(std::string_view csv, ConfigRecord& rec,
                                     const ModuleTypes& moduleTypes);

}  // namespace orv
