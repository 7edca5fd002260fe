// Header only (interfaces; platform/win32 and platform/fake implement them).
// The OS seam: every operating-system service the installer's logic uses, as
// a few cohesive services gathered by one Os. platform/win32 implements them
// with the real Win32 calls; platform/fake implements them for native tests
// (Windows paths mapped into a temporary folder, an in-memory registry, real
// INI files, scripted message-box answers, typed failure injection).
//
// One error convention throughout:
// - A call that can fail returns a Result: 0 on success, otherwise the
//   operating system's error number (positive, as GetLastError gives it).
//   A failure is never reported as 0: when the system gives no number, the
//   implementation reports ERROR_GEN_FAILURE (31).
// - What a call produces comes back through its out-parameters, which are
//   only meaningful when the Result is 0 (they are reset on failure).
// - Plain queries that cannot fail (a directory, an environment variable,
//   the screen size) return their value.
// - No exception crosses this interface.
//
// Paths are ANSI byte strings in Windows form ("C:\\dir\\file").
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/result_codes.h"

namespace ssi {

// File attribute bits, as Windows defines them.
namespace attr {
constexpr uint32_t kReadOnly = 0x01;
constexpr uint32_t kHidden = 0x02;
constexpr uint32_t kSystem = 0x04;
constexpr uint32_t kVolume = 0x08;
constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kArchive = 0x20;
constexpr uint32_t kNormal = 0x80;
constexpr uint32_t kReparsePoint = 0x400;  // a junction or symbolic link
constexpr uint32_t kInvalid = 0xFFFFFFFFu;
}  // namespace attr

// Windows error numbers the logic and the implementations refer to.
namespace oserr {
constexpr Result kInvalidFunction = 1;
constexpr Result kFileNotFound = 2;
constexpr Result kPathNotFound = 3;
constexpr Result kAccessDenied = 5;
constexpr Result kInvalidHandle = 6;
constexpr Result kNotEnoughMemory = 8;
constexpr Result kBadFormat = 11;
constexpr Result kInvalidData = 13;
constexpr Result kOutOfMemory = 14;
constexpr Result kGenFailure = 31;
constexpr Result kSharingViolation = 32;
constexpr Result kNotSameDevice = 17;
constexpr Result kHandleEof = 38;
constexpr Result kNotSupported = 50;
constexpr Result kFileExists = 80;
constexpr Result kInvalidParameter = 87;
constexpr Result kDiskFull = 112;
constexpr Result kCallNotImplemented = 120;
constexpr Result kModNotFound = 126;
constexpr Result kProcNotFound = 127;
constexpr Result kNegativeSeek = 131;
constexpr Result kDirNotEmpty = 145;
constexpr Result kAlreadyExists = 183;
constexpr Result kNotADirectory = 267;
constexpr Result kMoreData = 234;
constexpr Result kNoMoreItems = 259;
constexpr Result kInvalidWindowHandle = 1400;
constexpr Result kNoAssociation = 1155;  // no program is associated with the file's type
constexpr Result kDdeFail = 1156;        // the shell's DDE conversation with the program failed
constexpr Result kDllNotFound = 1157;    // a library the program needs was not found
constexpr Result kResourceTypeNotFound = 1813;
}  // namespace oserr

// ---- files and directories --------------------------------------------------

// One open file. Destroying it closes it silently; close() reports.
class File {
public:
    virtual ~File() = default;
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    [[nodiscard]] virtual Result read(void* buffer, uint32_t size, uint32_t& got) = 0;
    [[nodiscard]] virtual Result write(const void* buffer, uint32_t size, uint32_t& put) = 0;
    [[nodiscard]] virtual Result seek(int64_t position) = 0;  // from the start of the file
    [[nodiscard]] virtual Result size(int64_t& out) = 0;
    [[nodiscard]] virtual Result close() = 0;
};

// How a file is opened, with the sharing Windows applies to it.
enum class FileAccess {
    Read,           // existing file, read only; others may read and write
    ReadDenyWrite,  // existing file, read only; others may only read
    Create,         // create or truncate, write only; nobody else may open it
};

// One entry of a directory enumeration.
struct FindEntry {
    std::string name;  // file name only
    uint32_t attributes = 0;
    uint64_t size = 0;
};

// The fixed part of a file's version resource: the four 16-bit numbers of the
// file version, most significant first (7.0.19.0 -> {0x00070000, 0x00130000}).
struct FileVersion {
    uint32_t versionMS = 0;
    uint32_t versionLS = 0;
};

// A directory held open by FileSystem::openDirectory. Destroying it lets go.
class HeldDirectory {
public:
    virtual ~HeldDirectory() = default;
    HeldDirectory() = default;
    HeldDirectory(const HeldDirectory&) = delete;
    HeldDirectory& operator=(const HeldDirectory&) = delete;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Attributes of a file or directory (out = attr::kInvalid on failure).
    [[nodiscard]] virtual Result attributes(const std::string& path, uint32_t& out) = 0;
    [[nodiscard]] virtual Result setAttributes(const std::string& path, uint32_t attributes) = 0;
    // Deletes a file, or the link itself when the path is a symbolic link.
    [[nodiscard]] virtual Result deleteFile(const std::string& path) = 0;
    [[nodiscard]] virtual Result createDirectory(const std::string& path) = 0;
    // Removes an empty directory, or the link itself when the path is a
    // junction or directory link (never what it points to).
    [[nodiscard]] virtual Result removeDirectory(const std::string& path) = 0;
    [[nodiscard]] virtual Result copyFile(const std::string& from, const std::string& to,
                                          bool failIfExists) = 0;
    // Renames a file or a folder (with everything in it) on the same volume;
    // the new name must not exist yet (183). The rename reaches the disk
    // before the call returns where the system can promise that, so that a
    // power loss afterwards finds the entry under one of its two names.
    [[nodiscard]] virtual Result moveFile(const std::string& from, const std::string& to) = 0;
    // Entries matching a pattern such as "C:\\dir\\*.*" ("." and ".." included
    // where the system lists them); 2 when nothing matches.
    [[nodiscard]] virtual Result findFiles(const std::string& pattern, std::vector<FindEntry>& out) = 0;
    [[nodiscard]] virtual Result openFile(const std::string& path, FileAccess access,
                                          std::unique_ptr<File>& out) = 0;
    // The fixed version information of a file's version resource.
    [[nodiscard]] virtual Result fileVersion(const std::string& path, FileVersion& out) = 0;
    // The short (8.3) form of an existing path.
    [[nodiscard]] virtual Result shortPathName(const std::string& path, std::string& out) = 0;
    // Creates a directory that only the Administrators group and SYSTEM may
    // open: full control for both, inherited by everything made inside it,
    // and nothing inherited from its parent, so that no program running
    // without elevation, the same user's included, can write into it. 50
    // (not supported) where the system has no access control (95, 98, ME).
    [[nodiscard]] virtual Result createPrivateDirectory(const std::string& path) = 0;
    // Opens a directory, or the link itself when the path is a junction or a
    // directory link, and holds it: while `out` lives nobody can delete or
    // rename it, so it cannot be swapped for a link, and what is found inside
    // it stays inside it. `attributes` are read through the open handle: a
    // link put in the directory's place before the opening shows as a
    // reparse point. Where the system has no links (95, 98, ME) nothing is
    // held and the attributes are the path's.
    [[nodiscard]] virtual Result openDirectory(const std::string& path, uint32_t& attributes,
                                               std::unique_ptr<HeldDirectory>& out) = 0;
    // The bytes free to the caller on the volume that holds `path` (an
    // existing folder, ending with a backslash or not).
    [[nodiscard]] virtual Result freeSpace(const std::string& path, uint64_t& bytes) = 0;
};

// ---- registry -----------------------------------------------------------------

enum class Hive { ClassesRoot, CurrentUser, LocalMachine };
enum class RegAccess { Read, AllAccess };

// Value types, as Windows numbers them.
namespace regtype {
constexpr uint32_t kString = 1;        // REG_SZ
constexpr uint32_t kExpandString = 2;  // REG_EXPAND_SZ
constexpr uint32_t kBinary = 3;        // REG_BINARY
constexpr uint32_t kDword = 4;         // REG_DWORD
}  // namespace regtype

// A value as the registry holds it: its type and its bytes, unchecked (a
// string value need not end with its terminating zero).
struct RegValue {
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

// An open key. Destroying it closes it.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // name "" is the key's default value.
    [[nodiscard]] virtual Result setValue(const std::string& name, uint32_t type,
                                          const std::vector<uint8_t>& data) = 0;
    [[nodiscard]] virtual Result queryValue(const std::string& name, RegValue& out) = 0;
    [[nodiscard]] virtual Result deleteValue(const std::string& name) = 0;
    [[nodiscard]] virtual Result subKeyNames(std::vector<std::string>& out) = 0;
    [[nodiscard]] virtual Result valueNames(std::vector<std::string>& out) = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    // `path` is relative to the hive's root ("Software\\...").
    [[nodiscard]] virtual Result openKey(Hive hive, const std::string& path, RegAccess access,
                                         std::unique_ptr<RegistryKey>& out) = 0;
    // Opens the key, creating it and any missing parents.
    [[nodiscard]] virtual Result createKey(Hive hive, const std::string& path, RegAccess access,
                                           std::unique_ptr<RegistryKey>& out) = 0;
    // Deletes a key that has no sub-keys.
    [[nodiscard]] virtual Result deleteKey(Hive hive, const std::string& path) = 0;
};

// ---- profile files ----------------------------------------------------------------

// Sections of ".ini" files. A file named without a folder lives in the Windows
// directory, as the system's profile functions resolve it.
class Profile {
public:
    virtual ~Profile() = default;
    [[nodiscard]] virtual Result writeString(const std::string& file, const std::string& section,
                                             const std::string& key, const std::string& value) = 0;
    // 2 when the file, the section or the key is missing.
    [[nodiscard]] virtual Result readString(const std::string& file, const std::string& section,
                                            const std::string& key, std::string& out) = 0;
};

// ---- system facts -------------------------------------------------------------------

// What GetVersionEx reports.
struct WindowsVersion {
    uint32_t platformId = 0;  // 1 Windows 95/98/ME, 2 NT
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    std::string servicePack;  // szCSDVersion
};

namespace platformid {
constexpr uint32_t kWindows = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr uint32_t kNt = 2;       // VER_PLATFORM_WIN32_NT
}  // namespace platformid

// A loaded dynamic library. Destroying it frees the library.
class Library {
public:
    virtual ~Library() = default;
    Library() = default;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    // The exported symbol's address, or nullptr.
    virtual void* symbol(const char* name) = 0;
};

class System {
public:
    virtual ~System() = default;
    // The variable's value, or "" when it is unset.
    virtual std::string environment(const std::string& name) = 0;
    // GetSystemDirectory / GetWindowsDirectory / GetTempPath, as the system gives them.
    virtual std::string systemDirectory() = 0;
    virtual std::string windowsDirectory() = 0;
    virtual std::string tempDirectory() = 0;
    // Full path of the running executable, and its command-line parameters.
    virtual std::string modulePath() = 0;
    virtual std::vector<std::string> commandLineParameters() = 0;
    [[nodiscard]] virtual Result windowsVersion(WindowsVersion& out) = 0;
    // Switches screen saving on or off and tells running programs
    // (SPI_SETSCREENSAVEACTIVE with SPIF_SENDWININICHANGE).
    [[nodiscard]] virtual Result setScreenSaveActive(bool active) = 0;
    // LoadLibrary of a full path (or a bare name left to the system search).
    [[nodiscard]] virtual Result loadLibrary(const std::string& path, std::unique_ptr<Library>& out) = 0;
    // A text of the program's string table by id ("" when there is none).
    virtual std::string loadString(uint32_t id) = 0;
    // The system's text for an error number, without a trailing line break.
    virtual std::string errorText(Result code) = 0;
    // Blocks the thread; no window message is handled meanwhile.
    virtual void sleep(uint32_t milliseconds) = 0;
    // Whether the process runs with an administrator's full rights: the
    // token's elevation from Vista on, an enabled membership of the
    // Administrators group on older NT. 120 (not implemented) on 95, 98 and
    // ME, which know no such thing.
    [[nodiscard]] virtual Result elevation(bool& elevated) = 0;
};

// ---- shell, processes and other programs' windows -------------------------------------

namespace showcmd {
constexpr int kHide = 0;        // SW_HIDE
constexpr int kShowNormal = 1;  // SW_SHOWNORMAL
}  // namespace showcmd

// A window of any program, as an opaque handle (0: none).
using WindowHandle = uintptr_t;

// The mouse and keyboard events a message filter tells apart (Ui::setMessageFilter);
// every other message reaches the filter as Other.
enum class InputEvent {
    Other,
    MouseMove,
    LeftButtonDown,
    LeftButtonUp,
    RightButtonDown,
    RightButtonUp,
    KeyDown,
    KeyUp,
};

class Shell {
public:
    virtual ~Shell() = default;
    // ShellExecute: 0 when the program or document was started; otherwise
    // the Windows error its answer stands for (shell_answer.h): 2, 3, 5, 8
    // or 11 as answered, 14 when it answered 0 (out of memory or
    // resources), 32 for a sharing violation, 1155 when no program is
    // associated with the file, 1156 when DDE failed, 1157 when a library
    // is missing. An empty verb is the file type's default action.
    [[nodiscard]] virtual Result shellExecute(WindowHandle owner, const std::string& verb,
                                              const std::string& file, const std::string& parameters,
                                              const std::string& directory, int show) = 0;
    // Starts `program` (a full path, never searched for) with the command
    // line `arguments` (the program's own name is put in front), in the
    // working folder `directory` ("": the installer's own, which older
    // Windows searches for DLLs first: name one for any program started on
    // the user's behalf). With `wait` it waits for the program to end and
    // gives its exit code.
    [[nodiscard]] virtual Result startProcess(const std::string& program, const std::string& arguments,
                                              const std::string& directory, int show, bool wait,
                                              uint32_t& exitCode) = 0;
    // A top-level window with exactly this title (2 when there is none).
    [[nodiscard]] virtual Result findWindow(const std::string& title, WindowHandle& out) = 0;
    // Clicks the button with this control id in another program's dialog,
    // without waiting for that program (the click is posted).
    [[nodiscard]] virtual Result clickButton(WindowHandle window, int controlId) = 0;
};

// ---- the player control through COM ------------------------------------------------

// An argument or result of a dispatch call.
struct Variant {
    enum class Type { Empty, Int, Bool, String };
    Type type = Type::Empty;
    int32_t integer = 0;
    bool boolean = false;
    std::string text;

