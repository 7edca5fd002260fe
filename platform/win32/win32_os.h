// The real OS seam: every member of Os with the Win32 calls it names, plus
// the peers that mirror control models onto real windows.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/os.h"
#include "platform/win32/handles.h"

namespace ssi::win32 {

class FormPeer;

// Restricts where the system looks for DLLs loaded by name (planted-DLL
// defence): SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) and
// SetDllDirectoryA(""), each resolved at run time and called when present.
// Loading by full path is unaffected. Returns how many of the two were called.
int hardenDllSearch();

// Splits a command line the way ParamStr does: blanks separate parameters,
// double quotes group and are removed, no other escapes. The first item is the
// program itself.
std::vector<std::string> splitCommandLine(const char* commandLine);

class Win32Os : public Os {
public:
    Win32Os();
    ~Win32Os() override;
    Win32Os(const Win32Os&) = delete;
    Win32Os& operator=(const Win32Os&) = delete;

    // ---- environment and directories ------------------------------------
    std::string environment(const std::string& name) override;
    std::string systemDirectory() override;
    std::string windowsDirectory() override;
    std::string tempDirectory() override;
    std::string modulePath() override;
    std::vector<std::string> commandLineParameters() override;

    // ---- files and directories ------------------------------------------
    uint32_t lastError() override { return lastError_; }
    uint32_t fileAttributes(const std::string& path) override;
    bool setFileAttributes(const std::string& path, uint32_t attributes) override;
    bool deleteFile(const std::string& path) override;
    bool createDirectory(const std::string& path) override;
    bool removeDirectory(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    bool findFiles(const std::string& pattern, std::vector<FindEntry>& out) override;
    std::unique_ptr<File> openFile(const std::string& path, FileAccess access, Result& error) override;
    bool fileVersion(const std::string& path, FileVersion& out) override;
    std::string errorText(Result code) override;

    std::unique_ptr<Library> loadLibrary(const std::string& path) override;
    std::string loadString(uint32_t id) override;

    // ---- user interface ---------------------------------------------------
    BoxAnswer messageBox(BoxKind kind, BoxButtons buttons, const std::string& text) override;
    uintptr_t cursor() override;
    void setCursor(uintptr_t cursor) override;
    uintptr_t hourglassCursor() override;
    void processMessages() override;
    void handleMessage() override;
    void realize(Form& form) override;
    bool loadPicture(Control& image, const std::string& path) override;
    void startTimer(Timer& timer) override;
    void stopTimer(Timer& timer) override;
    int screenWidth() override;
    int screenHeight() override;
    void setApplicationTitle(const std::string& title) override;
    std::string applicationTitle() override;
    void bringApplicationToFront() override;
    void terminate() override;
    bool terminated() override { return terminated_; }
    void runMessageLoop() override;

    // ---- for the Win32 layer and its tests --------------------------------
    HWND applicationWindow() const { return appWindow_.get(); }
    HWND windowOf(const Control& control) const;
    // Paint messages the realised windows have handled so far.
    unsigned long paintsHandled() const { return paints_; }
    // Called by the window procedures.
    void countPaint() { ++paints_; }
    void timerMessage(UINT_PTR id);
    void formReleased(FormPeer* peer);
    uintptr_t screenCursor() const { return screenCursor_; }

private:
    bool ok(BOOL result);
    HMODULE systemLibrary(Module& slot, const char* name);
    bool ensureCommonControls();

    uint32_t lastError_ = 0;
    bool terminated_ = false;
    unsigned long paints_ = 0;
    uintptr_t screenCursor_ = 0;
    Window appWindow_;
    Module version_;
    Module comctl_;
    bool commonControlsReady_ = false;
    std::vector<std::unique_ptr<FormPeer>> forms_;
    std::map<UINT_PTR, Timer*> timers_;
    UINT_PTR nextTimerId_ = 1;
};

}  // namespace ssi::win32
