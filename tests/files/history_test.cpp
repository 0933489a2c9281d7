#include "files/history.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "../test_env.h"
#include "files/config_file.h"
#include "files/record_json.h"
#include "files_test_util.h"
#include "image/layout.h"
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

// A copy as another program or an earlier run left it, its file written `age` from now.
void Plant(const fs::path& folder, const std::string& name, std::chrono::hours age) {
    fs::create_directories(folder);
    WriteText((folder / name).string(), "x");
    fs::last_write_time(folder / name, fs::file_time_type::clock::now() + age);
}

fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string U8(const fs::path& path) {
    const std::u8string u = path.u8string();
    return std::string(u.begin(), u.end());
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
    Editor e = Example();
    for (int n = 0; n < 5; ++n) {
        // Each by a program of its own: a program never prunes its own copies.
        History history(dir.File("h"), 3);
        e.image[100] = static_cast<std::uint8_t>(n);
        const HistoryCopy copy =
            history.KeepImage(history_event::kRead, UnitSubject({"ORV/PRO", ""}), {"ORV/PRO", "2"},
                              e.s.moduleTypes, e.image);
        ASSERT_TRUE(copy.ok) << copy.error;
    }
    const auto entries = History(dir.File("h"), 3).List();
    ASSERT_EQ(entries.size(), 3u);
    // A version line is record bytes (Latin-1); a name is UTF-8, never cut inside a character.
    EXPECT_EQ(UnitSubject({"UNIT \xC9", ""}), "UNIT \xC3\x89");
    EXPECT_EQ(FileSubject(std::string(60, 'a') + "\xC3\x89.ORV"), std::string(60, 'a'));
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

// A user folder named beyond ASCII (and beyond the ANSI code page on Windows) holds the copies.
TEST(History, FolderFollowsThePlatformsDataHome) {
    const char* old = std::getenv(kHistoryBaseVariable);
    const std::string saved = old ? old : "";
    const fs::path base = fs::temp_directory_path() / fs::path(u8"orv-data José Ωμέγα");
    SetEnv(kHistoryBaseVariable, U8(base));
    EXPECT_EQ(DefaultHistoryFolder(), U8(base / "orv-config" / "history"));
    History history;
    const Editor e = Example();
    ASSERT_TRUE(history.KeepImage(history_event::kRead, "unit", {}, e.s.moduleTypes, e.image).ok);
    const auto listed = history.List();
    EXPECT_TRUE(listed.size() == 1 && listed[0].path.starts_with(U8(base))) << history.folder();
    std::error_code ec;
    fs::remove_all(base, ec);
#ifndef _WIN32
    SetEnv(kHistoryBaseVariable, "relative");  // not absolute: ignored, as the convention says
    EXPECT_TRUE(DefaultHistoryFolder().ends_with("/.local/share/orv-config/history"));
#endif
    if (old)
        SetEnv(kHistoryBaseVariable, saved);
    else
        UnsetEnv(kHistoryBaseVariable);
}

// Names of 21 to 23 characters are shorter than any of ours: not listed, and not read past.
TEST(History, OnlyOurNamesAreListed) {
    TempDir dir;
    for (const char* name :
         {"2026-12-08 14.03..ORV", "2026-12-08 14.03.2.ORV", "2026-12-08 14.03.22.ORV",
          "2026-12-08 14.03.2x read a.ORV", "notes.ORV", "2026-12-08 14.03.22 read ORV V2.ORV",
          "2026-12-08 14.03.22 write-unverified site (3).ORV",
          "2026-12-08 14.03.22 before save a.orv"})
        Plant(dir.path, name, std::chrono::hours(0));
    std::vector<std::string> listed;
    for (const HistoryEntry& e : History(dir.path.string()).List())
        listed.push_back(e.event + "|" + e.subject);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed,
              (std::vector<std::string>{"before save|a", "read|ORV V2", "write-unverified|site"}));
}

