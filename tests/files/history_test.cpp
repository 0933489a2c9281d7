#include "files/history.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "../test_env.h"
#include "files/config_file.h"
#include "files/record_json.h"
#include "files_test_util.h"
#include "model/defaults.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

struct Editor {
    StartupState s = MakeStartupState();
    Image image{};
};

Editor Example() {
    Editor e;
    e.s.moduleTypes = {15, 13, 14, 0};
    e.image[22] = 0xA5;  // bytes the editor only carries along
    e.image[4000] = 0x5A;
    return e;
}

TEST(History, CopyOfTheEditorOpensAsTheSameConfigurationAndTouchesNothing) {
    TempDir dir;
    History history(dir.File("history"));
    Editor e = Example();
    e.s.rec.txtMsg[0] = "  FIRE   ALARM ";  // the build would normalise it
    const Editor before = e;

    const HistoryCopy copy = history.KeepRecord(history_event::kBeforeNew, FileSubject("site.ORV"),
                                                e.s.rec, e.s.moduleTypes, e.image);
    ASSERT_TRUE(copy.ok) << copy.error;
    EXPECT_EQ(e.s.rec, before.s.rec);
    EXPECT_EQ(e.image, before.image);
    EXPECT_TRUE(fs::path(copy.path).filename().string().ends_with(" before new site.ORV"));
    EXPECT_FALSE(fs::exists(fs::path(copy.path).replace_extension(".json")));

    Editor opened;
    const ReadConfigResult r =
        ReadConfigFile(copy.path, opened.s.rec, opened.s.moduleTypes, opened.image);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(opened.s.moduleTypes, e.s.moduleTypes);
    EXPECT_EQ(opened.s.rec.txtMsg[0], "FIRE ALARM");
    EXPECT_EQ(opened.image[22], 0xA5);
    EXPECT_EQ(opened.image[4000], 0x5A);
}

TEST(History, WhatTheImageCannotHoldIsKeptBesideItAsJson) {
    struct Case {
        const char* what;
        void (*spoil)(ConfigRecord&);
    };
    const Case cases[] = {
        {"a value the builder adjusts", [](ConfigRecord& r) { r.txtRIC[5] = "12abc"; }},
        {"too large for the unit",
         [](ConfigRecord& r) {
             for (int i = 0; i < 64; ++i)
                 r.txtMsg[i] = std::string(60, static_cast<char>('a' + i % 26)) + std::to_string(i);
         }},
    };
    for (const auto& c : cases) {
        TempDir dir;
        History history(dir.File("h"));
        Editor e = Example();
        c.spoil(e.s.rec);
        const HistoryCopy copy =
            history.KeepRecord(history_event::kBeforeExit, "", e.s.rec, e.s.moduleTypes, e.image);
        ASSERT_TRUE(copy.ok) << c.what << ": " << copy.error;
        EXPECT_TRUE(copy.path.ends_with(" before exit untitled.ORV")) << copy.path;
        Editor back;
        const JsonImportResult j =
            RecordFromJsonText(ReadText(fs::path(copy.path).replace_extension(".json").string()),
                               back.s.rec, back.s.moduleTypes);
        ASSERT_TRUE(j.ok) << c.what;
        EXPECT_EQ(back.s.rec.txtRIC, e.s.rec.txtRIC) << c.what;
        EXPECT_EQ(back.s.rec.txtMsg, e.s.rec.txtMsg) << c.what;
    }
}

TEST(History, ImageCopyKeepsEveryByteAndNewestComeFirstWithinTheLimit) {
    TempDir dir;
    History history(dir.File("h"), 3);
    Editor e = Example();
    for (int n = 0; n < 5; ++n) {
        e.image[100] = static_cast<std::uint8_t>(n);
        const HistoryCopy copy =
            history.KeepImage(history_event::kRead, UnitSubject({"ORV/PRO", ""}), {"ORV/PRO", "2"},
                              e.s.moduleTypes, e.image);
        ASSERT_TRUE(copy.ok) << copy.error;
    }
    const auto entries = history.List();
    ASSERT_EQ(entries.size(), 3u);
    // A version line is record bytes (Latin-1); a name is UTF-8, never cut inside a character.
    EXPECT_EQ(UnitSubject({"UNIT \xC9", ""}), "UNIT \xC3\x89");
    EXPECT_EQ(FileSubject(std::string(59, 'a') + "\xC3\x89.ORV"), std::string(59, 'a'));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        EXPECT_EQ(entries[k].event, "read");
        EXPECT_EQ(entries[k].subject, "ORV_PRO");  // no separator reaches a file name
        Editor opened;
        ASSERT_TRUE(
            ReadConfigFile(entries[k].path, opened.s.rec, opened.s.moduleTypes, opened.image).ok);
        EXPECT_EQ(opened.s.rec.txtVer[1], "2");
    }
    // Newest first: the fifth, fourth and third copies are kept (byte 100 as stored).
    const auto contents = [](const std::string& path) {
        const std::string text = ReadText(path);
        const auto at = text.find("Contents=");
        return std::stoi(text.substr(at + 9 + 200, 2), nullptr, 16);
    };
    EXPECT_EQ(contents(entries[0].path), 4);
    EXPECT_EQ(contents(entries[1].path), 3);
    EXPECT_EQ(contents(entries[2].path), 2);
}

