// Runs the built orv-cli with arguments and collects its exit status and output.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <string>
#include <vector>

#include "../files/files_test_util.h"
#include "../test_env.h"

namespace orv::test {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

#ifdef _WIN32
inline std::wstring Wide(const std::string& utf8) {
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

// One argument of a command line as the C runtime splits it again.
inline std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring q = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        q.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        q += c;
    }
    q.append(2 * backslashes, L'\\');
    return q + L"\"";
}

// Starts program with args, standard input empty, output and errors into the two files.
inline int RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& outPath, const std::string& errPath) {
    std::wstring line = QuoteArgument(Wide(program));
    for (const auto& a : args) line += L" " + QuoteArgument(Wide(a));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto open = [&](const std::wstring& path, DWORD access, DWORD disposition) {
        return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = open(L"NUL", GENERIC_READ, OPEN_EXISTING);
    si.hStdOutput = open(Wide(outPath), GENERIC_WRITE, CREATE_ALWAYS);
    si.hStdError = open(Wide(errPath), GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION pi{};
    DWORD status = static_cast<DWORD>(-1);
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                         &pi)) {
        ::WaitForSingleObject(pi.hProcess, INFINITE);
        ::GetExitCodeProcess(pi.hProcess, &status);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError}) ::CloseHandle(h);
    return static_cast<int>(status);
}
#else
inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Starts program with args, standard input empty, output and errors into the two files.
inline int RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& outPath, const std::string& errPath) {
    std::string cmd = ShellQuote(program);
    for (const auto& a : args) cmd += " " + ShellQuote(a);
    cmd += " >" + ShellQuote(outPath) + " 2>" + ShellQuote(errPath) + " </dev/null";
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}
#endif

// A test with a scratch folder and a way to run orv-cli (ORV_CLI_PATH) inside it.
class CliTest : public testing::Test {
  protected:
    // The copies the runs keep go to the test's own folder, never the user's history.
    CliTest() { SetEnv(kHistoryBaseVariable, dir.File("data")); }
    RunResult Run(const std::vector<std::string>& args) {
        const std::string out = dir.File(".stdout"), err = dir.File(".stderr");
        RunResult r;
        r.status = RunProgram(ORV_CLI_PATH, args, out, err);
        r.out = ReadText(out);
        r.err = ReadText(err);
        return r;
    }
    TempDir dir;
};

}  // namespace orv::test