// No control character reaches a name; a copy of a copy names the original, not nested.
TEST(History, SubjectsAreSafeAndNeverNested) {
    const std::string a60(60, 'a'), from = " (from 2026-12-08 23.14.31 ";
    EXPECT_EQ(UnitSubject({"ORV\x85"
                           "A\x9B"
                           "B\x1B"
                           "]0;x\x07",
                           ""}),
              "ORV_A_B_]0;x_");
    EXPECT_EQ(FileSubject("2026-12-08 23.14.31 write untitled (2).ORV"),
              "untitled" + from + "write)");
    EXPECT_EQ(FileSubject("2026-12-09 08.00.00 write untitled" + from + "write).ORV"),
              "untitled" + from + "write)");
    const std::string longest =
        FileSubject("2026-12-08 23.14.31 before clear form " + a60 + ".ORV");
    EXPECT_EQ(longest, a60 + from + "before clear form)");
    TempDir dir;  // and the name keeps all of it
    History history(dir.File("h"));
    const Editor e = Example();
    ASSERT_TRUE(history.KeepImage(history_event::kWrite, longest, {}, e.s.moduleTypes, e.image).ok);
    EXPECT_EQ(history.List().at(0).subject, longest);
}

// A clock set back, a time-zone change: copies written later or earlier than their names say.
// Copies rank by when their files were written, and the ones made now are never pruned.
TEST(History, PruningKeepsTheNewCopiesWhateverTheClocksSay) {
    using std::chrono::hours;
    TempDir dir;
    // Copies of no unit: nothing keeps them but their rank.
    Plant(dir.path, "2099-01-01 00.00.00 before open ahead.ORV", hours(24 * 365));
    Plant(dir.path, "2000-01-01 00.00.00 before open zone.ORV", hours(2 * 24 * 365));
    Plant(dir.path, "2099-01-01 00.00.01 before open old.ORV", hours(-24 * 365));
    History history(dir.path.string(), 3);
    const Editor e = Example();
    const HistoryCopy backup = history.KeepBackup({"ORV V2.13", ""}, e.s.moduleTypes, e.image);
    ASSERT_TRUE(backup.ok) << backup.error;
    ASSERT_TRUE(history.KeepImage(history_event::kWrite, "site", {}, e.s.moduleTypes, e.image).ok);
    std::vector<std::string> kept;
    for (const HistoryEntry& c : history.List()) kept.push_back(c.event + " " + c.subject);
    EXPECT_EQ(kept,
              (std::vector<std::string>{"write site", "backup ORV V2.13", "before open zone"}));
    EXPECT_EQ(NewestUnitCopy(history)->path, backup.path);
}

// A run that makes more copies than the limit (a fleet backup of a large site) keeps them all,
// and the copy that says when a unit was last read is never pruned, however old: the others go.
TEST(History, ARunsOwnCopiesAndEachUnitsNewestCopyAreNeverPruned) {
    using std::chrono::hours;
    const struct {
        std::size_t limit;
        int units;
    } cases[] = {{10, 12}, {100, 110}};  // as 1000 and 1100, whose copies take long to write
    for (const auto& c : cases) {
        SCOPED_TRACE(c.units);
        TempDir dir;
        Plant(dir.path, "2026-05-01 08.00.00 backup pump.ORV", hours(-200 * 24));
        Plant(dir.path, "2026-05-02 08.00.00 backup pump.ORV", hours(-199 * 24));
        for (int k = 0; k < 5; ++k)
            Plant(dir.path, "2026-06-0" + std::to_string(k + 1) + " 08.00.00 before open x.ORV",
                  hours(-100 * 24 + k));
        History run(dir.path.string(), c.limit);
        const Editor e = Example();
        std::vector<std::string> made;
        for (int k = 0; k < c.units; ++k) {
            const HistoryCopy copy = run.KeepBackup({"ORV V2.13", ""}, e.s.moduleTypes, e.image,
                                                    "u" + std::to_string(k));
            ASSERT_TRUE(copy.ok) << copy.error;
            made.push_back(copy.path);
        }
        for (const auto& path : made) ASSERT_TRUE(fs::exists(PathOf(path))) << path;
        const auto listed = History(dir.path.string(), c.limit).List();
        // Every copy of the run, and the newest of the unit backed up 200 days ago.
        ASSERT_EQ(listed.size(), made.size() + 1);
        EXPECT_EQ(listed.back().fileName, "2026-05-02 08.00.00 backup pump.ORV");
        EXPECT_EQ(run.CopiesMade(), made.size());
        EXPECT_EQ(run.LastCount(), made.size() + 1);
        EXPECT_GT(run.LastCount(), run.Limit());
        // The next command prunes what it may: not the newest copy of any unit.
        History next(dir.path.string(), c.limit);
        ASSERT_TRUE(
            next.KeepImage(history_event::kBeforeNew, "site", {}, e.s.moduleTypes, e.image).ok);
        EXPECT_EQ(next.List().size(), made.size() + 2);
    }
}

