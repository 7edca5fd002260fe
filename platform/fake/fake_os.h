// The test double of the OS seam for native tests. It behaves as Windows does
// where a test can tell, one service a file:
// - files (file_store.h): Windows drive paths in a private host folder or in
//   memory, names matched without regard to letter case, attributes, links
//   as reparse points, share modes; `lock` has another program hold a file;
// - the registry (fake_registry.h), an in-memory tree; profile files
//   (fake_profile.h), real INI files among the double's files;
// - system facts (fake_system.h), the shell and other programs
//   (fake_shell.h), COM and the embedded player control (fake_com.h): what
//   the fields below say, scripted by the test;
// - the user interface (fake_ui.h): message boxes recorded and answered from
//   a script; a message loop that runs posted events and timer ticks, and
//   throws FakeOsStuck where it would wait for ever.
// Any call can be made to fail with a chosen error through `inject`. This
// file joins the services: the fields that script and record them, and the
// helpers with which a test sets up and inspects.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/fake/fake_com.h"
#include "platform/fake/fake_shell.h"
#include "platform/fake/fake_ui.h"
#include "platform/os.h"

namespace ssi {

// Every call of the double, for failure injection.
enum class Op {
    // files
    Attributes, SetAttributes, DeleteFile, CreateDirectory, RemoveDirectory, CopyFile, MoveFile, FindFiles, OpenFile,
    Read, Write, Seek, Size, Close, FileVersion, ShortPathName, FreeSpace,
    // registry
    RegOpenKey, RegCreateKey, RegDeleteKey, RegSetValue, RegQueryValue, RegDeleteValue, RegSubKeyNames,
    RegValueNames,
    // profile files
    ProfileWrite, ProfileRead,
    // system
    WindowsVersion, SetScreenSaveActive, LoadLibrary,
    // shell
    ShellExecute, StartProcess, FindWindow, ClickButton,
    // COM
    ComInitialize, ComCreate, ComCall, ComGet, ComPut,
    // user interface
    Realize, LoadPicture, StartTimer,
    // embedded controls (the subject: the class id; for DoVerb the verb's number)
    CreateControl, DoVerb, FocusControl,
    // holding a directory, the process's elevation (a private directory's
    // creation consults CreateDirectory)
    OpenDirectory, Elevation,
};

// Thrown when the code under test would wait for a message that can never come.
class FakeOsStuck : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class FileStore;
class HostFolderFiles;
class FakeRegistry;
class FakeProfile;
class FakeSystem;
class MemoryFiles;

// Where the double keeps its files.
enum class FakeStorage {
    HostFolder,  // a private temporary folder (links, real INI files a test can open)
    Memory,      // byte vectors in memory; hostPath, root and makeLink have no meaning
};

class FakeOs : public Os {
public:
    explicit FakeOs(FakeStorage storage = FakeStorage::HostFolder);
    ~FakeOs() override;

    FileSystem& files() override;
    Registry& registry() override;
    Profile& profile() override;
    System& system() override;
    Shell& shell() override;
    Com& com() override;
    Ui& ui() override;

    // ---- failure injection -------------------------------------------------
    // Returns a non-zero OS error to make a call fail (the subject is the
    // path, key path, window title, class id or member), or 0 to let it run.
    std::function<Result(Op op, const std::string& subject)> inject;
    // Convenience: `op` on a subject equal to `subject` (any letter case; ""
    // for every subject) fails with `code`.
    void failOn(Op op, const std::string& subject, Result code);

    // ---- counting calls and failing the k-th one -------------------------------
    // Every call of the double that `counted` accepts (default: all) is
    // numbered from 1 in `calls`, after `inject` has let it run. When
    // `failCall` is set, the call with that number fails with what
    // `failWith` gives for it (default: 31), once; `failed` then tells
    // which call it was.
    struct CountedCall {
        Op op = Op::Attributes;
        std::string subject;
        Result error = 0;
    };
    std::function<bool(Op op)> counted;
    std::function<Result(Op op, const std::string& subject)> failWith;
    uint64_t calls = 0;
    uint64_t failCall = 0;
    bool hasFailed = false;
    CountedCall failed;

