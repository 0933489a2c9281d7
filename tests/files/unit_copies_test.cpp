#include "files/unit_copies.h"

#include <gtest/gtest.h>

#include <functional>

#include "files/config_file.h"
#include "files_test_util.h"

namespace orv {
namespace {

const std::array<std::string, 2> kLines{"ORV-PRO SIM V2.13", "Build 0415"};
const std::array<std::string, 2> kOtherLines{"ORV-PRO V3.00", "Build 0500"};
const std::string kCom1 = "/dev/ttyS0", kCom2 = "/dev/ttyS1";

Image WithMac(const UnitMac& mac) {
    Image image{};
    image[100] = mac[5];  // the units hold different configurations too
    std::copy(mac.begin(), mac.end(), image.begin() + kMacAddress);
    return image;
}
const Image kUnitA = WithMac({0x50, 0x46, 0x4A, 0x00, 0x12, 0x34});
const Image kUnitB = WithMac({0x50, 0x46, 0x4A, 0x00, 0x56, 0x78});
const Image kUnprogrammed = WithMac({0x50, 0x46, 0x4A, 0x00, 0x00, 0x00});

TEST(UnitCopies, OwnMacIsNeitherBlankNorTheEditorsStartingAddress) {
    const std::pair<UnitMac, bool> cases[] = {
        {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, false},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, false},
        {{0x50, 0x46, 0x4A, 0x00, 0x00, 0x00}, false},
        {{0x50, 0x46, 0x4A, 0x00, 0x00, 0x01}, true},
        {{0x00, 0x00, 0x00, 0x00, 0x00, 0x01}, true},
        {{0x02, 0x1B, 0xFF, 0xFF, 0xFF, 0xFF}, true},
    };
    for (const auto& [mac, own] : cases) {
        const auto got = OwnUnitMac(WithMac(mac));
        EXPECT_EQ(got.has_value(), own) << int(mac[0]) << " " << int(mac[5]);
        if (own) {
            EXPECT_EQ(*got, mac);
        }
    }
}

TEST(UnitCopies, MacOfAFileIsReadFromItsImage) {
    TempDir dir;
    History history(dir.File("history"));
    const HistoryCopy copy = history.KeepImage(history_event::kRead, "A", kLines, {}, kUnitA);
    ASSERT_TRUE(copy.ok) << copy.error;
    EXPECT_EQ(OwnUnitMacOfFile(copy.path), OwnUnitMac(kUnitA));
    WriteText(dir.File("broken.ORV"), "[EEprom]\r\nContents=00\r\n");
    EXPECT_EQ(OwnUnitMacOfFile(dir.File("broken.ORV")), std::nullopt);
    EXPECT_EQ(OwnUnitMacOfFile(dir.File("missing.ORV")), std::nullopt);
}

// Two units with the same firmware, so the same version lines: the copy found for a unit is one
// of that unit, or none.
TEST(UnitCopies, FindsACopyOfTheUnitWrittenToNeverAnothers) {
    // One run of the editor: its history, the copies it took and a way to keep a unit's image.
    struct Run {
        History& history;
        UnitCopies copies;
        void Read(const char* subject, const std::string& device,
                  const std::array<std::string, 2>& lines, const Image& image) {
            const HistoryCopy c =
                history.KeepImage(history_event::kRead, subject, lines, {}, image);
            ASSERT_TRUE(c.ok) << c.error;
            copies.Took(c.path, device, lines, image);
        }
    };
    const struct {
        const char* name;
        std::function<void(Run&, History& earlierRun)> steps;
        std::string device;
        std::array<std::string, 2> lines;
        std::string found;  // the copy's subject, "" for none
    } cases[] = {
        {"another unit read on another port",
         [](Run& r, History&) {
             r.copies.Connected();
             r.Read("A", kCom2, kLines, kUnitA);
             r.copies.Connected();
         },
         kCom1, kLines, ""},
        {"this unit read in this connection",
         [](Run& r, History&) {
             r.copies.Connected();
             r.Read("A", kCom1, kLines, kUnitA);
         },
         kCom1, kLines, "A"},
        {"its MAC address picks its copy over a newer one of another unit",
         [](Run& r, History&) {
             r.copies.Connected();
             r.Read("B", kCom1, kLines, kUnitB);
             r.copies.Connected();
             r.Read("A", kCom1, kLines, kUnitA);
             r.copies.Connected();
             r.copies.Took({}, kCom1, kLines, kUnitB);  // compared, not kept
         },
         kCom1, kLines, "B"},
        {"its MAC address finds a copy of an earlier run",
         [](Run& r, History& earlier) {
             ASSERT_TRUE(earlier.KeepImage(history_event::kRead, "A", kLines, {}, kUnitA).ok);
             r.copies.Connected();
             r.Read("B", kCom2, kLines, kUnitB);
             r.copies.Connected();
             r.copies.Took({}, kCom1, kLines, kUnitA);
         },
         kCom1, kLines, "A"},
        {"its MAC address and no copy of it",
         [](Run& r, History&) {
             r.copies.Connected();
             r.Read("B", kCom1, kLines, kUnitB);
             r.copies.Connected();
             r.copies.Took({}, kCom1, kLines, kUnitA);
         },
         kCom1, kLines, ""},
        {"no MAC address: this run's copy from the same port",
         [](Run& r, History&) {
             r.copies.Connected();
             r.Read("U", kCom1, kLines, kUnprogrammed);
             r.Read("B", kCom2, kLines, kUnitB);
             r.copies.Connected();
         },
         kCom1, kLines, "U"},
        {"no MAC address and other version lines",
         [](Run& r, History&) {
             r.copies.Connected();
             r.Read("U", kCom1, kLines, kUnprogrammed);
             r.copies.Connected();
         },
         kCom1, kOtherLines, ""},
        {"no MAC address: an earlier run's copy is not this session's",
         [](Run& r, History& earlier) {
             ASSERT_TRUE(
                 earlier.KeepImage(history_event::kRead, "U", kLines, {}, kUnprogrammed).ok);
             r.copies.Connected();
         },
         kCom1, kLines, ""},
        {"a copy pruned since is not named",
         [](Run& r, History&) {
             r.copies.Connected();
             r.Read("U", kCom1, kLines, kUnprogrammed);
             std::filesystem::remove(r.history.List().front().path);
         },
         kCom1, kLines, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        History earlier(dir.File("history"));
        History history(dir.File("history"));
        Run run{history, {}};
        c.steps(run, earlier);
        const auto got = run.copies.Find(history, c.device, c.lines);
        EXPECT_EQ(got ? got->subject : "", c.found);
    }
}

}  // namespace
}  // namespace orv