// Units go by the MAC address their copies hold where it is their own: two units of one name are
// two units, and of each only the newest copy is kept when room is short.
TEST(History, EachUnitIsKnownByItsOwnMacAddressElseByName) {
    TempDir dir;
    Editor e = Example();
    auto backUp = [&](int macLast, const std::string& name) {
        for (int k = 0; k < 6; ++k) e.image[kMacAddress + k] = 0;
        if (macLast != 0) {
            const std::uint8_t mac[6] = {0x50, 0x46, 0x4A,
                                         0,    0,    static_cast<std::uint8_t>(macLast)};
            std::copy(mac, mac + 6, e.image.begin() + kMacAddress);
        }
        History once(dir.path.string(), 1);
        ASSERT_TRUE(once.KeepBackup({"V", ""}, e.s.moduleTypes, e.image, name).ok);
    };
    // A limit of one: only the newest copy of each unit is left besides it.
    backUp(1, "pump");  // oldest: pruned, a newer copy of its unit is kept
    backUp(2, "pump");  // another unit of the same name: kept
    backUp(1, "pump");
    backUp(0, "fan");  // no address of its own: by its name
    backUp(0, "fan");
    std::vector<std::string> kept;
    for (const auto& entry : History(dir.path.string(), 1).List()) {
        Editor opened;
        ASSERT_TRUE(
            ReadConfigFile(entry.path, opened.s.rec, opened.s.moduleTypes, opened.image).ok);
        kept.push_back(entry.subject + " " + std::to_string(opened.image[kMacAddress + 5]));
    }
    EXPECT_EQ(kept, (std::vector<std::string>{"fan 0", "pump 1", "pump 2"}));
    EXPECT_EQ(OwnMacAddress(e.image), std::nullopt);
    e.image[kMacAddress] = 0x50;
    e.image[kMacAddress + 1] = 0x46;
    e.image[kMacAddress + 2] = 0x4A;
    e.image[kMacAddress + 5] = 0x0B;
    EXPECT_EQ(OwnMacAddress(e.image), "50:46:4A:00:00:0B");
}

// A subject that ends as a copy's number does is never read as one: "pump (2)" is its own unit.
TEST(History, SubjectsEndingInANumberInBracketsKeepIt) {
    TempDir dir;
    History history(dir.path.string());
    const Editor e = Example();
    for (const char* name : {"pump (2)", "pump", "pump (2)", "pump (x)"})
        ASSERT_TRUE(history.KeepBackup({"V", ""}, e.s.moduleTypes, e.image, name).ok);
    std::vector<std::string> subjects;
    for (const auto& entry : history.List()) subjects.push_back(entry.subject);
    EXPECT_EQ(subjects, (std::vector<std::string>{"pump (x)", "pump (2)", "pump", "pump (2)"}));
}

// Names are cut by characters, not bytes: 60 letters beyond ASCII are whole, never cut inside one.
TEST(History, SubjectsAreCutAtSixtyCharacters) {
    std::string e60, e61;
    for (int k = 0; k < 60; ++k) e60 += "\xC3\xA9";  // é
    e61 = e60 + "\xE2\x80\x93";                      // and an en dash
    EXPECT_EQ(FileSubject(e60 + ".ORV"), e60);
    EXPECT_EQ(FileSubject(e61 + ".ORV"), e60);
    EXPECT_EQ(FileSubject(std::string(61, 'a') + ".ORV"), std::string(60, 'a'));
    TempDir dir;
    History history(dir.path.string());
    const Editor e = Example();
    ASSERT_TRUE(history.KeepBackup({"V", ""}, e.s.moduleTypes, e.image, e61).ok);
    EXPECT_EQ(history.List().at(0).subject, e60);
}

