// BuildImage: record -> image. The record is first brought into the shape the unit expects
// (bank rules, message spacing, a fresh dictionary); the packed part is assembled in a scratch
// buffer so that a configuration too large for the unit never touches the image.
#include <algorithm>
#include <map>

#include "base/quote.h"
#include "image/encoder.h"
#include "image/field_values.h"
#include "image/image.h"
#include "model/lists.h"

namespace orv {
namespace {

using detail::ChannelStateName;
using detail::FieldReader;

// The largest packed part the builder can produce: 128 dictionary entries and 256 records of
// at most 80 text bytes each.
constexpr int kScratchSize =
    kPackedStart + kDictEntries * kMaxImageText + kChannelStates * (4 + kMaxImageText);

void NormaliseBanks(ConfigRecord& rec, const ModuleTypes& moduleTypes) {
    for (int b = 0; b < kBanks; ++b) {
        switch (moduleTypes[static_cast<std::size_t>(b)]) {
            case kModuleNotFitted:
                for (int s = 0; s < 64; ++s)
                    rec.txtMsg[static_cast<std::size_t>(b * 64 + s)].clear();
                break;
            case kModuleDryContact:
                for (int c = 0; c < kChannelsPerBank; ++c) {
                    rec.txtMsg[static_cast<std::size_t>(ChannelStateIndex(b, c, kStateSlow))]
                        .clear();
                    rec.txtMsg[static_cast<std::size_t>(ChannelStateIndex(b, c, kStateFast))]
                        .clear();
                }
                break;
            case kModuleRelay:
                for (int r = 0; r < kRelayOutputsPerBank; ++r) {
                    for (int m = 0; m < 8; ++m) {
                        const auto k = static_cast<std::size_t>(b * 64 + r * 8 + m);
                        rec.txtMsg[k].clear();
                        rec.txtRIC[k] = rec.txtRlyRIC[k];
                    }
                    for (int t = 0; t < 3; ++t) {
                        const int e = rec.lstRlyBeep[static_cast<std::size_t>(b * 24 + r * 3 + t)];
                        const auto k = static_cast<std::size_t>(b * 64 + r * 8 + t);
                        if (e >= 0 && e <= 3) {
                            rec.lstFunc[k] = e;
                            rec.lstFunc[k + 4] = e;
                        } else if (e == kRelayBeepAll) {
                            rec.lstFunc[k] = 0;
                            rec.lstFunc[k + 4] = 1;
                        }
                        // No selection: the channel function codes stay as they are.
                    }
                }
                break;
            default:
                break;  // input modules 1-12 and 15, and codes the editor does not know
        }
    }
}

// Characters the unit cannot hold literally are replaced in the record, so that the editor shows
// what is stored; control characters are stored but reported.
void CheckMessageCharacters(ConfigRecord& rec, const ModuleTypes& moduleTypes, FieldReader& out) {
    for (int i = 0; i < kChannelStates; ++i) {
        std::string& msg = rec.txtMsg[static_cast<std::size_t>(i)];
        std::string replaced;
        std::string control;
        for (char& c : msg) {
            const auto u = static_cast<unsigned char>(c);
            if (u == 0 || u >= 0x80) {
                replaced += (replaced.empty() ? "" : ", ") + std::string("0x") + HexString(u, 2);
                c = '?';
            } else if (u < 0x20 || u == 0x7F) {
                control += (control.empty() ? "" : ", ") + std::string("0x") + HexString(u, 2);
            }
        }
        if (replaced.empty() && control.empty()) continue;
        const std::string name = "Message of " + ChannelStateName(i, moduleTypes);
        if (!replaced.empty())
            out.Add(name + " held characters the unit cannot store (" + replaced +
                    "); each was stored as \"?\".");
        if (!control.empty())
            out.Add(name + " holds control characters (" + control +
                    ") that pagers may not show; use printable characters only.");
    }
}

// Warnings for list selections are grouped: one sentence per kind of list, naming the fields.
class ListProblems {
  public:
    void Note(const std::string& listName, const std::string& field, int position,
              std::string_view fallback) {
        auto& g = groups_[listName];
        g.fallback = fallback;
        g.fields.push_back(field + (position == kNoSelection
                                        ? std::string(" (no selection)")
                                        : " (position " + std::to_string(position) + ")"));
    }
    void Flush(FieldReader& out) {
        for (auto& [listName, g] : groups_) {
            std::string s = listName + " has no valid selection for ";
            const std::size_t shown = std::min<std::size_t>(g.fields.size(), 6);
            for (std::size_t n = 0; n < shown; ++n) s += (n ? ", " : "") + g.fields[n];
            if (g.fields.size() > shown)
                s += " and " + std::to_string(g.fields.size() - shown) + " more";
            s += "; stored as " + QuoteForMessage(g.fallback) + ".";
            out.Add(std::move(s));
        }
    }

