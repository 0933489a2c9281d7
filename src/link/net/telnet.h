// Telnet framing as a serial line over the network needs it (RFC 854, 855, 856, RFC 2217's Com
// Port Control option 44): the byte 0xFF (IAC) doubled in data, option negotiation and
// subnegotiation. Free of I/O, so the device server client (NetSerialPort) and the simulated
// unit's listener share it and the tests feed it bytes directly.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace orv::telnet {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251,
                              kSb = 250, kSe = 240, kNop = 241;
inline constexpr std::uint8_t kBinary = 0, kEcho = 1, kSuppressGoAhead = 3, kComPort = 44;

// Com Port Control commands, client to server; the server answers with the code + 100.
inline constexpr std::uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                              kSetControl = 5, kServerReply = 100;
inline constexpr std::uint8_t kNoFlowControl = 1;

// Data for the wire: every 0xFF doubled; with crNul (a peer not in binary mode) a CR is followed
// by NUL, so that it stays a bare CR.
void AppendData(std::span<const std::uint8_t> data, Bytes& out, bool crNul = false);
Bytes Verb(std::uint8_t verb, std::uint8_t option);
// IAC SB option payload IAC SE, with 0xFF in the payload doubled.
Bytes Subnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload);

// What came in besides data: a negotiation verb (kWill/kWont/kDo/kDont) for an option, or a
// subnegotiation with its payload (kSb).
struct Command {
    std::uint8_t verb = 0;
    std::uint8_t option = 0;
    Bytes payload;
    bool operator==(const Command&) const = default;
};

// The longest subnegotiation kept. RFC 2217's are a few bytes (a signature some dozens); a peer
// that sends more, or never ends one, must not fill the memory.
inline constexpr std::size_t kMaxSubnegotiation = 4096;

// Splits a received stream, in pieces of any size, into data bytes and commands.
class Decoder {
  public:
    // The peer sends in NVT (not binary) mode: a NUL after CR is padding and is dropped.
    void SetPeerNvt(bool nvt) { nvt_ = nvt; }
    // Each command is handed over as soon as it ends, so that what it changes (binary mode)
    // applies to the bytes after it.
    void Feed(std::span<const std::uint8_t> in, std::deque<std::uint8_t>& data,
              const std::function<void(const Command&)>& onCommand);
    // True once a subnegotiation ran past kMaxSubnegotiation: the rest of it up to its end is
    // dropped and it is not handed over.
    bool SubnegotiationTooLong() const { return tooLong_; }

  private:
    void KeepSubByte(std::uint8_t b);
    void EndSub(const std::function<void(const Command&)>& onCommand);

    enum class State { kData, kIac, kVerb, kSubOption, kSub, kSubIac } state_ = State::kData;
    std::uint8_t verb_ = 0;
    Command sub_;
    bool subDropped_ = false;  // the one under way ran too long
    bool tooLong_ = false;
    bool nvt_ = false;
    bool afterCr_ = false;
};

// The settings as RFC 2217 carries them: the rate as 4 bytes, most significant first; data bits
// 5-8; parity 1 none, 2 odd, 3 even; stop bits 1 or 2.
Bytes SetBaudRate(int baud);
std::uint8_t ParityCode(char parity);
std::optional<char> ParityOfCode(std::uint8_t code);

// The client side of the negotiation: offers binary mode and the Com Port Control option, and once
// the server takes the option sends the rate, data bits, parity and stop bits, and no flow
// control. Done when the server has answered the four settings; the answer to the flow control is
// not waited for (some servers never send it).
class ComPortClient {
  public:
    explicit ComPortClient(const SerialSettings& wanted);

    // The bytes to send first.
    Bytes Start();
    // Takes received bytes: data goes to data, replies to send are appended to reply.
    void Receive(std::span<const std::uint8_t> in, std::deque<std::uint8_t>& data, Bytes& reply);

    // Done when the settings were confirmed (and nothing failed).
    bool Done() const;
    // Why the negotiation cannot succeed: the server refused the option or answered other
    // settings than asked. Empty while it may still succeed.
    const std::string& Failure() const { return failure_; }
    // Why the server's telnet cannot be followed (a subnegotiation without end); empty while it
    // can. Such a server is given up whatever else it answered.
    const std::string& ProtocolFailure() const { return protocolFailure_; }
    // True when the server turned the option down (it serves raw TCP or plain telnet).
    bool OptionRefused() const { return optionRefused_; }
    // True once the server took the option (the settings then went out).
    bool OptionTaken() const { return comPort_; }
    // What the server answered, as far as it has.
    const SerialSettings& ServerSettings() const { return server_; }
    bool ControlAnswered() const { return controlAnswered_; }
    // What still has no answer, for the message when time runs out.
    std::string Missing() const;

    // Data for the server, escaped as its mode needs.
    void AppendData(std::span<const std::uint8_t> data, Bytes& out) const;

  private:
    void OnCommand(const Command& c, Bytes& reply);
    void OnReply(const Command& c);

    SerialSettings wanted_;
    SerialSettings server_;
    Decoder decoder_;
    // Per option: on at our side / the server's, and a request of ours not yet answered.
    std::array<bool, 256> usOn_{}, usAsked_{}, himOn_{}, himAsked_{};
    bool comPort_ = false;   // the server took the option and the settings went out
    bool answered_[4] = {};  // rate, data bits, parity, stop bits
    bool controlAnswered_ = false;
    bool optionRefused_ = false;
    std::string failure_;
    std::string protocolFailure_;
};

}  // namespace orv::telnet
