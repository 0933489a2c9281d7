// Inputs the fuzz targets found, each kept with the behaviour it must show.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../files/files_test_util.h"
#include "files/config_file.h"
#include "files/record_json.h"
#include "image/image.h"
#include "model/defaults.h"

namespace orv {
namespace {

std::string ReadData(const std::string& name) {
    std::ifstream in(std::string(ORV_REGRESSION_DATA) + "/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool AnyContains(const std::vector<std::string>& lines, const std::string& part) {
    for (const auto& l : lines)
        if (l.find(part) != std::string::npos) return true;
    return false;
}

// A file whose image holds a message that unpacks to 583 bytes (dictionary codes of empty
// entries, control characters). It opens, with the warnings saying what cannot be stored; the
// image shown is the one the unit would get. Saving it as it stands is refused (a save would
// otherwise write a silently shortened message and the file would not open to what was shown),
// and the refusal leaves no file behind.
TEST(FuzzRegressions, UnstorableMessageOpensWithWarningsAndIsNotSavedCut) {
    const std::string bytes = ReadData("unstorable_message.ORV");
    ASSERT_GT(bytes.size(), kContentsDigits);
    StartupState state = MakeStartupState();
    Image image{};
    const ReadConfigResult opened =
        ReadConfigText(bytes, "unstorable_message.ORV", state.rec, state.moduleTypes, image);
    ASSERT_TRUE(opened.ok) << opened.error;
    EXPECT_TRUE(
        AnyContains(opened.warnings, "is too long to store (583 bytes after packing, at most 79)"));
    // Its control characters are bytes the unit stores: they are kept without a word.
    EXPECT_FALSE(AnyContains(opened.warnings, "control character"));
    EXPECT_TRUE(std::any_of(state.rec.txtMsg.begin(), state.rec.txtMsg.end(), [](auto& m) {
        return std::any_of(m.begin(), m.end(), [](char c) { return c > 0 && c < 0x20; });
    }));
    EXPECT_EQ(WalkPackedPart(image), opened.decode.size.lastAddress);

    const TempDir dir;
    const std::string path = dir.File("saved.ORV");
    const WriteConfigResult saved = WriteConfigFile(path, state.rec, state.moduleTypes, image);
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.error.find("these values cannot be stored as they are:"), std::string::npos)
        << saved.error;
    EXPECT_NE(saved.error.find("too long to store"), std::string::npos) << saved.error;
    EXPECT_FALSE(std::filesystem::exists(path));

    // Once the message is put right the configuration saves and opens again to the same image.
    for (auto& m : state.rec.txtMsg)
        if (m.size() > 40) m = "PUMP FAILED";
    const WriteConfigResult fixed = WriteConfigFile(path, state.rec, state.moduleTypes, image);
    ASSERT_TRUE(fixed.ok) << fixed.error;
    StartupState again = MakeStartupState();
    Image imageAgain{};
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    ASSERT_TRUE(ReadConfigText(ss.str(), path, again.rec, again.moduleTypes, imageAgain).ok);
    EXPECT_TRUE(imageAgain == image);
}

// Numbers beyond what a JSON value can hold used to escape the import as an exception and end the
// program; they are refused like any other text that is not valid JSON, and nothing changes.
TEST(FuzzRegressions, JsonNumberOverflowIsRefusedNotFatal) {
    struct Case {
        std::string text, error;
    } cases[] = {
        {"5E4011111111n", "not valid JSON: number overflow parsing '5E4011111111'"},
        {R"({"lstComPort": 1e400})", "not valid JSON: number overflow parsing '1e400'"},
        {R"({"ModuleType": [1, -2e999, 0, 0]})",
         "not valid JSON: number overflow parsing '-2e999'"},
    };
    for (const Case& c : cases) {
        StartupState state = MakeStartupState();
        const StartupState before = state;
        JsonImportResult result;
        ASSERT_NO_THROW(result = RecordFromJsonText(c.text, state.rec, state.moduleTypes))
            << c.text;
        EXPECT_FALSE(result.ok) << c.text;
        EXPECT_EQ(result.errors, std::vector<std::string>{c.error}) << c.text;
        EXPECT_TRUE(state.rec == before.rec) << c.text;
        EXPECT_EQ(state.moduleTypes, before.moduleTypes) << c.text;
    }
}

}  // namespace
}  // namespace orv
