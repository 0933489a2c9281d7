#include "files/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "files/replace_recovery.h"
#include "files_test_util.h"

namespace orv {
namespace {

TEST(ProfileRead, LookupSemantics) {
    const ProfileDocument doc = ProfileDocument::Parse(
        "; a comment line\r\n"
        "top=before any section\r\n"
        "[General]\r\n"
        "  Version Line 1 =   \"FW 2.00\"  \r\n"
        "version line 2='single'\r\n"
        "Plain = a = b\r\n"
        "Empty=\r\n"
        "Lone\"Quote=\"abc\r\n"
        "Mixed=\"abc'\r\n"
        ";Commented=yes\r\n"
        "Dup=first\r\n"
        "DUP=second\r\n"
        "[ module ]\n"  // LF only, blanks inside the brackets
        "Bank 1=13\n"
        "[GENERAL]\r\n"
        "Version Line 1=from the second section\r\n"
        "Only In Second=x\r\n");
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } cases[] = {
        {"General", "Version Line 1", "FW 2.00"},
        {"general", "VERSION LINE 1", "FW 2.00"},
        {"General", "Version Line 2", "single"},
        {"General", "plain", "a = b"},
        {"General", "Empty", ""},
        {"General", "Lone\"Quote", "\"abc"},
        {"General", "Mixed", "\"abc'"},
        {"General", ";Commented", std::nullopt},
        {"General", "Commented", std::nullopt},
        {"General", "Dup", "first"},
        {"General", "Only In Second", std::nullopt},  // the first section of a name wins
        {"Module", "Bank 1", "13"},
        {"MODULE", "bank 1", "13"},
        {"Module", "Bank 2", std::nullopt},
        {"Missing", "Bank 1", std::nullopt},
        {"", "top", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.section << "/" << c.key);
        EXPECT_EQ(doc.Find(c.section, c.key), c.expected);
    }
    EXPECT_EQ(doc.Get("Missing", "x", "default"), "default");
    EXPECT_EQ(doc.Get("General", "Empty", "default"), "");
}

TEST(ProfileRead, ValueLimit) {
    const std::string longValue(9000, '7');
    const ProfileDocument doc = ProfileDocument::Parse("[A]\r\nK=" + longValue + "\r\n");
    const auto v = doc.Find("A", "K");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->size(), kProfileValueLimit);
    EXPECT_EQ(*v, longValue.substr(0, kProfileValueLimit));
}

TEST(ProfileWrite, KeepsEverythingElseInOrder) {
    ProfileDocument doc = ProfileDocument::Parse(
        "; saved by hand\n"
        "[Extra]\n"
        "Note = keep me\n"
        "\n"
        "[general]\n"
        "VERSION LINE 1 = old\n"
        "Other=1\n"
        "\n"
        "[Trailer]\n"
        "x=y");
    doc.Set("General", "Version Line 1", "new");    // replaced in place, file's spelling kept
    doc.Set("General", "Version Line 2", "added");  // end of its section, before the blank line
    doc.Set("Module", "Bank 1", "14");              // new section at the end of the file
    doc.Set("Module", "Bank 2", "0");
    doc.Set("trailer", "X", "z");
    EXPECT_EQ(doc.Serialize(),
              "; saved by hand\r\n"
              "[Extra]\r\n"
              "Note = keep me\r\n"
              "\r\n"
              "[general]\r\n"
              "VERSION LINE 1=new\r\n"
              "Other=1\r\n"
              "Version Line 2=added\r\n"
              "\r\n"
              "[Trailer]\r\n"
              "x=z\r\n"
              "[Module]\r\n"
              "Bank 1=14\r\n"
              "Bank 2=0\r\n");
}

TEST(ProfileWrite, NewDocumentAndLineBreaksInValues) {
    ProfileDocument doc;
    doc.Set("Version", "ORV Pro", "ORV Pro Configuration 1.0");
    doc.Set("General", "Version Line 1", "two\r\nlines");
    EXPECT_EQ(doc.Serialize(),
              "[Version]\r\nORV Pro=ORV Pro Configuration 1.0\r\n"
              "[General]\r\nVersion Line 1=two  lines\r\n");
    // What was written reads back.
    const ProfileDocument again = ProfileDocument::Parse(doc.Serialize());
    EXPECT_EQ(again.Find("version", "orv pro"), "ORV Pro Configuration 1.0");
    EXPECT_EQ(again.Serialize(), doc.Serialize());
}

