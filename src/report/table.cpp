// The channel table: export to CSV, and import that checks every row before it changes anything.
#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

#include "base/latin1.h"
#include "base/numbers.h"
#include "model/addresses.h"
#include "model/message_text.h"
#include "report/csv.h"
#include "report/names.h"
#include "report/report.h"

namespace orv {
namespace {

using namespace report;

enum Column : int {
    kBank,
    kChannel,
    kState,
    kRic,
    kRicTo,
    kFunction,
    kPagerType,
    kPagingRate,
    kRepeat,
    kSeconds,
    kMessage,
    kColumnCount
};
constexpr std::array<std::string_view, kColumnCount> kColumnNames{
    kColBank,      kColChannel,    kColState,  kColRic,     kColRicTo,  kColFunction,
    kColPagerType, kColPagingRate, kColRepeat, kColSeconds, kColMessage};

std::string Text(std::string_view latin1) {
    return Latin1ToUtf8(latin1);
}

template <std::size_t N>
std::string ExportText(const std::array<ListItem, N>& items, int position) {
    return std::string(ItemText(items, position));
}

std::string Trim(std::string_view s) {
    return std::string(TrimBlanks(s));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

template <std::size_t N>
std::optional<int> FindName(const std::array<std::string_view, N>& names, std::string_view text) {
    for (std::size_t k = 0; k < N; ++k)
        if (EqualsNoCase(names[k], text)) return static_cast<int>(k);
    return std::nullopt;
}

class Importer {
  public:
    Importer(const ConfigRecord& rec, const ModuleTypes& types) : work_(rec), types_(types) {}

    void Run(std::string_view csvText);
    TableImportResult& Result() { return result_; }
    const ConfigRecord& Work() const { return work_; }

  private:
    void Problem(int row, int column, std::string value, std::string why) {
        result_.problems.push_back(
            {row,
             column < 0 ? std::string()
                        : std::string(kColumnNames[static_cast<std::size_t>(column)]),
             std::move(value), std::move(why)});
    }
    bool Header(const csv::Row& header);
    void DataRow(const csv::Row& row);

    const std::string* Cell(int column) const {
        const int at = columnAt_[static_cast<std::size_t>(column)];
        return at < 0 ? nullptr : &(*cells_)[static_cast<std::size_t>(at)];
    }
    // A cell that must stay empty on this kind of row.
    void MustBeEmpty(int column, std::string_view why) {
        if (const std::string* c = Cell(column); c && !Trim(*c).empty())
            Problem(row_, column, *c, std::string(why));
    }
    template <std::size_t N>
    void Choice(int column, const std::array<ListItem, N>& items, int& field, std::string_view what,
                std::string_view choices,
                std::initializer_list<std::pair<std::string_view, int>> aliases = {});
    // A number the editor guards with its RIC check; pad7 keeps the seven-digit form of RICs.
    void Number(int column, std::string& field, std::string_view what, bool pad7);
    void Message(std::string& field);

    ConfigRecord work_;
    const ModuleTypes& types_;
    TableImportResult result_;
    std::array<int, kColumnCount> columnAt_{};
    const std::vector<std::string>* cells_ = nullptr;
    int row_ = 0;
    // (bank, relay row?, channel or output, state or action) -> the row that set it.
    std::map<std::tuple<int, bool, int, int>, int> seen_;
};

bool Importer::Header(const csv::Row& header) {
    columnAt_.fill(-1);
    bool ok = true;
    for (std::size_t k = 0; k < header.cells.size(); ++k) {
        const std::string name = Trim(header.cells[k]);
        const auto column = FindName(kColumnNames, name);
        if (!column) {
            std::string known;
            for (std::size_t c = 0; c < kColumnNames.size(); ++c)
                known += (c ? ", " : "") + std::string(kColumnNames[c]);
            result_.problems.push_back(
                {header.number, name, "",
                 name.empty() ? "a column without a name; the first row names the columns: " + known
                              : "unknown column; the columns are " + known});
            ok = false;
        } else if (columnAt_[static_cast<std::size_t>(*column)] >= 0) {
            result_.problems.push_back(
                {header.number, name, "", "the column appears twice; each column may appear once"});
            ok = false;
        } else {
            columnAt_[static_cast<std::size_t>(*column)] = static_cast<int>(k);
        }
    }
    for (int key : {kBank, kChannel, kState}) {
        if (columnAt_[static_cast<std::size_t>(key)] < 0) {
            result_.problems.push_back(
                {header.number, std::string(kColumnNames[static_cast<std::size_t>(key)]), "",
                 "the column is missing; every table needs Bank, Channel "
                 "and State to name the row it changes"});
            ok = false;
        }
    }
    return ok;
}

template <std::size_t N>
void Importer::Choice(int column, const std::array<ListItem, N>& items, int& field,
                      std::string_view what, std::string_view choices,
                      std::initializer_list<std::pair<std::string_view, int>> aliases) {
    const std::string* raw = Cell(column);
    if (!raw) return;
    const std::string cell = Trim(*raw);
    if (cell == ItemText(items, field)) return;  // as exported: unchanged
    std::optional<int> position;
    for (std::size_t p = 0; p < N && !position; ++p)
        if (EqualsNoCase(items[p].text, cell)) position = static_cast<int>(p);
    for (const auto& [alias, p] : aliases)
        if (!position && EqualsNoCase(alias, cell)) position = p;
    if (!position) {
        Problem(
            row_, column, *raw,
            (cell.empty() ? "no " + std::string(what) + " given" : "unknown " + std::string(what)) +
                ": use " + std::string(choices));
        return;
    }
    if (field != *position) {
        field = *position;
        ++result_.changed;
    }
}

void Importer::Number(int column, std::string& field, std::string_view what, bool pad7) {
    const std::string* raw = Cell(column);
    if (!raw) return;
    const std::string cell = Trim(*raw);
    if (cell == Text(field)) return;  // as exported: unchanged
    const std::string range =
        "the editor takes whole numbers from 0 to 2097151, except 2007664-2007671 and "
        "2045056-2045063";
    if (cell.empty()) {
        Problem(row_, column, *raw, "no " + std::string(what) + " given: " + range);
        return;
    }
    if (cell.find_first_not_of("0123456789") != std::string::npos) {
        Problem(row_, column, *raw, std::string(what) + " is not a whole number: " + range);
        return;
    }
    const std::string digits = cell.find_first_not_of('0') == std::string::npos
                                   ? "0"
                                   : cell.substr(cell.find_first_not_of('0'));
    const auto value = DecimalValue(digits);
    if (!value || *value > kMaxRIC) {
        Problem(row_, column, *raw, std::string(what) + " out of range: " + range);
        return;
    }
    if (const RicRange* reserved = ReservedRicRange(*value)) {
        Problem(row_, column, *raw,
                std::string(what) + " in the excluded range " + std::to_string(reserved->first) +
                    "-" + std::to_string(reserved->last) + ": " + range);
        return;
    }
    if (SameNumber(field, std::to_string(*value))) return;
    field = pad7 ? SevenDigitRic(static_cast<std::uint32_t>(*value)) : std::to_string(*value);
    ++result_.changed;
}

void Importer::Message(std::string& field) {
    const std::string* raw = Cell(kMessage);
    if (!raw || *raw == Text(field)) return;
    // The rule of a paste into the message field: what the unit cannot store becomes its ASCII
    // form and text beyond 69 characters is cut, each told to the user; control characters stay.
    const UnitMessage fitted = MessageForUnit(*raw);
    if (fitted.changed())
        result_.warnings.push_back("row " + std::to_string(row_) + ", column " +
                                   std::string(kColumnNames[kMessage]) + ": " +
                                   DescribeImportedMessage(fitted));
    if (field == fitted.text) return;
    field = fitted.text;
    ++result_.changed;
}

void Importer::DataRow(const csv::Row& row) {
    row_ = row.number;
    cells_ = &row.cells;
    const bool blank = std::all_of(row.cells.begin(), row.cells.end(),
                                   [](const std::string& c) { return Trim(c).empty(); });
    if (blank) return;
    ++result_.rows;
    const std::size_t width =
        std::count_if(columnAt_.begin(), columnAt_.end(), [](int at) { return at >= 0; });
    if (row.cells.size() != width) {
        Problem(row_, -1, "",
                "the row has " + std::to_string(row.cells.size()) + " cells where the header has " +
                    std::to_string(width) + "; every row needs one cell for each column");
        return;
    }

    // Which channel state or relay action the row names.
    const std::string bankCell = Trim(*Cell(kBank));
    const auto bankNumber = DecimalValue(bankCell);
    std::optional<int> bank;
    if (!bankNumber || *bankNumber < 1 || *bankNumber > kBanks)
        Problem(row_, kBank, *Cell(kBank), "unknown bank: the unit has banks 1 to 4");
    else
        bank = static_cast<int>(*bankNumber) - 1;
    const int type = bank ? types_[static_cast<std::size_t>(*bank)] : kModuleNotFitted;
    const BankKind kind = bank ? KindOf(type) : BankKind::kNotShown;
    if (bank && kind == BankKind::kNotShown)
        Problem(row_, kBank, *Cell(kBank),
                "bank " + std::to_string(*bank + 1) + " is " + ModuleText(type) +
                    " in this configuration: it has no channels or relays to set");

    const std::string stateCell = Trim(*Cell(kState));
    const auto state = FindName(kStateNames, stateCell);
    const auto action = FindName(kActionNames, stateCell);
    const std::string bankName = bank ? "bank " + std::to_string(*bank + 1) : std::string();
    bool keyOk = bank && kind != BankKind::kNotShown;
    if (!state && !action) {
        Problem(row_, kState, *Cell(kState),
                "unknown state: use RESET, SLOW, FAST or STEADY for an input channel, Close, Open "
                "or Toggle for a relay");
        keyOk = false;
    } else if (kind == BankKind::kInputs && action) {
        Problem(
            row_, kState, *Cell(kState),
            bankName + " holds an input module (" + ModuleText(type) + "): use " +
                (type == kModuleDryContact ? "RESET or STEADY" : "RESET, SLOW, FAST or STEADY"));
        keyOk = false;
    } else if (kind == BankKind::kRelays && state) {
        Problem(row_, kState, *Cell(kState),
                bankName + " holds a relay module: its actions are Close, Open and Toggle");
        keyOk = false;
    } else if (kind == BankKind::kInputs && !StateShown(type, *state)) {
        Problem(row_, kState, *Cell(kState),
                bankName + " holds a dry-contact module, which uses only RESET and STEADY");
        keyOk = false;
    }

    const int channels = kind == BankKind::kRelays ? kRelayOutputsPerBank : kChannelsPerBank;
    const auto channelNumber = DecimalValue(Trim(*Cell(kChannel)));
    if (!channelNumber || *channelNumber < 1 || *channelNumber > channels) {
        Problem(row_, kChannel, *Cell(kChannel),
                kind == BankKind::kRelays
                    ? "unknown relay: " + bankName + " has relays 1 to 8"
                    : "unknown channel: " +
                          (bank ? bankName + " has channels 1 to 16"
                                : std::string("channels are 1 to 16, relays 1 to 8")));
        keyOk = false;
    }
    if (!keyOk) return;
    const int channel = static_cast<int>(*channelNumber) - 1;
    const bool relay = kind == BankKind::kRelays;
    const int which = relay ? *action : *state;
    const auto [it, fresh] = seen_.emplace(std::make_tuple(*bank, relay, channel, which), row_);
    if (!fresh) {
        Problem(row_, -1, "",
                bankName + (relay ? " relay " : " channel ") + std::to_string(channel + 1) + " " +
                    std::string(relay ? kActionNames[static_cast<std::size_t>(which)]
                                      : kStateNames[static_cast<std::size_t>(which)]) +
                    " is already set by row " + std::to_string(it->second) +
                    "; each may appear once");
        return;
    }

    if (!relay) {
        const auto i = static_cast<std::size_t>(ChannelStateIndex(*bank, channel, which));
        Number(kRic, work_.txtRIC[i], "RIC", true);
        Choice(kFunction, kFuncItems, work_.lstFunc[i], "function code", "A, B, C or D");
        Choice(kPagerType, kTypeItems, work_.lstType[i], "pager type", "Alpha or Num.",
               {{"Num", 1}, {"Numeric", 1}});
        Choice(kPagingRate, kPagingBaudItems, work_.lstBaud[i], "paging rate", "512, 1200 or 2400");
        Choice(kRepeat, kRepeatItems, work_.lstRepeat[i], "repeat time", "A, B, C or D");
        Message(work_.txtMsg[i]);
        const std::string_view onlyRelay =
            "applies to relay actions only; leave it empty on an input channel row";
        MustBeEmpty(kRicTo, onlyRelay);
        MustBeEmpty(kSeconds, onlyRelay);
        return;
    }

    const int r = RelayIndex(*bank, channel);
    auto slot = [&](int s) -> std::string& {
        return work_.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(r, s))];
    };
    const std::string fromBefore = slot(which), toBefore = slot(which + 4);
    Number(kRic, slot(which), "RIC", true);
    Number(kRicTo, slot(which + 4), "RIC", true);
    Choice(kFunction, kRelayBeepItems,
           work_.lstRlyBeep[static_cast<std::size_t>(RelayBeepIndex(r, which))], "beep",
           "A, B, C, D or ALL");
    if (which == kActionClose)
        Number(kSeconds, slot(kSlotCloseTMax), "TMax", false);
    else if (which == kActionToggle)
        Number(kSeconds, slot(kSlotToggleRepeatFilter), "Repeat Filter", false);
    else
        MustBeEmpty(kSeconds, "an Open action has no time; leave it empty");
    const std::string_view onlyInput =
        "applies to input channels only; leave it empty on a relay row";
    MustBeEmpty(kPagerType, onlyInput);
    MustBeEmpty(kPagingRate, onlyInput);
    MustBeEmpty(kRepeat, onlyInput);
    MustBeEmpty(kMessage, onlyInput);