    static Variant ofInt(int32_t v) {
        Variant r;
        r.type = Type::Int;
        r.integer = v;
        return r;
    }
    static Variant ofBool(bool v) {
        Variant r;
        r.type = Type::Bool;
        r.boolean = v;
        return r;
    }
    static Variant ofString(std::string v) {
        Variant r;
        r.type = Type::String;
        r.text = std::move(v);
        return r;
    }
};

// A COM object reached through its dispatch interface, members by name.
// Destroying it releases the object.
class DispatchObject {
public:
    virtual ~DispatchObject() = default;
    DispatchObject() = default;
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    [[nodiscard]] virtual Result call(const std::string& member, const std::vector<Variant>& arguments,
                                      Variant& result) = 0;
    [[nodiscard]] virtual Result get(const std::string& member, Variant& out) = 0;
    [[nodiscard]] virtual Result put(const std::string& member, const Variant& value) = 0;
};

// COM failures become the system numbers nearest to them: a Win32 error
// carried in the HRESULT as itself, a class that no registered server
// answers 126 (module not found), a member the object does not know 127
// (procedure not found), a missing interface 50 (not supported), anything
// else 31.
class Com {
public:
    virtual ~Com() = default;
    // Initialises COM for the calling thread (once; later calls succeed).
    [[nodiscard]] virtual Result initialize() = 0;
    // Creates an object of a class ("{D27CDB6E-...}") from its registered
    // in-process server, with no window.
    [[nodiscard]] virtual Result createObject(const std::string& classId,
                                              std::unique_ptr<DispatchObject>& out) = 0;
};

// ---- embedded controls -----------------------------------------------------------------

// The standard verbs an embedded control carries out (OLEIVERB_*).
namespace oleverb {
constexpr int kPrimary = 0;
constexpr int kShow = -1;
constexpr int kOpen = -2;
constexpr int kHide = -3;
constexpr int kUiActivate = -4;
constexpr int kInPlaceActivate = -5;
}  // namespace oleverb

// A control of a registered in-process server (an ActiveX control) living
// inside a panel of ours: its members by name, its standard verbs, the
// keyboard focus. It keeps the place and size it was created with. Destroying
// it deactivates, closes and releases the control, and its window goes.
class HostedControl : public DispatchObject {
public:
    [[nodiscard]] virtual Result doVerb(int verb) = 0;
    // Activates the control for the user and gives its window the keyboard focus.
    [[nodiscard]] virtual Result focus() = 0;
};

// ---- windows, timers and the message pump ---------------------------------------------

// Message boxes: the three kinds the installer shows.
enum class BoxKind { Error, Information, Confirm };
enum class BoxButtons { Abort, Ok, YesNo, OkCancel };
enum class BoxAnswer { Abort, Ok, Cancel, Yes, No };

class Control;
class Form;
class Timer;

class Ui {
public:
    virtual ~Ui() = default;
    // Modal, owned by the application; returns the button pressed. In an
    // unattended run nobody could press one: the box is not shown, its text
    // goes to the log, and the answer is the one that changes nothing (Abort
    // for Abort, Ok for Ok, No for Yes/No, Cancel for OK/Cancel).
    BoxAnswer messageBox(BoxKind kind, BoxButtons buttons, const std::string& text);
    // Set once the command line asks for an installation without a person ("/q").
    void setUnattended(bool unattended) { unattended_ = unattended; }
    bool unattended() const { return unattended_; }
    // Cursors are opaque handles; hourglassCursor() is the system's wait cursor.
    virtual uintptr_t cursor() = 0;
    virtual void setCursor(uintptr_t cursor) = 0;
    virtual uintptr_t hourglassCursor() = 0;
    // Handles every pending window message, then returns.
    virtual void processMessages() = 0;
    // Waits for one window message and handles it.
    virtual void handleMessage() = 0;
    // Queues a message that means nothing to anyone, so that the next
    // handleMessage finds one at once instead of waiting.
    virtual void wake() = 0;
    // Runs the message loop until terminate().
    virtual void runMessageLoop() = 0;
    // Tells the message loop to end (it returns once pending work is done).
    virtual void terminate() = 0;
    virtual bool terminated() = 0;
    // Every message the loop takes passes this filter, as the input event it
    // carries, before it is dispatched; true discards it (nullptr: none).
    virtual void setMessageFilter(std::function<bool(InputEvent event)> discard) = 0;
    // Creates the native window for a form model and mirrors the model onto it.
    [[nodiscard]] virtual Result realize(Form& form) = 0;
    // Loads a picture file (".jpg"/".jpeg" JPEG, otherwise a Windows bitmap)
    // into an image control of a realised form, stretched to the control.
    [[nodiscard]] virtual Result loadPicture(Control& image, const std::string& path) = 0;
    // Creates a control of a class ("{D27CDB6E-...}") from its registered
    // in-process server inside a realised panel, at the panel's top-left
    // corner and `width` x `height` in size, and activates it in place. COM
    // failures as Com says; a host without a window gives 1400; an object
    // that was made but could not be sited or activated gives
    // rc::kControlNotSited.
    [[nodiscard]] virtual Result createControl(Control& host, const std::string& classId, int width,
                                               int height, std::unique_ptr<HostedControl>& out) = 0;
    // Starts or stops a timer model's ticks (its onTimer runs from message handling).
    [[nodiscard]] virtual Result startTimer(Timer& timer) = 0;
    virtual void stopTimer(Timer& timer) = 0;
    virtual int screenWidth() = 0;
    virtual int screenHeight() = 0;
    // The application: its title (the task-bar text), its place among the
    // running programs.
    virtual void setApplicationTitle(const std::string& title) = 0;
    virtual std::string applicationTitle() = 0;
    virtual void bringApplicationToFront() = 0;
    virtual void minimizeApplication() = 0;
    virtual bool applicationActive() = 0;

protected:
    // Shows a box (messageBox decides whether one may be shown at all).
    virtual BoxAnswer showBox(BoxKind kind, BoxButtons buttons, const std::string& text) = 0;

private:
    bool unattended_ = false;
};

// ---- the seam ---------------------------------------------------------------------------

class Os {
public:
    virtual ~Os() = default;
    Os() = default;
    Os(const Os&) = delete;
    Os& operator=(const Os&) = delete;

    virtual FileSystem& files() = 0;
    virtual Registry& registry() = 0;
    virtual Profile& profile() = 0;
    virtual System& system() = 0;
    virtual Shell& shell() = 0;
    virtual Com& com() = 0;
    virtual Ui& ui() = 0;
};

}  // namespace ssi
