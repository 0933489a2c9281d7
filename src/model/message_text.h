// What a pager message can hold, and what becomes of text that it cannot.
//
// The unit stores a message as bytes 0x01..0x7F (0x80..0xFF are dictionary codes, 0x00 ends it),
// with its words separated by single blanks, and the editor offers at most 69 characters. Text a
// person brings in (typed or pasted into a message field, a cell of an imported channel table, a
// message of an imported JSON record) may hold anything. Every way in uses this one rule, and
// whatever it changes is told to the user, never changed in silence:
//   - bytes 0x01..0x7F are kept as they are, control characters included (files and units hold
//     them, and they must survive a round trip);
//   - any other character becomes its nearest ASCII form ("é" -> "e", "–" -> "-", "…" -> "..."),
//     or "?" when it has none; NUL becomes "?";
//   - a run of blanks becomes one blank and blanks at either end are dropped (the unit's words
//     are separated by one blank; messages read from a file or a unit are already so);
//   - text beyond the length limit is cut off.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/record.h"

namespace orv {

struct MessageChange {
    std::string from;  // the character as UTF-8
    std::string to;    // what the unit stores instead
};

struct UnitMessage {
    std::string text;                    // bytes 0x01..0x7F only
    std::vector<MessageChange> changes;  // each distinct character once, in order of appearance
    bool blankRuns = false;              // a run of blanks became one blank
    bool endBlanks = false;              // blanks at the start or the end were dropped
    std::string cutOff;                  // what was left out beyond the limit (as UTF-8)
    bool changed() const { return !changes.empty() || blankRuns || endBlanks || !cutOff.empty(); }
};

// Whether the text already has the unit's spacing: no blank at either end, none doubled.
bool HasSingleBlanks(std::string_view text);
// The text with the unit's spacing, without a word: for messages that come from a file or a unit.
std::string WithSingleBlanks(std::string_view text);

// From UTF-8 text (invalid UTF-8 bytes count as Latin-1 characters). maxLength 0: no limit.
UnitMessage MessageForUnit(std::string_view utf8,
                           std::size_t maxLength = static_cast<std::size_t>(kMaxMessageLength));
// The same from record bytes (Latin-1): what the builder does with a message that holds bytes the
// unit cannot store.
UnitMessage MessageForUnitFromLatin1(std::string_view bytes, std::size_t maxLength = 0);

// One to three sentences for the user, e.g.
//   The unit cannot store some characters of this message: é became e and – became -. The unit
//   keeps one blank between words and none at either end: runs of blanks became one. It was cut
//   to 69 characters; "rest of the text" was left out.
// Characters that would not show (spaces, invisible and control characters) are named by their
// code. Empty when nothing changed.
std::string DescribeMessageChanges(
    const UnitMessage& message,
    std::size_t maxLength = static_cast<std::size_t>(kMaxMessageLength));

// The same for a message taken in from a file the user imports (a JSON record, a channel table),
// where each warning follows the name of its field or cell; the cut comes first, e.g.
//   longer than 69 characters: cut to 69; "QQQQQQQQQQQ" was left out. The unit cannot store ...
std::string DescribeImportedMessage(
    const UnitMessage& message,
    std::size_t maxLength = static_cast<std::size_t>(kMaxMessageLength));

}  // namespace orv