    const auto from = DecimalValue(slot(which)), to = DecimalValue(slot(which + 4));
    if ((slot(which) != fromBefore || slot(which + 4) != toBefore) && from && to && *from > *to)
        result_.warnings.push_back("row " + std::to_string(row_) + ": " + bankName + " relay " +
                                   std::to_string(channel + 1) + " " +
                                   std::string(kActionNames[static_cast<std::size_t>(which)]) +
                                   ": the RIC range " + slot(which) + "-" + slot(which + 4) +
                                   " ends before it starts");
}

void Importer::Run(std::string_view csvText) {
    if (csvText.starts_with("\xEF\xBB\xBF")) csvText.remove_prefix(3);  // a spreadsheet's BOM
    const csv::Table table = csv::Parse(csvText);
    for (const auto& e : table.errors) result_.problems.push_back({e.row, "", "", e.why});
    if (!table.errors.empty()) return;
    if (table.rows.empty()) {
        result_.problems.push_back(
            {1, "", "", "the table is empty; its first row must name the columns"});
        return;
    }
    if (!Header(table.rows.front())) return;
    for (std::size_t k = 1; k < table.rows.size(); ++k) DataRow(table.rows[k]);
}

}  // namespace

std::string TableProblem::Text() const {
    std::string text = "row " + std::to_string(row);
    if (!column.empty()) text += ", column " + column;
    if (!value.empty()) text += ", value '" + value + "'";
    return text + ": " + why;
}