    // ---- files: set-up and inspection ----------------------------------------
    // The one file store, over whichever backing the double was made with.
    FileStore& fileStore() { return *files_; }
    // The files in memory, or nullptr for the host folder.
    MemoryFiles* memoryFiles() { return memory_; }
    // The host path a Windows path maps to (existing names matched in any case).
    std::string hostPath(const std::string& windowsPath) const;
    // Writes a file (creating its folders), reads one back ("" when missing).
    void writeFile(const std::string& windowsPath, const std::string& content);
    std::string readFile(const std::string& windowsPath) const;
    bool exists(const std::string& windowsPath) const;
    void makeDirs(const std::string& windowsPath);
    // A link at `windowsPath` (a reparse point to Windows) to a host path.
    void makeLink(const std::string& windowsPath, const std::string& hostTarget);
    // Another program holds the file open for reading and shares reading
    // only: it cannot be deleted, replaced or opened for writing (32).
    void lock(const std::string& windowsPath);
    void unlock(const std::string& windowsPath);
    // Whether another program could open the file for writing now (sharing
    // everything itself): false while an open file's sharing denies writers.
    bool othersMayWrite(const std::string& windowsPath) const;
    // Another program renames a folder away and puts a link to a host path
    // in its place, as a junction swapped in: false (nothing changed) while
    // the folder is held open without delete sharing, as Windows refuses the
    // rename then. Host folder only.
    [[nodiscard]] bool replaceWithLink(const std::string& windowsPath, const std::string& hostTarget);
    // Directories made by createPrivateDirectory, by lower-case path.
    std::set<std::string> privateDirectories;
    std::map<std::string, FileVersion> versions;  // version resources, by path (any case)
    uint64_t freeBytes = uint64_t(1) << 40;        // what freeSpace reports for every volume
    // The largest single read and write request any open file was given, and
    // the number of writes, since the last reset: how a copy was cut.
    uint32_t largestRead = 0, largestWrite = 0, writeCalls = 0;
    const std::string& root() const { return root_; }

    // ---- system -----------------------------------------------------------------
    std::map<std::string, std::string> env{{"TEMP", "C:\\TEMP"}, {"WINDIR", "C:\\WINDOWS"}};
    std::string systemDir = "C:\\WINDOWS\\SYSTEM";
    std::string windowsDir = "C:\\WINDOWS";
    std::string tempDir = "C:\\TEMP\\";
    std::string module = "C:\\Downloads\\setup.exe";
    std::vector<std::string> parameters;
    WindowsVersion version{2, 5, 1, 2600, "Service Pack 2"};  // XP unless a test says otherwise
    // An administrator's process (the installer asks for that); the answer
    // of elevation() unless the version is 95, 98 or ME (120).
    bool elevated = true;
    int screenSaveActiveCalls = 0;
    bool screenSaveActive = false;
    uint64_t sleptMs = 0;
    std::function<void(uint32_t)> onSleep;  // runs inside every sleep
    // Exports of loadable libraries by file name (lower case); a library file
    // that exists but has no entry here loads with no exports.
    std::map<std::string, std::map<std::string, void*>> libraryExports;
    int librariesLoaded = 0;
    std::vector<std::string> libraryPaths;  // every path given to loadLibrary

    // ---- registry (in memory) ------------------------------------------------------
    // Reads and writes for tests, bypassing injection. Paths as in os.h.
    bool hasKey(Hive hive, const std::string& path) const;
    bool hasValue(Hive hive, const std::string& path, const std::string& name) const;
    std::string stringValue(Hive hive, const std::string& path, const std::string& name) const;
    void setRegValue(Hive hive, const std::string& path, const std::string& name, const RegValue& value);
    void setRegString(Hive hive, const std::string& path, const std::string& name, const std::string& value);

