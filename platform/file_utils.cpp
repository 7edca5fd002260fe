#include "platform/file_utils.h"

#include <cstring>
#include <vector>

#include "core/buffer.h"
#include "core/trace.h"

namespace ssi {

bool fileExists(Os& os, const std::string& path) {
    uint32_t a = attr::kInvalid;
    return os.files().attributes(path, a) == rc::kOk && !(a & attr::kDirectory);
}

bool directoryExists(Os& os, const std::string& path) {
    uint32_t a = attr::kInvalid;
    return os.files().attributes(path, a) == rc::kOk && (a & attr::kDirectory);
}

bool pathExists(Os& os, const std::string& path) {
    uint32_t a = attr::kInvalid;
    return os.files().attributes(path, a) == rc::kOk;
}

std::string getWindowsDir(Os& os) {
    // Without WINDIR (never the case on a configured system) the system's own
    // answer is used, so the directory is never the empty string.
    std::string dir = os.system().environment("WINDIR");
    if (dir.empty()) dir = os.system().windowsDirectory();
    return withTrailingBackslash(dir);
}

std::string getSystemDir(Os& os) {
    std::string dir = os.system().systemDirectory();
    if (dir.size() > 300) dir.resize(300);  // the 301-character buffer
    return withTrailingBackslash(dir);
}

Result initInstallerPaths(Os& os, InstallerDirs& dirs) {
    dirs.windowsDir = getWindowsDir(os);
    dirs.systemDir = getSystemDir(os);
    removeLeftScratchFolders(os, "QDX");
    return makeUniqueTempDir(os, "QDX", dirs.scratchDir);
}

namespace {

std::string tempFolder(Os& os) {
    // Without TEMP, the system's temporary folder; never the current directory.
    std::string temp = os.system().environment("TEMP");
    if (temp.empty()) temp = os.system().tempDirectory();
    return withTrailingBackslash(temp);
}

bool isScratchName(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || lowerCase(name.substr(0, prefix.size())) != lowerCase(prefix)) return false;
    return name.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}

}  // namespace

int removeLeftScratchFolders(Os& os, const std::string& prefix) {
    const std::string temp = tempFolder(os);
    std::vector<FindEntry> entries;
    if (os.files().findFiles(temp + prefix + "*", entries) != rc::kOk) return 0;
    int removed = 0;
    for (const FindEntry& e : entries) {
        if (!(e.attributes & attr::kDirectory) || (e.attributes & attr::kReparsePoint) || !isScratchName(e.name, prefix))
            continue;
        const std::string folder = temp + e.name + "\\";
        // The copy goes first, as the proof that no installer runs from the
        // folder: a running one holds it open without delete sharing. A
        // folder without the copy may be one another installer is filling.
        if (!fileExists(os, folder + kInstallerCopyName) || deleteFileForced(os, folder + kInstallerCopyName) != rc::kOk)
            continue;
        const Result gone = deleteDirTree(os, folder);
        logMessage("a scratch folder left by an earlier run removed: " + folder + " (" + std::to_string(gone) + ")");
        if (gone == rc::kOk) ++removed;
    }
    return removed;
}

bool runsElevated(Os& os) {
    // The 95 family has no access control and no elevation to ask about.
    WindowsVersion version;
    if (os.system().windowsVersion(version) == rc::kOk && version.platformId == platformid::kWindows)
        return false;
    bool elevated = false;
    return os.system().elevation(elevated) == rc::kOk && elevated;
}

// A folder only administrators can write to, where the system can make one;
// otherwise an ordinary one, as on 95, 98 and ME.
[[nodiscard]] static Result createScratchDirectory(Os& os, const std::string& path, bool privately) {
    if (!privately) return os.files().createDirectory(path);
    const Result created = os.files().createPrivateDirectory(path);
    if (created == oserr::kNotSupported || created == oserr::kCallNotImplemented ||
        created == oserr::kProcNotFound)
        return os.files().createDirectory(path);
    return created;
}

