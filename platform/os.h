// The OS seam: every operating-system service the installer's logic uses goes
// through this one interface. platform/win32 implements it with the real Win32
// calls; platform/fake implements it for native tests (Windows paths mapped into
// a temporary folder, scripted message-box answers, injectable failures).
//
// Conventions:
// - Paths are ANSI byte strings in Windows form ("C:\\dir\\file").
// - A call that fails returns false (or a null handle) and leaves the error in
//   lastError(), exactly as GetLastError would; calls that return a result code
//   return 0 or the OS error number.
// - No exception crosses this interface.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ssi {

using Result = int32_t;  // see app/result_codes.h

// File attribute bits, as Windows defines them.
namespace attr {
constexpr uint32_t kReadOnly = 0x01;
constexpr uint32_t kHidden = 0x02;
constexpr uint32_t kSystem = 0x04;
constexpr uint32_t kVolume = 0x08;
constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kArchive = 0x20;
constexpr uint32_t kNormal = 0x80;
constexpr uint32_t kInvalid = 0xFFFFFFFFu;
}  // namespace attr

// Windows error numbers the logic and the fakes refer to.
namespace oserr {
constexpr Result kFileNotFound = 2;
constexpr Result kPathNotFound = 3;
constexpr Result kAccessDenied = 5;
constexpr Result kInvalidHandle = 6;
constexpr Result kNotEnoughMemory = 8;
constexpr Result kSharingViolation = 32;
constexpr Result kHandleEof = 38;
constexpr Result kFileExists = 80;
constexpr Result kDiskFull = 112;
constexpr Result kAlreadyExists = 183;
constexpr Result kModNotFound = 126;
constexpr Result kProcNotFound = 127;
}  // namespace oserr

// One open file. Destroying it closes it silently; close() reports.
class File {
public:
    virtual ~File() = default;
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Each returns 0 or the OS error number.
    virtual Result read(void* buffer, uint32_t size, uint32_t& got) = 0;
    virtual Result write(const void* buffer, uint32_t size, uint32_t& put) = 0;
    virtual Result seek(int64_t position) = 0;  // from the start of the file
    virtual Result size(int64_t& out) = 0;
    virtual Result close() = 0;
};

enum class FileAccess {
    Read,           // existing file, read only, others may read and write
    ReadDenyWrite,  // existing file, read only, others may only read
    Create,         // create or truncate, write only
};

// One entry of a directory enumeration.
struct FindEntry {
    std::string name;  // file name only
    uint32_t attributes = 0;
    uint64_t size = 0;
};

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

// The fixed part of a file's version resource: the four 16-bit numbers of the
// file version, most significant first (7.0.19.0 -> {7, 0, 19, 0}).
struct FileVersion {
    uint32_t versionMS = 0;
    uint32_t versionLS = 0;
};

// Message boxes: the three kinds the installer shows.
enum class BoxKind { Error, Information, Confirm };
enum class BoxButtons { Abort, Ok, YesNo, OkCancel };
enum class BoxAnswer { Abort, Ok, Cancel, Yes, No };

class Control;
class Form;
class Timer;

class Os {
public:
    virtual ~Os() = default;

    // ---- environment and directories ------------------------------------
    // The variable's value, or "" when it is unset.
    virtual std::string environment(const std::string& name) = 0;
    // GetSystemDirectory / GetWindowsDirectory / GetTempPath, as the system gives them.
    virtual std::string systemDirectory() = 0;
    virtual std::string windowsDirectory() = 0;
    virtual std::string tempDirectory() = 0;
    // Full path of the running executable, and its command-line parameters.
    virtual std::string modulePath() = 0;
    virtual std::vector<std::string> commandLineParameters() = 0;

    // ---- files and directories ------------------------------------------
    virtual uint32_t lastError() = 0;
    // Attributes of a file or directory, or attr::kInvalid when there is none.
    virtual uint32_t fileAttributes(const std::string& path) = 0;
    virtual bool setFileAttributes(const std::string& path, uint32_t attributes) = 0;
    virtual bool deleteFile(const std::string& path) = 0;
    virtual bool createDirectory(const std::string& path) = 0;
    virtual bool removeDirectory(const std::string& path) = 0;
    virtual bool copyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
    // Entries matching a pattern such as "C:\\dir\\*.*"; false when none can be read.
    virtual bool findFiles(const std::string& pattern, std::vector<FindEntry>& out) = 0;
    // Opens a file; on failure returns nullptr and `error` holds the OS error.
    virtual std::unique_ptr<File> openFile(const std::string& path, FileAccess access,
                                           Result& error) = 0;
    // The fixed version information of a file's version resource; false when
    // the file has none or it cannot be read.
    virtual bool fileVersion(const std::string& path, FileVersion& out) = 0;
    // The system's text for an error number (FormatMessage), without a trailing line break.
    virtual std::string errorText(Result code) = 0;

    // ---- dynamic libraries ----------------------------------------------
    // LoadLibrary of a full path (or a bare name left to the system search);
    // nullptr on failure with lastError() set.
    virtual std::unique_ptr<Library> loadLibrary(const std::string& path) = 0;

    // ---- strings ----------------------------------------------------------
    // A text of the program's string table by id.
    virtual std::string loadString(uint32_t id) = 0;

    // ---- user interface ---------------------------------------------------
    virtual BoxAnswer messageBox(BoxKind kind, BoxButtons buttons, const std::string& text) = 0;
    // Cursors are opaque handles; hourglassCursor() is the system's wait cursor.
    virtual uintptr_t cursor() = 0;
    virtual void setCursor(uintptr_t cursor) = 0;
    virtual uintptr_t hourglassCursor() = 0;
    // Handle every pending window message, then return.
    virtual void processMessages() = 0;
    // Wait for one window message and handle it.
    virtual void handleMessage() = 0;
    // Create the native window for a form model and mirror the model onto it.
    virtual void realize(Form& form) = 0;
    // Load a picture file (".jpg"/".jpeg" JPEG, otherwise a Windows bitmap)
    // into an image control of a realised form; false when the file cannot be
    // read or decoded (the control keeps what it showed).
    virtual bool loadPicture(Control& image, const std::string& path) {
        (void)image;
        (void)path;
        return false;
    }
    // Start or stop a timer model's ticks (its onTimer runs from message handling).
    virtual void startTimer(Timer& timer) = 0;
    virtual void stopTimer(Timer& timer) = 0;
    virtual int screenWidth() = 0;
    virtual int screenHeight() = 0;
    virtual void setApplicationTitle(const std::string& title) = 0;
    virtual std::string applicationTitle() = 0;
    virtual void bringApplicationToFront() = 0;
    // Tell the message loop to end (it returns once pending work is done).
    virtual void terminate() = 0;
    virtual bool terminated() = 0;
    // Run the message loop until terminate().
    virtual void runMessageLoop() = 0;
};

}  // namespace ssi
