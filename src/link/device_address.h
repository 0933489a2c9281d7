// Network addresses of serial device servers, where a device is named: "tcp://HOST:PORT" (the
// server passes bytes as they are and keeps its own port settings) and "rfc2217://HOST:PORT"
// (telnet with the Com Port Control option: the PC sets the rate and frame remotely). HOST is a
// name, an IPv4 address or an IPv6 address in brackets ("rfc2217://[fe80::1%eth0]:4001").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

enum class NetProtocol { kRawTcp, kRfc2217 };

struct NetAddress {
    NetProtocol protocol = NetProtocol::kRawTcp;
    std::string host;  // without brackets
    std::uint16_t port = 0;
    bool operator==(const NetAddress&) const = default;
};

// True when the name is meant as a network address (it has a scheme, "...://"); no device path
// or COM name has one. Such a name goes to ParseNetAddress, never to the serial ports.
bool IsNetAddress(std::string_view device);

struct NetAddressResult {
    std::optional<NetAddress> address;
    std::string error;  // what is wrong, for "'X' is not a device server address: <error>."
};
NetAddressResult ParseNetAddress(std::string_view text);

// "rfc2217://[::1]:4001".
std::string NetAddressText(const NetAddress& address);
// "tcp://HOST:PORT or rfc2217://HOST:PORT (...)": how to write one, for the end of a message.
std::string_view NetAddressForms();

// True when device names a raw TCP server: its port settings are the server's, not the PC's.
bool IsRawTcpAddress(std::string_view device);

}  // namespace orv
