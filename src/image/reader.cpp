// DecodeImage: image -> record, reading the image as image/layout.h lays it out: header, MAC
// bytes, packed part, then the relay banks' view of the channel records; the size report ends it.
// Images that the builder did not make (damaged files, other tools, a unit with foreign data) are
// read as far as they make sense; whatever cannot be shown keeps its previous value and is
// reported.
#include "image/field_values.h"
#include "image/image.h"
#include "model/addresses.h"
#include "model/lists.h"
#include "model/message_text.h"

namespace orv {
namespace {

// "records 3, 17, 200 and 5 more" (channel records numbered from 0, as stored).
std::string RecordList(const std::vector<int>& records) {
    std::string s = records.size() == 1 ? "record " : "records ";
    const std::size_t shown = std::min<std::size_t>(records.size(), 8);
    for (std::size_t n = 0; n < shown; ++n) s += (n ? ", " : "") + std::to_string(records[n]);
    if (records.size() > shown) s += " and " + std::to_string(records.size() - shown) + " more";
    return s;
}

struct RecordProblems {
    std::vector<int> highBits, badBaud, emptyCode, unterminated;
};

void DecodeHeader(const Image& image, ConfigRecord& rec, std::vector<std::string>& warn) {
    auto byteAt = [&](int a) { return image[static_cast<std::size_t>(a)]; };
    for (int p = 0; p < kPulseTimes; ++p)
        rec.txtPulseTime[static_cast<std::size_t>(p)] =
            std::to_string(byteAt(kAddrPulseTimes + p) * 10);

    static constexpr const char* kPortNames[kPorts] = {"RS232 port", "RS485 port"};
    for (int n = 0; n < kPorts; ++n) {
        const int baud = byteAt(PortBaudAddress(n));
        if (baud < static_cast<int>(kBaudRateItems.size())) {
            rec.lstPortBaudrate[static_cast<std::size_t>(n)] = baud;
        } else {
            warn.push_back(std::string("The ") + kPortNames[n] + " baud rate code " +
                           std::to_string(baud) +
                           " is not a known rate; the baud rate selection was "
                           "left as it was.");
        }
    }
    for (int n = 0; n < kPorts; ++n) {
        const int code = byteAt(PortFormatAddress(n));
        if (auto pos = PositionOfCode(kFrameFormatItems, code)) {
            rec.lstPortFormat[static_cast<std::size_t>(n)] = *pos;
        } else {
            warn.push_back(std::string("The ") + kPortNames[n] + " format code " +
                           std::to_string(code) +
                           " is not a known format; the format selection was "
                           "left as it was.");
        }
    }
    for (int k = 0; k < kIPBytes; ++k)
        rec.txtIP[static_cast<std::size_t>(k)] = std::to_string(byteAt(kAddrIP + k));
    for (int t = 0; t < kRepeatTimes; ++t)
        rec.txtRepTime[static_cast<std::size_t>(t)] =
            std::to_string(byteAt(kAddrRepeatTimes + t) * 10);
    for (int o = 0; o < 8; ++o)
        rec.chkOptions[static_cast<std::size_t>(o)] = ((byteAt(kAddrOptions) >> o) & 1) != 0;
    rec.txtRS485Address = std::to_string(byteAt(kAddrRS485) & kRS485AddressBits);
    rec.optMaster = (byteAt(kAddrRS485) & kRS485MasterBit) != 0;
}

void DecodeMac(const Image& image, ConfigRecord& rec) {
    for (int m = 0; m < kMacBytes; ++m)
        rec.txtMAC[static_cast<std::size_t>(m)] =
            HexString(image[static_cast<std::size_t>(kMacAddress + m)], 2);
}

// The message with every dictionary code replaced by its entry and one space.
std::string ExpandMessage(std::span<const std::uint8_t> bytes, const ConfigRecord& rec,
                          bool& emptyCode) {
    std::string msg;
    for (const std::uint8_t c : bytes) {
        if (!IsDictionaryCode(c)) {
            msg += static_cast<char>(c);
        } else {
            const std::string& word = rec.txtDict[static_cast<std::size_t>(DictionaryEntryOf(c))];
            if (word.empty()) emptyCode = true;
            msg += word;
            msg += ' ';
        }
    }
    return msg;
}

// Dictionary and channel records. Reading never goes past the last address: a text without a
// terminator ends there and what follows it keeps its previous value.
void DecodePackedPart(const Image& image, ConfigRecord& rec, std::vector<std::string>& warn) {
    PackedReader packed(image);
    bool ended = false;
    for (int d = 0; d < kDictEntries; ++d) {
        std::string& entry = rec.txtDict[static_cast<std::size_t>(d)];
        entry.clear();
        if (ended) continue;
        const PackedReader::Text text = packed.ReadText();
        entry.assign(text.bytes.begin(), text.bytes.end());
        if (!text.terminated) {
            ended = true;
            warn.push_back("The image ends inside dictionary entry " + std::to_string(d) +
                           " (no end marker before address 4096); the channel records could not "
                           "be read and were left as they were.");
        }
    }

    RecordProblems problems;
    for (int i = 0; i < kChannelStates && !ended; ++i) {
        const auto ui = static_cast<std::size_t>(i);
        const std::optional<ChannelWord> word = packed.ReadWord();
        if (!word) {
            ended = true;
            warn.push_back("The image ends before channel record " + std::to_string(i) +
                           "; records " + std::to_string(i) + " to 255 were left as they were.");
            break;
        }
        const PackedReader::Text text = packed.ReadText();
        bool emptyCode = false;
        std::string msg = ExpandMessage(text.bytes, rec, emptyCode);
        if (!text.terminated) {
            ended = true;  // the message is taken as far as it goes; nothing follows it
            problems.unterminated.push_back(i);
        }
        if (emptyCode) problems.emptyCode.push_back(i);
        if (word->unusedBitsSet) problems.highBits.push_back(i);

        rec.txtRIC[ui] = SevenDigitRic(word->ric);
        rec.lstFunc[ui] = word->function;
        if (word->baud < static_cast<int>(kPagingBaudItems.size())) {
            rec.lstBaud[ui] = word->baud;
        } else {
            problems.badBaud.push_back(i);
        }
        rec.lstType[ui] = 1 - word->alpha;
        rec.lstRepeat[ui] = word->repeat;
        // Every dictionary code brings its blank, so the last word has one too: the message is
        // taken with the unit's spacing, as the rebuild that ends the decode would store it.
        rec.txtMsg[ui] = WithSingleBlanks(msg);
        if (ended && i < kChannelStates - 1)
            warn.push_back("The image ends inside the message of channel record " +
                           std::to_string(i) + " (no end marker before address 4096); records " +
                           std::to_string(i + 1) + " to 255 were left as they were.");
    }
    if (!problems.highBits.empty())
        warn.push_back("Channel " + RecordList(problems.highBits) +
                       " had bits 28-31 of the channel word set; those bits were ignored.");
    if (!problems.badBaud.empty())
        warn.push_back("Channel " + RecordList(problems.badBaud) +
                       " had paging baud code 3, which is not a rate; their paging baud rate "
                       "selection was left as it was.");
    if (!problems.emptyCode.empty())
        warn.push_back("Channel " + RecordList(problems.emptyCode) +
                       " used dictionary codes of empty entries; each was read as a single space.");
    if (!problems.unterminated.empty() && problems.unterminated.back() == kChannelStates - 1)
        warn.push_back(
            "The message of channel record 255 has no end marker before address 4096; "
            "it was read up to the end of the image.");
}

// Relay banks: the channel fields carry the relay settings.
void DecodeRelayBanks(ConfigRecord& rec, const ModuleTypes& moduleTypes) {
    for (int b = 0; b < kBanks; ++b) {
        if (moduleTypes[static_cast<std::size_t>(b)] != kModuleRelay) continue;
        for (int r = 0; r < kRelayOutputsPerBank; ++r) {
            const int relay = RelayIndex(b, r);
            for (int m = 0; m < kSlotsPerRelay; ++m) {
                // The slot's field and the channel record that carries it share a number.
                const auto k = static_cast<std::size_t>(RelayRicIndex(relay, m));
                // txtRIC holds seven digits unless the record could not be read; then take what
                // it holds as leniently as the builder does.
                const LeadingNumber n = ReadLeadingNumber(rec.txtRIC[k]);
                const auto value = static_cast<std::uint32_t>(
                    n.value < 0 ? 0 : (n.value > kMaxRIC ? kMaxRIC : n.value));
                const bool time = m == kSlotCloseTMax || m == kSlotToggleRepeatFilter;
                rec.txtRlyRIC[k] = time ? std::to_string(value) : SevenDigitRic(value);
                if (m < kActionsPerRelay) {
                    const auto beep = static_cast<std::size_t>(RelayBeepIndex(relay, m));
                    const auto to = static_cast<std::size_t>(RelayRicIndex(relay, RelayToSlot(m)));
                    if (rec.lstFunc[k] == kAllFromFunction && rec.lstFunc[to] == kAllToFunction) {
                        rec.lstRlyBeep[beep] = kRelayBeepAll;
                    } else {
                        rec.lstRlyBeep[beep] = rec.lstFunc[k];
                    }
                }
            }
        }
    }
}

}  // namespace

DecodeResult DecodeImage(ConfigRecord& rec, const ModuleTypes& moduleTypes, Image& image) {
    DecodeResult result;
    DecodeHeader(image, rec, result.warnings);
    DecodeMac(image, rec);
    DecodePackedPart(image, rec, result.warnings);
    DecodeRelayBanks(rec, moduleTypes);

    result.size = ReportImageSize(rec, moduleTypes, image, &result.build);
    return result;
}

}  // namespace orv
