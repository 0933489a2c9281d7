// Saving and opening a full configuration: in memory (build, file text, parse, decode) and
// through the disk (atomic write with flush to disk, then read back).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "files/config_file.h"
#include "image/image.h"
#include "model/defaults.h"
#include "model/identity.h"

namespace {

orv::StartupState FullConfiguration() {
    orv::StartupState s = orv::MakeStartupState();
    s.moduleTypes = {15, 15, 15, 13};
    return s;
}

void BM_SaveOpenInMemory(benchmark::State& state) {
    orv::StartupState s = FullConfiguration();
    orv::Image image{};
    const std::string title = orv::MainWindowCaption();
    for (auto _ : state) {
        orv::BuildImage(s.rec, s.moduleTypes, image);
        const std::string text = orv::ConfigFileText({}, title, s.rec, s.moduleTypes, image);
        orv::StartupState opened = orv::MakeStartupState();
        orv::Image openedImage{};
        const orv::ReadConfigResult r =
            orv::ReadConfigText(text, "bench.ORV", opened.rec, opened.moduleTypes, openedImage);
        benchmark::DoNotOptimize(r.decode.size.lastAddress);
    }
}
BENCHMARK(BM_SaveOpenInMemory)->Unit(benchmark::kMicrosecond);

void BM_SaveOpenDisk(benchmark::State& state) {
    std::string dir = (std::filesystem::temp_directory_path() / "orv-files-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data())) {
        state.SkipWithError("cannot create a temporary folder");
        return;
    }
    const std::string path = dir + "/bench.ORV";
    orv::StartupState s = FullConfiguration();
    orv::Image image{};
    for (auto _ : state) {
        const orv::WriteConfigResult w = orv::WriteConfigFile(path, s.rec, s.moduleTypes, image);
        orv::StartupState opened = orv::MakeStartupState();
        orv::Image openedImage{};
        const orv::ReadConfigResult r =
            orv::ReadConfigFile(path, opened.rec, opened.moduleTypes, openedImage);
        if (!w.ok || !r.ok) {
            state.SkipWithError("save or open failed");
            break;
        }
        benchmark::DoNotOptimize(r.decode.size.lastAddress);
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaveOpenDisk)->Unit(benchmark::kMicrosecond);

}  // namespace