std::string ExportChannelTable(const ConfigRecord& rec, const ModuleTypes& moduleTypes) {
    std::string out = csv::Line({kColumnNames.begin(), kColumnNames.end()});
    for (int b = 0; b < kBanks; ++b) {
        const int type = moduleTypes[static_cast<std::size_t>(b)];
        const std::string bank = std::to_string(b + 1);
        if (KindOf(type) == BankKind::kInputs) {
            for (int c = 0; c < kChannelsPerBank; ++c) {
                for (int s = 0; s < kStatesPerChannel; ++s) {
                    if (!StateShown(type, s)) continue;
                    const auto i = static_cast<std::size_t>(ChannelStateIndex(b, c, s));
                    out += csv::Line(
                        {bank, std::to_string(c + 1),
                         std::string(kStateNames[static_cast<std::size_t>(s)]), Text(rec.txtRIC[i]),
                         "", ExportText(kFuncItems, rec.lstFunc[i]),
                         ExportText(kTypeItems, rec.lstType[i]),
                         ExportText(kPagingBaudItems, rec.lstBaud[i]),
                         ExportText(kRepeatItems, rec.lstRepeat[i]), "", Text(rec.txtMsg[i])});
                }
            }
        } else if (KindOf(type) == BankKind::kRelays) {
            for (int o = 0; o < kRelayOutputsPerBank; ++o) {
                const int r = RelayIndex(b, o);
                auto slot = [&](int s) {
                    return Text(rec.txtRlyRIC[static_cast<std::size_t>(RelayRicIndex(r, s))]);
                };
                for (int t = 0; t < 3; ++t) {
                    const std::string seconds = t == kActionClose    ? slot(kSlotCloseTMax)
                                                : t == kActionToggle ? slot(kSlotToggleRepeatFilter)
                                                                     : std::string();
                    out += csv::Line(
                        {bank, std::to_string(o + 1),
                         std::string(kActionNames[static_cast<std::size_t>(t)]), slot(t),
                         slot(t + 4),
                         ExportText(kRelayBeepItems,
                                    rec.lstRlyBeep[static_cast<std::size_t>(RelayBeepIndex(r, t))]),
                         "", "", "", seconds, ""});
                }
            }
        }
    }
    return out;
}

TableImportResult ImportChannelTable(std::string_view csvText, ConfigRecord& rec,
                                     const ModuleTypes& moduleTypes) {
    Importer importer(rec, moduleTypes);
    importer.Run(csvText);
    TableImportResult result = std::move(importer.Result());
    result.ok = result.problems.empty();
    if (!result.ok) {
        result.changed = 0;
        return result;
    }
    rec = importer.Work();
    // Changed messages can move words out of the dictionary that a long message of the file
    // needs; one the unit then cannot hold is cut as a paste is, not left to refuse the save.
    for (const MessageCut& cut : CutMessagesTooLongToStore(rec, moduleTypes))
        result.warnings.push_back(
            "bank " + std::to_string(BankOf(cut.index) + 1) + " channel " +
            std::to_string(ChannelOf(cut.index) + 1) + " " +
            std::string(kStateNames[static_cast<std::size_t>(StateOf(cut.index))]) + ": message " +
            DescribeMessageCut(cut));
    return result;
}

}  // namespace orv
