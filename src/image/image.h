// The 4096-byte EEPROM image of the unit and the operations between it and the record:
// BuildImage (record -> image), DecodeImage (image -> record) and the size report.
//
// Where each value sits in the image is declared once, in image/layout.h; these operations only
// follow it. BuildImage is two steps: it first brings the record into the unit's shape (bank
// rules, message characters and spacing, times to their steps and a fresh dictionary), then
// encodes the record into the image (header, packed part, MAC bytes) by way of a scratch buffer,
// so that a configuration too large for the unit leaves the image untouched. DecodeImage decodes
// header, MAC, packed part and relay banks into the record, then runs the size report, which
// rebuilds.
//
// The fields are read with base/numbers.h (ReadLeadingNumber, like a BASIC Val) and named in
// warnings with QuoteForMessage; HexString comes from base/hex.h and stays visible through this
// header.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/hex.h"
#include "image/layout.h"
#include "model/message_text.h"
#include "model/record.h"
#include "model/time_steps.h"

namespace orv {

using Image = std::array<std::uint8_t, kImageSize>;

struct BuildResult {
    int lastAddress = 0;  // address of the last byte of the packed part (may exceed 3839)
    bool fits = true;     // false: the packed part would end beyond 3839 and the image is untouched
    int overBy() const { return fits ? 0 : lastAddress - kConfigAreaLast; }
    // Values the unit cannot hold as the record gives them, one sentence each: stored otherwise
    // than shown, so saving and writing refuse until they are corrected.
    std::vector<std::string> warnings;
    // What the build changed in the record so that it shows what the unit keeps (a time between
    // two steps rounded to the step, a message's runs of blanks made single), one sentence each:
    // told to the user, but nothing is lost and nothing refused.
    std::vector<std::string> notes;
    // Settings stored as they are that cannot work as meant (a pulse window whose Min is above its
    // Max, a relay range whose first RIC is above its last), one sentence each: named, never
    // refused (model/settings_checks.h).
    std::vector<std::string> cautions;
};

// Normalises the record (bank rules, message characters and spacing, times to their steps, new
// dictionary) and fills image addresses 0..21, the packed part and the MAC bytes 3840..3845.
// Addresses 22..23, everything after the packed part and 3846..4095 keep their contents. When the
// packed part would run beyond 3839 the record is still normalised but the image is left exactly as
// it was.
BuildResult BuildImage(ConfigRecord& rec, const ModuleTypes& moduleTypes, Image& image);

// A message the unit cannot hold even packed: more than 79 bytes once the dictionary is applied.
struct MessageCut {
    int index = 0;        // the channel state
    int packedBytes = 0;  // its length after packing, before the cut
    UnitMessage message;  // what it became: cut to 69 characters, as a paste is
};
// Cuts every such message in the record to 69 characters, as a paste into its field is cut, so
// that what comes in from outside (an imported JSON record or channel table) is taken rather than
// refused. Nothing else in the record changes.
std::vector<MessageCut> CutMessagesTooLongToStore(ConfigRecord& rec,
                                                  const ModuleTypes& moduleTypes);
// "too long to store (81 bytes after packing, at most 79). It was cut to 69 characters; ..."
std::string DescribeMessageCut(const MessageCut& cut);

// The message a save or a Put shows when the configuration does not fit (build.fits == false).
std::string TooLargeMessage(const BuildResult& build);

// Message dictionary.
// The distinct words of all messages in the order first met, with their occurrence counts.
struct WordTable {
    std::vector<std::pair<std::string, int>> words;
    std::unordered_map<std::string, std::size_t> positions;  // word -> index into words
};
// Adds the words (2 characters or more) of one message to the table.
void CountWords(WordTable& table, std::string_view text);
void BuildDictionary(ConfigRecord& rec);
std::string EncodeMessage(const ConfigRecord& rec, std::string_view text);
void SortStrings(std::vector<std::string>& items, bool ascending, bool caseSensitive);

struct SizeReport {
    int lastAddress = 0;
    std::string percentText;  // "49.28%"
    bool fits = true;
    int overBy = 0;  // bytes beyond the configuration area when it does not fit
};
// "0.00%" style text of lastAddress / 3839.
std::string PercentText(int lastAddress);

// Walks the packed part of the image as the unit reads it and returns the address of its last
// byte; never reads beyond address 4095 (an unterminated part reports 4095).
int WalkPackedPart(const Image& image);

// Builds the image and reports how far the packed part reaches.
SizeReport ReportImageSize(ConfigRecord& rec, const ModuleTypes& moduleTypes, Image& image,
                           BuildResult* build = nullptr);

struct DecodeResult {
    SizeReport size;  // the report that ends every decode
    // What could not be shown as stored (never fatal). The closing rebuild's own warnings are in
    // build.warnings: show both.
    std::vector<std::string> warnings;
    BuildResult build;  // the rebuild of the size report
};
// Fills the record from the image (module types must already be in effect), then runs the size
// report, which rebuilds the image from the decoded record.
DecodeResult DecodeImage(ConfigRecord& rec, const ModuleTypes& moduleTypes, Image& image);

}  // namespace orv
