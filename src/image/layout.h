// The layout of the 4096-byte EEPROM image, declared once.
//
// Everything that knows where a value sits in the image, or how it is packed, is here: the blocks
// and areas, the header addresses (0..23), the channel word's bit fields, the dictionary codes,
// and the grammar of the packed part from address 24 on (128 NUL-terminated dictionary entries,
// then 256 channel records of a 4-byte little-endian channel word followed by a NUL-terminated
// message). The builder writes the packed part through PackedWriter; the reader and the size
// walk read it through PackedReader. None of them spells out an address, a width or a shift.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "model/addresses.h"
#include "model/record.h"

namespace orv {

// Blocks and areas.
constexpr int kImageSize = 4096;
constexpr int kBlockSize = 16;
constexpr int kImageBlocks = 256;
constexpr int kConfigBlocks = 240;     // blocks 0..239 go to the unit with Put
constexpr int kConfigAreaLast = 3839;  // last address of the configuration area
constexpr int kMacBlock = 240;
constexpr int kMacAddress = 3840;  // 3840..3845 hold txtMAC(0..5)
constexpr int kMacBytes = 6;       // 3846..4095 are the unit's own: never written by a build

// Header addresses. The builder writes 0..21; 22..23 are the unit's and stay as read.
constexpr int kAddrPulseTimes = 0;  // txtPulseTime(0..7), in tens of milliseconds
constexpr int kPulseTimes = 8;
constexpr int kAddrRS232Baud = 8;
constexpr int kAddrRS232Format = 9;
constexpr int kAddrRS485Baud = 10;
constexpr int kAddrRS485Format = 11;
constexpr int kPorts = 2;    // 0 RS232, 1 RS485: a baud-rate code, then a format code
constexpr int kAddrIP = 12;  // txtIP(0..3), first octet first
constexpr int kIPBytes = 4;
constexpr int kAddrRepeatTimes = 16;  // txtRepTime(0..3), in tens of seconds
constexpr int kRepeatTimes = 4;
constexpr int kAddrOptions = 20;  // bit o = chkOptions(o)
constexpr int kAddrRS485 = 21;    // bits 0..6 the address, bit 7 set for master
constexpr int kRS485AddressBits = 0x7F;
constexpr int kRS485MasterBit = 0x80;
constexpr int kAddrReserved = 22;  // 22..23
constexpr int kPackedStart = 24;   // dictionary, then 256 channel records

constexpr int PortBaudAddress(int port) {
    return kAddrRS232Baud + 2 * port;
}
constexpr int PortFormatAddress(int port) {
    return kAddrRS232Format + 2 * port;
}

// Texts of the packed part: at most 79 characters and a 0x00 terminator.
constexpr int kMaxImageText = 80;  // PutImageText's limit: 79 characters + NUL
constexpr int kMaxImageChars = kMaxImageText - 1;

// Inside a message, 0x01..0x7F are literal characters and 0x80 + d stands for dictionary entry d
// followed by one space; 0x00 ends the message.
constexpr int kDictCodeBase = 0x80;
constexpr bool IsLiteralByte(std::uint8_t byte) {
    return byte != 0 && byte < kDictCodeBase;
}
constexpr bool IsDictionaryCode(std::uint8_t byte) {
    return byte >= kDictCodeBase;
}
constexpr int DictionaryEntryOf(std::uint8_t code) {
    return code - kDictCodeBase;
}
constexpr char DictionaryCode(int entry) {
    return static_cast<char>(kDictCodeBase + entry);
}

// The 32-bit channel word at the head of every channel record. This is the only place that knows
// its bit positions.
struct ChannelWord {
    struct Field {
        int shift;
        int width;
        constexpr std::uint32_t Mask() const { return (1u << width) - 1; }
        // The value cut to the field's width (as the unit would read it) and moved into place.
        constexpr std::uint32_t Put(std::uint32_t value) const { return (value & Mask()) << shift; }
        constexpr std::uint32_t Get(std::uint32_t word) const { return (word >> shift) & Mask(); }
    };
    static constexpr Field kRic{0, 21};       // txtRIC(i)
    static constexpr Field kFunction{21, 2};  // lstFunc(i): 0..3 = A..D
    static constexpr Field kBaud{23, 2};      // lstBaud(i): 0..2 = 512, 1200, 2400; 3 is no rate
    static constexpr Field kAlpha{25, 1};     // 1 = alpha pager, the inverse of lstType(i)
    static constexpr Field kRepeat{26, 2};    // lstRepeat(i): repeat time A..D
    static constexpr Field kUnused{28, 4};    // always 0 from the builder
    static constexpr std::uint32_t kRicMax = (1u << 21) - 1;  // 2097151
    static_assert(kRicMax == kMaxRIC, "the RIC field holds exactly the RICs the editor accepts");

    std::uint32_t ric = 0;
    int function = 0;
    int baud = 0;
    int alpha = 0;
    int repeat = 0;
    bool unusedBitsSet = false;  // Unpack: bits 28..31 were set; Pack ignores it

