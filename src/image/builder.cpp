// BuildImage: record -> image, in two steps. NormaliseRecord brings the record into the shape the
// unit expects (bank rules, message characters, message spacing, a fresh dictionary); EncodeRecord
// then reads the record and writes header, packed part and MAC bytes as image/layout.h lays them
// out, into a scratch buffer, so that a configuration too large for the unit never touches the
// image.
#include <algorithm>
#include <map>

#include "base/quote.h"
#include "image/encoder.h"
#include "image/field_values.h"
#include "image/image.h"
#include "model/lists.h"
#include "model/message_text.h"
#include "model/settings_checks.h"

namespace orv {
namespace {

using detail::ChannelStateName;
using detail::FieldReader;

void NormaliseBanks(ConfigRecord& rec, const ModuleTypes& moduleTypes) {
    for (int b = 0; b < kBanks; ++b) {
        switch (moduleTypes[static_cast<std::size_t>(b)]) {
            case kModuleNotFitted:
                for (int c = 0; c < kChannelsPerBank; ++c)
                    for (int s = 0; s < kStatesPerChannel; ++s)
                        rec.txtMsg[static_cast<std::size_t>(ChannelStateIndex(b, c, s))].clear();
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
                    const int relay = RelayIndex(b, r);
                    for (int m = 0; m < kSlotsPerRelay; ++m) {
                        // The slot's field and the channel record that carries it share a number.
                        const auto k = static_cast<std::size_t>(RelayRicIndex(relay, m));
                        rec.txtMsg[k].clear();
                        rec.txtRIC[k] = rec.txtRlyRIC[k];
                    }
                    for (int t = 0; t < kActionsPerRelay; ++t) {
                        const int e =
                            rec.lstRlyBeep[static_cast<std::size_t>(RelayBeepIndex(relay, t))];
                        const auto from =
                            static_cast<std::size_t>(RelayRicIndex(relay, RelayFromSlot(t)));
                        const auto to =
                            static_cast<std::size_t>(RelayRicIndex(relay, RelayToSlot(t)));
                        if (e >= 0 && e <= 3) {
                            rec.lstFunc[from] = e;
                            rec.lstFunc[to] = e;
                        } else if (e == kRelayBeepAll) {
                            rec.lstFunc[from] = kAllFromFunction;
                            rec.lstFunc[to] = kAllToFunction;
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

// Bytes the unit cannot hold literally in a message (0x80..0xFF are dictionary codes, NUL ends
// it) become their nearest ASCII form in the record, so that the editor shows what is stored and
// the user is told what each became: such a message is stored otherwise than shown, a warning.
// Control characters are literal bytes: files and units hold them, so they are stored as they
// are. Blanks the unit does not keep (a run of them, one at either end) go too; that loses
// nothing the unit could hold, so it is a note.
void CheckMessageCharacters(ConfigRecord& rec, const ModuleTypes& moduleTypes, FieldReader& out,
                            std::vector<std::string>& notes) {
    for (int i = 0; i < kChannelStates; ++i) {
        std::string& msg = rec.txtMsg[static_cast<std::size_t>(i)];
        const bool literal = std::all_of(msg.begin(), msg.end(), [](char c) {
            return IsLiteralByte(static_cast<std::uint8_t>(c));
        });
        if (literal && HasSingleBlanks(msg)) continue;
        const UnitMessage fitted = MessageForUnitFromLatin1(msg);
        msg = fitted.text;
        std::string sentence = "Message of " + ChannelStateName(i, moduleTypes) + ": " +
                               DescribeMessageChanges(fitted);
        if (literal)
            notes.push_back(std::move(sentence));
        else
            out.Add(std::move(sentence));
    }
}

// A time between two of the unit's steps is stored as the nearest step: the record takes that
// step, so the field shows what the unit keeps, and the user is told. Values outside the range,
// or not numbers, are the encoder's to report; whole steps keep their text as typed ("030").
void RoundTimesToSteps(ConfigRecord& rec, std::vector<std::string>& notes) {
    auto round = [&notes](std::string& text, const std::string& label, std::string_view unit) {
        const LeadingNumber n = ReadLeadingNumber(text);
        if (n.status != NumberStatus::kOk || !(n.value >= 0 && n.value <= kMaxStoredTime)) return;
        const long long stored = StoredTime(n.value);
        if (static_cast<double>(stored) == n.value) return;
        notes.push_back(TimeRoundingNote(label, detail::NumberText(n.value), stored, unit));
        text = std::to_string(stored);
    };
    for (int p = 0; p < kPulseTimes; ++p)
        round(rec.txtPulseTime[static_cast<std::size_t>(p)], PulseTimeLabel(p), kPulseTimeUnit);
    for (int t = 0; t < kRepeatTimes; ++t)
        round(rec.txtRepTime[static_cast<std::size_t>(t)], RepeatTimeLabel(t), kRepeatTimeUnit);
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

// Whether writing an encoded message cuts off more than the literal blank after its last word
// (cutting only that blank loses nothing).
bool LosesText(const std::string& encoded) {
    return encoded.size() > static_cast<std::size_t>(kMaxImageText) ||
           (encoded.size() == static_cast<std::size_t>(kMaxImageText) && encoded.back() != ' ');
}

// The common case, seven digits or fewer within the RIC range, without the general reader.
bool PlainRic(std::string_view text, std::uint32_t& ric) {
    if (text.empty() || text.size() > 7) return false;
    std::uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (v > ChannelWord::kRicMax) return false;
    ric = v;
    return true;
}

// Step one: the record in the unit's shape, and the dictionary chosen for it. What had to be
// changed is reported: as warnings where the unit cannot hold what was there, as notes where the
// record now shows what the unit keeps.
void NormaliseRecord(ConfigRecord& rec, const ModuleTypes& moduleTypes,
                     std::vector<std::string>& warnings, std::vector<std::string>& notes) {
    FieldReader out(warnings);
    NormaliseBanks(rec, moduleTypes);
    CheckMessageCharacters(rec, moduleTypes, out, notes);
    RoundTimesToSteps(rec, notes);
    BuildDictionary(rec);
}

// Step two's result: the image bytes the record gives, not yet in the image.
struct EncodedImage {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kPackedPartMaxEnd, 0);
    int packedEnd = kPackedStart;  // one past the last byte of the packed part
    std::array<std::uint8_t, kMacBytes> mac{};
    std::vector<std::string> headerWarnings;  // the header's fields
    std::vector<std::string> recordWarnings;  // the channel records and the MAC address
};

void EncodeHeader(const ConfigRecord& rec, std::span<std::uint8_t> out,
                  std::vector<std::string>& warnings) {
    FieldReader read(warnings);
    for (int p = 0; p < kPulseTimes; ++p)
        out[static_cast<std::size_t>(kAddrPulseTimes + p)] = static_cast<std::uint8_t>(
            read.Tens(detail::PulseTimeName(p), rec.txtPulseTime[static_cast<std::size_t>(p)],
                      kMaxStoredTime, kPulseTimeUnit));
    static constexpr const char* kPortNames[kPorts] = {"RS232 port", "RS485 port"};
    static constexpr int kDefaultBaud[kPorts] = {kBaud9600, kBaud115200};
    for (int n = 0; n < kPorts; ++n) {
        const int baud =
            read.Position(std::string(kPortNames[n]) + " baud rate",
                          rec.lstPortBaudrate[static_cast<std::size_t>(n)],
                          static_cast<int>(kBaudRateItems.size()), kDefaultBaud[n],
                          kBaudRateItems[static_cast<std::size_t>(kDefaultBaud[n])].text);
        const int format = read.Position(std::string(kPortNames[n]) + " format",
                                         rec.lstPortFormat[static_cast<std::size_t>(n)],
                                         static_cast<int>(kFrameFormatItems.size()), kFormatN81,
                                         kFrameFormatItems[kFormatN81].text);
        out[static_cast<std::size_t>(PortBaudAddress(n))] = static_cast<std::uint8_t>(baud);
        out[static_cast<std::size_t>(PortFormatAddress(n))] =
            static_cast<std::uint8_t>(kFrameFormatItems[static_cast<std::size_t>(format)].code);
    }
    for (int k = 0; k < kIPBytes; ++k)
        out[static_cast<std::size_t>(kAddrIP + k)] =
            static_cast<std::uint8_t>(read.Whole("IP address part " + std::to_string(k + 1),
                                                 rec.txtIP[static_cast<std::size_t>(k)], 0, 255));
    for (int t = 0; t < kRepeatTimes; ++t)
        out[static_cast<std::size_t>(kAddrRepeatTimes + t)] = static_cast<std::uint8_t>(
            read.Tens(RepeatTimeLabel(t), rec.txtRepTime[static_cast<std::size_t>(t)],
                      kMaxStoredTime, kRepeatTimeUnit));
    int options = 0;
    for (int o = 7; o >= 0; --o)
        options = options * 2 + (rec.chkOptions[static_cast<std::size_t>(o)] ? 1 : 0);
    out[kAddrOptions] = static_cast<std::uint8_t>(options);
    // The unit keeps seven bits of the address; bit 7 is the role. A larger value keeps its low
    // seven bits, as the unit would read them, and the user is told.
    const std::string rs485Name = rec.optMaster ? "RS485 address limit" : "RS485 address";
    const std::size_t warningsBefore = warnings.size();
    const auto rs485 = read.Whole(rs485Name, rec.txtRS485Address, 0, 255);
    if (rs485 > kRS485AddressBits && warnings.size() == warningsBefore)
        read.Add(rs485Name + " " + std::to_string(rs485) +
                 " is above 127; the unit keeps only its low seven bits, stored as " +
                 std::to_string(rs485 & kRS485AddressBits) + ".");
    out[kAddrRS485] = static_cast<std::uint8_t>((rs485 & kRS485AddressBits) |
                                                (rec.optMaster ? kRS485MasterBit : 0));
}

// The dictionary entries, then one channel record per channel state.
void EncodePackedPart(const ConfigRecord& rec, const ModuleTypes& moduleTypes, PackedWriter& out,
                      FieldReader& read) {
    for (const auto& word : rec.txtDict) out.WriteText(word);
    const detail::MessageEncoder encoder(rec);
    ListProblems lists;
    for (int i = 0; i < kChannelStates; ++i) {
        const auto ui = static_cast<std::size_t>(i);
        const auto name = [&] { return ChannelStateName(i, moduleTypes); };
        ChannelWord word;
        if (!PlainRic(rec.txtRIC[ui], word.ric)) {
            const bool relay = moduleTypes[static_cast<std::size_t>(BankOf(i))] == kModuleRelay;
            word.ric =
                read.Ric(relay ? "B" + name().substr(1) : "RIC of " + name(), rec.txtRIC[ui]);
        }
        word.function = ChannelPosition(lists, "Function code", name, rec.lstFunc[ui], kFuncItems);
        word.baud =
            ChannelPosition(lists, "Paging baud rate", name, rec.lstBaud[ui], kPagingBaudItems);
        word.alpha = 1 - ChannelPosition(lists, "Pager type", name, rec.lstType[ui], kTypeItems);
        word.repeat =
            ChannelPosition(lists, "Repeat selection", name, rec.lstRepeat[ui], kRepeatItems);
        out.WriteWord(word);

        const std::string encoded = encoder.Encode(rec.txtMsg[ui]);
        if (LosesText(encoded))
            read.Add("Message of " + name() + " is too long to store (" +
                     std::to_string(encoded.size()) + " bytes after packing, at most " +
                     std::to_string(kMaxImageChars) + "); its end was cut off.");
        out.WriteText(encoded);
    }
    lists.Flush(read);
}

// Step two: the record's values as image bytes. The record is only read.
EncodedImage EncodeRecord(const ConfigRecord& rec, const ModuleTypes& moduleTypes) {
    EncodedImage image;
    EncodeHeader(rec, image.bytes, image.headerWarnings);

    FieldReader read(image.recordWarnings);
    PackedWriter packed(image.bytes);
    EncodePackedPart(rec, moduleTypes, packed, read);
    image.packedEnd = packed.address();

    for (int m = 0; m < kMacBytes; ++m)
        image.mac[static_cast<std::size_t>(m)] = static_cast<std::uint8_t>(read.HexByte(
            "MAC address part " + std::to_string(m + 1), rec.txtMAC[static_cast<std::size_t>(m)]));
    return image;
}

}  // namespace

BuildResult BuildImage(ConfigRecord& rec, const ModuleTypes& moduleTypes, Image& image) {
    std::vector<std::string> normalised;
    BuildResult result;
    NormaliseRecord(rec, moduleTypes, normalised, result.notes);
    result.cautions = ImpossibleSettings(rec, moduleTypes);
    EncodedImage encoded = EncodeRecord(rec, moduleTypes);

    result.lastAddress = encoded.packedEnd - 1;
    result.fits = result.lastAddress <= kConfigAreaLast;
    // The header's fields first, then the message texts, the channel records and the MAC address.
    result.warnings = std::move(encoded.headerWarnings);
    result.warnings.insert(result.warnings.end(), std::make_move_iterator(normalised.begin()),
                           std::make_move_iterator(normalised.end()));
    result.warnings.insert(result.warnings.end(),
                           std::make_move_iterator(encoded.recordWarnings.begin()),
                           std::make_move_iterator(encoded.recordWarnings.end()));

    if (!result.fits) return result;  // the image stays exactly as it was
    const auto& bytes = encoded.bytes;
    std::copy(bytes.begin(), bytes.begin() + kAddrReserved, image.begin());
    std::copy(bytes.begin() + kPackedStart, bytes.begin() + encoded.packedEnd,
              image.begin() + kPackedStart);
    std::copy(encoded.mac.begin(), encoded.mac.end(), image.begin() + kMacAddress);
    return result;
}

std::vector<MessageCut> CutMessagesTooLongToStore(ConfigRecord& rec,
                                                  const ModuleTypes& moduleTypes) {
    std::vector<MessageCut> cuts;
    // A cut message drops out of the word counts, which may move a word another message needs
    // out of the dictionary; each round cuts at least one message to a length that always fits.
    for (;;) {
        ConfigRecord normalised = rec;
        std::vector<std::string> ignored;
        NormaliseRecord(normalised, moduleTypes, ignored, ignored);
        const detail::MessageEncoder encoder(normalised);
        bool cut = false;
        for (int i = 0; i < kChannelStates; ++i) {
            const auto ui = static_cast<std::size_t>(i);
            const std::string encoded = encoder.Encode(normalised.txtMsg[ui]);
            if (!LosesText(encoded)) continue;
            MessageCut c{i, static_cast<int>(encoded.size()), {}};
            c.message = MessageForUnitFromLatin1(rec.txtMsg[ui], kMaxMessageLength);
            rec.txtMsg[ui] = c.message.text;
            cuts.push_back(std::move(c));
            cut = true;
        }
        if (!cut) return cuts;
    }
}

std::string DescribeMessageCut(const MessageCut& cut) {
    return "too long to store (" + std::to_string(cut.packedBytes) +
           " bytes after packing, at most " + std::to_string(kMaxImageChars) + "). " +
           DescribeMessageChanges(cut.message);
}

std::string TooLargeMessage(const BuildResult& build) {
    return "The configuration is " + std::to_string(build.overBy()) +
           " bytes too large for the unit (its last byte would be at address " +
           std::to_string(build.lastAddress) + ", the limit is " + std::to_string(kConfigAreaLast) +
           "). Shorten or remove some messages and try again.";
}

}  // namespace orv
