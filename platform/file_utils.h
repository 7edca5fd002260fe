// Directories and file utilities shared by every installation step. None of
// them raises or shows a message: every failure is a result code.
#pragma once

#include <string>

#include "core/result_codes.h"
#include "core/names.h"
#include "platform/os.h"

namespace ssi {

// The process-wide directories; each ends with a backslash.
struct InstallerDirs {
    std::string windowsDir;
    std::string systemDir;
    std::string scratchDir;
};

// Windows, system and scratch directories ("QDX" prefix); the result of the
// scratch directory's creation.
[[nodiscard]] Result initInstallerPaths(Os& os, InstallerDirs& dirs);
// Whether the process runs elevated (never on 95, 98 and ME).
bool runsElevated(Os& os);
// Creates TEMP\<prefix><n>\ for the first free n of 1..1000; when the process
// runs elevated, as a private directory (administrators and SYSTEM only), or
// an ordinary one where the system cannot make that. On failure `out` is
// empty and the result is the system's refusal, or 183 (already exists) when
// all 1,000 names are taken.
[[nodiscard]] Result makeUniqueTempDir(Os& os, const std::string& prefix, std::string& out);
// The installer's copy of itself in its scratch folder, held open by a
// running installer for its whole run.
constexpr const char* kInstallerCopyName = "temp.dat";
// Removes the scratch folders (TEMP\<prefix><n>\) that runs which were killed
// left behind: those holding a copy of the installer that can be deleted,
// which no running installer holds. Returns how many went.
int removeLeftScratchFolders(Os& os, const std::string& prefix);
std::string getWindowsDir(Os& os);
std::string getSystemDir(Os& os);
bool fileExists(Os& os, const std::string& path);
bool directoryExists(Os& os, const std::string& path);
// A file, a folder or a link of that name exists.
bool pathExists(Os& os, const std::string& path);
[[nodiscard]] Result deleteFileForced(Os& os, const std::string& path);
[[nodiscard]] Result deleteFileRetry(Os& os, const std::string& path, int attempts);
// Deletes a folder (named with its trailing backslash) and everything in
// it. Junctions and links inside it, or the folder itself when it is one,
// are removed as links: what they point to is never touched. Each folder is
// held open while its entries go and looked at through that handle, so a
// link swapped in for it after a look is met as a link too.
[[nodiscard]] Result deleteDirTree(Os& os, const std::string& dir);
// Copies over a read-only target: 0 or the system's error.
[[nodiscard]] Result copyFileForced(Os& os, const std::string& from, const std::string& to,
                                    bool failIfExists);
// Makes a folder and every missing parent: 0 when the folder is there
// afterwards (made now or before), else the system's refusal to make it
// (3 for an empty path, as the system gives for it).
[[nodiscard]] Result createDirPath(Os& os, const std::string& path);
// The first and third numbers of a file's version (7.0.19.0 gives 7 and 19).
// Without a version resource, the system's error, and both stay as they were.
[[nodiscard]] Result getFileVersion(Os& os, const std::string& path, int& major, int& release);

// ---- reading and writing whole blocks ------------------------------------
// Reads until `size` bytes are in or the file ends; `got` says how many came.
[[nodiscard]] Result readUpTo(File& file, void* buffer, uint32_t size, uint32_t& got);
// Reads exactly `size` bytes: 0, the OS error, or kShortRead when the file ends first.
[[nodiscard]] Result readExact(File& file, void* buffer, uint32_t size);
// Writes exactly `size` bytes: 0, the OS error, or "disk full" for a short write.
[[nodiscard]] Result writeExact(File& file, const void* buffer, uint32_t size);
// The block size of copyFileBytes: one buffer of it is reused for a whole copy.
constexpr uint32_t kCopyBlock = 256 * 1024;
// Copies up to `length` bytes from `in`'s position to `out` through one
// buffer of kCopyBlock bytes; `copied` says how many (fewer when `in` ends
// first). 0, rc::kOutOfMemory or the OS error.
[[nodiscard]] Result copyFileBytes(File& in, File& out, uint64_t length, uint64_t& copied);

}  // namespace ssi
