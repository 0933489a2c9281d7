#include "base/quote.h"

#include "base/hex.h"
#include "base/latin1.h"

namespace orv {

std::string QuoteForMessage(std::string_view bytes) {
    std::string s = "\"";
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F) {
            s += "<0x" + HexString(u, 2) + ">";
        } else {
            s += c;
        }
    }
    return s + "\"";
}

std::string QuoteForReport(std::string_view latin1) {
    return "'" + Latin1ToUtf8(latin1) + "'";
}

namespace {

// Length of the UTF-8 sequence starting at s[i], or 0 when none starts there.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned min = 0;
    unsigned code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2, min = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3, min = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4, min = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        code = (code << 6) | (c & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

std::string TerminalText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto u = static_cast<unsigned char>(utf8[i]);
        if (u == '\n' || (u >= 0x20 && u < 0x7F)) {
            out += utf8[i++];
            continue;
        }
        const std::size_t n = u < 0x80 ? 0 : Utf8SequenceAt(utf8, i);
        // U+0080..U+009F, the C1 controls, are C2 80..C2 9F; they are shown by their code.
        const bool c1 = n == 2 && u == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0;
        if (n != 0 && !c1) {
            out.append(utf8.substr(i, n));
            i += n;
            continue;
        }
        const unsigned shown = c1 ? static_cast<unsigned char>(utf8[i + 1]) : u;
        out += "\\x" + HexString(shown, 2);
        i += c1 ? 2 : 1;
    }
    return out;
}

}  // namespace orv