Result makeUniqueTempDir(Os& os, const std::string& prefix, std::string& out) {
    // Nothing is handed out on failure: a caller that deletes "its" folder
    // later must not be given a name that other folders start with.
    out.clear();
    // An elevated installer loads a library from its scratch folder, runs a
    // program from it and copies from it into the system folder: no program
    // without elevation, the same user's included, may write there.
    const bool privately = runsElevated(os);
    const std::string base = tempFolder(os) + prefix;
    for (int n = 1; n <= 1000; ++n) {
        const std::string candidate = base + std::to_string(n);
        // A name that is taken (by a folder or a file) is skipped, never reused.
        if (pathExists(os, candidate)) continue;
        const Result created = createScratchDirectory(os, candidate, privately);
        if (created == rc::kOk) {
            out = candidate + "\\";
            return rc::kOk;
        }
        // Another program took the name meanwhile: try the next one. Any
        // other refusal (no TEMP folder, no right to write there) would be
        // the same for every name.
        if (created != oserr::kAlreadyExists) return created;
    }
    return oserr::kAlreadyExists;  // every name is taken
}

// Steps 1 to 3 of a forced deletion; true when the file is gone.
[[nodiscard]] static bool deleteOnce(Os& os, const std::string& path) {
    if (!fileExists(os, path)) return true;
    if (os.files().deleteFile(path) == rc::kOk) return true;
    ignoreResult(os.files().setAttributes(path, attr::kNormal), "the second delete reports");
    return os.files().deleteFile(path) == rc::kOk;
}

Result deleteFileForced(Os& os, const std::string& path) {
    return deleteOnce(os, path) ? rc::kOk : rc::kFileBusy;
}

Result deleteFileRetry(Os& os, const std::string& path, int attempts) {
    Result result = rc::kNotRemoved;
    const bool screenSaver = lowerCase(extractFileExt(path)) == ".scr";
    while (attempts > 0 && result != rc::kOk) {
        if (deleteOnce(os, path))
            result = rc::kOk;
        else
            result = screenSaver ? rc::kSaverNotReplaced : rc::kFileBusy;
        --attempts;
    }
    return result;
}

Result deleteDirTree(Os& os, const std::string& dir) {
    // Only a folder named with its trailing backslash: ...\QDX followed by *.*
    // would match every QDX1, QDX2... beside it.
    if (dir.size() < 2 || dir.back() != '\\') return rc::kNotRemoved;
    std::string self = dir;
    self.pop_back();
    uint32_t selfAttributes = attr::kInvalid;
    if (os.files().attributes(self, selfAttributes) != rc::kOk) return rc::kOk;  // already gone
    // A junction or link is removed itself; what it points to is not ours.
    if (selfAttributes & attr::kReparsePoint)
        return os.files().removeDirectory(self) == rc::kOk ? rc::kOk : rc::kNotRemoved;

    // Held open while its entries go, so that nobody can rename it and put a
    // link in its place meanwhile; the attributes read through the handle
    // tell a link that took its place since the look above.
    std::unique_ptr<HeldDirectory> held;
    uint32_t heldAttributes = attr::kInvalid;
    const Result opened = os.files().openDirectory(self, heldAttributes, held);
    if (opened == oserr::kFileNotFound || opened == oserr::kPathNotFound) return rc::kOk;  // gone meanwhile
    if (opened != rc::kOk) return rc::kNotRemoved;
    if (heldAttributes & attr::kReparsePoint) {
        held.reset();
        return os.files().removeDirectory(self) == rc::kOk ? rc::kOk : rc::kNotRemoved;
    }

    Result result = rc::kOk;
    std::vector<FindEntry> entries;
    if (os.files().findFiles(dir + "*.*", entries) == rc::kOk) {
        for (const FindEntry& e : entries) {
            if (result != rc::kOk) break;
            if (e.name == "." || e.name == "..") continue;
            const std::string full = dir + e.name;
            if ((e.attributes & attr::kDirectory) && (e.attributes & attr::kReparsePoint)) {
                // The link only; a link left behind shows up below, when the folder cannot go.
                ignoreResult(os.files().removeDirectory(full),
                             "a link left behind fails its folder's removal");
            } else if (e.attributes & attr::kDirectory) {
                // A folder left behind shows up below, when its parent cannot go.
                ignoreResult(deleteDirTree(os, full + "\\"),
                             "a folder left behind fails its parent's removal");
            } else {
                result = deleteFileForced(os, full);
            }
        }
    }
    held.reset();  // let go before the folder itself is removed
    if (result != rc::kOk) return result;
    if (!pathExists(os, self)) return rc::kOk;
    ignoreResult(os.files().setAttributes(self, attr::kNormal), "the removal below reports what stays");
    return os.files().removeDirectory(self) == rc::kOk ? rc::kOk : rc::kNotRemoved;
}

