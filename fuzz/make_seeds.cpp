// Writes the seed corpora of the fuzz targets from real configurations made by the core: the
// default configuration of several bank arrangements and a busy one with every message in use,
// as files, images and JSON, and the replies a well-behaved (and a faulty) unit gives to each
// button. Usage: make_seeds <directory>; one sub-directory per target.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/config_file.h"
#include "files/record_json.h"
#include "image/image.h"
#include "link/comms.h"
#include "link/unit_session.h"
#include "model/defaults.h"
#include "unit_engine.h"

namespace fs = std::filesystem;
using namespace orv;

namespace {

void WriteSeed(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::vector<StartupState> Configurations() {
    std::vector<StartupState> out;
    for (ModuleTypes types :
         {ModuleTypes{15, 0, 0, 0}, ModuleTypes{15, 15, 15, 13}, ModuleTypes{14, 13, 0, 15},
          ModuleTypes{0, 0, 0, 0}, ModuleTypes{14, 14, 14, 14}}) {
        StartupState s = MakeStartupState();
        s.moduleTypes = types;
        SetDefaults(s.rec, s.moduleTypes);
        out.push_back(s);
    }
    // A busy site: distinct messages, RICs and relay RICs everywhere, slave on RS485, options on.
    StartupState busy = MakeStartupState();
    busy.moduleTypes = {15, 14, 13, 15};
    SetDefaults(busy.rec, busy.moduleTypes);
    const char* words[] = {"FIRE", "ALARM", "ZONE", "PUMP", "FAULT", "DOOR", "OPEN", "WARD"};
    for (int i = 0; i < kChannelStates; ++i) {
        busy.rec.txtRIC[i] = std::to_string(1000000 + i * 37);
        busy.rec.txtMsg[i] =
            std::string(words[i % 8]) + " " + words[(i / 8) % 8] + " " + std::to_string(i);
        busy.rec.lstFunc[i] = i % 4;
    }
    for (int k = 0; k < kRelayRicFields; ++k) busy.rec.txtRlyRIC[k] = std::to_string(200000 + k);
    busy.rec.optMaster = false;
    busy.rec.txtRS485Address = "17";
    busy.rec.txtIP = {"192", "168", "1", "20"};
    busy.rec.chkOptions = {true, false, true, false, true, false, true, false};
    out.push_back(busy);
    return out;
}

// A port answered by the simulated unit that keeps each write's reply apart.
class RecordingEnginePort : public SerialPort {
  public:
    explicit RecordingEnginePort(sim::UnitOptions options) : engine_(std::move(options), eeprom_) {}
    std::string script;

    bool Open(const std::string&, const SerialSettings&, OpenFailure*, std::string*) override {
        open_ = true;
        return true;
    }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    bool Write(std::span<const std::uint8_t> bytes) override {
        std::vector<std::uint8_t> out;
        engine_.Receive(bytes, out);
        if (engine_.Streaming()) {
            engine_.MoreStream(out, 300);
            engine_.StopStream();
        }
        const std::size_t n = out.size() > 255 ? 255 : out.size();
        script += static_cast<char>(n);
        script.append(out.begin(), out.begin() + static_cast<long>(n));
        input_.insert(input_.end(), out.begin(), out.end());
        return true;
    }
    std::size_t BytesWaiting() override { return input_.size(); }
    std::optional<std::uint8_t> ReadByte() override {
        if (input_.empty()) return std::nullopt;
        const std::uint8_t b = input_.front();
        input_.erase(input_.begin());
        return b;
    }
    bool WaitForBytes(SerialClock::time_point) override { return !input_.empty(); }
    Image& Eeprom() { return eeprom_; }

  private:
    Image eeprom_{};
    sim::UnitEngine engine_;
    std::vector<std::uint8_t> input_;
    bool open_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <directory>\n");
        return 2;
    }
    const fs::path root = argv[1];
    int n = 0;
    for (StartupState s : Configurations()) {
        Image image{};
        BuildImage(s.rec, s.moduleTypes, image);
        const std::string name = "seed" + std::to_string(n++);
        WriteSeed(root / "config_file", name,
                  ConfigFileText("", "ORV Pro Configuration 1.0.4", s.rec, s.moduleTypes, image));
        std::string raw;
        for (int t : s.moduleTypes) raw += static_cast<char>(t);
        raw.append(image.begin(), image.end());
        WriteSeed(root / "image", name, raw);
        // With a few carried bytes, so the fuzzer starts from a "carried" member too.
        image[22] = 0xA5;
        image[4095] = static_cast<std::uint8_t>(n);
        WriteSeed(root / "json", name, RecordToJson(s.rec, s.moduleTypes, &image).dump(1));
    }

    // One script per button and unit behaviour.
    struct Behaviour {
        const char* name;
        sim::UnitOptions options;
    };
    std::vector<Behaviour> behaviours(6);
    behaviours[0].name = "good";
    behaviours[1].name = "corrupt";
    behaviours[1].options.corruptNibbles = true;
    behaviours[2].name = "refuse";
    behaviours[2].options.refuseBlock = 3;
    behaviours[3].name = "stop";
    behaviours[3].options.stopAfter = 5;
    behaviours[4].name = "endless";
    behaviours[4].options.endlessVersion = true;
    behaviours[5].name = "lf";
    behaviours[5].options.lineEnd = "\n";
    for (const Behaviour& b : behaviours) {
        for (int choice = 0; choice < 8; ++choice) {
            RecordingEnginePort port(b.options);
            StartupState s = MakeStartupState();
            BuildImage(s.rec, s.moduleTypes, port.Eeprom());
            Image image{};
            Comms comms(port);
            SilentLinkUi ui;
            UnitSession session(s.rec, s.moduleTypes, image, comms, ui);
            switch (choice) {
                case 0:
                    session.ConnectClick();
                    break;
                case 1:
                    session.AutoBaudClick();
                    break;
                case 2:
                    session.ReadClick();
                    break;
                case 3:
                    session.WriteClick();
                    break;
                case 4:
                    session.MacWriteClick();
                    break;
                case 5:
                    session.CalibrateClick();
                    break;
                case 6:
                    session.SetConnectedState();
                    session.TimerTick();
                    session.TimerTick();
                    break;
                case 7:
                    session.MacIncrementClick();
                    session.ResetClick();
                    break;
            }
            WriteSeed(root / "link_replies", std::string(b.name) + std::to_string(choice),
                      std::string(1, static_cast<char>(choice)) + port.script);
        }
    }
    std::printf("seeds written to %s\n", root.c_str());
    return 0;
}