    // Each value is cut to its field's width; a RIC above 2097151 keeps its low 21 bits.
    constexpr std::uint32_t Pack() const {
        return kRic.Put(ric) | kFunction.Put(static_cast<std::uint32_t>(function)) |
               kBaud.Put(static_cast<std::uint32_t>(baud)) |
               kAlpha.Put(static_cast<std::uint32_t>(alpha)) |
               kRepeat.Put(static_cast<std::uint32_t>(repeat));
    }
    static constexpr ChannelWord Unpack(std::uint32_t word) {
        return {kRic.Get(word),
                static_cast<int>(kFunction.Get(word)),
                static_cast<int>(kBaud.Get(word)),
                static_cast<int>(kAlpha.Get(word)),
                static_cast<int>(kRepeat.Get(word)),
                kUnused.Get(word) != 0};
    }
};
constexpr int kChannelWordBytes = 4;

// One past the largest packed part a build can produce: 128 dictionary entries and 256 records,
// every text at its longest.
constexpr int kPackedPartMaxEnd = kPackedStart + kDictEntries * kMaxImageText +
                                  kChannelStates * (kChannelWordBytes + kMaxImageText);

// Relay banks carry their settings in the bank's channel records: RelayRicIndex(relay, slot) is
// also the number of the channel record that holds that slot. An action's beep type is the
// function code of its from-slot and its to-slot; "ALL" is A in the from-slot and B in the to-slot.
constexpr int kSlotsPerRelay = 8;
constexpr int kActionsPerRelay = 3;
constexpr int RelayFromSlot(int action) {
    return action;  // kSlotCloseFrom, kSlotOpenFrom, kSlotToggleFrom
}
constexpr int RelayToSlot(int action) {
    return action + (kSlotCloseTo - kSlotCloseFrom);
}
constexpr int kAllFromFunction = 0;  // "A"
constexpr int kAllToFunction = 1;    // "B"

// Reads the packed part from a position on (kPackedStart unless told otherwise). Nothing is ever
// read beyond the end of the span.
class PackedReader {
  public:
    explicit PackedReader(std::span<const std::uint8_t> bytes, int address = kPackedStart)
        : bytes_(bytes), address_(address) {}

    int address() const { return address_; }

    struct Text {
        std::span<const std::uint8_t> bytes;  // without the terminator
        bool terminated = true;               // false: the span ended first
    };
    // The text at the cursor. The cursor moves past its terminator, or to the end of the span
    // when there is none (the text then holds what was there).
    Text ReadText() {
        const auto size = static_cast<int>(bytes_.size());
        if (address_ >= size) return {{}, false};
        const std::uint8_t* start = bytes_.data() + address_;
        const std::uint8_t* end = bytes_.data() + size;
        const std::uint8_t* nul = start;
        while (nul != end && *nul != 0) ++nul;
        const Text text{{start, nul}, nul != end};
        address_ = static_cast<int>(nul - bytes_.data()) + (text.terminated ? 1 : 0);
        return text;
    }
    bool SkipText() { return ReadText().terminated; }

    // The channel word at the cursor, or nothing (and the cursor stays) when it does not fit.
    std::optional<ChannelWord> ReadWord() {
        if (address_ + kChannelWordBytes > static_cast<int>(bytes_.size())) return std::nullopt;
        std::uint32_t word = 0;
        for (int n = kChannelWordBytes - 1; n >= 0; --n)
            word = (word << 8) | bytes_[static_cast<std::size_t>(address_ + n)];
        address_ += kChannelWordBytes;
        return ChannelWord::Unpack(word);
    }

  private:
    std::span<const std::uint8_t> bytes_;
    int address_;
};

// Writes the packed part from a position on. Bytes that would fall outside the span are not
// written, but the cursor still counts them, so its address tells where the part would end.
class PackedWriter {
  public:
    explicit PackedWriter(std::span<std::uint8_t> bytes, int address = kPackedStart)
        : bytes_(bytes), address_(address) {}

    int address() const { return address_; }

    // The text cut to maxChars (79 unless told otherwise), then its terminator.
    void WriteText(std::string_view text, std::size_t maxChars = kMaxImageChars) {
        const std::size_t keep = std::min(text.size(), maxChars);
        for (std::size_t n = 0; n < keep; ++n) Put(static_cast<std::uint8_t>(text[n]));
        Put(0);
    }
    void WriteWord(const ChannelWord& word) { WriteWord(word.Pack()); }
    void WriteWord(std::uint32_t word) {
        for (int n = 0; n < kChannelWordBytes; ++n) Put(static_cast<std::uint8_t>(word >> (8 * n)));
    }

  private:
    void Put(std::uint8_t value) {
        if (address_ >= 0 && static_cast<std::size_t>(address_) < bytes_.size())
            bytes_[static_cast<std::size_t>(address_)] = value;
        ++address_;
    }

    std::span<std::uint8_t> bytes_;
    int address_;
};

// Writes the channel word of (ric, functionCode, baudCode, alphaBit, repeatCode) little-endian at
// address; each value is cut to its field's width. Returns 4. Bytes that would fall outside the
// buffer are not written.
int PackChannelWord(std::span<std::uint8_t> buffer, int address, std::uint32_t ric,
                    int functionCode, int baudCode, int alphaBit, int repeatCode);
// Writes text (cut to maxLength - 1 characters) and a 0x00 terminator at address; returns the
// number of bytes written, terminator included. Bytes outside the buffer are not written.
int PutImageText(std::span<std::uint8_t> buffer, int address, std::string_view text, int maxLength);

}  // namespace orv
