#include "link/serial_port.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <string>
#include <vector>

namespace orv {
namespace {

constexpr std::array<int, 10> kRates{110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::optional<int> ToInt(std::string_view s) {
    s = Trim(s);
    int value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc{} || end != s.data() + s.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<SerialSettings> ParseSettingsText(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(
            text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (fields.size() != 4) return std::nullopt;

    SerialSettings s;
    const auto baud = ToInt(fields[0]);
    if (!baud || std::find(kRates.begin(), kRates.end(), *baud) == kRates.end())
        return std::nullopt;
    s.baud = *baud;

    const std::string_view parity = Trim(fields[1]);
    if (parity.size() != 1) return std::nullopt;
    s.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(parity[0])));
    if (s.parity != 'N' && s.parity != 'E' && s.parity != 'O') return std::nullopt;

    const auto data = ToInt(fields[2]);
    if (!data || *data < 5 || *data > 8) return std::nullopt;
    s.dataBits = *data;

    const auto stop = ToInt(fields[3]);
    if (!stop || (*stop != 1 && *stop != 2)) return std::nullopt;
    s.stopBits = *stop;
    return s;
}

std::string SettingsText(const SerialSettings& s) {
    return std::to_string(s.baud) + "," + std::string(1, s.parity) + "," +
           std::to_string(s.dataBits) + "," + std::to_string(s.stopBits);
}

std::chrono::microseconds CharacterTime(const SerialSettings& s) {
    const long long bits = 1 + s.dataBits + (s.parity == 'N' ? 0 : 1) + s.stopBits;
    const long long baud = std::max(s.baud, 1);
    return std::chrono::microseconds((bits * 1'000'000 + baud - 1) / baud);
}

}  // namespace orv
