// The test double of the OS seam for native tests.
//
// Windows drive paths are mapped into a private temporary folder
// ("C:\\WINDOWS\\x" -> <root>/C/WINDOWS/x; names are case-sensitive here),
// attributes that Linux lacks (read-only, hidden, system) are kept in a table,
// files can be "locked" as if another process held them open, message boxes
// are recorded and answered from a script, and any call can be made to fail
// with a chosen error through `inject`.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/os.h"

namespace ssi {

struct RecordedBox {
    BoxKind kind;
    BoxButtons buttons;
    std::string text;
};

class FakeOs : public Os {
public:
    FakeOs();
    ~FakeOs() override;

    // ---- set-up and inspection for tests ---------------------------------
    // The Linux path that a Windows path maps to.
    std::string hostPath(const std::string& windowsPath) const;
    // Writes a file (creating its folders), reads one back.
    void writeFile(const std::string& windowsPath, const std::string& content);
    std::string readFile(const std::string& windowsPath) const;
    void makeDirs(const std::string& windowsPath);
    // A locked file cannot be deleted, replaced or opened for writing (error 32).
    void lock(const std::string& windowsPath) { locked.insert(windowsPath); }
    void unlock(const std::string& windowsPath) { locked.erase(windowsPath); }

    std::map<std::string, std::string> env{{"TEMP", "C:\\TEMP"}, {"WINDIR", "C:\\WINDOWS"}};
    std::string systemDir = "C:\\WINDOWS\\SYSTEM";
    std::string windowsDir = "C:\\WINDOWS";
    std::string tempDir = "C:\\TEMP\\";
    std::string module = "C:\\Downloads\\setup.exe";
    std::vector<std::string> parameters;
    std::set<std::string> locked;
    std::map<std::string, FileVersion> versions;  // version resources by path
    int screenW = 1024, screenH = 768;
    int frameWidth = 6, frameHeight = 25;  // outer size minus client size of a realised form

    // Returns a non-zero OS error to make the named operation fail on that
    // path ("deleteFile", "setFileAttributes", "createDirectory", "removeDirectory",
    // "copyFile", "findFiles", "openFile", "read", "write", "seek", "close",
    // "loadLibrary"), or 0 to let it run.
    std::function<Result(const std::string& op, const std::string& path)> inject;

    // Exports of loadable libraries by file name (lower case); a library file
    // that exists but has no entry here loads with no exports. "impborl.dll"
    // starts out with the codec's three entry points.
    std::map<std::string, std::map<std::string, void*>> libraryExports;
    int librariesLoaded = 0;
    std::vector<std::string> libraryPaths;  // every path given to loadLibrary

    std::vector<RecordedBox> boxes;
    std::deque<BoxAnswer> answers;  // scripted answers; default: the first button
    std::function<void(const RecordedBox&)> onBox;  // runs while a box is "up"

    uintptr_t currentCursor = 1;
    int processMessagesCalls = 0;
    int handledMessages = 0;
    std::function<void()> onProcessMessages;  // runs inside every processMessages()
    std::vector<Form*> realized;          // forms whose models are alive
    std::vector<std::string> shownForms;  // every time a realised form was shown, by name
    std::map<std::string, std::string> pictures;  // picture path by control name
    std::vector<Timer*> runningTimers;
    std::string appTitle;
    int broughtToFront = 0;
    bool isTerminated = false;
    uint32_t error = 0;

    // ---- Os ---------------------------------------------------------------
    std::string environment(const std::string& name) override;
    std::string systemDirectory() override { return systemDir; }
    std::string windowsDirectory() override { return windowsDir; }
    std::string tempDirectory() override { return tempDir; }
    std::string modulePath() override { return module; }
    std::vector<std::string> commandLineParameters() override { return parameters; }

    uint32_t lastError() override { return error; }
    uint32_t fileAttributes(const std::string& path) override;
    bool setFileAttributes(const std::string& path, uint32_t attributes) override;
    bool deleteFile(const std::string& path) override;
    bool createDirectory(const std::string& path) override;
    bool removeDirectory(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    bool findFiles(const std::string& pattern, std::vector<FindEntry>& out) override;
    std::unique_ptr<File> openFile(const std::string& path, FileAccess access, Result& err) override;
    bool fileVersion(const std::string& path, FileVersion& out) override;
    std::string errorText(Result code) override;

    std::unique_ptr<Library> loadLibrary(const std::string& path) override;
    std::string loadString(uint32_t id) override;

    BoxAnswer messageBox(BoxKind kind, BoxButtons buttons, const std::string& text) override;
    uintptr_t cursor() override { return currentCursor; }
    void setCursor(uintptr_t c) override { currentCursor = c; }
    uintptr_t hourglassCursor() override { return 2; }
    void processMessages() override;
    void handleMessage() override;
    void realize(Form& form) override;
    // Accepts files that start like a JPEG or a Windows bitmap.
    bool loadPicture(Control& image, const std::string& path) override;
    void startTimer(Timer& timer) override;
    void stopTimer(Timer& timer) override;
    int screenWidth() override { return screenW; }
    int screenHeight() override { return screenH; }
    void setApplicationTitle(const std::string& title) override { appTitle = title; }
    std::string applicationTitle() override { return appTitle; }
    void bringApplicationToFront() override { ++broughtToFront; }
    void terminate() override { isTerminated = true; }
    bool terminated() override { return isTerminated; }
    void runMessageLoop() override;

    const std::string& root() const { return root_; }

private:
    // Realised forms run their onShow when they become visible, as real windows do.
    struct ShowPeer : ControlPeer {
        explicit ShowPeer(FakeOs& os) : os(os) {}
        void changed(Control& control, Prop what) override;
        void released(Control& control) override;
        FakeOs& os;
    } showPeer_{*this};
    bool fail(const std::string& op, const std::string& path);
    uint32_t storedAttributes(const std::string& path) const;
    std::string root_;
    std::map<std::string, uint32_t> attributes_;  // read-only, hidden, system bits by path
};

}  // namespace ssi
