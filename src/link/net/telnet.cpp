#include "link/net/telnet.h"

namespace orv::telnet {
namespace {

// Options each side may have on: both send binary; go-aheads are suppressed as every telnet
// program does. The server's echo is refused: it would send our own bytes back as replies.
bool ServerMayEnable(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead;
}
bool WeMayEnable(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

}  // namespace

void AppendData(std::span<const std::uint8_t> data, Bytes& out, bool crNul) {
    for (std::uint8_t b : data) {
        out.push_back(b);
        if (b == kIac) out.push_back(kIac);
        if (crNul && b == '\r') out.push_back(0);
    }
}

Bytes Verb(std::uint8_t verb, std::uint8_t option) {
    return {kIac, verb, option};
}

Bytes Subnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload) {
    Bytes out{kIac, kSb, option};
    AppendData(payload, out);
    out.push_back(kIac);
    out.push_back(kSe);
    return out;
}

void Decoder::Feed(std::span<const std::uint8_t> in, std::deque<std::uint8_t>& data,
                   const std::function<void(const Command&)>& onCommand) {
    for (std::uint8_t b : in) {
        switch (state_) {
            case State::kData:
                if (b == kIac) {
                    state_ = State::kIac;
                } else {
                    if (!(nvt_ && afterCr_ && b == 0)) data.push_back(b);
                    afterCr_ = b == '\r';
                }
                break;
            case State::kIac:
                state_ = State::kData;
                if (b == kIac) {
                    data.push_back(kIac);
                    afterCr_ = false;
                } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                    verb_ = b;
                    state_ = State::kVerb;
                } else if (b == kSb) {
                    sub_ = Command{kSb, 0, {}};
                    state_ = State::kSubOption;
                }
                // Anything else (NOP, go-ahead, data mark, ...) carries nothing for us.
                break;
            case State::kVerb:
                onCommand({verb_, b, {}});
                state_ = State::kData;
                break;
            case State::kSubOption:
                sub_.option = b;
                subDropped_ = false;
                state_ = State::kSub;
                break;
            case State::kSub:
                if (b == kIac)
                    state_ = State::kSubIac;
                else
                    KeepSubByte(b);
                break;
            case State::kSubIac:
                if (b == kIac) {
                    KeepSubByte(kIac);
                    state_ = State::kSub;
                } else if (b == kSe) {
                    EndSub(onCommand);
                    state_ = State::kData;
                } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                    // A peer that forgot IAC SE: the verb is one of its own, not data.
                    EndSub(onCommand);
                    verb_ = b;
                    state_ = State::kVerb;
                } else if (b == kSb) {
                    EndSub(onCommand);
                    sub_ = Command{kSb, 0, {}};
                    state_ = State::kSubOption;
                } else if (b > kSe) {
                    // NOP, go-ahead, data mark...: one-byte commands carry nothing, and the
                    // subnegotiation goes on around them.
                    state_ = State::kSub;
                } else {
                    EndSub(onCommand);
                    state_ = State::kData;
                }
                break;
        }
    }
}

void Decoder::KeepSubByte(std::uint8_t b) {
    if (subDropped_) return;
    if (sub_.payload.size() >= kMaxSubnegotiation) {
        subDropped_ = tooLong_ = true;
        sub_.payload = Bytes();  // gives the memory back
        return;
    }
    sub_.payload.push_back(b);
}

void Decoder::EndSub(const std::function<void(const Command&)>& onCommand) {
    if (!subDropped_) onCommand(sub_);
    sub_ = {};
    subDropped_ = false;
}

Bytes SetBaudRate(int baud) {
    const auto v = static_cast<std::uint32_t>(baud);
    const Bytes payload{kSetBaudRate, static_cast<std::uint8_t>(v >> 24),
                        static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                        static_cast<std::uint8_t>(v)};
    return Subnegotiation(kComPort, payload);
}

std::uint8_t ParityCode(char parity) {
    return parity == 'O' ? 2 : parity == 'E' ? 3 : 1;
}

std::optional<char> ParityOfCode(std::uint8_t code) {
    switch (code) {
        case 1:
            return 'N';
        case 2:
            return 'O';
        case 3:
            return 'E';
        default:
            return std::nullopt;  // mark, space or nonsense
    }
}

ComPortClient::ComPortClient(const SerialSettings& wanted)
    : wanted_(wanted), server_{0, '?', 0, 0} {
    decoder_.SetPeerNvt(true);  // until the server agrees to send binary
}

Bytes ComPortClient::Start() {
    Bytes out;
    for (auto [verb, option] : {std::pair{kWill, kComPort}, {kWill, kBinary}, {kDo, kBinary}}) {
        const Bytes v = Verb(verb, option);
        out.insert(out.end(), v.begin(), v.end());
        (verb == kWill ? usAsked_ : himAsked_)[option] = true;
    }
    return out;
}

void ComPortClient::Receive(std::span<const std::uint8_t> in, std::deque<std::uint8_t>& data,
                            Bytes& reply) {
    decoder_.Feed(in, data, [&](const Command& c) { OnCommand(c, reply); });
    if (decoder_.SubnegotiationTooLong() && protocolFailure_.empty())
        protocolFailure_ = "it sent a subnegotiation of more than " +
                           std::to_string(kMaxSubnegotiation) + " bytes without ending it";
}