  private:
    struct Group {
        std::string_view fallback;
        std::vector<std::string> fields;
    };
    std::map<std::string, Group> groups_;
};

// The name of a channel field is only formed when a warning needs it.
template <std::size_t N, typename NameFn>
int ChannelPosition(ListProblems& problems, const char* listName, const NameFn& name, int position,
                    const std::array<ListItem, N>& items) {
    if (position >= 0 && position < static_cast<int>(N)) return position;
    problems.Note(listName, name(), position, items[0].text);
    return 0;
}

// The common case, seven digits or fewer within the RIC range, without the general reader.
bool PlainRic(std::string_view text, std::uint32_t& ric) {
    if (text.empty() || text.size() > 7) return false;
    std::uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (v > 0x1FFFFF) return false;
    ric = v;
    return true;
}

}  // namespace

int PackChannelWord(std::span<std::uint8_t> buffer, int address, std::uint32_t ric,
                    int functionCode, int baudCode, int alphaBit, int repeatCode) {
    const std::uint32_t word = (ric & 0x1FFFFFu) |
                               (static_cast<std::uint32_t>(functionCode & 3) << 21) |
                               (static_cast<std::uint32_t>(baudCode & 3) << 23) |
                               (static_cast<std::uint32_t>(alphaBit & 1) << 25) |
                               (static_cast<std::uint32_t>(repeatCode & 3) << 26);
    for (int n = 0; n < 4; ++n) {
        const auto a = static_cast<std::size_t>(address + n);
        if (address + n >= 0 && a < buffer.size())
            buffer[a] = static_cast<std::uint8_t>(word >> (8 * n));
    }
    return 4;
}

int PutImageText(std::span<std::uint8_t> buffer, int address, std::string_view text,
                 int maxLength) {
    const std::size_t keep =
        std::min(text.size(), static_cast<std::size_t>(std::max(maxLength - 1, 0)));
    auto put = [&](int a, std::uint8_t v) {
        if (a >= 0 && static_cast<std::size_t>(a) < buffer.size())
            buffer[static_cast<std::size_t>(a)] = v;
    };
    for (std::size_t n = 0; n < keep; ++n)
        put(address + static_cast<int>(n), static_cast<std::uint8_t>(text[n]));
    put(address + static_cast<int>(keep), 0);
    return static_cast<int>(keep) + 1;
}

BuildResult BuildImage(ConfigRecord& rec, const ModuleTypes& moduleTypes, Image& image) {
    BuildResult result;
    FieldReader read(result.warnings);
    std::vector<std::uint8_t> scratch(kScratchSize, 0);

    // Header.
    for (int p = 0; p < 8; ++p)
        scratch[static_cast<std::size_t>(kAddrPulseTimes + p)] = static_cast<std::uint8_t>(
            read.Tens(detail::PulseTimeName(p), rec.txtPulseTime[static_cast<std::size_t>(p)], 2550,
                      "ms"));
    static constexpr const char* kPortNames[2] = {"RS232 port", "RS485 port"};
    static constexpr int kDefaultBaud[2] = {kBaud9600, kBaud115200};
    for (int n = 0; n < 2; ++n) {
        const int baud =
            read.Position(std::string(kPortNames[n]) + " baud rate",
                          rec.lstPortBaudrate[static_cast<std::size_t>(n)],
                          static_cast<int>(kBaudRateItems.size()), kDefaultBaud[n],
                          kBaudRateItems[static_cast<std::size_t>(kDefaultBaud[n])].text);
        const int format = read.Position(std::string(kPortNames[n]) + " format",
                                         rec.lstPortFormat[static_cast<std::size_t>(n)],
                                         static_cast<int>(kFrameFormatItems.size()), kFormatN81,
                                         kFrameFormatItems[kFormatN81].text);
        scratch[static_cast<std::size_t>(kAddrRS232Baud + 2 * n)] = static_cast<std::uint8_t>(baud);
        scratch[static_cast<std::size_t>(kAddrRS232Format + 2 * n)] =
            static_cast<std::uint8_t>(kFrameFormatItems[static_cast<std::size_t>(format)].code);
    }
    for (int k = 0; k < 4; ++k)
        scratch[static_cast<std::size_t>(kAddrIP + k)] =
            static_cast<std::uint8_t>(read.Whole("IP address part " + std::to_string(k + 1),
                                                 rec.txtIP[static_cast<std::size_t>(k)], 0, 255));
    static constexpr char kRepeatNames[] = "ABCD";
    for (int t = 0; t < 4; ++t)
        scratch[static_cast<std::size_t>(kAddrRepeatTimes + t)] = static_cast<std::uint8_t>(
            read.Tens(std::string("Repeat time ") + kRepeatNames[t],
                      rec.txtRepTime[static_cast<std::size_t>(t)], 2550, "s"));
    int options = 0;
    for (int o = 7; o >= 0; --o)
        options = options * 2 + (rec.chkOptions[static_cast<std::size_t>(o)] ? 1 : 0);
    scratch[kAddrOptions] = static_cast<std::uint8_t>(options);
    // The unit keeps seven bits of the address; bit 7 is the role. A larger value keeps its low
    // seven bits, as the unit would read them, and the user is told.
    const std::string rs485Name = rec.optMaster ? "RS485 address limit" : "RS485 address";
    const std::size_t warningsBefore = result.warnings.size();
    const auto rs485 = read.Whole(rs485Name, rec.txtRS485Address, 0, 255);
    if (rs485 > 127 && result.warnings.size() == warningsBefore)
        read.Add(rs485Name + " " + std::to_string(rs485) +
                 " is above 127; the unit keeps only its low seven bits, stored as " +
                 std::to_string(rs485 & 0x7F) + ".");
    scratch[kAddrRS485] = static_cast<std::uint8_t>((rs485 & 0x7F) | (rec.optMaster ? 0x80 : 0));

    // The record in the unit's shape, and the dictionary chosen for it.
    NormaliseBanks(rec, moduleTypes);
    CheckMessageCharacters(rec, moduleTypes, read);
    BuildDictionary(rec);

    // Packed part.
    std::span<std::uint8_t> buf(scratch);
    int a = kPackedStart;
    for (const auto& word : rec.txtDict) a += PutImageText(buf, a, word, kMaxImageText);
    const detail::MessageEncoder encoder(rec);
    ListProblems lists;
    for (int i = 0; i < kChannelStates; ++i) {
        const auto ui = static_cast<std::size_t>(i);
        const auto name = [&] { return ChannelStateName(i, moduleTypes); };
        std::uint32_t ric = 0;
        if (!PlainRic(rec.txtRIC[ui], ric)) {
            const bool relay = moduleTypes[static_cast<std::size_t>(BankOf(i))] == kModuleRelay;
            ric = read.Ric(relay ? "B" + name().substr(1) : "RIC of " + name(), rec.txtRIC[ui]);
        }
        const int func = ChannelPosition(lists, "Function code", name, rec.lstFunc[ui], kFuncItems);
        const int baud =
            ChannelPosition(lists, "Paging baud rate", name, rec.lstBaud[ui], kPagingBaudItems);
        const int type = ChannelPosition(lists, "Pager type", name, rec.lstType[ui], kTypeItems);
        const int repeat =
            ChannelPosition(lists, "Repeat selection", name, rec.lstRepeat[ui], kRepeatItems);
        a += PackChannelWord(buf, a, ric, func, baud, 1 - type, repeat);

        const std::string encoded = encoder.Encode(rec.txtMsg[ui]);
        // Cutting only the literal space after the last word loses nothing.
        const bool lost =
            encoded.size() > static_cast<std::size_t>(kMaxImageText) ||
            (encoded.size() == static_cast<std::size_t>(kMaxImageText) && encoded.back() != ' ');
        if (lost)
            read.Add("Message of " + name() + " is too long to store (" +
                     std::to_string(encoded.size()) + " bytes after packing, at most " +
                     std::to_string(kMaxImageText - 1) + "); its end was cut off.");
        a += PutImageText(buf, a, encoded, kMaxImageText);
    }
    lists.Flush(read);
    result.lastAddress = a - 1;
    result.fits = result.lastAddress <= kConfigAreaLast;

    std::array<std::uint8_t, 6> mac{};
    for (int m = 0; m < 6; ++m)
        mac[static_cast<std::size_t>(m)] = static_cast<std::uint8_t>(read.HexByte(
            "MAC address part " + std::to_string(m + 1), rec.txtMAC[static_cast<std::size_t>(m)]));

    if (!result.fits) return result;  // the image stays exactly as it was
    std::copy(scratch.begin(), scratch.begin() + 22, image.begin());
    std::copy(scratch.begin() + kPackedStart, scratch.begin() + a, image.begin() + kPackedStart);
    std::copy(mac.begin(), mac.end(), image.begin() + kMacAddress);
    return result;
}

std::string TooLargeMessage(const BuildResult& build) {
    return "The configuration is " + std::to_string(build.overBy()) +
           " bytes too large for the unit (its last byte would be at address " +
           std::to_string(build.lastAddress) + ", the limit is " + std::to_string(kConfigAreaLast) +
           "). Shorten or remove some messages and try again.";
}

}  // namespace orv
