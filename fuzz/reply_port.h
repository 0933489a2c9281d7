// A serial port whose far end is a script of replies: each write the link code makes is answered
// with the next reply of the script, and a script that has run out leaves the unit silent (or, when
// asked, makes the port vanish as an unplugged adapter does). Waiting never sleeps: a silent unit
// times out at once, so a fuzz run covers every timeout path at full speed.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace orv::fuzz {

// The script on the wire: one length byte, then that many reply bytes, for each write in turn.
inline std::vector<std::vector<std::uint8_t>> SplitReplies(const std::uint8_t* data,
                                                           std::size_t size) {
    std::vector<std::vector<std::uint8_t>> replies;
    std::size_t at = 0;
    while (at < size) {
        const std::size_t length = data[at++];
        const std::size_t take = length < size - at ? length : size - at;
        replies.emplace_back(data + at, data + at + take);
        at += take;
    }
    return replies;
}

class ReplyPort : public SerialPort {
  public:
    std::vector<std::vector<std::uint8_t>> replies;
    OpenFailure failOpen = OpenFailure::kNone;
    bool vanishWhenDone = false;
    std::size_t bytesWritten = 0;

    bool Open(const std::string&, const SerialSettings&, OpenFailure* failure,
              std::string* detail) override {
        if (failOpen != OpenFailure::kNone || vanished_) {
            if (failure) *failure = vanished_ ? OpenFailure::kNoSuchDevice : failOpen;
            if (detail) *detail = "fuzz";
            return false;
        }
        open_ = true;
        return true;
    }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    bool Write(std::span<const std::uint8_t> bytes) override {
        if (!open_) return false;
        bytesWritten += bytes.size();
        if (next_ < replies.size()) {
            input_.insert(input_.end(), replies[next_].begin(), replies[next_].end());
            ++next_;
        } else if (vanishWhenDone) {
            vanished_ = true;
            open_ = false;
            input_.clear();
            return false;
        }
        return true;
    }
    std::size_t BytesWaiting() override { return open_ ? input_.size() : 0; }
    std::optional<std::uint8_t> ReadByte() override {
        if (!open_ || input_.empty()) return std::nullopt;
        const std::uint8_t b = input_.front();
        input_.pop_front();
        return b;
    }
    bool WaitForBytes(SerialClock::time_point) override { return open_ && !input_.empty(); }

  private:
    std::deque<std::uint8_t> input_;
    std::size_t next_ = 0;
    bool open_ = false;
    bool vanished_ = false;
};

}  // namespace orv::fuzz
