// Helpers shared by the Win32 test programs that run under Wine.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/handles.h"

namespace ssi::wintest {

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
    std::string text;                                // Static 65535
    std::vector<std::pair<int, std::string>> buttons;  // id, caption, left to right
    bool textFits = false;                           // the text's wrapped height fits its Static
    bool onScreen = false;                           // the whole box lies on the screen
    bool othersDisabled = false;                     // `watchDisabled` was disabled while the box was up
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

}  // namespace ssi::wintest