    // ---- shell, processes, other programs' windows ----------------------------------
    std::vector<ShellRequest> shellRequests;
    std::function<Result(const ShellRequest&)> onShellExecute;  // default: 0 when the file exists, else 2
    std::vector<ProcessRequest> processes;
    std::function<Result(const ProcessRequest&, uint32_t& exitCode)> onStartProcess;  // default: 0, exit 0
    // Other programs' top-level windows by title, and the clicks they received.
    std::map<std::string, WindowHandle> windows;
    std::vector<std::pair<WindowHandle, int>> clicks;
    int findWindowCalls = 0;
    std::function<void(const std::string& title)> onFindWindow;  // runs before each look-up

    // ---- COM ------------------------------------------------------------------------
    // Creatable classes by class id (any case).
    std::map<std::string, std::function<std::unique_ptr<DispatchObject>()>> classes;
    int comInitializations = 0;
    int objectsCreated = 0;

    // ---- embedded controls ------------------------------------------------------------------
    // Classes that can be created inside a panel, by class id (any case).
    std::map<std::string, std::function<std::unique_ptr<FakeHostedControl>()>> hostedClasses;
    std::vector<FakeHostedControl*> hostedControls;  // the living ones, oldest first
    int controlsCreated = 0;
    std::vector<std::string> hostLog;  // what every hosted control went through
    // Every control given the keyboard focus, by name; a hosted control
    // appears as its host's name followed by "/control".
    std::vector<std::string> focusHistory;

    // ---- user interface -----------------------------------------------------------------
    std::vector<RecordedBox> boxes;
    std::deque<BoxAnswer> answers;                   // scripted answers; default: the first button
    std::function<void(const RecordedBox&)> onBox;  // runs while a box is "up"
    uintptr_t currentCursor = 1;
    int processMessagesCalls = 0;
    int handledMessages = 0;
    std::function<void()> onProcessMessages;  // runs inside every processMessages() and handleMessage()
    // A message that arrives through the queue: the filter sees its `event`
    // first; the handler runs when it is not discarded.
    void post(std::function<void()> handler, InputEvent event = InputEvent::Other);
    // Runs once when the message loop has nothing left to deliver, as the
    // user's next move (clicking, closing); the loop then goes on.
    std::function<void()> onIdle;
    // The user closes a realised form with its close box: its close query
    // decides; an accepted close hides it.
    void userClose(Form& form);
    std::vector<Form*> realized;          // forms whose models are alive
    std::vector<std::string> shownForms;  // every time a realised form became visible, by name
    std::map<std::string, std::string> pictures;  // picture path by control name
    std::vector<Timer*> runningTimers;
    std::string appTitle;
    int broughtToFront = 0;
    int minimized = 0;
    bool active = true;
    bool isTerminated = false;
    std::vector<InputEvent> discardedEvents;  // what the message filter discarded
    Control* focused = nullptr;
    // Outer size minus client size of a realised form, by border.
    int singleFrameWidth = 6, singleFrameHeight = 25;
    int sizeableFrameWidth = 8, sizeableFrameHeight = 27;
    int screenW = 1024, screenH = 768;
    // Resizes a realised form as the user's drag would (held at its minimum
    // size when it is sizeable; a fixed border refuses).
    void userResize(Form& form, int width, int height);

    // ---- shared by the services (not for tests) -----------------------------------------
    [[nodiscard]] Result injected(Op op, const std::string& subject);
    FakeUi& fakeUi() { return *ui_; }

private:
    std::string root_;  // the host folder's path; empty when the files are in memory
    std::unique_ptr<FileStore> files_;
    MemoryFiles* memory_ = nullptr;    // files_ when the files are in memory
    HostFolderFiles* host_ = nullptr;  // files_ when they are in a host folder
    std::unique_ptr<FakeRegistry> registry_;
    std::unique_ptr<FakeProfile> profile_;
    std::unique_ptr<FakeSystem> system_;
    std::unique_ptr<FakeShell> shell_;
    std::unique_ptr<FakeCom> com_;
    std::unique_ptr<FakeUi> ui_;
};

}  // namespace ssi
