// Directories and file utilities shared by every installation step. None of
// them raises or shows a message: every failure is a result code.
#pragma once

#include <string>

#include "app/result_codes.h"
#include "platform/os.h"

namespace ssi {

// The process-wide directories; each ends with a backslash.
struct InstallerDirs {
    std::string windowsDir;
    std::string systemDir;
    std::string scratchDir;
};

// Appends "\" unless the text already ends with one.
std::string withTrailingBackslash(std::string path);
// The file name part of a path (after the last "\", "/" or ":").
std::string extractFileName(const std::string& path);
// The folder part of a path, up to and including the last "\" or ":".
std::string extractFilePath(const std::string& path);
// The extension of a file name, from its last dot ("" when there is none).
std::string extractFileExt(const std::string& name);
// Replaces everything from the last dot of the name (or appends).
std::string changeFileExt(const std::string& name, const std::string& ext);
std::string lowerCase(std::string text);

// Windows, system and scratch directories ("QDX" prefix); the result of the
// scratch directory's creation.
Result initInstallerPaths(Os& os, InstallerDirs& dirs);
// Creates TEMP\<prefix><n>\ for the first free n of 1..1000.
Result makeUniqueTempDir(Os& os, const std::string& prefix, std::string& out);
std::string getWindowsDir(Os& os);
std::string getSystemDir(Os& os);
bool fileExists(Os& os, const std::string& path);
bool directoryExists(Os& os, const std::string& path);
Result deleteFileForced(Os& os, const std::string& path);
Result deleteFileRetry(Os& os, const std::string& path, int attempts);
Result deleteDirTree(Os& os, const std::string& dir);
bool copyFileForced(Os& os, const std::string& from, const std::string& to, bool failIfExists);
void createDirPath(Os& os, const std::string& path);
void getFileVersion(Os& os, const std::string& path, int& major, int& release);

// ---- reading and writing whole blocks ------------------------------------
// Reads until `size` bytes are in or the file ends; `got` says how many came.
Result readUpTo(File& file, void* buffer, uint32_t size, uint32_t& got);
// Reads exactly `size` bytes: 0, the OS error, or kShortRead when the file ends first.
Result readExact(File& file, void* buffer, uint32_t size);
// Writes exactly `size` bytes: 0, the OS error, or "disk full" for a short write.
Result writeExact(File& file, const void* buffer, uint32_t size);

// ---- names from packages and data files ----------------------------------
// Whether a name is one of the devices Windows maps whatever the extension
// and folder (CON, PRN, AUX, NUL, COM0..9, LPT0..9, CLOCK$, CONIN$, CONOUT$).
bool isDeviceName(const std::string& name);
// A name that can only name a file inside the folder it is appended to: not
// empty, no folder separator, drive or character Windows forbids
// (<>:"/\|?* and control characters), not only dots and spaces, no trailing
// dot or space (which Windows drops), no device name.
bool isPlainFileName(const std::string& name);
// A relative path of plain names separated by backslashes.
bool isSafeRelativePath(const std::string& path);

}  // namespace ssi
