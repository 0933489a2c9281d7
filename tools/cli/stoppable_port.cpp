#include "stoppable_port.h"

#include <algorithm>

#include "link/protocol.h"

namespace orv::cli {

bool StoppablePort::Open(const std::string& device, const SerialSettings& settings,
                         OpenFailure* failure, std::string* detail) {
    if (Stopped()) {
        if (failure) *failure = OpenFailure::kOther;
        if (detail) *detail = "stopped by Ctrl+C";
        return false;
    }
    return inner_.Open(device, settings, failure, detail);
}

bool StoppablePort::Write(std::span<const std::uint8_t> bytes) {
    // Each request goes out in one write, its command first.
    const bool block =
        bytes.size() >= 4 && bytes[0] == proto::kCommandPrefix && bytes[1] == proto::kCmdWriteBlock;
    const bool mac =
        bytes.size() >= 2 && bytes[0] == proto::kCommandPrefix && bytes[1] == proto::kCmdWriteMac;
    if (Stopped()) return false;
    if ((block || mac) && stopsAt_.load() < 2) {
        // A press before the first block stops the unit untouched; from the first block on,
        // one press no longer stops it.
        if (presses_.load() >= 1) return false;
        stopsAt_ = 2;
    }
    if (block) {
        blocksSent_ = std::max(blocksSent_, proto::BlockFromNibbles(bytes[2], bytes[3]) + 1);
        lastAnswered_ = false;
    }
    if (mac) macSent_ = true;
    return inner_.Write(bytes);
}

std::optional<std::uint8_t> StoppablePort::ReadByte() {
    if (Stopped()) return std::nullopt;
    const auto byte = inner_.ReadByte();
    if (byte) {
        lastAnswered_ = true;
        lastReply_ = *byte;
    }
    return byte;
}

int StoppablePort::BlocksPossiblyTaken() const {
    // A block the unit refused (it answered, and not with an acknowledgement) is not held.
    if (blocksSent_ > 0 && lastAnswered_ && lastReply_ != proto::kAck) return blocksSent_ - 1;
    return blocksSent_;
}

}  // namespace orv::cli
