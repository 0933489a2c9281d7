// The commissioning sheet: what a technician hands over with a unit, as texts in sections. The
// unit (file, date printed, MAC address, firmware, module types), each fitted bank's channel or
// relay table, then Comms, LAN, Pulse Timing, Options and the dictionary's size. Built from the
// record as a Write would send it (a normalised copy), so the sheet says what the unit holds.
// Texts are UTF-8. sheet_painter.h lays it out on pages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/record.h"

namespace orv::print {

struct SheetField {
    std::string label;
    std::string value;
};

struct SheetTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;  // each as many cells as there are columns
    // The column that takes the width the others leave, set in a fixed-pitch font and made
    // smaller where a text is wider than that (messages); -1: the last column takes it.
    int stretch = -1;
};

struct SheetSection {
    std::string heading;  // "Bank 2: Type 13: 16-Channel Dry Contact Input Module", "Comms"
    std::vector<SheetField> fields;
    SheetTable table;  // no columns: the section has none
};

struct SheetContent {
    std::string title;     // "Commissioning Sheet"
    std::string program;   // "ORV Pro Configuration 1.0"
    std::string fileName;  // the configuration's file name, or "(not saved)"
    std::string printed;   // when the sheet was made, as the caller words it
    std::vector<SheetSection> sections;
    std::vector<std::string> signOff;  // the lines the technician and the customer sign
};

inline constexpr std::string_view kSheetTitle = "Commissioning Sheet";
inline constexpr std::string_view kNotSaved = "(not saved)";

// fileName: the name to show (empty: not saved); printed: the date and time to show.
SheetContent MakeCommissioningSheet(const ConfigRecord& rec, const ModuleTypes& moduleTypes,
                                    std::string_view fileName, std::string_view printed);

// A message or other record text as it can be printed: control characters (a file or a unit may
// hold TAB, DEL, ...) shown by their symbols (U+2409 for TAB), Latin-1 bytes as their letters.
std::string PrintableText(std::string_view recordText);

}  // namespace orv::print
