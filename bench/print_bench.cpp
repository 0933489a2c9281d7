// The commissioning sheet of a full configuration as a PDF file: four input banks, every message
// 69 characters, laid out, drawn and written to the disk.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <string>

#include "model/addresses.h"
#include "model/defaults.h"
#include "print/sheet.h"
#include "print/sheet_painter.h"

namespace {

orv::StartupState FullConfiguration() {
    orv::StartupState s = orv::MakeStartupState();
    s.moduleTypes = {15, 15, 15, 15};
    for (int i = 0; i < orv::kChannelStates; ++i) {
        std::string m = "ZONE " + std::to_string(i) + " FIRE ALARM EAST WING PLANT ROOM LEVEL ";
        while (m.size() < 69) m += 'X';
        s.rec.txtMsg[static_cast<std::size_t>(i)] = m;
        s.rec.txtRIC[static_cast<std::size_t>(i)] = orv::SevenDigitRic(1200000 + 7 * i);
    }
    return s;
}

void BM_SheetPdf(benchmark::State& state) {
    static int argc = 3;
    static char name[] = "orv_bench_print", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    static QGuiApplication app(argc, argv);
    const orv::StartupState s = FullConfiguration();
    const std::string path =
        (std::filesystem::temp_directory_path() / "orv-bench-sheet.pdf").string();
    int pages = 0;
    for (auto _ : state) {
        const orv::print::SheetContent sheet =
            orv::print::MakeCommissioningSheet(s.rec, s.moduleTypes, "SITE.ORV", "now");
        const orv::print::PdfResult r = orv::print::WriteSheetPdf(sheet, path, QPageSize::A4);
        if (!r.ok) state.SkipWithError(r.error.c_str());
        pages = r.pages;
    }
    state.counters["pages"] = pages;
    std::remove(path.c_str());
}
BENCHMARK(BM_SheetPdf)->Unit(benchmark::kMillisecond);

}  // namespace