TEST(History, NewestUnitCopyIsTheNewestReadOrBackup) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        // oldest first
        {{"read", "backup", "before read"}, "backup"},
        {{"backup", "read", "write", "before save"}, "read"},
        {{"before read", "write-unverified"}, ""},
    };
    for (const auto& [events, newest] : cases) {
        TempDir dir;
        for (std::size_t k = 0; k < events.size(); ++k)
            Plant(dir.path, "2026-12-08 14.03.0" + std::to_string(k) + " " + events[k] + " u.ORV",
                  std::chrono::hours(static_cast<int>(k) - 10));
        const auto got = NewestUnitCopy(History(dir.path.string()));
        EXPECT_EQ(got ? got->event : "", newest) << events.front();
    }
}

#ifndef _WIN32
// Several programs keeping copies of the same unit in the same second lose none.
TEST(History, CopiesMadeAtOnceByManyProcessesAreAllKept) {
    constexpr int kProcesses = 4, kCopies = 25;
    TempDir dir;
    const Editor e = Example();
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        if (const pid_t pid = ::fork(); pid != 0) {
            children.push_back(pid);
            continue;
        }
        ::close(start[1]);
        char go;
        int lost = ::read(start[0], &go, 1);  // 0 when the parent closes it: all begin at once
        History history(dir.File("h"));
        for (int k = 0; k < kCopies; ++k)
            lost += !history.KeepImage(history_event::kRead, "u", {}, e.s.moduleTypes, e.image).ok;
        ::_exit(lost);
    }
    ::close(start[0]);
    ::close(start[1]);
    for (const pid_t pid : children) {
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(History(dir.File("h")).List().size(), std::size_t{kProcesses * kCopies});
}
#endif

// Saving over a file keeps what it held first, unless it held the same configuration.
TEST(History, SaveOverAFileKeepsAnotherConfigurationOnly) {
    Editor e = Example();
    BuildImage(e.s.rec, e.s.moduleTypes, e.image);
    auto text = [&](const char* title) {
        return ConfigFileText({}, title, e.s.rec, e.s.moduleTypes, e.image);
    };
    const std::string saved = text("ORV 1"), retitled = text("ORV 2");
    e.image[4000] = 0x11;  // a byte the editor only carries
    const std::string carried = text("ORV 1");
    e.image[4000] = 0x5A;
    e.s.rec.txtRIC[0] = "42";
    BuildImage(e.s.rec, e.s.moduleTypes, e.image);
    const std::string changed = text("ORV 1");
    const std::pair<std::string, bool> cases[] = {
        {saved, false}, {retitled, false}, {carried, true}, {changed, true}, {"[Site]\r\n", true}};
    for (const auto& [old, kept] : cases) {
        TempDir dir;
        History history(dir.File("h"));
        const HistoryCopy copy = history.KeepBeforeSave("site", old, saved);
        ASSERT_TRUE(copy.ok) << copy.error;
        EXPECT_EQ(copy.path.empty() ? "" : ReadText(copy.path), kept ? old : "") << old.size();
        EXPECT_TRUE(!kept || copy.path.ends_with(" before save site.ORV")) << copy.path;
    }
}

// The JSON beside a copy carries the image's bytes as orv-cli export does, to the last one.
TEST(History, JsonBesideACopyCarriesTheImageToItsLastByte) {
    TempDir dir;
    History history(dir.File("h"));
    Editor e = Example();
    e.image[4095] = 0xC3;
    e.s.rec.txtRIC[5] = "12abc";  // the build would adjust it: the record goes beside the copy
    const HistoryCopy copy =
        history.KeepRecord(history_event::kBeforeExit, "", e.s.rec, e.s.moduleTypes, e.image);
    ASSERT_TRUE(copy.ok) << copy.error;
    for (const std::string& json :
         {ReadText(fs::path(copy.path).replace_extension(".json").string()),
          RecordToJson(e.s.rec, e.s.moduleTypes, &e.image).dump()}) {
        Editor back;
        ASSERT_TRUE(RecordFromJsonText(json, back.s.rec, back.s.moduleTypes, &back.image).ok);
        EXPECT_EQ(back.image, e.image);
    }
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
