// e2e_helper: what the end-to-end scripts need from inside Wine besides the
// UI driver.
//
//   e2e_helper run [--hold FILE] [--no-watch] PROGRAM [ARGS...]
//       Starts PROGRAM (a Windows path; its folder is the working folder),
//       while another process holds FILE open sharing reading only when
//       --hold is given, and watches the program's top-level windows until it
//       ends (with --no-watch it only waits, for timings). Prints "held 1|0"
//       (with --hold), one "on-screen TITLE" line per title of a window of
//       the program that was visible on the screen,
//       "exit-code N" (signed), "elapsed-ms N" (from the start to the end
//       of the program), "peak-working-set N" (the most bytes of memory the
//       program held at once, as the system counts them; 0 when it cannot
//       tell), then one "left-running NAME" line per process
//       that has the program's file name or was started by it and is still
//       running once the program has ended.
//   e2e_helper state NAME
//       What Windows holds of the screen saver NAME: "saver-short PATH" (the
//       short path of the system folder's NAME.scr, empty when it is
//       missing) and, for HKLM then HKCU, "uninstall HIVE DISPLAYNAME|COMMAND"
//       or "uninstall HIVE none".
//   e2e_helper try-write FILE...
//       What another program of the user meets when it opens each FILE for
//       writing (sharing everything): one "NAME CODE" line per file, NAME its
//       file name, CODE 0 or the system's error (32 while someone holds it
//       without write sharing). Nothing is written.
//   e2e_helper --hold FILE READY RELEASE
//       The holding process that `run --hold` starts (tests/wine).
//
// Exit code 0, 1 when the program cannot be started, 2 for bad usage.
#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "tests/wine/wine_test_support.h"

namespace {

[[nodiscard]] int usage() {
    std::fprintf(stderr,
                 "usage: e2e_helper run [--hold FILE] [--no-watch] PROGRAM [ARGS...] | state NAME | "
                 "try-write FILE...\n");
    return 2;
}

std::string quoted(const char* arg) {
    std::string s = arg;
    return s.find_first_of(" \t\"") == std::string::npos ? s : "\"" + s + "\"";
}

std::string baseName(const std::string& path) {
    return path.substr(path.find_last_of("\\/") + 1);
}

// The high-water mark of the process's working set. Read through whichever
// of kernel32's K32GetProcessMemoryInfo and psapi's GetProcessMemoryInfo the
// system has, resolved at run time; 0 when neither answers.
class PeakWorkingSet {
public:
    PeakWorkingSet() {
        if (HMODULE kernel = ::GetModuleHandleA("kernel32.dll"))
            query_ = reinterpret_cast<Query>(::GetProcAddress(kernel, "K32GetProcessMemoryInfo"));
        if (!query_ && (psapi_ = ::LoadLibraryA("psapi.dll")) != nullptr)
            query_ = reinterpret_cast<Query>(::GetProcAddress(psapi_, "GetProcessMemoryInfo"));
    }
    ~PeakWorkingSet() {
        if (psapi_) ::FreeLibrary(psapi_);
    }
    PeakWorkingSet(const PeakWorkingSet&) = delete;
    PeakWorkingSet& operator=(const PeakWorkingSet&) = delete;

