#include "link/device_address.h"

#ifndef _WIN32
#include <net/if.h>
#endif

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace orv {
namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool IsHostNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

// Digits and dots only: meant as an IPv4 address, so it must be one.
bool LooksNumeric(std::string_view host) {
    return std::all_of(host.begin(), host.end(), [](char c) {
        return c == '.' || std::isdigit(static_cast<unsigned char>(c));
    });
}

bool IsIpv4(std::string_view host) {
    int parts = 0;
    while (true) {
        const std::size_t dot = host.find('.');
        const std::string_view part = host.substr(0, dot);
        int value = 0;
        auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || part.size() > 3 || ec != std::errc{} ||
            end != part.data() + part.size() || value > 255)
            return false;
        ++parts;
        if (dot == std::string_view::npos) break;
        host.remove_prefix(dot + 1);
    }
    return parts == 4;
}

// Hex groups of one to four digits between colons, at most one "::" standing for the groups left
// out, and an IPv4 address in place of the last two groups ("::ffff:10.1.2.3").
bool IsIpv6Address(std::string_view address) {
    // Counts the groups of one side of "::"; false when one is not a group.
    const auto count = [](std::string_view side, bool ipv4Tail, int& groups) {
        if (side.empty()) return true;
        for (;;) {
            const std::size_t colon = side.find(':');
            const std::string_view group = side.substr(0, colon);
            if (colon == std::string_view::npos && ipv4Tail &&
                group.find('.') != std::string_view::npos) {
                groups += 2;
                return IsIpv4(group);
            }
            if (group.empty() || group.size() > 4 ||
                !std::all_of(group.begin(), group.end(),
                             [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
                return false;
            ++groups;
            if (colon == std::string_view::npos) return true;
            side.remove_prefix(colon + 1);
        }
    };
    const std::size_t gap = address.find("::");
    int groups = 0;
    if (gap == std::string_view::npos) return count(address, true, groups) && groups == 8;
    if (address.find("::", gap + 1) != std::string_view::npos) return false;
    int after = 0;
    return count(address.substr(0, gap), false, groups) &&
           count(address.substr(gap + 2), true, after) && groups + after <= 7;
}

// Why the zone after '%' names no network interface of this computer ("" when it does).
std::string ZoneProblem(std::string_view zone) {
    if (zone.empty()) return "nothing follows the '%' that names the network interface";
    const std::string name(zone);
    const bool number = std::all_of(name.begin(), name.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
#ifdef _WIN32
    // Windows names an interface by its number ("fe80::1%12", as ipconfig shows it).
    if (number) return {};
    return "'" + name +
           "' is not an interface number; on Windows the zone is the number ipconfig shows, as in "
           "fe80::1%12";
#else
    char found[IF_NAMESIZE] = {};
    if (number ? ::if_indextoname(static_cast<unsigned>(std::strtoul(name.c_str(), nullptr, 10)),
                                  found) != nullptr
               : ::if_nametoindex(name.c_str()) != 0)
        return {};
    return "this computer has no network interface '" + name + "' (the zone after '%')";
#endif
}

}  // namespace

bool IsNetAddress(std::string_view device) {
    return device.find("://") != std::string_view::npos;
}

std::string_view NetAddressForms() {
    return "tcp://HOST:PORT (raw TCP) or rfc2217://HOST:PORT (RFC 2217), an IPv6 address in "
           "brackets: rfc2217://[::1]:4001";
}

NetAddressResult ParseNetAddress(std::string_view text) {
    NetAddressResult r;
    const std::size_t sep = text.find("://");
    if (sep == std::string_view::npos) {
        r.error = "it does not start with tcp:// or rfc2217://";
        return r;
    }
    NetAddress a;
    const std::string scheme = Lower(text.substr(0, sep));
    if (scheme == "tcp") {
        a.protocol = NetProtocol::kRawTcp;
    } else if (scheme == "rfc2217") {
        a.protocol = NetProtocol::kRfc2217;
    } else {
        r.error = "'" + std::string(text.substr(0, sep)) +
                  "://' is not a kind of device server connection; use tcp:// for raw TCP or "
                  "rfc2217:// for RFC 2217";
        return r;
    }
    std::string_view rest = text.substr(sep + 3);
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);  // as pasted from a browser
    if (rest.empty()) {
        r.error = "it names no host";
        return r;
    }

    std::string_view host, port;
    bool haveColon = false;
    if (rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            r.error = "the '[' before the IPv6 address has no ']' after it";
            return r;
        }
        host = rest.substr(1, close - 1);
        const std::size_t zone = host.find('%');
        if (!IsIpv6Address(host.substr(0, zone))) {
            r.error = "'[" + std::string(host) + "]' is not an IPv6 address";
            return r;
        }
        if (zone != std::string_view::npos) {
            if (std::string problem = ZoneProblem(host.substr(zone + 1)); !problem.empty()) {
                r.error = std::move(problem);
                return r;
            }
        }
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty() && after.front() != ':') {
            r.error = "after the IPv6 address in brackets comes ':' and the port, not '" +
                      std::string(after) + "'";
            return r;
        }
        haveColon = !after.empty();
        port = haveColon ? after.substr(1) : std::string_view();
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon != std::string_view::npos && rest.find(':') != colon) {
            r.error = "an IPv6 address goes in brackets, as in rfc2217://[" +
                      std::string(rest.substr(0, colon)) +
                      "]:" + std::string(rest.substr(colon + 1));
            return r;
        }
        haveColon = colon != std::string_view::npos;
        host = rest.substr(0, colon);
        port = haveColon ? rest.substr(colon + 1) : std::string_view();
        if (host.empty()) {
            r.error = "it names no host before the port";
            return r;
        }
        if (!std::all_of(host.begin(), host.end(), IsHostNameChar)) {
            r.error = "'" + std::string(host) + "' is not a host name or IP address";
            return r;
        }
        if (LooksNumeric(host) && !IsIpv4(host)) {
            r.error = "'" + std::string(host) + "' is not an IPv4 address";
            return r;
        }
    }
    if (!haveColon || port.empty()) {
        r.error =
            "it has no port: add ':' and the TCP port the device server listens on, e.g. "
            ":4001";
        return r;
    }
    unsigned value = 0;
    auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc{} || end != port.data() + port.size() || value == 0 || value > 65535) {
        r.error =
            "'" + std::string(port) + "' is not a TCP port; ports are numbers from 1 to 65535";
        return r;
    }
    a.host = std::string(host);
    a.port = static_cast<std::uint16_t>(value);
    r.address = a;
    return r;
}

std::string NetAddressText(const NetAddress& a) {
    const bool v6 = a.host.find(':') != std::string::npos;
    return std::string(a.protocol == NetProtocol::kRfc2217 ? "rfc2217://" : "tcp://") +
           (v6 ? "[" + a.host + "]" : a.host) + ":" + std::to_string(a.port);
}

bool IsRawTcpAddress(std::string_view device) {
    if (!IsNetAddress(device)) return false;
    const NetAddressResult r = ParseNetAddress(device);
    return r.address && r.address->protocol == NetProtocol::kRawTcp;
}

}  // namespace orv
