// Building and decoding a full configuration: four input banks with every message in use.
#include <benchmark/benchmark.h>

#include "image/image.h"
#include "model/defaults.h"

namespace {

orv::StartupState FullConfiguration() {
    orv::StartupState s = orv::MakeStartupState();
    s.moduleTypes = {15, 15, 15, 13};
    return s;
}

void BM_BuildImage(benchmark::State& state) {
    orv::StartupState s = FullConfiguration();
    orv::Image image{};
    for (auto _ : state) {
        orv::BuildResult r = orv::BuildImage(s.rec, s.moduleTypes, image);
        benchmark::DoNotOptimize(r.lastAddress);
    }
}
BENCHMARK(BM_BuildImage)->Unit(benchmark::kMicrosecond);

void BM_DecodeImage(benchmark::State& state) {
    orv::StartupState s = FullConfiguration();
    orv::Image built{};
    orv::BuildImage(s.rec, s.moduleTypes, built);
    for (auto _ : state) {
        orv::Image image = built;
        orv::DecodeResult r = orv::DecodeImage(s.rec, s.moduleTypes, image);
        benchmark::DoNotOptimize(r.size.lastAddress);
    }
}
BENCHMARK(BM_DecodeImage)->Unit(benchmark::kMicrosecond);

}  // namespace
