// DecodeImage: image -> record. Images that the builder did not make (damaged files, other
// tools, a unit with foreign data) are read as far as they make sense; whatever cannot be shown
// keeps its previous value and is reported.
#include "image/field_values.h"
#include "image/image.h"
#include "model/addresses.h"
#include "model/lists.h"

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

}  // namespace

DecodeResult DecodeImage(ConfigRecord& rec, const ModuleTypes& moduleTypes, Image& image) {
    DecodeResult result;
    auto& warn = result.warnings;
    auto byteAt = [&](int a) { return image[static_cast<std::size_t>(a)]; };

    for (int p = 0; p < 8; ++p)
        rec.txtPulseTime[static_cast<std::size_t>(p)] =
            std::to_string(byteAt(kAddrPulseTimes + p) * 10);

    static constexpr const char* kPortNames[2] = {"RS232 port", "RS485 port"};
    for (int n = 0; n < 2; ++n) {
        const int baud = byteAt(kAddrRS232Baud + 2 * n);
        if (baud < static_cast<int>(kBaudRateItems.size())) {
            rec.lstPortBaudrate[static_cast<std::size_t>(n)] = baud;
        } else {
            warn.push_back(std::string("The ") + kPortNames[n] + " baud rate code " +
                           std::to_string(baud) +
                           " is not a known rate; the baud rate selection was "
                           "left as it was.");
        }
    }
    for (int n = 0; n < 2; ++n) {
        const int code = byteAt(kAddrRS232Format + 2 * n);
        if (auto pos = PositionOfCode(kFrameFormatItems, code)) {
            rec.lstPortFormat[static_cast<std::size_t>(n)] = *pos;
        } else {
            warn.push_back(std::string("The ") + kPortNames[n] + " format code " +
                           std::to_string(code) +
                           " is not a known format; the format selection was "
                           "left as it was.");
        }
    }
    for (int k = 0; k < 4; ++k)
        rec.txtIP[static_cast<std::size_t>(k)] = std::to_string(byteAt(kAddrIP + k));
    for (int m = 0; m < 6; ++m)
        rec.txtMAC[static_cast<std::size_t>(m)] = HexString(byteAt(kMacAddress + m), 2);
    for (int t = 0; t < 4; ++t)
        rec.txtRepTime[static_cast<std::size_t>(t)] =
            std::to_string(byteAt(kAddrRepeatTimes + t) * 10);
    for (int o = 0; o < 8; ++o)
        rec.chkOptions[static_cast<std::size_t>(o)] = ((byteAt(kAddrOptions) >> o) & 1) != 0;
    rec.txtRS485Address = std::to_string(byteAt(kAddrRS485) & 0x7F);
    rec.optMaster = (byteAt(kAddrRS485) & 0x80) != 0;

    // Dictionary. Reading never goes past the last address: an entry without a terminator ends
    // there and the entries after it stay empty.
    int a = kPackedStart;
    bool ended = false;
    for (int d = 0; d < kDictEntries; ++d) {
        std::string& entry = rec.txtDict[static_cast<std::size_t>(d)];
        entry.clear();
        if (ended) continue;
        while (a < kImageSize && byteAt(a) != 0) entry += static_cast<char>(byteAt(a++));
        if (a >= kImageSize) {
            ended = true;
            warn.push_back("The image ends inside dictionary entry " + std::to_string(d) +
                           " (no end marker before address 4096); the channel records could not "
                           "be read and were left as they were.");
        } else {
            ++a;
        }
    }

    // Channel records.
    RecordProblems problems;
    for (int i = 0; i < kChannelStates && !ended; ++i) {
        const auto ui = static_cast<std::size_t>(i);
        if (a + 4 > kImageSize) {
            ended = true;
            warn.push_back("The image ends before channel record " + std::to_string(i) +
                           "; records " + std::to_string(i) + " to 255 were left as they were.");
            break;
        }
        const std::uint32_t w = static_cast<std::uint32_t>(byteAt(a)) |
                                (static_cast<std::uint32_t>(byteAt(a + 1)) << 8) |
                                (static_cast<std::uint32_t>(byteAt(a + 2)) << 16) |
                                (static_cast<std::uint32_t>(byteAt(a + 3)) << 24);
        a += 4;
        std::string msg;
        bool emptyCode = false;
        while (a < kImageSize && byteAt(a) != 0) {
            const std::uint8_t c = byteAt(a++);
            if (c < 0x80) {
                msg += static_cast<char>(c);
            } else {
                const std::string& word = rec.txtDict[static_cast<std::size_t>(c - 0x80)];
                if (word.empty()) emptyCode = true;
                msg += word;
                msg += ' ';
            }
        }
        if (a >= kImageSize) {
            ended = true;  // the message is taken as far as it goes; nothing follows it
            problems.unterminated.push_back(i);
        } else {
            ++a;
        }
        if (emptyCode) problems.emptyCode.push_back(i);
        if ((w >> 28) != 0) problems.highBits.push_back(i);

        rec.txtRIC[ui] = SevenDigitRic(w & 0x1FFFFF);
        rec.lstFunc[ui] = static_cast<int>((w >> 21) & 3);
        const int baud = static_cast<int>((w >> 23) & 3);
        if (baud < static_cast<int>(kPagingBaudItems.size())) {
            rec.lstBaud[ui] = baud;
        } else {
            problems.badBaud.push_back(i);
        }
        rec.lstType[ui] = 1 - static_cast<int>((w >> 25) & 1);
        rec.lstRepeat[ui] = static_cast<int>((w >> 26) & 3);
        rec.txtMsg[ui] = std::move(msg);
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

    // Relay banks: the channel fields carry the relay settings.
    for (int b = 0; b < kBanks; ++b) {
        if (moduleTypes[static_cast<std::size_t>(b)] != kModuleRelay) continue;
        for (int r = 0; r < kRelayOutputsPerBank; ++r) {
            for (int m = 0; m < 8; ++m) {
                const auto k = static_cast<std::size_t>(b * 64 + r * 8 + m);
                // txtRIC holds seven digits unless the record could not be read; then take what
                // it holds as leniently as the builder does.
                const LeadingNumber n = ReadLeadingNumber(rec.txtRIC[k]);
                const auto value = static_cast<std::uint32_t>(
                    n.value < 0 ? 0 : (n.value > kMaxRIC ? kMaxRIC : n.value));
                const bool time = m == kSlotCloseTMax || m == kSlotToggleRepeatFilter;
                rec.txtRlyRIC[k] = time ? std::to_string(value) : SevenDigitRic(value);
                if (m < 3) {
                    const auto beep = static_cast<std::size_t>(b * 24 + r * 3 + m);
                    if (rec.lstFunc[k] == 0 && rec.lstFunc[k + 4] == 1) {
                        rec.lstRlyBeep[beep] = kRelayBeepAll;
                    } else {
                        rec.lstRlyBeep[beep] = rec.lstFunc[k];
                    }
                }
            }
        }
    }

    result.size = ReportImageSize(rec, moduleTypes, image, &result.build);
    return result;
}

}  // namespace orv