TEST(History, AFolderThatCannotBeMadeIsReportedNotThrown) {
    TempDir dir;
    WriteText(dir.File("taken"), "a file where the folder should be");
    History history(dir.File("taken"));
    const Editor e = Example();
    const HistoryCopy copy =
        history.KeepRecord(history_event::kBeforeOpen, "x", e.s.rec, e.s.moduleTypes, e.image);
    EXPECT_FALSE(copy.ok);
    EXPECT_NE(copy.error.find(dir.File("taken")), std::string::npos) << copy.error;
}

TEST(History, FolderFollowsThePlatformsDataHome) {
    const char* old = std::getenv(kHistoryBaseVariable);
    const std::string saved = old ? old : "";
    const std::string base = (fs::temp_directory_path() / "orv-data").string();
    SetEnv(kHistoryBaseVariable, base);
    EXPECT_EQ(fs::path(DefaultHistoryFolder()), fs::path(HistoryFolderUnder(base)));
#ifndef _WIN32
    SetEnv(kHistoryBaseVariable, "relative");  // not absolute: ignored, as the convention says
    EXPECT_TRUE(DefaultHistoryFolder().ends_with("/.local/share/orv-config/history"));
#endif
    if (old)
        SetEnv(kHistoryBaseVariable, saved);
    else
        UnsetEnv(kHistoryBaseVariable);
}

TEST(History, SameConfigurationLooksAtTheUnitsFieldsOnly) {
    const Editor base = Example();
    struct Case {
        const char* what;
        void (*change)(ConfigRecord&, ModuleTypes&);
        bool same;
    };
    const Case cases[] = {
        {"typed and typed back",
         [](ConfigRecord& r, ModuleTypes&) {
             r.txtRIC[3] = "9";
             r.txtRIC[3] = "1000000";
         },
         true},
        {"PC link and file name",
         [](ConfigRecord& r, ModuleTypes&) { r.lstBaudPC = 0, r.txtFileName = "x.ORV"; }, true},
        {"dictionary", [](ConfigRecord& r, ModuleTypes&) { r.txtDict[0] = "WORD"; }, true},
        {"a message", [](ConfigRecord& r, ModuleTypes&) { r.txtMsg[9] += "!"; }, false},
        {"an option", [](ConfigRecord& r, ModuleTypes&) { r.chkOptions[7] = true; }, false},
        {"a module type", [](ConfigRecord&, ModuleTypes& t) { t[3] = 13; }, false},
        {"a version line", [](ConfigRecord& r, ModuleTypes&) { r.txtVer[0] = "V2"; }, false},
        // "Changed" is a change of what the unit would store.
        {"Size's normalising",
         [](ConfigRecord& r, ModuleTypes& t) {
             Image image{};
             BuildImage(r, t, image);
         },
         true},
        {"a time stored as the same step",
         [](ConfigRecord& r, ModuleTypes&) { r.txtPulseTime[0] = "125"; }, true},
        {"a time stored as another step",
         [](ConfigRecord& r, ModuleTypes&) { r.txtRepTime[1] = "45"; }, false},
        {"a measured pulse time", [](ConfigRecord& r, ModuleTypes&) { r.txtFastOne = "130"; },
         false},
    };
    for (const auto& c : cases) {
        Editor e = base;
        c.change(e.s.rec, e.s.moduleTypes);
        EXPECT_EQ(SameConfiguration(base.s.rec, base.s.moduleTypes, e.s.rec, e.s.moduleTypes),
                  c.same)
            << c.what;
    }
}

}  // namespace
}  // namespace orv
