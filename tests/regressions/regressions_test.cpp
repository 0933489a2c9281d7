// Inputs the fuzz targets found, each kept with the behaviour it must show.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "files/config_file.h"
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
    EXPECT_TRUE(AnyContains(opened.warnings, "holds control characters"));
    EXPECT_EQ(WalkPackedPart(image), opened.decode.size.lastAddress);

    char tmpl[] = "/tmp/orv-regression-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    const std::string path = dir + "/saved.ORV";
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
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orv
