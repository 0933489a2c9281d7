// Reading and replacing whole files on Windows (the POSIX side is file_io_posix.cpp). Paths are
// UTF-8 here and wide at the system calls, so folders with blanks and non-ASCII letters work.
#include <windows.h>

#include <atomic>
#include <string>

#include "base/win32_text.h"
#include "files/profile.h"
#include "files/replace_recovery.h"

namespace orv {
namespace {

constexpr const char* kReadOnly = "the file is read-only (clear Read-only in its Properties)";
constexpr const char* kInUse = "it is in use by another program; close it there and try again";

std::string ReasonFor(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return "the file does not exist";
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_PATHNAME:
            return "the folder does not exist";
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
            return kInUse;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "the disk is full";
        case ERROR_WRITE_PROTECT:
            return "the disk is read-only";
        default:
            return Win32ErrorText(code);
    }
}

FileIoResult Failure(DWORD code) {
    return FileIoResult{false, false, ReasonFor(code)};
}

FileIoResult Failure(const char* reason) {
    return FileIoResult{false, false, reason};
}

FileIoResult Failure(const std::string& reason) {
    return FileIoResult{false, false, reason};
}

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }
    bool Close() {
        if (!Valid()) return true;
        const bool ok = ::CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE h_;
};

// The full form of a path (C:\folder\name, with the separators the system writes): the
// replace call wants it, and it names the folder for the temporary file.
std::wstring FullPath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD n =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    }
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    return full;
}

// The folder part of a full path, up to and including its last separator.
std::wstring FolderOf(const std::wstring& path) {
    const auto cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

// Writes bytes to a new temporary file beside target (a full path) and flushes them to disk; 0 or
// the error code. The file is left behind only on success (its name in temp).
DWORD WriteTemporary(const std::wstring& target, std::string_view bytes, std::wstring& temp) {
    static std::atomic<unsigned> counter{0};
    const std::wstring folder = FolderOf(target);
    const std::wstring name = target.substr(folder.size());
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temp = folder + L"." + name + L".tmp" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter++);
        h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return ::GetLastError();
    }
    if (h == INVALID_HANDLE_VALUE) return ERROR_FILE_EXISTS;
    Handle file(h);
    auto abandon = [&](DWORD code) {
        file.Close();
        ::DeleteFileW(temp.c_str());
        return code;
    };
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = left > (1u << 20) ? (1u << 20) : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!::WriteFile(file.Get(), p, chunk, &n, nullptr)) return abandon(::GetLastError());
        p += n;
        left -= n;
    }
    if (!::FlushFileBuffers(file.Get())) return abandon(::GetLastError());
    if (!file.Close()) return abandon(::GetLastError());
    return 0;
}

}  // namespace

FileIoResult ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const std::wstring wide = WideFromUtf8(path);
    Handle f(::CreateFileW(wide.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.Valid()) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return FileIoResult{false, true, "the file does not exist"};
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Failure("it is a folder, not a file");
        return Failure(code);
    }
    char buf[16384];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(f.Get(), buf, sizeof buf, &n, nullptr)) return Failure(::GetLastError());
        if (n == 0) break;
        bytes.append(buf, n);
    }
    return FileIoResult{true, false, {}};
}

FileIoResult WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const std::wstring target = FullPath(WideFromUtf8(path));
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Failure("it is a folder, not a file");
        if (attributes & FILE_ATTRIBUTE_READONLY) return Failure(kReadOnly);
        // A file another program holds open (a spreadsheet showing the table) cannot be
        // replaced; say so before anything is written.
        Handle probe(::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.Valid()) return Failure(::GetLastError());
    } else if (const DWORD code = ::GetLastError(); code != ERROR_FILE_NOT_FOUND) {
        return Failure(code);
    }

    // The new contents go to a file of their own in the same folder first, so that the target is
    // either the old or the new file and never half-written.
    std::wstring temp;
    if (const DWORD code = WriteTemporary(target, bytes, temp); code != 0) return Failure(code);

    if (exists) {
        // Replacing keeps what the target carries besides its bytes (attributes, security,
        // creation time); the attributes are set again for file systems that do not merge them.
        if (!::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                            nullptr, nullptr)) {
            const DWORD code = ::GetLastError();
            // Some failures have already moved the old file away: then the temporary file is
            // the only copy left and must take the target's name, or stay where it is.
            DWORD moveCode = 0;
            const ReplaceRecovery recovery = RecoverFailedReplace(
                code,
                {[&] { return ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES; },
                 [&] {
                     if (::MoveFileExW(temp.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                         return true;
                     moveCode = ::GetLastError();
                     return false;
                 },
                 [&] { ::DeleteFileW(temp.c_str()); }});
            if (recovery == ReplaceRecovery::kKeptTemporary)
                return Failure(
                    KeptTemporaryReason(ReasonFor(moveCode ? moveCode : code), Utf8FromWide(temp)));
            if (recovery == ReplaceRecovery::kFailed) return Failure(code);
        }
        const DWORD now = ::GetFileAttributesW(target.c_str());
        if (now != INVALID_FILE_ATTRIBUTES && now != attributes)
            ::SetFileAttributesW(target.c_str(), attributes);
    } else if (!::MoveFileExW(temp.c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = ::GetLastError();
        ::DeleteFileW(temp.c_str());
        return Failure(code);
    }
    return FileIoResult{true, false, {}};
}

FileIoResult WriteNewFile(const std::string& path, std::string_view bytes) {
    const std::wstring target = FullPath(WideFromUtf8(path));
    std::wstring temp;
    if (const DWORD code = WriteTemporary(target, bytes, temp); code != 0) return Failure(code);
    // Without MOVEFILE_REPLACE_EXISTING the move takes the name only while it is free.
    if (::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        return FileIoResult{true, false, {}};
    const DWORD code = ::GetLastError();
    ::DeleteFileW(temp.c_str());
    FileIoResult r = Failure(code);
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) {
        r.taken = true;
        r.error = "the name is taken";
    }
    return r;
}

}  // namespace orv
