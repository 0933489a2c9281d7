// Configurations to print and a Gui application to draw them with.
#pragma once

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <string>

#include "model/addresses.h"
#include "model/defaults.h"
#include "pdf_text.h"

namespace orv::test {

// Fonts need a Gui application; the offscreen platform needs no display. It is made on first use
// and ended when the tests have run, before the program's exit handlers: ended among them, after
// Qt's own per-thread data, it frees what is gone already (the static Windows build crashes).
inline void EnsureGui() {
    if (QCoreApplication::instance()) return;
    static int argc = 3;
    static char name[] = "print_tests", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    class GuiEnvironment : public ::testing::Environment {
      public:
        void TearDown() override { delete QCoreApplication::instance(); }
    };
    new QGuiApplication(argc, argv);
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);  // gtest owns it
}

// The most a sheet holds: four banks of 16 channels with four states each, every message 69
// characters and told apart by its bank, channel and state, every RIC its own.
inline StartupState FullSheetState() {
    StartupState s = MakeStartupState();
    s.moduleTypes = {15, 15, 15, 15};
    for (int i = 0; i < kChannelStates; ++i) {
        std::string m = "B" + std::to_string(BankOf(i) + 1) + "C" +
                        std::to_string(ChannelOf(i) + 1) + "S" + std::to_string(StateOf(i)) +
                        " FIRE ALARM EAST WING PLANT ROOM ";
        for (char c = 'A'; m.size() < static_cast<std::size_t>(kMaxMessageLength); ++c) m += c;
        s.rec.txtMsg[static_cast<std::size_t>(i)] = m;
        s.rec.txtRIC[static_cast<std::size_t>(i)] = SevenDigitRic(1200000 + 7 * i);
    }
    s.rec.txtVer = {"ORV-PRO V2.13", "BUILD 0417"};
    return s;
}

}  // namespace orv::test
