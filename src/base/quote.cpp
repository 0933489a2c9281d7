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

}  // namespace orv
