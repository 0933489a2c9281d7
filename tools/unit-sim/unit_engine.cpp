#include "unit_engine.h"

#include "base/hex.h"
#include "link/protocol.h"

namespace orv::sim {

namespace proto = orv::proto;

UnitEngine::UnitEngine(UnitOptions options, Image& eeprom, Logger log, BlockWritten written)
    : options_(std::move(options)),
      eeprom_(eeprom),
      log_(std::move(log)),
      written_(std::move(written)) {}

bool UnitEngine::GoneSilent() const {
    return options_.silent || (options_.stopAfter >= 0 && blocksServed_ >= options_.stopAfter);
}

void UnitEngine::Log(const std::string& name, std::span<const std::uint8_t> bytes,
                     const std::string& what) {
    if (log_) log_(name + " | " + HexBytes(bytes) + " | " + what);
}

void UnitEngine::Receive(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out) {
    if (!bytes.empty()) streaming_ = false;  // a new request ends a runaway version line
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    std::size_t used = 0;
    while (!pending_.empty() && (used = Handle(out)) > 0)
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
}

void UnitEngine::MoreStream(std::vector<std::uint8_t>& out, std::size_t count) {
    static constexpr char kFiller[] = "ORV-PRO STREAMING WITHOUT LINE END ";
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(static_cast<std::uint8_t>(kFiller[i % (sizeof kFiller - 1)]));
}

std::size_t UnitEngine::Handle(std::vector<std::uint8_t>& out) {
    const std::span<const std::uint8_t> in(pending_);
    const bool silent = GoneSilent();
    const std::string quiet = "no reply (silent)";

    if (in[0] == proto::kProbe) {
        const std::uint8_t reply = options_.badProbe ? 0x12 : proto::kProbeReply;
        if (!silent) out.push_back(reply);
        Log("probe", in.first(1), silent ? quiet : "sent " + HexBytes(std::span(&reply, 1)));
        return 1;
    }
    if (in[0] != proto::kCommandPrefix) {
        Log("unexpected", in.first(1), "ignored");
        return 1;
    }
    if (in.size() < 2) return 0;

    switch (in[1]) {
        case proto::kCmdVersion: {
            if (silent) {
                Log("version", in.first(2), quiet);
            } else if (options_.endlessVersion) {
                streaming_ = true;
                MoreStream(out, 64);
                Log("version", in.first(2), "streaming a line without end");
            } else {
                for (const auto& line : options_.version) {
                    out.insert(out.end(), line.begin(), line.end());
                    out.insert(out.end(), options_.lineEnd.begin(), options_.lineEnd.end());
                }
                Log("version", in.first(2), "sent two lines");
            }
            return 2;
        }
        case proto::kCmdModules: {
            if (!silent) out.insert(out.end(), options_.modules.begin(), options_.modules.end());
            Log("modules", in.first(2), silent ? quiet : "sent " + HexBytes(options_.modules));
            return 2;
        }
        case proto::kCmdReadBlock: {
            if (in.size() < proto::kReadRequestSize) return 0;
            const int n = proto::BlockFromNibbles(in[2], in[3]);
            const std::string name = "read " + std::to_string(n);
            if (silent) {
                Log(name, in.first(proto::kReadRequestSize), quiet);
                return proto::kReadRequestSize;
            }
            out.push_back(proto::kCmdReadBlock);
            out.push_back(in[2]);
            out.push_back(in[3]);
            const std::uint8_t noise = options_.corruptNibbles ? 0xA0 : 0x00;
            for (int i = 0; i < kBlockSize; ++i) {
                const std::uint8_t b = eeprom_[n * kBlockSize + i];
                out.push_back(static_cast<std::uint8_t>((b & 0x0F) | noise));
                out.push_back(static_cast<std::uint8_t>((b >> 4) | noise));
            }
            ++blocksServed_;
            Log(name, in.first(proto::kReadRequestSize), "sent 35 bytes");
            return proto::kReadRequestSize;
        }
        case proto::kCmdWriteBlock: {
            if (in.size() < proto::kWriteRequestSize) return 0;
            const auto request = in.first(proto::kWriteRequestSize);
            const int n = proto::BlockFromNibbles(in[2], in[3]);
            const std::string name = "write " + std::to_string(n);
            if (silent) {
                Log(name, request, quiet);
                return proto::kWriteRequestSize;
            }
            proto::Block data{};
            bool nibblesOk = in[2] < 16 && in[3] < 16;
            for (int i = 0; i < kBlockSize; ++i) {
                nibblesOk = nibblesOk && in[4 + 2 * i] < 16 && in[5 + 2 * i] < 16;
                data[i] = proto::ByteFromNibbles(in[4 + 2 * i], in[5 + 2 * i]);
            }
            const std::uint8_t checksum = in[proto::kWriteRequestSize - 1];
            std::string why;
            if (!nibblesOk)
                why = "refused: nibble byte above 0x0F";
            else if (checksum != proto::BlockChecksum7(data))
                why = "refused: bad checksum";
            else if (n >= kConfigBlocks)
                why = "refused: block outside the configuration area";
            else if (n == options_.refuseBlock)
                why = "refused: block refused by option";
            ++blocksServed_;
            if (!why.empty()) {
                out.push_back(proto::kNak);
                Log(name, request, "sent 15, " + why);
            } else if (n == options_.forgetBlock) {
                out.push_back(proto::kAck);
                Log(name, request, "sent 06, not kept: block forgotten by option");
            } else {
                std::copy(data.begin(), data.end(), eeprom_.begin() + n * kBlockSize);
                if (written_) written_(n);
                out.push_back(proto::kAck);
                Log(name, request, "sent 06");
            }
            return proto::kWriteRequestSize;
        }
        case proto::kCmdWriteMac: {
            if (in.size() < proto::kMacRequestSize) return 0;
            const auto request = in.first(proto::kMacRequestSize);
            if (silent) {
                Log("mac", request, quiet);
                return proto::kMacRequestSize;
            }
            proto::Block data{};
            std::copy(in.begin() + 3, in.begin() + 3 + kBlockSize, data.begin());
            std::string why;
            if (in[2] != kMacBlock)
                why = "refused: block number is not F0";
            else if (in[proto::kMacRequestSize - 1] != proto::BlockChecksum8(data))
                why = "refused: bad checksum";
            else if (options_.refuseBlock == kMacBlock)
                why = "refused: block refused by option";
            if (!why.empty()) {
                out.push_back(proto::kNak);
                Log("mac", request, "sent 15, " + why);
            } else {
                std::copy(data.begin(), data.end(), eeprom_.begin() + kMacAddress);
                if (written_) written_(kMacBlock);
                out.push_back(proto::kAck);
                Log("mac", request, "sent 06");
            }
            return proto::kMacRequestSize;
        }
        case proto::kCmdReset:
            Log("reset", in.first(2), "restarting");
            return 2;
        case proto::kCmdPulseTimes:
            if (!silent) out.insert(out.end(), options_.pulse.begin(), options_.pulse.end());
            Log("pulse", in.first(2), silent ? quiet : "sent " + HexBytes(options_.pulse));
            return 2;
        default:
            Log("unknown", in.first(2), "ignored");
            return 2;
    }
}

}  // namespace orv::sim
