// Helpers shared by the Win32 test programs that run under Wine.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/controls.h"
#include "platform/win32/handles.h"

namespace ssi::wintest {

// A realised form's window, a window's caption and class.
inline HWND hwndOf(const Form& form) {
    return reinterpret_cast<HWND>(form.handle);
}
std::string windowText(HWND h);
std::string classOf(HWND h);

// Folder of the running test program, with a trailing backslash.
std::string exeDir();
// A fresh, empty folder under the temporary folder (trailing backslash).
std::string freshDir(const std::string& name);
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);

// What a watcher saw of a message box.
struct SeenBox {
    bool found = false;
    std::string title;
    std::string className;
    std::string text;                                  // Static 65535
    std::vector<std::pair<int, std::string>> buttons;  // id, caption, left to right
    bool textFits = false;                             // the text's wrapped height fits its Static
    bool onScreen = false;                             // the whole box lies on the screen
    bool othersDisabled = false;                       // `watchDisabled` was disabled while the box was up
};

// Watches for a dialog-class window of this process with the given title
// from a second thread, records what it shows, then clicks `buttonId`
// (0: closes the box with WM_CLOSE). When no such box appears within the
// wait, closes whatever box is up so that the test fails instead of hanging.
class BoxWatcher {
public:
    BoxWatcher(std::string title, int buttonId, HWND watchDisabled = nullptr);
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;
    // Waits for the watcher to finish and returns what it saw.
    const SeenBox& result();

private:
    static DWORD WINAPI run(LPVOID self);
    void watch();
    std::string title_;
    int buttonId_;
    HWND watchDisabled_;
    SeenBox seen_;
    win32::KernelHandle thread_;
};

// The helper process's side: `PROGRAM --hold FILE READY RELEASE` opens FILE
// for reading, sharing reading only (as a running program holds its own
// files), signals the event READY and keeps the file open
// until the event RELEASE is set. Every test program's main() hands that
// command line to it.
[[nodiscard]] int holdFile(const char* path, const char* ready, const char* release);

// Another process holding a file open for as long as this object lives.
class HeldFile {
public:
    explicit HeldFile(const std::string& path) {
        static int serial = 0;
        const std::string tag = std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
        const std::string readyName = "ssi-ready-" + tag, releaseName = "ssi-release-" + tag;
        ready_.reset(::CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
        release_.reset(::CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str()));
        char exe[MAX_PATH + 1] = {};
        ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
        std::string command =
            "\"" + std::string(exe) + "\" --hold \"" + path + "\" " + readyName + " " + releaseName;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (::CreateProcessA(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            process_.reset(pi.hProcess);
            ::CloseHandle(pi.hThread);
            HANDLE waits[2] = {ready_.get(), process_.get()};
            held_ = ::WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
        }
    }
    ~HeldFile() {
        if (release_) ::SetEvent(release_.get());
        if (process_) ::WaitForSingleObject(process_.get(), 60000);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool held() const { return held_; }

private:
    win32::KernelHandle ready_, release_, process_;
    bool held_ = false;
};

// The player control's stand-in (bin/player7.ocx, beside the test program),
// registered through its own DllRegisterServer for as long as the object
// lives.
class RegisteredPlayer {
public:
    RegisteredPlayer() : library_(::LoadLibraryA((exeDir() + "player7.ocx").c_str())) {
        registered_ = library_ && call("DllRegisterServer");
    }
    ~RegisteredPlayer() {
        if (registered_) ignoreResult(call("DllUnregisterServer"), "the next registration replaces this one");
    }
    RegisteredPlayer(const RegisteredPlayer&) = delete;
    RegisteredPlayer& operator=(const RegisteredPlayer&) = delete;
    bool registered() const { return registered_; }

private:
    [[nodiscard]] bool call(const char* entry) {
        using Entry = HRESULT(WINAPI*)();
        auto f = reinterpret_cast<Entry>(::GetProcAddress(library_.get(), entry));
        return f && SUCCEEDED(f());
    }
    win32::Module library_;
    bool registered_ = false;
};

}  // namespace ssi::wintest
