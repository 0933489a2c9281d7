#include "model/defaults.h"

#include <gtest/gtest.h>

#include "model/lists.h"

namespace orv {
namespace {

TEST(Defaults, ChannelStateFields) {
    const StartupState s = MakeStartupState();
    struct Case {
        int i;
        const char* msg;
        const char* ric;
        int func;
        int repeat;
    } cases[] = {
        {0, "BANK 1 CHAN 1 RESET", "1000000", 0, 0},
        {3, "BANK 1 CHAN 1 STEADY", "1000000", 3, 3},
        {4, "BANK 1 CHAN 2 RESET", "1000001", 0, 0},
        {61, "BANK 1 CHAN 16 SLOW", "1000015", 1, 1},
        {64, "BANK 2 CHAN 1 RESET", "1000016", 0, 0},
        {255, "BANK 4 CHAN 16 STEADY", "1000063", 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.i);
        EXPECT_EQ(s.rec.txtMsg[c.i], c.msg);
        EXPECT_EQ(s.rec.txtRIC[c.i], c.ric);
        EXPECT_EQ(s.rec.lstFunc[c.i], c.func);
        EXPECT_EQ(s.rec.lstRepeat[c.i], c.repeat);
        EXPECT_EQ(s.rec.lstType[c.i], 0);
        EXPECT_EQ(s.rec.lstBaud[c.i], 0);  // "512" replaces the start-up "1200"
    }
}

TEST(Defaults, RelayFields) {
    const StartupState s = MakeStartupState();
    EXPECT_EQ(s.rec.txtRlyRIC[0], "2000001");
    EXPECT_EQ(s.rec.txtRlyRIC[4], "2000001");
    EXPECT_EQ(s.rec.txtRlyRIC[3], "0");
    EXPECT_EQ(s.rec.txtRlyRIC[7], "0");
    EXPECT_EQ(s.rec.txtRlyRIC[254], "2000032");
    EXPECT_EQ(s.rec.txtRlyRIC[255], "0");
    EXPECT_EQ(ItemText(kRelayBeepItems, s.rec.lstRlyBeep[95]), "C");
    EXPECT_EQ(ItemText(kRelayBeepItems, s.rec.lstRlyBeep[93]), "A");
}

TEST(Defaults, LeavesStartupOnlyFieldsAlone) {
    StartupState s = MakeStartupState();
    EXPECT_EQ(s.rec.txtMAC[0], "50");
    EXPECT_EQ(s.rec.txtRS485Address, "0");
    EXPECT_TRUE(s.rec.optMaster);
    EXPECT_EQ(s.rec.lstPortBaudrate[0], kBaud9600);
    EXPECT_EQ(s.rec.lstPortBaudrate[1], kBaud115200);
    s.rec.txtIP[1] = "42";
    s.rec.optMaster = false;
    s.moduleTypes = {13, 14, 15, 7};
    s.rec.txtFileName = "x.ORV";
    ConfigRecord once = s.rec;
    SetDefaults(s.rec, s.moduleTypes);
    once = s.rec;
    SetDefaults(s.rec, s.moduleTypes);
    EXPECT_EQ(once, s.rec);  // New twice equals New once
    EXPECT_EQ(s.rec.txtIP[1], "42");
    EXPECT_FALSE(s.rec.optMaster);
    EXPECT_EQ(s.moduleTypes, (ModuleTypes{0, 0, 0, 0}));
    EXPECT_EQ(s.rec.txtFileName, "");
}

TEST(Lists, CodesAndPositions) {
    EXPECT_EQ(kFrameFormatItems[18].text, "N,8,1");
    EXPECT_EQ(kFrameFormatItems[18].code, 6);
    EXPECT_EQ(kFrameFormatItems[23].code, 62);
    EXPECT_EQ(*PositionOfCode(kFrameFormatItems, 46), 21);
    EXPECT_FALSE(PositionOfCode(kFrameFormatItems, 1).has_value());
    EXPECT_EQ(kTypeItems[1].code, 78);
    EXPECT_EQ(kPagingBaudItems[0].code, 78);
    EXPECT_EQ(ComPortItemText(0), "COM1");
    EXPECT_EQ(ComPortItemText(15), "COM16");
    EXPECT_EQ(ModuleTypeName(7), "Type  7: Unknown");
    EXPECT_EQ(ModuleTypeName(16), "");
    // Every format code follows the bit layout: parity 5-4, stop 3, data-5 in 2-1.
    for (const auto& f : kFrameFormatItems) {
        const std::string t(f.text);
        const int parity = t[0] == 'N' ? 0 : t[0] == 'E' ? 2 : 3;
        const int code = parity << 4 | (t[4] == '2' ? 8 : 0) | (t[2] - '5') << 1;
        EXPECT_EQ(code, f.code) << t;
    }
}

}  // namespace
}  // namespace orv