Result copyFileForced(Os& os, const std::string& from, const std::string& to, bool failIfExists) {
    // The copy below reports a file that stays read-only.
    if (fileExists(os, from)) ignoreResult(os.files().setAttributes(from, attr::kNormal), "the copy reports");
    if (fileExists(os, to)) ignoreResult(os.files().setAttributes(to, attr::kNormal), "the copy reports");
    return os.files().copyFile(from, to, failIfExists);
}

Result createDirPath(Os& os, const std::string& path) {
    if (path.empty()) return oserr::kPathNotFound;
    if (!directoryExists(os, path)) {
        std::string trimmed = path;
        if (trimmed.back() == '\\') trimmed.pop_back();
        const std::string parent = extractFilePath(trimmed);
        // The recursion ends when the parent stops getting shorter: a root
        // ("C:\\", "C:") that does not exist, or a bare name.
        if (!parent.empty() && parent.size() < path.size() && parent != path)
            ignoreResult(createDirPath(os, parent),
                         "a missing parent shows in the refusal of the folder itself");
    }
    const Result made = os.files().createDirectory(path);
    return made == oserr::kAlreadyExists && directoryExists(os, path) ? rc::kOk : made;
}

Result getFileVersion(Os& os, const std::string& path, int& major, int& release) {
    FileVersion v;
    if (Result e = os.files().fileVersion(path, v)) return e;
    major = int(v.versionMS >> 16);
    release = int(v.versionLS >> 16);
    return rc::kOk;
}

Result readUpTo(File& file, void* buffer, uint32_t size, uint32_t& got) {
    uint8_t* p = static_cast<uint8_t*>(buffer);
    got = 0;
    while (got < size) {
        uint32_t n = 0;
        if (Result e = file.read(p + got, size - got, n)) return e;
        if (n == 0) break;
        got += n;
    }
    return rc::kOk;
}

Result readExact(File& file, void* buffer, uint32_t size) {
    uint32_t got = 0;
    if (Result e = readUpTo(file, buffer, size, got)) return e;
    return got == size ? rc::kOk : rc::kShortRead;
}

Result writeExact(File& file, const void* buffer, uint32_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    while (size > 0) {
        uint32_t put = 0;
        if (Result e = file.write(p, size, put)) return e;
        if (put == 0) return oserr::kDiskFull;
        p += put;
        size -= put;
    }
    return rc::kOk;
}

Result copyFileBytes(File& in, File& out, uint64_t length, uint64_t& copied) {
    copied = 0;
    ByteBuffer buffer;
    if (!buffer.allocate(size_t(length < kCopyBlock ? length : kCopyBlock))) return rc::kOutOfMemory;
    while (copied < length) {
        const uint32_t want = uint32_t(length - copied < kCopyBlock ? length - copied : kCopyBlock);
        uint32_t got = 0;
        if (Result e = readUpTo(in, buffer.data(), want, got)) return e;
        if (got == 0) break;
        if (Result e = writeExact(out, buffer.data(), got)) return e;
        copied += got;
        if (got < want) break;
    }
    return rc::kOk;
}

}  // namespace ssi