TEST(ProfileFiles, AtomicWriteAndFailures) {
    TempDir dir;
    const std::string path = dir.File("a.ORV");

    EXPECT_EQ(ProfileGetItem("A", "K", "dflt", path), "dflt");  // missing file
    ASSERT_TRUE(ProfileWriteItem("A", "K", "1", path).ok);
    ASSERT_TRUE(ProfileWriteItem("B", "K", "2", path).ok);
    ASSERT_TRUE(ProfileWriteItem("a", "k", "3", path).ok);
    EXPECT_EQ(ReadText(path), "[A]\r\nK=3\r\n[B]\r\nK=2\r\n");
    EXPECT_EQ(ProfileGetItem("b", "k", "", path), "2");
    // No temporary files are left beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path),
                            std::filesystem::directory_iterator()),
              1);

    // A read-only file is refused and keeps its contents.
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const FileIoResult ro = WriteFileAtomically(path, "new");
    EXPECT_FALSE(ro.ok);
    EXPECT_EQ(ro.error, kReadOnlyReason);
    EXPECT_EQ(ReadText(path), "[A]\r\nK=3\r\n[B]\r\nK=2\r\n");

    const FileIoResult noDir = WriteFileAtomically(dir.File("no/such/folder/x.ORV"), "x");
    EXPECT_FALSE(noDir.ok);
    EXPECT_EQ(noDir.error, "the folder does not exist");

    const FileIoResult isDir = WriteFileAtomically(dir.path.string(), "x");
    EXPECT_FALSE(isDir.ok);

    std::string bytes;
    const FileIoResult missing = ReadWholeFile(dir.File("nothing.ORV"), bytes);
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.missing);
}

#ifndef _WIN32  // Windows keeps attributes instead (file_io_win32_test.cpp)
TEST(ProfileFiles, KeepsPermissionsOfReplacedFile) {
    TempDir dir;
    const std::string path = dir.File("p.ORV");
    ASSERT_TRUE(WriteFileAtomically(path, "one").ok);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomically(path, "two").ok);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadText(path), "two");
}
#endif

// Folders and files named with blanks and letters beyond ASCII, given in UTF-8.
TEST(ProfileFiles, PathsWithBlanksAndNonAsciiLetters) {
    TempDir dir;
    const std::filesystem::path folder = dir.path / std::filesystem::path(u8"Kunde Ölwerk ñ");
    std::filesystem::create_directory(folder);
    const std::u8string name = u8"Anlage 3 – Süd.ORV";
    auto bytes = [](const std::u8string& s) { return std::string(s.begin(), s.end()); };
    const std::string path = bytes((folder / name).u8string());

    ASSERT_TRUE(WriteFileAtomically(path, "one").ok);
    const FileIoResult again = WriteFileAtomically(path, "two");
    ASSERT_TRUE(again.ok) << again.error;
    std::string read;
    ASSERT_TRUE(ReadWholeFile(path, read).ok);
    EXPECT_EQ(read, "two");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(bytes(e.path().filename().u8string()));
    EXPECT_EQ(names, std::vector<std::string>{bytes(name)});
}

// A new file takes a free name only: a taken one is said so and keeps what it held.
TEST(ProfileFiles, NewFileNeverReplacesOne) {
    TempDir dir;
    const std::string path = dir.File("copy.ORV");
    ASSERT_TRUE(WriteNewFile(path, "first").ok);
    const FileIoResult again = WriteNewFile(path, "second");
    EXPECT_FALSE(again.ok);
    EXPECT_TRUE(again.taken);
    EXPECT_EQ(ReadText(path), "first");
    EXPECT_FALSE(WriteNewFile(dir.File("no/such/folder/x.ORV"), "x").taken);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path),
                            std::filesystem::directory_iterator()),
              1);  // no temporary file left behind
}

// After a failed replace the temporary file is deleted only while the target still holds the old
// contents; when the old file was moved away it takes its place, or stays as the only copy.
TEST(ProfileFiles, FailedReplaceNeverDeletesTheOnlyCopy) {
    struct Row {
        unsigned long code;
        bool targetThere, moveWorks;
        ReplaceRecovery outcome;
        bool moved, dropped;
    } rows[] = {
        {5, true, true, ReplaceRecovery::kFailed, false, true},  // access denied: old file intact
        {1175, true, true, ReplaceRecovery::kFailed, false, true},
        {kUnableToMoveReplacement, false, true, ReplaceRecovery::kMovedIntoPlace, true, false},
        {kUnableToMoveReplacement, false, false, ReplaceRecovery::kKeptTemporary, true, false},
        {kUnableToMoveReplacement2, true, true, ReplaceRecovery::kMovedIntoPlace, true, false},
        {kUnableToMoveReplacement2, false, false, ReplaceRecovery::kKeptTemporary, true, false},
        {5, false, true, ReplaceRecovery::kMovedIntoPlace, true, false},  // gone, whatever it says
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.code << " there " << r.targetThere);
        bool moved = false, dropped = false;
        const ReplaceRecovery outcome = RecoverFailedReplace(
            r.code, {[&] { return r.targetThere; }, [&] { return moved = true, r.moveWorks; },
                     [&] { dropped = true; }});
        EXPECT_EQ(outcome, r.outcome);
        EXPECT_EQ(moved, r.moved);
        EXPECT_EQ(dropped, r.dropped);
    }
    EXPECT_NE(
        KeptTemporaryReason("disk full", "C:\\x\\.a.ORV.tmp1").find("kept in C:\\x\\.a.ORV.tmp1"),
        std::string::npos);
}

}  // namespace
}  // namespace orv
