// end_session.exe CAPTION: ends the desktop session for one program, as Windows does for each
// program when the user signs out: every top-level window of the program that has a visible
// window whose caption holds CAPTION is asked whether the session may end (WM_QUERYENDSESSION),
// then told that it ends (WM_ENDSESSION); the program is given 30 s to finish, then ended as the
// system ends it. Only that program is touched, unlike "wineboot --end-session", which ends the
// session of every program in the Wine prefix, other tests' included. Exit status: 0 the program
// finished by itself, 3 it had to be ended, 4 it refused the end of the session, 2 no such window
// or wrong usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

struct Search {
    DWORD process;
    std::vector<HWND> windows;
};

struct Find {
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM find) {
    auto* f = reinterpret_cast<Find*>(find);
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    if (!::IsWindowVisible(window) || !std::wcsstr(text, f->caption)) return TRUE;
    f->found = window;
    return FALSE;
}

BOOL CALLBACK Collect(HWND window, LPARAM search) {
    auto* s = reinterpret_cast<Search*>(search);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == s->process) s->windows.push_back(window);
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: end_session CAPTION\n", stderr);
        return 2;
    }
    Find find{argv[1], nullptr};
    ::EnumWindows(Match, reinterpret_cast<LPARAM>(&find));
    const HWND main = find.found;
    if (!main) {
        std::fputs("end_session: no window with that caption\n", stderr);
        return 2;
    }
    Search search{0, {}};
    ::GetWindowThreadProcessId(main, &search.process);
    const HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, search.process);
    ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.windows) {
        DWORD_PTR agreed = 0;
        if (::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                  SMTO_ABORTIFHUNG, 30000, &agreed) &&
            !agreed) {
            std::fputs("end_session: the program refused the end of the session\n", stderr);
            return 4;
        }
    }
    for (HWND window : search.windows) {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                              30000, &ignored);
    }
    if (!process) return 0;  // it has gone already
    if (::WaitForSingleObject(process, 30000) == WAIT_OBJECT_0) return 0;
    ::TerminateProcess(process, 1);
    return 3;
}
