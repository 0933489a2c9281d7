#include "files/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "files/profile.h"
#include "files/record_json.h"
#include "files_test_util.h"
#include "model/defaults.h"
#include "model/identity.h"

namespace orv {
namespace {

// The editor's state: record, module types and image.
struct Editor {
    StartupState s = MakeStartupState();
    Image image{};
    bool operator==(const Editor& o) const {
        return s.rec == o.s.rec && s.moduleTypes == o.s.moduleTypes && image == o.image;
    }
};

// The worked example: defaults with an opto-input module in bank 1.
Editor WorkedExample() {
    Editor e;
    e.s.moduleTypes = {15, 0, 0, 0};
    return e;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(SplitFilePath, Cases) {
    struct Case {
        const char* path;
        const char* dir;
        const char* name;
    } cases[] = {
        {"C:\\Configs\\site.ORV", "C:\\Configs\\", "site.ORV"},
        {"/home/tech/site.ORV", "/home/tech/", "site.ORV"},
        {"site.ORV", "", "site.ORV"},
        {"C:\\dir/mixed\\x.orv", "C:\\dir/mixed\\", "x.orv"},
        {"folder\\", "folder\\", ""},
        {"/x", "/", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const FilePathParts p = SplitFilePath(c.path);
        EXPECT_EQ(p.directory, c.dir);
        EXPECT_EQ(p.name, c.name);
    }
}

TEST(ConfigFile, SavedLayout) {
    TempDir dir;
    const std::string path = dir.File("new.ORV");
    Editor e = WorkedExample();
    e.s.rec.txtVer = {"ORV Pro V2.00", "Build 17"};
    e.image[4095] = 0x0A;  // the unit area travels with the file
    const WriteConfigResult w = WriteConfigFile(path, e.s.rec, e.s.moduleTypes, e.image);
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(w.build.lastAddress, 1892);

    const std::string text = ReadText(path);
    const std::string contents = ContentsText(e.image);
    EXPECT_EQ(text, "[Version]\r\nORV Pro=" + MainWindowCaption() +
                        "\r\n"
                        "[General]\r\nVersion Line 1=ORV Pro V2.00\r\nVersion Line 2=Build 17\r\n"
                        "[Module]\r\nBank 1=15\r\nBank 2=0\r\nBank 3=0\r\nBank 4=0\r\n"
                        "[EEprom]\r\nContents=" +
                        contents + "\r\n");
    ASSERT_EQ(contents.size(), 8192u);
    EXPECT_EQ(contents.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    for (int i : {0, 193, 1892, 3840, 4095})
        EXPECT_EQ(contents.substr(2 * i, 2), HexString(e.image[i], 2)) << i;
    EXPECT_EQ(contents.substr(8190), "0A");
    // Record 0 of the worked example starts at 193.
    EXPECT_EQ(contents.substr(2 * 193, 24), "40420F028731208831208A00");
}

TEST(ConfigFile, OpenGivesBackWhatWasSaved) {
    TempDir dir;
    const std::string path = dir.File("a.ORV");
    Editor saved = WorkedExample();
    saved.s.rec.txtVer = {"line one", "line two"};
    saved.s.rec.txtIP = {"192", "168", "0", "7"};
    saved.image[22] = 0x5A;
    saved.image[4000] = 0xC3;
    ASSERT_TRUE(WriteConfigFile(path, saved.s.rec, saved.s.moduleTypes, saved.image).ok);

    Editor opened;
    opened.s.rec.txtFileName = "kept.ORV";
    const ReadConfigResult r =
        ReadConfigFile(path, opened.s.rec, opened.s.moduleTypes, opened.image);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(r.decode.size.lastAddress, 1892);
    EXPECT_EQ(r.decode.size.percentText, "49.28%");
    EXPECT_EQ(opened.s.rec.txtVer, saved.s.rec.txtVer);
    EXPECT_EQ(opened.s.moduleTypes, saved.s.moduleTypes);
    EXPECT_EQ(opened.image, saved.image);
    EXPECT_EQ(opened.s.rec.txtIP, saved.s.rec.txtIP);
    EXPECT_EQ(opened.s.rec.txtMsg, saved.s.rec.txtMsg);
    EXPECT_EQ(opened.s.rec.txtFileName, "kept.ORV");  // not the file layer's business
}

TEST(ConfigFile, ContentsVariantsThatOpen) {
    TempDir dir;
    const std::string path = dir.File("v.ORV");
    Editor saved = WorkedExample();
    saved.image[4095] = 0x3A;
    ASSERT_TRUE(WriteConfigFile(path, saved.s.rec, saved.s.moduleTypes, saved.image).ok);
    const std::string text = ReadText(path);
    const std::string contents = ContentsText(saved.image);
    std::string lower = contents;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

    struct Case {
        const char* name;
        std::string fileText;
        int lastByte;
    } cases[] = {
        {"lower case", Replace(text, contents, lower), 0x3A},
        {"8191 digits: last byte from one digit", Replace(text, contents, contents.substr(0, 8191)),
         0x03},
        {"longer than 8192: the rest never arrives", Replace(text, contents, contents + "ZZZZ"),
         0x3A},
        {"LF line ends, other case and spacing",
         "[version]\nORV Pro = x\n[MODULE]\nbank 1 = 15\nBANK 2=0\nBank 3=0\nBank 4=0\n"
         "[eeprom]\ncontents = " +
             contents + "\n",
         0x3A},
        {"no [General]: empty version lines",
         "[Module]\r\nBank 1=15\r\nBank 2=0\r\nBank 3=0\r\nBank 4=0\r\n[EEprom]\r\nContents=" +
             contents + "\r\n",
         0x3A},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(path, c.fileText);
        Editor e;
        e.s.rec.txtVer = {"old", "old"};
        const ReadConfigResult r = ReadConfigFile(path, e.s.rec, e.s.moduleTypes, e.image);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(e.image[4095], c.lastByte);
        EXPECT_EQ(e.s.moduleTypes, saved.s.moduleTypes);
        EXPECT_EQ(e.s.rec.txtVer[0], "");
        EXPECT_EQ(r.decode.size.lastAddress, 1892);
    }
}

TEST(ConfigFile, FailedOpenChangesNothing) {
    TempDir dir;
    const std::string path = dir.File("bad.ORV");
    Editor good = WorkedExample();
    good.s.rec.txtVer = {"v1", "v2"};
    ASSERT_TRUE(WriteConfigFile(path, good.s.rec, good.s.moduleTypes, good.image).ok);
    const std::string text = ReadText(path);
    const std::string contents = ContentsText(good.image);
    std::string badDigit = contents;
    badDigit[101] = 'G';

    struct Case {
        const char* name;
        std::string fileText;  // empty: no file at all
        std::string error;     // after "Cannot open '<path>': "
    } cases[] = {
        {"missing file", "", "the file does not exist."},
        {"no [Module]",
         Replace(Replace(Replace(Replace(Replace(text, "[Module]\r\n", ""), "Bank 1=15\r\n", ""),
                                 "Bank 2=0\r\n", ""),
                         "Bank 3=0\r\n", ""),
                 "Bank 4=0\r\n", ""),
         "the [Module] section is missing."},
        {"no Bank 3", Replace(text, "Bank 3=0\r\n", ""), "'Bank 3' in [Module] is missing."},
        {"empty Bank 2", Replace(text, "Bank 2=0", "Bank 2="),
         "'Bank 2' in [Module] is not a number: \"\"."},
        {"non-numeric", Replace(text, "Bank 4=0", "Bank 4=relay"),
         "'Bank 4' in [Module] is not a number: \"relay\"."},
        {"beyond 16 bits", Replace(text, "Bank 1=15", "Bank 1=40000"),
         "'Bank 1' in [Module] is not a module type: \"40000\"."},
        {"module type 22", Replace(text, "Bank 3=0", "Bank 3=22"),
         "'Bank 3' in [Module] holds the module type 22, which does not exist (module types are 0 "
         "to 15)."},
        {"negative module type", Replace(text, "Bank 2=0", "Bank 2=-1"),
         "'Bank 2' in [Module] holds the module type -1, which does not exist (module types are 0 "
         "to 15)."},
        {"no [EEprom]", Replace(text, "[EEprom]", "[Other]"), "the [EEprom] section is missing."},
        {"no Contents", Replace(text, "Contents=", "Content="),
         "'Contents' in [EEprom] is missing."},
        {"8190 digits", Replace(text, contents, contents.substr(0, 8190)),
         "the [EEprom] Contents value has 8190 hexadecimal digits; 8192 are needed."},
        {"8100 digits", Replace(text, contents, contents.substr(0, 8100)),
         "the [EEprom] Contents value has 8100 hexadecimal digits; 8192 are needed."},
        {"empty Contents", Replace(text, contents, ""),
         "the [EEprom] Contents value has 0 hexadecimal digits; 8192 are needed."},
        {"not hexadecimal", Replace(text, contents, badDigit),
         "the [EEprom] Contents value has \"G\" at position 102 (byte 50), which is not a "
         "hexadecimal digit."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(path);
        if (!c.fileText.empty()) WriteText(path, c.fileText);
        Editor e;
        e.s.rec.txtVer = {"before", "before"};
        e.s.moduleTypes = {14, 14, 13, 13};
        e.image.fill(0x77);
        const Editor before = e;
        const ReadConfigResult r = ReadConfigFile(path, e.s.rec, e.s.moduleTypes, e.image);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, "Cannot open '" + path + "': " + c.error);
        EXPECT_TRUE(e == before);
    }
}

TEST(ConfigFile, ImageThatDoesNotFitOpensWithWarning) {
    // Dictionary empty, then records with long distinct messages until the end of the image: the
    // rebuilt configuration runs past the configuration area.
    Image image{};
    std::mt19937 rng(3);
    int a = kPackedStart + kDictEntries;
    while (a < kImageSize) {
        const std::uint8_t record[] = {0x40, 0x42, 0x0F, 0x02};
        for (std::uint8_t b : record)
            if (a < kImageSize) image[a++] = b;
        for (int n = 0; n < 70 && a < kImageSize; ++n)
            image[a++] = static_cast<std::uint8_t>('A' + rng() % 26);
        if (a < kImageSize) image[a++] = 0;
    }
    const std::string text =
        "[Module]\r\nBank 1=15\r\nBank 2=15\r\nBank 3=15\r\nBank 4=15\r\n[EEprom]\r\nContents=" +
        ContentsText(image) + "\r\n";
    Editor e;
    const ReadConfigResult r = ReadConfigText(text, "big.ORV", e.s.rec, e.s.moduleTypes, e.image);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.decode.size.fits);
    EXPECT_GT(r.decode.size.lastAddress, kConfigAreaLast);
    EXPECT_EQ(r.decode.size.percentText, PercentText(r.decode.size.lastAddress));
    ASSERT_FALSE(r.warnings.empty());
    EXPECT_EQ(r.warnings.back(), TooLargeMessage(r.decode.build));
    EXPECT_EQ(e.image, image);  // a build that does not fit leaves the image as loaded
}

TEST(ConfigFile, SaveKeepsOtherContentOfTheFile) {
    TempDir dir;
    const std::string path = dir.File("x.ORV");
    WriteText(path,
              "; site notes\r\n"
              "[Site]\r\nName=Pump house\r\n"
              "[module]\r\nBANK 1=0\r\nWiring=see plan\r\n"
              "[Version]\r\nORV Pro=old title\r\n");
    Editor e = WorkedExample();
    const WriteConfigResult w = WriteConfigFile(path, e.s.rec, e.s.moduleTypes, e.image);
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(ReadText(path),
              "; site notes\r\n"
              "[Site]\r\nName=Pump house\r\n"
              "[module]\r\nBANK 1=15\r\nWiring=see plan\r\n"
              "Bank 2=0\r\nBank 3=0\r\nBank 4=0\r\n"
              "[Version]\r\nORV Pro=" +
                  MainWindowCaption() +
                  "\r\n"
                  "[General]\r\nVersion Line 1=\r\nVersion Line 2=\r\n"
                  "[EEprom]\r\nContents=" +
                  ContentsText(e.image) + "\r\n");
}

TEST(ConfigFile, RefusedSavesLeaveTheFileAlone) {
    TempDir dir;
    const std::string existing = dir.File("existing.ORV");
    WriteText(existing, "[Site]\r\nName=old\r\n");

    // Many long, different words: the packed part runs past the configuration area.
    Editor tooLarge = WorkedExample();
    tooLarge.s.moduleTypes = {15, 15, 15, 15};
    std::mt19937 rng(7);
    for (auto& msg : tooLarge.s.rec.txtMsg) {
        msg.clear();
        while (msg.size() < 60) msg += "W" + std::to_string(rng()) + " ";
    }
    Editor badIP = WorkedExample();
    badIP.s.rec.txtIP[0] = "300";

    struct Case {
        const char* name;
        Editor editor;
        std::string path;
        std::string errorStart;
    } cases[] = {
        {"too large", tooLarge, existing, "Cannot save '" + existing + "': The configuration is "},
        {"too large, new file", tooLarge, dir.File("new.ORV"),
         "Cannot save '" + dir.File("new.ORV") + "': The configuration is "},
        {"value out of range", badIP, existing,
         "Cannot save '" + existing + "': these values cannot be stored as they are:"},
        {"missing folder", WorkedExample(), dir.File("none/x.ORV"),
         "Cannot save '" + dir.File("none/x.ORV") + "': the folder does not exist."},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Image imageBefore = c.editor.image;
        const WriteConfigResult w =
            WriteConfigFile(c.path, c.editor.s.rec, c.editor.s.moduleTypes, c.editor.image);
        EXPECT_FALSE(w.ok);
        EXPECT_EQ(w.error.substr(0, c.errorStart.size()), c.errorStart) << w.error;
        EXPECT_EQ(ReadText(existing), "[Site]\r\nName=old\r\n");
        EXPECT_FALSE(std::filesystem::exists(dir.File("new.ORV")));
        if (std::string(c.name).starts_with("too large")) {
            EXPECT_GT(w.build.overBy(), 0);
            EXPECT_NE(w.error.find(std::to_string(w.build.overBy()) + " bytes too large"),
                      std::string::npos);
            EXPECT_EQ(c.editor.image, imageBefore);
        }
    }

    // A read-only file is reported, not silently kept.
    ASSERT_EQ(::chmod(existing.c_str(), 0444), 0);
    Editor e = WorkedExample();
    const WriteConfigResult w = WriteConfigFile(existing, e.s.rec, e.s.moduleTypes, e.image);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.error, "Cannot save '" + existing + "': " + kReadOnlyReason + ".");
    EXPECT_EQ(ReadText(existing), "[Site]\r\nName=old\r\n");
}

// A random configuration that the editor could hold after the user's edits.
Editor RandomEditor(std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto digits = [](long v, int width) {
        std::string s = std::to_string(v);
        if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), '0');
        return s;
    };
    static const char* kWords[] = {"FIRE",  "ALARM", "PUMP", "FAULT", "Fire", "ZONE", "A", "1",
                                   "LEVEL", "HIGH",  "LOW",  "DOOR",  "OPEN", "x",    "42"};
    Editor e;
    ConfigRecord& r = e.s.rec;
    static const int kTypes[] = {0, 13, 14, 15, 5, 12};
    for (auto& t : e.s.moduleTypes) t = kTypes[pick(6)];
    r.txtVer = {"FW " + std::to_string(pick(100)), pick(2) ? "" : "rev b"};
    for (int i = 0; i < kChannelStates; ++i) {
        std::string msg;
        const int words = pick(4);
        for (int w = 0; w < words; ++w)
            msg += std::string(pick(5) == 0 ? "  " : " ") + kWords[pick(15)];
        if (msg.size() > 69) msg.resize(69);
        r.txtMsg[i] = msg;
        long ric;
        do ric = pick(2097152);
        while ((ric >= 2007664 && ric <= 2007671) || (ric >= 2045056 && ric <= 2045063));
        r.txtRIC[i] = digits(ric, 7);
        r.lstFunc[i] = pick(4);
        r.lstType[i] = pick(2);
        r.lstBaud[i] = pick(3);
        r.lstRepeat[i] = pick(4);
    }
    for (int k = 0; k < kRelayRicFields; ++k) {
        const int slot = k % 8;
        r.txtRlyRIC[k] =
            (slot == 3 || slot == 7) ? std::to_string(pick(1000)) : digits(pick(2000000), 7);
    }
    for (auto& b : r.lstRlyBeep) b = pick(5);
    for (auto& t : r.txtRepTime) t = std::to_string(10 * pick(256));
    for (auto& t : r.txtPulseTime) t = std::to_string(10 * pick(251));
    for (auto& ip : r.txtIP) ip = std::to_string(pick(256));
    for (auto& m : r.txtMAC) m = HexString(static_cast<unsigned>(pick(256)), 2);
    for (int o = 0; o < 8; ++o) r.chkOptions[o] = pick(2) == 1;
    r.txtRS485Address = std::to_string(pick(128));
    r.optMaster = pick(2) == 1;
    for (auto& p : r.lstPortBaudrate) p = pick(10);
    for (auto& p : r.lstPortFormat) p = pick(24);
    for (auto& b : e.image) b = static_cast<std::uint8_t>(pick(256));  // earlier contents
    return e;
}

TEST(ConfigFileProperty, SaveOpenSaveGivesTheSameFile) {
    TempDir dir;
    const std::string first = dir.File("first.ORV");
    const std::string second = dir.File("second.ORV");
    std::mt19937 rng(20240601);
    int checked = 0;
    for (int n = 0; n < 300; ++n) {
        SCOPED_TRACE(n);
        Editor e = RandomEditor(rng);
        const WriteConfigResult w1 = WriteConfigFile(first, e.s.rec, e.s.moduleTypes, e.image);
        if (!w1.build.fits) continue;
        ASSERT_TRUE(w1.ok) << w1.error;
        Editor opened;
        const ReadConfigResult r =
            ReadConfigFile(first, opened.s.rec, opened.s.moduleTypes, opened.image);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(opened.image, e.image);
        std::filesystem::remove(second);
        const WriteConfigResult w2 =
            WriteConfigFile(second, opened.s.rec, opened.s.moduleTypes, opened.image);
        ASSERT_TRUE(w2.ok) << w2.error;
        ASSERT_EQ(ReadText(second), ReadText(first));
        ++checked;
    }
    EXPECT_GT(checked, 250);
}

TEST(ConfigFileProperty, ExportedJsonImportedUnchangedSavesTheSameFile) {
    TempDir dir;
    const std::string saved = dir.File("saved.ORV");
    const std::string imported = dir.File("imported.ORV");
    std::mt19937 rng(20261208);
    int checked = 0;
    for (int n = 0; n < 200; ++n) {
        SCOPED_TRACE(n);
        Editor e = RandomEditor(rng);
        if (!WriteConfigFile(saved, e.s.rec, e.s.moduleTypes, e.image).ok) continue;
        Editor opened;
        ASSERT_TRUE(ReadConfigFile(saved, opened.s.rec, opened.s.moduleTypes, opened.image).ok);
        const std::string json =
            RecordToJson(opened.s.rec, opened.s.moduleTypes, &opened.image).dump(2);

        Editor fresh;  // what 'orv-cli import' starts from: a blank image
        const JsonImportResult r =
            RecordFromJsonText(json, fresh.s.rec, fresh.s.moduleTypes, &fresh.image);
        ASSERT_TRUE(r.ok) << r.errors.front();
        std::filesystem::remove(imported);
        ASSERT_TRUE(WriteConfigFile(imported, fresh.s.rec, fresh.s.moduleTypes, fresh.image).ok);
        ASSERT_EQ(ReadText(imported), ReadText(saved));
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

TEST(ConfigFileRobustness, MutatedFilesNeverHarmTheEditor) {
    TempDir dir;
    const std::string path = dir.File("m.ORV");
    std::mt19937 rng(99);
    Editor base = RandomEditor(rng);
    ASSERT_TRUE(WriteConfigFile(path, base.s.rec, base.s.moduleTypes, base.image).ok);
    const std::string original = ReadText(path);
    int opened = 0, refused = 0;
    for (int n = 0; n < 3000; ++n) {
        std::string text = original;
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < edits && !text.empty(); ++k) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 4) {
                case 0:
                    text[at] = static_cast<char>(rng() % 256);
                    break;
                case 1:
                    text.erase(at, 1 + rng() % 40);
                    break;
                case 2:
                    text.insert(at, 1, "0123456789ABCDEF[]=;\r\n"[rng() % 22]);
                    break;
                default:
                    text.resize(at);
                    break;
            }
        }
        Editor e;
        const Editor before = e;
        const ReadConfigResult r = ReadConfigText(text, path, e.s.rec, e.s.moduleTypes, e.image);
        if (r.ok) {
            ++opened;
        } else {
            ++refused;
            EXPECT_FALSE(r.error.empty());
            EXPECT_TRUE(e == before) << r.error;
        }
    }
    EXPECT_GT(opened, 0);
    EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace orv
