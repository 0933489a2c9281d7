// Ctrl+C (on Linux also SIGTERM and SIGHUP) in the unit commands, one way for orv-cli write,
// write-mac and every unit of a fleet: a port in front of the unit's line that gives up at once
// when the presses reach the unit's stop level, and that counts the blocks of a Write that went
// out through it, so that an interrupted Write says how many blocks the unit may hold.
//
// A unit is stopped by the first press while it is connected, read or backed up, which changes
// nothing on it; once the first block of a Write (or the MAC block) goes out, only a second press
// stops it, since the unit then holds a mix of two configurations.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "link/serial_port.h"

namespace orv::cli {

// The presses so far, and the level one unit stops at (1, or 2 once its Write has begun).
struct StopLevel {
    std::atomic<int> presses{0};
    std::atomic<int> stopsAt{1};
    bool Stopped() const { return presses.load() >= stopsAt.load(); }
    bool Writing() const { return stopsAt.load() >= 2; }
};

class StoppablePort : public SerialPort {
  public:
    // presses may be shared by many units (a fleet); stopsAt is this unit's own.
    StoppablePort(SerialPort& inner, const std::atomic<int>& presses, std::atomic<int>& stopsAt)
        : inner_(inner), presses_(presses), stopsAt_(stopsAt) {}

    bool Open(const std::string& device, const SerialSettings& settings, OpenFailure* failure,
              std::string* detail) override;
    void Close() override { inner_.Close(); }
    bool IsOpen() const override { return inner_.IsOpen(); }
    bool Write(std::span<const std::uint8_t> bytes) override;
    std::size_t BytesWaiting() override { return Stopped() ? 0 : inner_.BytesWaiting(); }
    std::optional<std::uint8_t> ReadByte() override;
    bool WaitForBytes(SerialClock::time_point deadline) override {
        return !Stopped() && inner_.WaitForBytes(deadline);
    }
    bool WaitForReply(SerialClock::time_point deadline, std::size_t count) override {
        return !Stopped() && inner_.WaitForReply(deadline, count);
    }

    bool Stopped() const { return presses_.load() >= stopsAt_.load(); }
    // Blocks of the configuration the unit may hold (0..240): every block that went out, the
    // unit's acknowledgement read or not, except a last one the unit answered with a refusal.
    int BlocksPossiblyTaken() const;
    // Whether the MAC block went out.
    bool MacSent() const { return macSent_; }

  private:
    SerialPort& inner_;
    const std::atomic<int>& presses_;
    std::atomic<int>& stopsAt_;
    int blocksSent_ = 0;  // the highest block number sent, plus one
    bool macSent_ = false;
    bool lastAnswered_ = false;  // a reply byte came after the last block went out
    std::uint8_t lastReply_ = 0;
};

}  // namespace orv::cli
