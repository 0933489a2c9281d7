#include "model/field_ref.h"

#include <gtest/gtest.h>

#include <functional>

#include "model/defaults.h"

namespace orv {
namespace {

TEST(FieldRef, ReadsAndWritesEveryKindThroughTheTable) {
    ConfigRecord rec;
    ModuleTypes types{};
    SetDefaults(rec, types);
    struct Case {
        FieldRef ref;
        FieldValue value;
        std::function<FieldValue(const ConfigRecord&)> direct;
    };
    const Case cases[] = {
        {RefOf<&ConfigRecord::txtRIC>(255), std::string("0001234"),
         [](const ConfigRecord& r) { return FieldValue(r.txtRIC[255]); }},
        {RefOf<&ConfigRecord::lstBaud>(64), 2,
         [](const ConfigRecord& r) { return FieldValue(r.lstBaud[64]); }},
        {RefOf<&ConfigRecord::txtRlyRIC>(7), std::string("30"),
         [](const ConfigRecord& r) { return FieldValue(r.txtRlyRIC[7]); }},
        {RefOf<&ConfigRecord::lstRlyBeep>(95), 4,
         [](const ConfigRecord& r) { return FieldValue(r.lstRlyBeep[95]); }},
        {RefOf<&ConfigRecord::chkOptions>(7), true,
         [](const ConfigRecord& r) { return FieldValue(r.chkOptions[7]); }},
        {RefOf<&ConfigRecord::optMaster>(), false,
         [](const ConfigRecord& r) { return FieldValue(r.optMaster); }},
        {RefOf<&ConfigRecord::txtRS485Address>(), std::string("12"),
         [](const ConfigRecord& r) { return FieldValue(r.txtRS485Address); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FieldLabel(c.ref));
        ASSERT_TRUE(IsValidRef(c.ref));
        EXPECT_NE(GetFieldValue(rec, c.ref), c.value);
        SetFieldValue(rec, c.ref, c.value);
        EXPECT_EQ(c.direct(rec), c.value);
        EXPECT_EQ(GetFieldValue(rec, c.ref), c.value);
    }
}

TEST(FieldRef, AValueOfTheWrongKindOrAnElementOutsideTheFieldChangesNothing) {
    ConfigRecord rec;
    ModuleTypes types{};
    SetDefaults(rec, types);
    const ConfigRecord before = rec;
    SetFieldValue(rec, RefOf<&ConfigRecord::txtRIC>(0), 5);                  // a number for a text
    SetFieldValue(rec, RefOf<&ConfigRecord::lstFunc>(0), std::string("B"));  // a text for a list
    SetFieldValue(rec, {RefOf<&ConfigRecord::txtIP>().field, 4}, std::string("9"));  // txtIP(4)
    SetFieldValue(rec, {static_cast<std::uint16_t>(kRecordFieldCount), 0}, std::string("x"));
    EXPECT_EQ(rec, before);
    EXPECT_FALSE(IsValidRef({RefOf<&ConfigRecord::txtMAC>().field, 6}));
    EXPECT_FALSE(IsValidRef({static_cast<std::uint16_t>(kRecordFieldCount), 0}));
}

TEST(FieldRef, ChangedFieldsNamesEachDifferingElementInTableOrder) {
    ConfigRecord a;
    ModuleTypes types{};
    SetDefaults(a, types);
    ConfigRecord b = a;
    EXPECT_TRUE(ChangedFields(a, b).empty());
    b.txtMsg[200] = "X";
    b.txtRIC[3] = "0000009";
    b.optMaster = !a.optMaster;
    const std::vector<FieldRef> expected{RefOf<&ConfigRecord::txtRIC>(3),
                                         RefOf<&ConfigRecord::txtMsg>(200),
                                         RefOf<&ConfigRecord::optMaster>()};
    EXPECT_EQ(ChangedFields(a, b), expected);
}

TEST(FieldRef, LabelsNameTheElementAsThePagesShowIt) {
    const std::pair<FieldRef, const char*> cases[] = {
        {RefOf<&ConfigRecord::txtRIC>(0), "Bank 1 channel 1 RESET RIC"},
        {RefOf<&ConfigRecord::txtMsg>(255), "Bank 4 channel 16 STEADY message"},
        {RefOf<&ConfigRecord::lstType>(69), "Bank 2 channel 2 SLOW pager type"},
        {RefOf<&ConfigRecord::txtRlyRIC>(64), "Bank 2 relay 1 Close first RIC"},
        {RefOf<&ConfigRecord::txtRlyRIC>(70), "Bank 2 relay 1 Toggle last RIC"},
        {RefOf<&ConfigRecord::txtRlyRIC>(3), "Bank 1 relay 1 TMax"},
        {RefOf<&ConfigRecord::txtRlyRIC>(255), "Bank 4 relay 8 Repeat Filter"},
        {RefOf<&ConfigRecord::lstRlyBeep>(95), "Bank 4 relay 8 Toggle beep"},
        {RefOf<&ConfigRecord::txtRepTime>(1), "Repeat time B"},
        {RefOf<&ConfigRecord::txtPulseTime>(7), "Slow OFF Max"},
        {RefOf<&ConfigRecord::chkOptions>(0), "Suppress Reset Strings"},
    };
    for (const auto& [ref, label] : cases) EXPECT_EQ(FieldLabel(ref), label);
}

}  // namespace
}  // namespace orv
