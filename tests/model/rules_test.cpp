#include "model/rules.h"

#include <gtest/gtest.h>

#include "model/record.h"

namespace orv {
namespace {

TEST(ModuleRules, TabSetAndCaptions) {
    struct Case {
        int code;
        BankTabSet tabs;
        const char* pageCaption;
    } cases[] = {
        {0, BankTabSet::kNone, "NOT FITTED"},
        {7, BankTabSet::kChannels, "Type  7: Unknown"},
        {13, BankTabSet::kChannels, "Type 13: 16-Channel Dry Contact Input Module"},
        {14, BankTabSet::kRelays, "Type 14: 8-Channel Relay Output Module"},
        {15, BankTabSet::kChannels, "Type 15: 16-Channel Opto-Isolated DC Voltage Input Module"},
        {16, BankTabSet::kNone, "NOT FITTED"},
        {200, BankTabSet::kNone, "NOT FITTED"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(TabSetFor(c.code), c.tabs);
        EXPECT_EQ(BankFrameCaption(c.code), c.pageCaption);
    }
}

TEST(ModuleRules, ChangesNameEachBankThatDiffers) {
    // Unknown types lose the list's padding; a code beyond the list is named by its number.
    EXPECT_EQ(
        ModuleTypeChanges({0, 7, 15, 14}, {0, 13, 16, 14}),
        (std::vector<std::string>{
            "Bank 2: Type 7 (Unknown) -> Type 13 (16-Channel Dry Contact Input Module)",
            "Bank 3: Type 15 (16-Channel Opto-Isolated DC Voltage Input Module) -> Type 16"}));
    EXPECT_EQ(ModuleTypeChanges({14, 0, 0, 0}, {0, 0, 0, 0}, false),
              (std::vector<std::string>{"Bank 1: Type 14 -> NOT FITTED"}));
    EXPECT_TRUE(ModuleTypeChanges({13, 14, 15, 0}, {13, 14, 15, 0}).empty());
}

TEST(ModuleRules, ChannelFrames) {
    // Dry contact: two states with their own captions, SLOW/FAST hidden.
    EXPECT_EQ(ChannelFrameRuleFor(13, 0).caption, kContactResetCaption);
    EXPECT_EQ(ChannelFrameRuleFor(13, 1).visible, false);
    EXPECT_EQ(ChannelFrameRuleFor(13, 2).visible, false);
    EXPECT_EQ(ChannelFrameRuleFor(13, 3).caption, kContactSteadyCaption);
    // Voltage set: SLOW/FAST shown again, captions left as they were.
    for (int code : {1, 12, 15}) {
        EXPECT_EQ(ChannelFrameRuleFor(code, 0).caption, kVoltageCaptions[0]);
        EXPECT_EQ(ChannelFrameRuleFor(code, 1).visible, true);
        EXPECT_FALSE(ChannelFrameRuleFor(code, 1).caption.has_value());
        EXPECT_EQ(ChannelFrameRuleFor(code, 3).caption, kVoltageCaptions[3]);
    }
    // Not fitted and relay banks leave the frames as they are.
    for (int code : {0, 14}) {
        EXPECT_FALSE(ChannelFrameRuleFor(code, 1).visible.has_value());
        EXPECT_FALSE(ChannelFrameRuleFor(code, 0).caption.has_value());
    }
}

TEST(ModuleRules, MessagesUsed) {
    EXPECT_FALSE(StateUsesMessage(0, 0));
    EXPECT_FALSE(StateUsesMessage(14, 3));
    EXPECT_TRUE(StateUsesMessage(13, 0));
    EXPECT_FALSE(StateUsesMessage(13, 1));
    EXPECT_TRUE(StateUsesMessage(15, 2));
    EXPECT_TRUE(StateUsesMessage(3, 1));
}

TEST(Rs485, Label) {
    EXPECT_EQ(RS485Label(true), "Limit");
    EXPECT_EQ(RS485Label(false), "Address");
}

TEST(Indices, ChannelAndRelay) {
    EXPECT_EQ(ChannelStateIndex(1, 0, 0), 64);
    EXPECT_EQ(ChannelStateIndex(3, 15, 3), 255);
    EXPECT_EQ(BankOf(255), 3);
    EXPECT_EQ(ChannelOf(61), 15);
    EXPECT_EQ(StateOf(61), 1);
    EXPECT_EQ(RelayIndex(1, 0), 8);
    EXPECT_EQ(RelayRicIndex(8, 0), 64);
    EXPECT_EQ(RelayBeepIndex(8, 2), 26);
    EXPECT_EQ(RelayBeepIndex(31, 2), 95);
}

}  // namespace
}  // namespace orv
