#include "model/message_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/hex.h"

namespace orv {
namespace {

// The nearest ASCII form of U+00A0..U+00FF, a row of sixteen per line.
// clang-format off
constexpr std::array<std::string_view, 96> kLatin1Ascii{
    " ", "!", "c", "GBP", "?", "JPY", "|", "S", "\"", "(C)", "a", "<<", "-", "-", "(R)", "-",
    "deg", "+/-", "2", "3", "'", "u", "P", ".", ",", "1", "o", ">>", "1/4", "1/2", "3/4", "?",
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",
    "D", "N", "O", "O", "O", "O", "O", "x", "O", "U", "U", "U", "U", "Y", "TH", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o", "/", "o", "u", "u", "u", "u", "y", "th", "y",
};
// clang-format on

// Punctuation that comes with text pasted from word processors and web pages.
std::string_view PunctuationAscii(char32_t c) {
    switch (c) {
        case 0x2010:
        case 0x2011:
        case 0x2012:
        case 0x2013:
        case 0x2014:
        case 0x2015:
        case 0x2212:
            return "-";
        case 0x2018:
        case 0x2019:
        case 0x201A:
        case 0x201B:
        case 0x2032:
            return "'";
        case 0x201C:
        case 0x201D:
        case 0x201E:
        case 0x2033:
            return "\"";
        case 0x2026:
            return "...";
        case 0x2022:
        case 0x2023:
        case 0x2043:
            return "*";
        case 0x2002:
        case 0x2003:
        case 0x2004:
        case 0x2005:
        case 0x2006:
        case 0x2007:
        case 0x2008:
        case 0x2009:
        case 0x200A:
        case 0x202F:
            return " ";
        case 0x200B:
        case 0x200C:
        case 0x200D:
        case 0x2060:
        case 0xFEFF:
            return "";  // invisible
        case 0x20AC:
            return "EUR";
        case 0x2122:
            return "TM";
        case 0x2192:
            return "->";
        case 0x2190:
            return "<-";
        default:
            break;
    }
    if (c >= 0x0300 && c <= 0x036F) return "";  // combining accents: the letter stays
    return "?";
}

std::string_view AsciiFor(char32_t c) {
    if (c >= 0xA0 && c <= 0xFF) return kLatin1Ascii[c - 0xA0];
    if (c < 0xA0) return "?";  // NUL and the C1 controls
    return PunctuationAscii(c);
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next code point of UTF-8 text; a byte that does not start a valid sequence stands for the
// Latin-1 character of that value.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t extra = lead >= 0xF0 && lead <= 0xF4  ? 3
                              : lead >= 0xE0 && lead < 0xF0 ? 2
                              : lead >= 0xC2 && lead < 0xE0 ? 1
                                                            : 0;
    if (extra == 0 || pos + extra >= text.size()) return static_cast<char32_t>(text[pos++] & 0xFF);
    char32_t c = lead & (0x3Fu >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(text[pos + k]);
        if ((b & 0xC0) != 0x80) return static_cast<char32_t>(text[pos++] & 0xFF);
        c = (c << 6) | (b & 0x3Fu);
    }
    pos += extra + 1;
    return c;
}

template <class NextFn>
UnitMessage Fit(std::string_view input, std::size_t maxLength, NextFn next) {
    UnitMessage m;
    // Blanks are held back until the next character that shows: only then is it known whether
    // they separate two words (one blank is kept) or end the text (none is).
    std::size_t blanks = 0;
    std::size_t blanksFrom = 0;  // where the held-back blanks began in the input
    auto noteChange = [&](std::string from, std::string_view ascii) {
        if (!from.empty() && std::none_of(m.changes.begin(), m.changes.end(),
                                          [&](const MessageChange& ch) { return ch.from == from; }))
            m.changes.push_back({std::move(from), std::string(ascii)});
    };
    std::size_t pos = 0;
    while (pos < input.size()) {
        const std::size_t start = pos;
        const char32_t c = next(input, pos);
        std::string_view ascii;
        std::string from;
        char literal = 0;
        if (c >= 0x01 && c <= 0x7F) {
            literal = static_cast<char>(c);
            ascii = std::string_view(&literal, 1);
        } else {
            ascii = AsciiFor(c);
            AppendUtf8(from, c);
        }
        if (ascii == " ") {
            if (blanks++ == 0) blanksFrom = start;
            noteChange(std::move(from), ascii);
            continue;
        }
        if (ascii.empty()) {  // invisible: neither a word's character nor a blank
            noteChange(std::move(from), ascii);
            continue;
        }
        const bool separator = blanks > 0 && !m.text.empty();
        if (maxLength != 0 && m.text.size() + (separator ? 1 : 0) + ascii.size() > maxLength) {
            // What is left out, as the user wrote it, with the blanks before it.
            std::size_t p = separator ? blanksFrom : start;
            while (p < input.size()) AppendUtf8(m.cutOff, next(input, p));
            return m;
        }
        if (separator) {
            m.text += ' ';
            if (blanks > 1) m.blankRuns = true;
        } else if (blanks > 0) {
            m.endBlanks = true;  // before the first word
        }
        blanks = 0;
        m.text.append(ascii);
        noteChange(std::move(from), ascii);
    }
    if (blanks > 0) m.endBlanks = true;  // after the last word, or nothing but blanks
    return m;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// A character as the user can read it: quoted, or by its code when it is invisible (NUL and the
// C1 controls, which come only from record bytes) so that no NUL or control reaches the text.
// A character as the user reads it in a sentence: itself, or its code where it would not show
// (spaces, invisible and control characters).
std::string Named(std::string_view utf8) {
    std::size_t pos = 0;
    const char32_t c = utf8.empty() ? 0 : NextCodePoint(utf8, pos);
    const bool invisible = c < 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0xAD ||
                           (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
                           (c >= 0x205F && c <= 0x206F) || c == 0xFEFF;
    if (!invisible) return std::string(utf8);
    if (c < 0x100) return "0x" + HexString(static_cast<unsigned>(c), 2);
    return "U+" + HexString(static_cast<unsigned>(c), 4);
}
std::string Became(std::string_view to) {
    if (to.empty()) return "nothing";
    if (to == " ") return "a space";
    return std::string(to);
}

std::string List(const std::vector<std::string>& items, std::string_view last) {
    std::string s;
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (k > 0) s += k + 1 == items.size() ? std::string(" ") + std::string(last) + " " : ", ";
        s += items[k];
    }
    return s;
}

}  // namespace

bool HasSingleBlanks(std::string_view text) {
    return !text.starts_with(' ') && !text.ends_with(' ') &&
           text.find("  ") == std::string_view::npos;
}

std::string WithSingleBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += c;
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

UnitMessage MessageForUnit(std::string_view utf8, std::size_t maxLength) {
    return Fit(utf8, maxLength, NextCodePoint);
}

UnitMessage MessageForUnitFromLatin1(std::string_view bytes, std::size_t maxLength) {
    return Fit(bytes, maxLength, [](std::string_view text, std::size_t& pos) {
        return static_cast<char32_t>(static_cast<unsigned char>(text[pos++]));
    });
}

std::string DescribeMessageChanges(const UnitMessage& message, std::size_t maxLength) {
    std::string s;
    if (!message.changes.empty()) {
        // Unquoted: the characters in question are often quotation marks themselves.
        std::vector<std::string> changes;
        for (const auto& c : message.changes)
            changes.push_back(Named(c.from) + " became " + Became(c.to));
        s = std::string(message.changes.size() == 1
                            ? "The unit cannot store a character of this message: "
                            : "The unit cannot store some characters of this message: ") +
            List(changes, "and") + ".";
    }
    if (message.blankRuns || message.endBlanks) {
        if (!s.empty()) s += " ";
        s += "The unit keeps one blank between words and none at either end: ";
        if (message.blankRuns) s += "runs of blanks became one";
        if (message.blankRuns && message.endBlanks) s += " and ";
        if (message.endBlanks) s += "blanks at the ends were dropped";
        s += ".";
    }
    if (!message.cutOff.empty()) {
        if (!s.empty()) s += " ";
        s += "It was cut to " + std::to_string(maxLength) + " characters; " +
             Quoted(message.cutOff) + " was left out.";
    }
    return s;
}

std::string DescribeImportedMessage(const UnitMessage& message, std::size_t maxLength) {
    if (message.cutOff.empty()) return DescribeMessageChanges(message, maxLength);
    UnitMessage rest = message;
    rest.cutOff.clear();
    const std::string others = DescribeMessageChanges(rest, maxLength);
    const std::string limit = std::to_string(maxLength);
    return "longer than " + limit + " characters: cut to " + limit + "; " + Quoted(message.cutOff) +
           " was left out." + (others.empty() ? "" : " " + others);
}

}  // namespace orv
