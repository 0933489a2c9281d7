// Ports and a LinkUi for the link tests: a scripted port whose replies come from a function of
// what was written, and a port wired to the simulated unit's engine in memory.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/link_ui.h"
#include "link/serial_port.h"
#include "unit_engine.h"

namespace orv::test {

using Bytes = std::vector<std::uint8_t>;

// The device COMn means without a mapping where the tests run.
inline std::string UnmappedDevice(int comNumber) {
#ifdef _WIN32
    return "COM" + std::to_string(comNumber);
#else
    return "/dev/ttyS" + std::to_string(comNumber - 1);
#endif
}

class ScriptedPort : public SerialPort {
  public:
    // Given one write, returns the bytes the far end sends back.
    std::function<Bytes(const Bytes& written, const SerialSettings& settings)> respond;
    // Open fails with this when set, or with what refuse says for the settings.
    OpenFailure failOpen = OpenFailure::kNone;
    std::function<OpenFailure(const SerialSettings&)> refuse;

    std::vector<Bytes> writes;        // each Write call
    std::vector<std::string> opened;  // device of each successful open
    std::vector<SerialSettings> openSettings;
    std::vector<int> waitsMs;             // timeouts asked of WaitForBytes
    std::vector<std::size_t> replyWaits;  // bytes of each WaitForReply
    std::deque<std::uint8_t> input;
    int closes = 0;

    bool Open(const std::string& device, const SerialSettings& settings, OpenFailure* failure,
              std::string* detail) override {
        const OpenFailure fail = refuse ? refuse(settings) : failOpen;
        if (fail != OpenFailure::kNone) {
            if (failure) *failure = fail;
            if (detail) *detail = fail == OpenFailure::kNoPermission ? "dialout" : "";
            return false;
        }
        open_ = true;
        settings_ = settings;
        opened.push_back(device);
        openSettings.push_back(settings);
        return true;
    }
    void Close() override {
        open_ = false;
        ++closes;
    }
    bool IsOpen() const override { return open_; }
    bool Write(std::span<const std::uint8_t> bytes) override {
        if (!open_) return false;
        writes.emplace_back(bytes.begin(), bytes.end());
        if (respond) {
            const Bytes reply = respond(writes.back(), settings_);
            input.insert(input.end(), reply.begin(), reply.end());
        }
        return true;
    }
    std::size_t BytesWaiting() override { return input.size(); }
    std::optional<std::uint8_t> ReadByte() override {
        if (input.empty()) return std::nullopt;
        const std::uint8_t b = input.front();
        input.pop_front();
        return b;
    }
    // Nothing more will come: report the time that would have been waited instead of waiting it.
    bool WaitForBytes(SerialClock::time_point deadline) override {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - SerialClock::now() + std::chrono::microseconds(999));
        waitsMs.push_back(static_cast<int>(left.count()));
        return !input.empty();
    }

    bool WaitForReply(SerialClock::time_point deadline, std::size_t count) override {
        replyWaits.push_back(count);
        return WaitForBytes(deadline);
    }

    // All written bytes in one run.
    Bytes AllWritten() const {
        Bytes all;
        for (const auto& w : writes) all.insert(all.end(), w.begin(), w.end());
        return all;
    }

  private:
    bool open_ = false;
    SerialSettings settings_;
};

// A scripted port answered by the simulated unit's engine.
struct EnginePort : ScriptedPort {
    Image eeprom{};
    sim::UnitEngine engine;
    std::vector<std::string> log;
    explicit EnginePort(sim::UnitOptions options = {})
        : engine(std::move(options), eeprom, [this](const std::string& l) { log.push_back(l); }) {
        respond = [this](const Bytes& written, const SerialSettings&) {
            Bytes out;
            engine.Receive(written, out);
            return out;
        };
    }
};

struct ShownMessage {
    std::string text, title;
    MessageIcon icon;
};

class RecordingUi : public LinkUi {
  public:
    std::vector<ShownMessage> messages;
    std::vector<bool> busy;
    std::vector<std::pair<int, bool>> progress;

    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        messages.push_back({text, title, icon});
    }
    void SetBusy(bool b) override { busy.push_back(b); }
    void SetProgress(int value, bool visible) override { progress.emplace_back(value, visible); }
};

}  // namespace orv::test
