// Reading and replacing whole files on POSIX systems (the Win32 side is file_io_win32.cpp).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "files/profile.h"

namespace orv {
namespace {

std::string ReasonFor(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
            return "permission denied";
        case ENOENT:
        case ENOTDIR:
            return "the folder does not exist";
        case ENOSPC:
        case EDQUOT:
            return "the disk is full";
        case EROFS:
            return "the disk is read-only";
        case EISDIR:
            return "it is a folder, not a file";
        default: {
            std::string text = std::strerror(err);
            if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = text[0] - 'A' + 'a';
            return text;
        }
    }
}

FileIoResult Failure(int err) {
    return FileIoResult{false, false, ReasonFor(err)};
}

// Writes bytes to a new temporary file beside target and flushes them to disk; 0 or the errno.
// The file is left behind only on success (its name in temp).
int WriteTemporary(const std::filesystem::path& target, mode_t mode, bool setMode,
                   std::string_view bytes, std::filesystem::path& temp) {
    namespace fs = std::filesystem;
    static std::atomic<unsigned> counter{0};
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = dir / ("." + target.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
                      std::to_string(counter++));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) return errno;
    }
    if (fd < 0) return EEXIST;

    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        return err;
    };
    if (setMode && ::fchmod(fd, mode) != 0) return abandon(errno);
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return abandon(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return err;
    }
    return 0;
}

// Makes a rename or a new link durable; a failure here does not undo it.
void SyncFolder(const std::filesystem::path& file) {
    const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : ".";
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

// Writes straight into a name that must not exist yet, for file systems without hard links.
FileIoResult WriteExclusively(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        FileIoResult r = Failure(errno);
        r.taken = errno == EEXIST;
        return r;
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    int err = 0;
    while (left > 0 && err == 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno != EINTR) err = errno;
            continue;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(path.c_str());  // ours alone: the name was free a moment ago
        return Failure(err);
    }
    return FileIoResult{true, false, {}};
}

}  // namespace

FileIoResult ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        const int err = errno;
        FileIoResult r = Failure(err);
        if (err == ENOENT) {
            r.missing = true;
            r.error = "the file does not exist";
        }
        return r;
    }
    char buf[16384];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (failed) return Failure(err);
    return FileIoResult{true, false, {}};
}

FileIoResult WriteFileAtomically(const std::string& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(path);
    // Write through a link to the file it points at, so the link itself survives.
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }

    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    mode_t mode = 0666;
    if (exists) {
        if (S_ISDIR(st.st_mode)) return Failure(EISDIR);
        // A file without any write permission is read-only even for a user who could override
        // it; the platform this format comes from refuses to write such a file as well.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            ::access(target.c_str(), W_OK) != 0)
            return Failure(EACCES);
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return Failure(errno);
    }

    fs::path temp;
    if (const int err = WriteTemporary(target, mode, exists, bytes, temp); err != 0)
        return Failure(err);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Failure(err);
    }
    SyncFolder(target);
    return FileIoResult{true, false, {}};
}

FileIoResult WriteNewFile(const std::string& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    fs::path temp;
    if (const int err = WriteTemporary(target, 0666, false, bytes, temp); err != 0)
        return Failure(err);
    // A hard link takes the name only while it is free; rename would replace a file there.
    const int linked = ::link(temp.c_str(), target.c_str());
    const int err = linked == 0 ? 0 : errno;
    ::unlink(temp.c_str());
    if (linked == 0) {
        SyncFolder(target);
        return FileIoResult{true, false, {}};
    }
    if (err == EEXIST) {
        FileIoResult r = Failure(err);
        r.taken = true;
        r.error = "the name is taken";
        return r;
    }
    // File systems without hard links (FAT, some network shares) still create exclusively.
    if (err == EPERM || err == EOPNOTSUPP || err == ENOSYS || err == EMLINK)
        return WriteExclusively(path, bytes);
    return Failure(err);
}

}  // namespace orv
