#include "tests/wine/wine_test_support.h"

#include <cstdio>

namespace ssi::wintest {

std::string windowText(HWND h) {
    char buf[4096] = {};
    ::GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

std::string classOf(HWND h) {
    char buf[64] = {};
    ::GetClassNameA(h, buf, sizeof buf);
    return buf;
}

std::string exeDir() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\') + 1);
}

namespace {
void removeTree(const std::string& dir) {
    WIN32_FIND_DATAA data;
    win32::FindHandle find(::FindFirstFileA((dir + "*").c_str(), &data));
    if (find) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = dir + name;
            ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(full + "\\");
            else
                ::DeleteFileA(full.c_str());
        } while (::FindNextFileA(find.get(), &data));
    }
    find.reset();
    ::RemoveDirectoryA(dir.substr(0, dir.size() - 1).c_str());
}
}  // namespace

std::string freshDir(const std::string& name) {
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + "ssi-" + name + "\\";
    removeTree(dir);
    ::CreateDirectoryA(dir.substr(0, dir.size() - 1).c_str(), nullptr);
    return dir;
}

void writeFile(const std::string& path, const std::string& content) {
    win32::FileHandle f(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD put = 0;
    if (f) ::WriteFile(f.get(), content.data(), DWORD(content.size()), &put, nullptr);
}

std::string readFile(const std::string& path) {
    win32::FileHandle f(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string out;
    if (!f) return out;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    return out;
}

// ---- BoxWatcher ----------------------------------------------------------------

BoxWatcher::BoxWatcher(std::string title, int buttonId, HWND watchDisabled)
    : title_(std::move(title)), buttonId_(buttonId), watchDisabled_(watchDisabled) {
    DWORD id = 0;
    thread_.reset(::CreateThread(nullptr, 0, run, this, 0, &id));
}

BoxWatcher::~BoxWatcher() {
    result();
}

const SeenBox& BoxWatcher::result() {
    if (thread_) {
        ::WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
    return seen_;
}

DWORD WINAPI BoxWatcher::run(LPVOID self) {
    static_cast<BoxWatcher*>(self)->watch();
    return 0;
}

namespace {

struct ProcessBoxSearch {
    const char* title;  // nullptr: any
    HWND found = nullptr;
};

BOOL CALLBACK findOwnBox(HWND h, LPARAM p) {
    auto* s = reinterpret_cast<ProcessBoxSearch*>(p);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    char cls[64] = {};
    ::GetClassNameA(h, cls, sizeof cls);
    if (pid == ::GetCurrentProcessId() && std::string(cls) == "#32770" && ::IsWindowVisible(h) &&
        (!s->title || windowText(h) == s->title)) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND findBox(const char* title) {
    ProcessBoxSearch s{title};
    ::EnumWindows(findOwnBox, reinterpret_cast<LPARAM>(&s));
    return s.found;
}
}  // namespace

void BoxWatcher::watch() {
    HWND box = nullptr;
    // Up to 30 s of polling: generous, as Wine may run under an emulator.
    for (int i = 0; i < 1500 && !box; ++i) {
        box = findBox(title_.c_str());
        if (!box) ::Sleep(20);
    }
    if (!box) {
        if (HWND other = findBox(nullptr)) ::PostMessageA(other, WM_CLOSE, 0, 0);
        return;
    }
    seen_.found = true;
    seen_.title = windowText(box);
    char cls[64] = {};
    ::GetClassNameA(box, cls, sizeof cls);
    seen_.className = cls;
    if (watchDisabled_) seen_.othersDisabled = !::IsWindowEnabled(watchDisabled_);
    HWND clickTarget = nullptr;
    for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        char childClass[64] = {};
        ::GetClassNameA(c, childClass, sizeof childClass);
        const int id = ::GetDlgCtrlID(c);
        if (_stricmp(childClass, "Button") == 0) {
            seen_.buttons.emplace_back(id, windowText(c));
            if (id == buttonId_) clickTarget = c;
        }
    }
    if (HWND label = ::GetDlgItem(box, 0xFFFF)) {
        seen_.text = windowText(label);
        RECT r;
        ::GetClientRect(label, &r);
        RECT need{0, 0, r.right, 0};
        {
            win32::WindowDC dc(label);
            win32::SelectObjectScope font(dc.get(),
                                          reinterpret_cast<HGDIOBJ>(::SendMessageA(label, WM_GETFONT, 0, 0)));
            ::DrawTextA(dc.get(), seen_.text.c_str(), int(seen_.text.size()), &need,
                        DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        }
        seen_.textFits = need.bottom <= r.bottom && need.right <= r.right;
    }
    RECT br;
    ::GetWindowRect(box, &br);
    seen_.onScreen = br.left >= 0 && br.top >= 0 && br.right <= ::GetSystemMetrics(SM_CXSCREEN) &&
                     br.bottom <= ::GetSystemMetrics(SM_CYSCREEN);
    if (buttonId_ == 0 || !clickTarget)
        ::PostMessageA(box, WM_CLOSE, 0, 0);
    else
        ::PostMessageA(clickTarget, BM_CLICK, 0, 0);
}

int holdFile(const char* path, const char* ready, const char* release) {
    // As a running program holds its own files: others may read, not write or delete.
    win32::FileHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 2;
    win32::KernelHandle readyEvent(::OpenEventA(EVENT_MODIFY_STATE, FALSE, ready));
    win32::KernelHandle releaseEvent(::OpenEventA(SYNCHRONIZE, FALSE, release));
    if (!readyEvent || !releaseEvent) return 3;
    ::SetEvent(readyEvent.get());
    ::WaitForSingleObject(releaseEvent.get(), 120000);
    return 0;
}

}  // namespace ssi::wintest
