// Bank arrangement: what each module type shows on its bank page, and changes between types.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>

#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

QString N(const char* base, int index) {
    return QString("%1_%2").arg(base).arg(index);
}

struct Arrangement {
    int type;
    const char* caption;
    bool channels;
    bool relays;
    const char* reset;   // caption of state 0 (nullptr: not checked)
    const char* steady;  // caption of state 3
    bool slowFastShown;
};

class BankArrangementTest : public ::testing::TestWithParam<Arrangement> {};

TEST_P(BankArrangementTest, ChoosingTheTypeArrangesThePage) {
    const Arrangement& a = GetParam();
    Harness h;
    const int b = 1;  // "Bank 2"
    // Start from a different arrangement so every part has to change.
    h.combo(N("lstMod", b))->setCurrentIndex(a.type == 13 ? 15 : 13);
    h.combo(N("lstMod", b))->setCurrentIndex(a.type);  // the user's choice

    EXPECT_EQ(h.window->moduleTypes()[b], a.type);
    EXPECT_EQ(h.find<QGroupBox>(N("frmBankType", b))->title(), a.caption);
    EXPECT_EQ(!h.find<QTabWidget>(N("Bank", b))->isHidden(), a.channels);
    EXPECT_EQ(!h.find<QTabWidget>(N("BankType14", b))->isHidden(), a.relays);
    if (a.reset) {
        for (int c = 0; c < 16; ++c) {
            const int base = 64 * b + 4 * c;
            auto frame = [&](int s) { return h.find<QGroupBox>(N("frmChn", base + s)); };
            EXPECT_EQ(frame(0)->title(), a.reset) << c;
            EXPECT_EQ(frame(3)->title(), a.steady) << c;
            EXPECT_EQ(!frame(1)->isHidden(), a.slowFastShown) << c;
            EXPECT_EQ(!frame(2)->isHidden(), a.slowFastShown) << c;
            EXPECT_EQ(frame(1)->title(), "Slow - Trigger when slow pulse applied");
            EXPECT_EQ(frame(2)->title(), "Fast - Trigger when fast pulse applied");
        }
    }
    // The other banks are untouched.
    EXPECT_EQ(h.find<QGroupBox>(N("frmBankType", 0))->title(), "NOT FITTED");
    EXPECT_TRUE(h.find<QTabWidget>(N("Bank", 0))->isHidden());
}

INSTANTIATE_TEST_SUITE_P(
    Types, BankArrangementTest,
    ::testing::Values(Arrangement{0, "NOT FITTED", false, false, nullptr, nullptr, false},
                      Arrangement{7, "Type  7: Unknown", true, false,
                                  "Reset - Trigger when voltage absent",
                                  "Steady - Trigger when steady voltage applied", true},
                      Arrangement{13, "Type 13: 16-Channel Dry Contact Input Module", true, false,
                                  "Normally Closed - Trigger on open",
                                  "Normally Open - Trigger on close", false},
                      Arrangement{14, "Type 14: 8-Channel Relay Output Module", false, true,
                                  nullptr, nullptr, false},
                      Arrangement{15, "Type 15: 16-Channel Opto-Isolated DC Voltage Input Module",
                                  true, false, "Reset - Trigger when voltage absent",
                                  "Steady - Trigger when steady voltage applied", true}));

TEST(BankChangeTest, ThirteenToFifteenKeepsTheFieldValues) {
    Harness h;
    h.combo("lstMod_1")->setCurrentIndex(13);
    // Values typed while the SLOW and FAST frames are hidden stay in the record.
    h.edit("txtMsg_69")->setText("PUMP 2 SLOW");
    h.edit("txtRIC_70")->setText("1234567");
    h.combo("lstBaud_69")->setCurrentIndex(2);
    h.combo("lstMod_1")->setCurrentIndex(15);

    EXPECT_FALSE(h.find<QGroupBox>("frmChn_69")->isHidden());
    EXPECT_FALSE(h.find<QGroupBox>("frmChn_70")->isHidden());
    EXPECT_EQ(h.find<QGroupBox>("frmChn_69")->title(), "Slow - Trigger when slow pulse applied");
    EXPECT_EQ(h.edit("txtMsg_69")->text(), "PUMP 2 SLOW");
    EXPECT_EQ(h.edit("txtRIC_70")->text(), "1234567");
    EXPECT_EQ(h.combo("lstBaud_69")->currentText(), "2400");
    const ConfigRecord& rec = h.window->record();
    EXPECT_EQ(rec.txtMsg[69], "PUMP 2 SLOW");
    EXPECT_EQ(rec.txtRIC[70], "1234567");
    EXPECT_EQ(rec.lstBaud[69], 2);
}

TEST(BankChangeTest, OutsideModuleTypesShowAsNotFittedAndTheRS485LabelFollowsTheRole) {
    Harness h;
    h.window->moduleTypes() = {16, 14, 200, 13};
    h.window->ApplyModuleTypes();
    EXPECT_EQ(h.combo("lstMod_0")->currentText(), "NOT FITTED");
    EXPECT_TRUE(h.find<QTabWidget>("Bank_0")->isHidden());
    EXPECT_FALSE(h.find<QTabWidget>("BankType14_1")->isHidden());
    EXPECT_EQ(h.combo("lstMod_3")->currentIndex(), 13);
    // Arranging twice changes nothing.
    h.window->ApplyModuleTypes();
    EXPECT_EQ(h.find<QGroupBox>("frmBankType_3")->title(),
              "Type 13: 16-Channel Dry Contact Input Module");

    auto* label = h.find<QLabel>("lblRS485Address");
    h.find<QRadioButton>("optSlave")->setChecked(true);
    EXPECT_EQ(label->text(), "Address");
    EXPECT_FALSE(h.window->record().optMaster);
    h.find<QRadioButton>("optMaster")->setChecked(true);
    EXPECT_EQ(label->text(), "Limit");
    // A change made by the program follows too.
    h.window->record().optMaster = false;
    h.window->RefreshFields();
    EXPECT_EQ(label->text(), "Address");
    EXPECT_TRUE(h.find<QRadioButton>("optSlave")->isChecked());
}

}  // namespace
}  // namespace orv::ui::test