void ComPortClient::OnCommand(const Command& c, Bytes& reply) {
    auto send = [&reply](std::uint8_t verb, std::uint8_t option) {
        const Bytes v = Verb(verb, option);
        reply.insert(reply.end(), v.begin(), v.end());
    };
    const std::uint8_t o = c.option;
    // Each side's state changes once per request; a request we made is answered, not echoed, so
    // no negotiation loops (RFC 854's rule).
    switch (c.verb) {
        case kWill:
            if (himOn_[o]) break;
            if (ServerMayEnable(o)) {
                himOn_[o] = true;
                if (!himAsked_[o]) send(kDo, o);
            } else if (!himAsked_[o]) {
                send(kDont, o);
            }
            himAsked_[o] = false;
            break;
        case kWont:
            if (himOn_[o] && !himAsked_[o]) send(kDont, o);
            himOn_[o] = himAsked_[o] = false;
            break;
        case kDo:
            if (usOn_[o]) break;
            if (WeMayEnable(o)) {
                usOn_[o] = true;
                if (!usAsked_[o]) send(kWill, o);
            } else {
                send(kWont, o);
            }
            usAsked_[o] = false;
            break;
        case kDont:
            if (usOn_[o] && !usAsked_[o]) send(kWont, o);
            if (o == kComPort) {
                optionRefused_ = true;
                failure_ = "it turned down RFC 2217 (telnet Com Port Control)";
            }
            usOn_[o] = usAsked_[o] = false;
            break;
        case kSb:
            // Answers count only to settings sent, which go out once the option is agreed.
            if (o == kComPort && comPort_ && !c.payload.empty()) OnReply(c);
            break;
    }
    decoder_.SetPeerNvt(!himOn_[kBinary]);
    if (usOn_[kComPort] && !comPort_) {
        comPort_ = true;
        const std::uint8_t parity = ParityCode(wanted_.parity);
        const Bytes rate = SetBaudRate(wanted_.baud);
        const Bytes data = Subnegotiation(
            kComPort, Bytes{kSetDataSize, static_cast<std::uint8_t>(wanted_.dataBits)});
        const Bytes par = Subnegotiation(kComPort, Bytes{kSetParity, parity});
        const Bytes stop = Subnegotiation(
            kComPort, Bytes{kSetStopSize, static_cast<std::uint8_t>(wanted_.stopBits)});
        const Bytes control = Subnegotiation(kComPort, Bytes{kSetControl, kNoFlowControl});
        for (const Bytes* b : {&rate, &data, &par, &stop, &control})
            reply.insert(reply.end(), b->begin(), b->end());
    }
}

void ComPortClient::OnReply(const Command& c) {
    const Bytes& p = c.payload;
    const std::uint8_t code = p[0];
    auto refuse = [this](const std::string& what) {
        if (failure_.empty()) failure_ = what;
    };
    switch (code) {
        case kServerReply + kSetBaudRate: {
            if (p.size() < 5) return;
            const std::uint32_t v = (std::uint32_t{p[1]} << 24) | (std::uint32_t{p[2]} << 16) |
                                    (std::uint32_t{p[3]} << 8) | p[4];
            server_.baud = static_cast<int>(v);
            answered_[0] = true;
            if (server_.baud != wanted_.baud)
                refuse("asked for " + std::to_string(wanted_.baud) + " baud, it answered " +
                       std::to_string(v) + " baud");
            return;
        }
        case kServerReply + kSetDataSize:
            if (p.size() < 2) return;
            server_.dataBits = p[1];
            answered_[1] = true;
            if (server_.dataBits != wanted_.dataBits)
                refuse("asked for " + std::to_string(wanted_.dataBits) +
                       " data bits, it answered " + std::to_string(p[1]));
            return;
        case kServerReply + kSetParity: {
            if (p.size() < 2) return;
            const auto parity = ParityOfCode(p[1]);
            server_.parity = parity.value_or('?');
            answered_[2] = true;
            if (server_.parity != wanted_.parity)
                refuse(std::string("asked for parity ") + wanted_.parity + ", it answered " +
                       (parity ? std::string(1, *parity) : "code " + std::to_string(p[1])));
            return;
        }
        case kServerReply + kSetStopSize:
            if (p.size() < 2) return;
            server_.stopBits = p[1];
            answered_[3] = true;
            if (server_.stopBits != wanted_.stopBits)
                refuse("asked for " + std::to_string(wanted_.stopBits) +
                       " stop bits, it answered " +
                       (p[1] == 3 ? std::string("1.5") : std::to_string(p[1])));
            return;
        case kServerReply + kSetControl:
            controlAnswered_ = true;
            return;
        default:
            return;  // line and modem state notices, signatures: nothing the link uses
    }
}

bool ComPortClient::Done() const {
    return comPort_ && failure_.empty() && protocolFailure_.empty() && answered_[0] &&
           answered_[1] && answered_[2] && answered_[3];
}

std::string ComPortClient::Missing() const {
    if (!comPort_) return "it did not take up RFC 2217 (telnet Com Port Control)";
    std::string list;
    const char* names[] = {"the baud rate", "the data bits", "the parity", "the stop bits"};
    for (int k = 0; k < 4; ++k) {
        if (answered_[k]) continue;
        if (!list.empty()) list += ", ";
        list += names[k];
    }
    return "it did not confirm " + list;
}

void ComPortClient::AppendData(std::span<const std::uint8_t> data, Bytes& out) const {
    telnet::AppendData(data, out, !usOn_[kBinary]);
}

}  // namespace orv::telnet
