// Temporary folders and small file helpers for the file tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace orv {

// Why a read-only file is not replaced, in the words of the platform's file layer.
#ifdef _WIN32
inline constexpr const char* kReadOnlyReason =
    "the file is read-only (clear Read-only in its Properties)";
#else
inline constexpr const char* kReadOnlyReason = "permission denied";
#endif

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::random_device random;
        do {
            path = std::filesystem::temp_directory_path() /
                   ("orv-files-test-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(path));
    }
    ~TempDir() {
        std::error_code ec;
        // Read-only files left by a test must not stop the clean-up.
        for (auto& e : std::filesystem::recursive_directory_iterator(path, ec))
            std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return (path / name).string(); }
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

}  // namespace orv
