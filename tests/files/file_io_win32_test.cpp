// Replacing files on Windows: what the target carries besides its bytes survives, and a file held
// open by another program is reported and left as it was.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "base/win32_text.h"
#include "files/profile.h"
#include "files_test_util.h"

namespace orv {
namespace {

std::size_t FilesIn(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                  std::filesystem::directory_iterator()));
}

TEST(Win32Files, ReplacingKeepsTheAttributes) {
    TempDir dir;
    const std::string path = dir.File("site.ORV");
    ASSERT_TRUE(WriteFileAtomically(path, "one").ok);
    const std::wstring wide = WideFromUtf8(path);
    ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));

    const FileIoResult w = WriteFileAtomically(path, "two");
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(ReadText(path), "two");
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << attributes;
    EXPECT_EQ(FilesIn(dir.path), 1u);
}

TEST(Win32Files, FileInUseIsReportedAndKept) {
    TempDir dir;
    const std::string path = dir.File("site.csv");
    ASSERT_TRUE(WriteFileAtomically(path, "old").ok);
    // As a spreadsheet holds a file it has open: others may read it, nothing more.
    const HANDLE held = ::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const FileIoResult w = WriteFileAtomically(path, "new");
    ::CloseHandle(held);
    EXPECT_FALSE(w.ok);
    EXPECT_NE(w.error.find("in use by another program"), std::string::npos) << w.error;
    EXPECT_EQ(ReadText(path), "old");
    EXPECT_EQ(FilesIn(dir.path), 1u);
}

}  // namespace
}  // namespace orv
