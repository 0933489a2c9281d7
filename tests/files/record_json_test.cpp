#include "files/record_json.h"

#include <gtest/gtest.h>

#include "base/latin1.h"
#include "image/image.h"
#include "model/defaults.h"

namespace orv {
namespace {

TEST(RecordJson, MembersInRecordOrderFormatFirst) {
    const StartupState s = MakeStartupState();
    const auto j = RecordToJson(s.rec, s.moduleTypes);
    std::vector<std::string> keys;
    for (const auto& [k, v] : j.items()) keys.push_back(k);
    const std::vector<std::string> expected{
        "format",     "ModuleType",      "txtVer",       "txtRIC",          "lstFunc",
        "lstType",    "lstBaud",         "lstRepeat",    "txtMsg",          "txtRlyRIC",
        "lstRlyBeep", "txtRepTime",      "txtPulseTime", "txtIP",           "txtMAC",
        "chkOptions", "txtRS485Address", "optMaster",    "lstPortBaudrate", "lstPortFormat",
        "txtDict",    "txtFastOne",      "txtFastZero",  "txtSlowOne",      "txtSlowZero"};
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(j["format"], "orv-config/1");
    EXPECT_EQ(j["txtRIC"].size(), 256u);
    EXPECT_EQ(j["lstRlyBeep"].size(), 96u);
    EXPECT_EQ(j["txtMsg"][255], "BANK 4 CHAN 16 STEADY");
    EXPECT_EQ(j["txtMAC"][0], "50");
    EXPECT_EQ(j["chkOptions"][0], false);
    EXPECT_EQ(j["optMaster"], true);
    EXPECT_EQ(j["lstRlyBeep"][95], 2);
}

TEST(RecordJson, RoundTripKeepsEveryField) {
    StartupState s = MakeStartupState();
    s.rec.txtMsg[7] = "TAB\there";
    s.rec.txtVer = {
        "Caf\xE9 \xB0"
        "C",
        "Build 7"};  // Latin-1 bytes
    s.rec.chkOptions[7] = true;
    s.rec.optMaster = false;
    s.rec.lstPortFormat[1] = -1;
    s.rec.txtDict[3] = "FIRE";
    s.moduleTypes = {13, 14, 15, 0};
    const std::string text = RecordToJson(s.rec, s.moduleTypes).dump();
    EXPECT_NE(text.find("Caf\xC3\xA9 \xC2\xB0"
                        "C"),
              std::string::npos);  // UTF-8 in the JSON

    StartupState back = MakeStartupState();
    const JsonImportResult r = RecordFromJsonText(text, back.rec, back.moduleTypes);
    ASSERT_TRUE(r.ok) << r.errors.front();
    EXPECT_EQ(back.rec, s.rec);
    EXPECT_EQ(back.moduleTypes, s.moduleTypes);
}

TEST(RecordJson, EveryFieldTravelsUnderItsOwnNameAndEditorFieldsStayOut) {
    StartupState s = MakeStartupState();
    ConfigRecord& r = s.rec;
    // Each field away from its start-up value, with a pattern of its own, so that a field left
    // out or exported under another field's name shows.
    auto text = [](char prefix, std::size_t i) { return prefix + std::to_string(i); };
    for (std::size_t i = 0; i < kChannelStates; ++i) {
        r.txtRIC[i] = text('R', i);
        r.txtMsg[i] = text('M', i);
        r.lstFunc[i] = static_cast<int>((i + 1) % 4);
        r.lstType[i] = static_cast<int>((i + 1) % 2);
        r.lstBaud[i] = static_cast<int>((i + 2) % 3);
        r.lstRepeat[i] = static_cast<int>((i + 3) % 4);
        r.txtRlyRIC[i] = text('Y', i);
    }
    for (std::size_t m = 0; m < kRelayBeepFields; ++m) r.lstRlyBeep[m] = static_cast<int>(m % 5);
    for (std::size_t k = 0; k < 8; ++k) {
        if (k < 2) r.txtVer[k] = text('V', k);
        if (k < 4) r.txtRepTime[k] = text('T', k);
        if (k < 4) r.txtIP[k] = text('I', k);
        if (k < 6) r.txtMAC[k] = text('A', k);
        r.txtPulseTime[k] = text('P', k);
        r.chkOptions[k] = true;
    }
    for (std::size_t d = 0; d < kDictEntries; ++d) r.txtDict[d] = text('D', d);
    r.txtRS485Address = "S";
    r.optMaster = false;
    r.lstPortBaudrate = {1, 2};
    r.lstPortFormat = {3, 4};
    r.txtFastOne = "F1";
    r.txtFastZero = "F0";
    r.txtSlowOne = "S1";
    r.txtSlowZero = "S0";
    r.txtFileName = "X.ORV";
    r.lstComPort = 3;
    r.lstBaudPC = 2;
    r.lstPCFormat = 7;

    const auto j = RecordToJson(r, s.moduleTypes);
    const std::pair<const char*, nlohmann::json> byName[] = {
        {"txtVer", r.txtVer},
        {"txtRIC", r.txtRIC},
        {"lstFunc", r.lstFunc},
        {"lstType", r.lstType},
        {"lstBaud", r.lstBaud},
        {"lstRepeat", r.lstRepeat},
        {"txtMsg", r.txtMsg},
        {"txtRlyRIC", r.txtRlyRIC},
        {"lstRlyBeep", r.lstRlyBeep},
        {"txtRepTime", r.txtRepTime},
        {"txtPulseTime", r.txtPulseTime},
        {"txtIP", r.txtIP},
        {"txtMAC", r.txtMAC},
        {"chkOptions", r.chkOptions},
        {"txtRS485Address", r.txtRS485Address},
        {"optMaster", r.optMaster},
        {"lstPortBaudrate", r.lstPortBaudrate},
        {"lstPortFormat", r.lstPortFormat},
        {"txtDict", r.txtDict},
        {"txtFastOne", r.txtFastOne},
        {"txtFastZero", r.txtFastZero},
        {"txtSlowOne", r.txtSlowOne},
        {"txtSlowZero", r.txtSlowZero},
    };
    for (const auto& [name, value] : byName) EXPECT_EQ(nlohmann::json(j.at(name)), value) << name;
    EXPECT_EQ(j.size(), std::size(byName) + 2);  // and "format", "ModuleType"

    StartupState back = MakeStartupState();
    const JsonImportResult imported = RecordFromJsonText(j.dump(), back.rec, back.moduleTypes);
    ASSERT_TRUE(imported.ok) << imported.errors.front();
    ConfigRecord expected = r;
    expected.txtFileName = back.rec.txtFileName;
    expected.lstComPort = back.rec.lstComPort;
    expected.lstBaudPC = back.rec.lstBaudPC;
    expected.lstPCFormat = back.rec.lstPCFormat;
    EXPECT_EQ(back.rec, expected);
    EXPECT_NE(back.rec.txtFileName, r.txtFileName);
    EXPECT_NE(back.rec.lstComPort, r.lstComPort);
}

TEST(RecordJson, MembersLeftOutKeepTheirValues) {
    StartupState s = MakeStartupState();
    const JsonImportResult r = RecordFromJsonText(
        R"({"format":"orv-config/1","txtIP":["192","168","1","20"],"ModuleType":[15,0,0,14]})",
        s.rec, s.moduleTypes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(s.rec.txtIP[3], "20");
    EXPECT_EQ(s.rec.txtMsg[0], "BANK 1 CHAN 1 RESET");
    EXPECT_EQ(s.moduleTypes, (ModuleTypes{15, 0, 0, 14}));
    EXPECT_TRUE(r.warnings.empty());
}

TEST(RecordJson, ImportErrorsNameTheKeyAndChangeNothing) {
    struct Case {
        const char* json;
        const char* errorStart;
    } cases[] = {
        {R"([1,2])", "expected one JSON object, found array"},
        {R"({"txtRIC" 5})", "not valid JSON: "},
        {R"({"format":"orv-config/2"})", "format: expected \"orv-config/1\""},
        {R"({"txtBogus":1})", "unknown key \"txtBogus\""},
        {R"({"lstComPort":1})", "unknown key \"lstComPort\""},
        {R"({"txtIP":["1","2","3"]})", "txtIP: expected an array of 4 strings, found 3 elements"},
        {R"({"txtIP":"1.2.3.4"})", "txtIP: expected an array of 4 strings, found string"},
        {R"({"txtIP":["1","2",3,"4"]})", "txtIP[2]: expected a string, found number"},
        {R"({"txtVer":["\u20ac",""]})", "txtVer[0]: holds a character outside Latin-1"},
        {R"({"lstPortBaudrate":[10,0]})",
         "lstPortBaudrate[0]: 10 is outside the list (-1 for none, 0..9)"},
        {R"({"lstPortFormat":[0,24]})",
         "lstPortFormat[1]: 24 is outside the list (-1 for none, 0..23)"},
        {R"({"lstType":[)"
         "0"
         R"(]})",
         "lstType: expected an array of 256 list positions, found 1 elements"},
        {R"({"optMaster":1})", "optMaster: expected true or false, found 1"},
        {R"({"chkOptions":[true,false,false,false,false,false,false,"yes"]})",
         "chkOptions[7]: expected true or false, found \"yes\""},
        {R"({"ModuleType":[0,0,0,1.5]})", "ModuleType[3]: expected an integer, found 1.5"},
        {R"({"ModuleType":[0,0,70000,0]})", "ModuleType[2]: 70000 is outside 0..15"},
        {R"({"ModuleType":[0,0,0,99]})", "ModuleType[3]: 99 is outside 0..15"},
        {R"({"txtFastOne":null})", "txtFastOne: expected a string, found null"},
        {R"({"carried":["00"]})", "carried: expected an object of address ranges, found array"},
        {R"({"carried":{"22":"00"}})", "carried[\"22\"]: expected a range of addresses"},
        {R"({"carried":{"21-22":"0000"}})", "carried[\"21-22\"]: addresses 0-21 and 3840-3845"},
        {R"({"carried":{"3846-4096":"00"}})", "carried[\"3846-4096\"]: expected a range"},
        {R"({"carried":{"22-23":"A5"}})",
         "carried[\"22-23\"]: expected 4 hexadecimal digits, found \"A5\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        StartupState s = MakeStartupState();
        const StartupState before = s;
        Image image{};
        const JsonImportResult r = RecordFromJsonText(c.json, s.rec, s.moduleTypes, &image);
        EXPECT_EQ(image, Image{});
        EXPECT_FALSE(r.ok);
        ASSERT_FALSE(r.errors.empty());
        EXPECT_EQ(r.errors[0].substr(0, std::string(c.errorStart).size()), c.errorStart)
            << r.errors[0];
        EXPECT_EQ(s.rec, before.rec);
        EXPECT_EQ(s.moduleTypes, before.moduleTypes);
    }
}

TEST(RecordJson, MessagesBecomeWhatTheUnitStoresWithAWarning) {
    StartupState s = MakeStartupState();
    nlohmann::json j;
    j["ModuleType"] = {15, 0, 0, 0};
    j["txtMsg"] = s.rec.txtMsg;
    j["txtMsg"][3] = "Caf\xC3\xA9 \xE2\x80\x93 Ward 2";
    j["txtMsg"][4] = "TAB\tX\x7F";
    j["txtMsg"][5] = std::string(69, 'L');  // as long as typing allows: kept
    j["txtMsg"][7] = " PUMP  ROOM";
    j["txtMsg"][8] = "\xC3\xA9" + std::string(69, 'K');  // converted, then cut
    j["txtVer"] = {"Caf\xC3\xA9", ""};                   // not a message: Latin-1 as it is
    const JsonImportResult r = RecordFromJson(j, s.rec, s.moduleTypes);
    ASSERT_TRUE(r.ok) << r.errors.front();
    EXPECT_EQ(s.rec.txtMsg[3], "Cafe - Ward 2");
    EXPECT_EQ(s.rec.txtMsg[4], "TAB\tX\x7F");
    EXPECT_EQ(s.rec.txtMsg[5], std::string(69, 'L'));
    EXPECT_EQ(s.rec.txtMsg[7], "PUMP ROOM");
    EXPECT_EQ(s.rec.txtMsg[8], "e" + std::string(68, 'K'));
    EXPECT_EQ(s.rec.txtVer[0], "Caf\xE9");
    EXPECT_EQ(r.warnings,
              (std::vector<std::string>{
                  "txtMsg[3]: The unit cannot store some characters of this message: \xC3\xA9 "
                  "became e and \xE2\x80\x93 became -.",
                  "txtMsg[7]: The unit keeps one blank between words and none at either end: runs "
                  "of blanks became one and blanks at the ends were dropped.",
                  "txtMsg[8]: longer than 69 characters: cut to 69; \"K\" was left out. The unit "
                  "cannot store a character of this message: \xC3\xA9 became e."}));
}

// Whether or not the unit could hold it packed, an imported message is no longer than anyone can
// type into the field; the record exported afterwards holds the cut message.
TEST(RecordJson, MessagesLongerThanTypingAllowsAreCutAndNamed) {
    struct Case {
        const char* what;
        std::string message;
        std::string kept;
        std::string leftOut;
    } cases[] = {
        {"packs small (its words repeat)", "X01 ALARM " + std::string(70, 'Q'),
         "X01 ALARM " + std::string(59, 'Q'), std::string(11, 'Q')},
        {"too long even packed", std::string(100, 'M'), std::string(69, 'M'), std::string(31, 'M')},
        {"cut between words", std::string(69, 'W') + " TAIL END", std::string(69, 'W'),
         " TAIL END"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StartupState s = MakeStartupState();
        nlohmann::json j;
        j["ModuleType"] = {15, 0, 0, 0};
        j["txtMsg"] = s.rec.txtMsg;
        j["txtMsg"][1] = c.message;
        j["txtMsg"][2] = c.message;  // the same words twice: the dictionary takes them
        Image image{};
        const JsonImportResult r = RecordFromJson(j, s.rec, s.moduleTypes, &image);
        ASSERT_TRUE(r.ok) << r.errors.front();
        const std::string said =
            ": longer than 69 characters: cut to 69; \"" + c.leftOut + "\" was left out.";
        EXPECT_EQ(r.warnings, (std::vector<std::string>{"txtMsg[1]" + said, "txtMsg[2]" + said}));
        EXPECT_EQ(s.rec.txtMsg[1], c.kept);
        EXPECT_EQ(RecordToJson(s.rec, s.moduleTypes, &image)["txtMsg"][1], c.kept);
    }
}

// A long message the record already holds (from a file) is not imported: a JSON record without
// messages leaves it as it is.
TEST(RecordJson, MessagesNotInTheJsonKeepTheirLength) {
    StartupState s = MakeStartupState();
    s.moduleTypes = {15, 0, 0, 0};
    const std::string stored = "X01 ALARM " + std::string(70, 'Q');
    s.rec.txtMsg[1] = s.rec.txtMsg[2] = stored;
    nlohmann::json j;
    j["txtRIC"] = s.rec.txtRIC;
    const JsonImportResult r = RecordFromJson(j, s.rec, s.moduleTypes);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
    EXPECT_EQ(s.rec.txtMsg[1], stored);
}

TEST(RecordJson, BadLaterElementKeepsEarlierOnesOut) {
    StartupState s = MakeStartupState();
    const JsonImportResult r = RecordFromJsonText(
        R"({"txtIP":["9","9","9","9"],"lstFunc":[)" + std::string("0,") + "9" + "]}", s.rec,
        s.moduleTypes);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(s.rec.txtIP[0], "0");  // nothing taken over
}

TEST(RecordJson, Latin1Conversion) {
    struct Case {
        std::string latin1;
        std::string utf8;
    } cases[] = {
        {"", ""},
        {"ABC 123", "ABC 123"},
        {"\xE9", "\xC3\xA9"},
        {"\x80\xFF", "\xC2\x80\xC3\xBF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Latin1ToUtf8(c.latin1), c.utf8);
        EXPECT_EQ(Utf8ToLatin1(c.utf8), c.latin1);
    }
    EXPECT_EQ(Utf8ToLatin1("\xE2\x82\xAC"), std::nullopt);  // euro sign
    EXPECT_EQ(Utf8ToLatin1("\xC3"), std::nullopt);          // cut short
}

}  // namespace
}  // namespace orv