    // Keeps the largest peak seen: a process that has ended may no longer
    // answer, so the caller samples it while it runs too.
    void sample(HANDLE process) {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (query_ && query_(process, &counters, sizeof counters) && counters.PeakWorkingSetSize > peak_)
            peak_ = counters.PeakWorkingSetSize;
    }
    SIZE_T peak() const { return peak_; }

private:
    using Query = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
    HMODULE psapi_ = nullptr;
    Query query_ = nullptr;
    SIZE_T peak_ = 0;
};

struct Watch {
    DWORD pid;
    RECT screen;
    std::set<std::string>* seen;
};

BOOL CALLBACK noteWindow(HWND h, LPARAM p) {
    auto* w = reinterpret_cast<Watch*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(h, &owner);
    if (owner != w->pid || !::IsWindowVisible(h)) return TRUE;
    RECT r, common;
    if (!::GetWindowRect(h, &r) || !::IntersectRect(&common, &r, &w->screen)) return TRUE;
    char title[512] = {};
    ::GetWindowTextA(h, title, sizeof title);
    if (w->seen->insert(title).second) std::printf("on-screen %s\n", title);
    return TRUE;
}

[[nodiscard]] int run(int argc, char** argv) {
    int i = 0;
    const char* held = nullptr;
    bool watching = true;
    for (;; ++i) {
        if (i + 1 < argc && std::strcmp(argv[i], "--hold") == 0)
            held = argv[++i];
        else if (i < argc && std::strcmp(argv[i], "--no-watch") == 0)
            watching = false;
        else
            break;
    }
    if (i >= argc) return usage();
    const std::string program = argv[i];
    std::string command = quoted(argv[i]);
    for (int k = i + 1; k < argc; ++k) command += " " + quoted(argv[k]);
    const std::string folder = program.substr(0, program.find_last_of('\\') + 1);

    std::unique_ptr<ssi::wintest::HeldFile> hold;
    if (held) {
        hold = std::make_unique<ssi::wintest::HeldFile>(held);
        std::printf("held %d\n", hold->held() ? 1 : 0);
    }
    // Under Wine the first process of a session that touches the desktop
    // starts the desktop process (explorer.exe) as its own child, and it stays
    // for the session: asked for here, it is the helper's, never counted as
    // left running by the program.
    ::GetDesktopWindow();
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const DWORD started = ::GetTickCount();
    if (!::CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
        std::printf("not-started %lu\n", ::GetLastError());
        return 1;
    }
    ::CloseHandle(pi.hThread);
    // Polled, not hooked: a window that is on the screen for a few
    // milliseconds only may slip through, one that stays is seen.
    std::set<std::string> seen;
    Watch watch{
        pi.dwProcessId, {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}, &seen};
    // The memory figure is sampled while the program runs as well as after:
    // the peak only grows, and the latest answer is the one that counts.
    PeakWorkingSet memory;
    if (watching) {
        do {
            ::EnumWindows(noteWindow, reinterpret_cast<LPARAM>(&watch));
            memory.sample(pi.hProcess);
        } while (::WaitForSingleObject(pi.hProcess, 5) == WAIT_TIMEOUT);
    } else {
        do {
            memory.sample(pi.hProcess);
        } while (::WaitForSingleObject(pi.hProcess, 10) == WAIT_TIMEOUT);
    }
    const DWORD elapsed = ::GetTickCount() - started;
    memory.sample(pi.hProcess);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hProcess);
    std::printf("exit-code %ld\nelapsed-ms %lu\npeak-working-set %lu\n", long(int32_t(code)), elapsed,
                static_cast<unsigned long>(memory.peak()));
    hold.reset();

    const std::string name = baseName(program);
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
            if (_stricmp(baseName(entry.szExeFile).c_str(), name.c_str()) == 0 ||
                entry.th32ParentProcessID == pi.dwProcessId)
                std::printf("left-running %s\n", entry.szExeFile);
        }
        ::CloseHandle(snapshot);
    }
    return 0;
}

std::string regString(HKEY key, const char* value) {
    char buf[1024] = {};
    DWORD size = sizeof buf - 1, type = 0;
    if (::RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
        return "(missing)";
    return buf;
}

[[nodiscard]] int state(const char* name) {
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    const std::string saver = std::string(system) + "\\" + name + ".scr";
    char shortPath[MAX_PATH] = {};
    if (!::GetShortPathNameA(saver.c_str(), shortPath, MAX_PATH)) shortPath[0] = 0;
    std::printf("saver-short %s\n", shortPath);
    const std::string path = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + name;
    const struct {
        HKEY hive;
        const char* label;
    } hives[] = {{HKEY_LOCAL_MACHINE, "HKLM"}, {HKEY_CURRENT_USER, "HKCU"}};
    for (const auto& h : hives) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(h.hive, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            std::printf("uninstall %s none\n", h.label);
            continue;
        }
        std::printf("uninstall %s %s|%s\n", h.label, regString(key, "DisplayName").c_str(),
                    regString(key, "UninstallString").c_str());
        ::RegCloseKey(key);
    }
    return 0;
}

[[nodiscard]] int tryWrite(int count, char** files) {
    for (int i = 0; i < count; ++i) {
        HANDLE h =
            ::CreateFileA(files[i], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD code = h == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
        std::printf("%s %lu\n", baseName(files[i]).c_str(), static_cast<unsigned long>(code));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc == 5 && std::strcmp(argv[1], "--hold") == 0)
        return ssi::wintest::holdFile(argv[2], argv[3], argv[4]);
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0) return run(argc - 2, argv + 2);
    if (argc == 3 && std::strcmp(argv[1], "state") == 0) return state(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "try-write") == 0) return tryWrite(argc - 2, argv + 2);
    return usage();
}
