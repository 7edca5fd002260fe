#include "saver/KVR_FileUtils.h"

#include <cstring>
#include <vector>

namespace ssi {

std::string withTrailingBackslash(std::string path) {
    if (path.empty() || path.back() != '\\') path += '\\';
    return path;
}

std::string extractFileName(const std::string& path) {
    size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string extractFilePath(const std::string& path) {
    size_t cut = path.find_last_of("\\:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string extractFileExt(const std::string& name) {
    size_t dot = name.find_last_of(".\\:");
    if (dot == std::string::npos || name[dot] != '.') return std::string();
    return name.substr(dot);
}

std::string changeFileExt(const std::string& name, const std::string& ext) {
    size_t dot = name.find_last_of(".\\:");
    if (dot == std::string::npos || name[dot] != '.') return name + ext;
    return name.substr(0, dot) + ext;
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

bool fileExists(Os& os, const std::string& path) {
    uint32_t a = os.fileAttributes(path);
    return a != attr::kInvalid && !(a & attr::kDirectory);
}

bool directoryExists(Os& os, const std::string& path) {
    uint32_t a = os.fileAttributes(path);
    return a != attr::kInvalid && (a & attr::kDirectory);
}

std::string getWindowsDir(Os& os) {
    // Without WINDIR (never the case on a configured system) the system's own
    // answer is used, so the directory is never the empty string.
    std::string dir = os.environment("WINDIR");
    if (dir.empty()) dir = os.windowsDirectory();
    return withTrailingBackslash(dir);
}

std::string getSystemDir(Os& os) {
    std::string dir = os.systemDirectory();
    if (dir.size() > 300) dir.resize(300);  // the 301-character buffer
    return withTrailingBackslash(dir);
}

Result initInstallerPaths(Os& os, InstallerDirs& dirs) {
    dirs.windowsDir = getWindowsDir(os);
    dirs.systemDir = getSystemDir(os);
    return makeUniqueTempDir(os, "QDX", dirs.scratchDir);
}

Result makeUniqueTempDir(Os& os, const std::string& prefix, std::string& out) {
    // Without TEMP, the system's temporary folder; never the current directory.
    std::string temp = os.environment("TEMP");
    if (temp.empty()) temp = os.tempDirectory();
    const std::string base = withTrailingBackslash(temp) + prefix;
    for (int n = 1; n <= 1000; ++n) {
        std::string candidate = base + std::to_string(n);
        // A name that is taken (by a folder or a file) is skipped, never reused.
        if (os.fileAttributes(candidate) != attr::kInvalid) continue;
        if (os.createDirectory(candidate)) {
            out = candidate + "\\";
            return rc::kOk;
        }
    }
    out = base;
    Result error = Result(os.lastError());
    // Every candidate taken leaves no error of the system's: report "exists".
    return error ? error : oserr::kAlreadyExists;
}

// Steps 1 to 3 of a forced deletion; `deleted` tells whether the file is gone.
static bool deleteOnce(Os& os, const std::string& path) {
    if (!fileExists(os, path)) return true;
    if (os.deleteFile(path)) return true;
    os.setFileAttributes(path, attr::kNormal);
    return os.deleteFile(path);
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
    if (dir.empty()) return rc::kNotRemoved;
    Result result = rc::kOk;
    std::vector<FindEntry> entries;
    if (os.findFiles(dir + "*.*", entries)) {
        for (const FindEntry& e : entries) {
            if (result != rc::kOk) break;
            const std::string full = dir + e.name;
            if (e.attributes & attr::kDirectory) {
                if (e.name == "." || e.name == "..") continue;
                deleteDirTree(os, full + "\\");  // a folder left behind shows up below
            } else {
                result = deleteFileForced(os, full);
            }
        }
    }
    if (result != rc::kOk) return result;
    // The folder itself: the path without its trailing backslash.
    std::string self = dir;
    if (self.size() > 1 && self.back() == '\\') self.pop_back();
    if (os.fileAttributes(self) == attr::kInvalid) return rc::kOk;
    os.setFileAttributes(self, attr::kNormal);
    return os.removeDirectory(self) ? rc::kOk : rc::kNotRemoved;
}

bool copyFileForced(Os& os, const std::string& from, const std::string& to, bool failIfExists) {
    if (fileExists(os, from)) os.setFileAttributes(from, attr::kNormal);
    if (fileExists(os, to)) os.setFileAttributes(to, attr::kNormal);
    return os.copyFile(from, to, failIfExists);
}

void createDirPath(Os& os, const std::string& path) {
    if (path.empty()) return;
    if (!directoryExists(os, path)) {
        std::string trimmed = path;
        if (trimmed.back() == '\\') trimmed.pop_back();
        const std::string parent = extractFilePath(trimmed);
        // The recursion ends when the parent stops getting shorter: a root
        // ("C:\", "C:") that does not exist, or a bare name.
        if (!parent.empty() && parent.size() < path.size() && parent != path) createDirPath(os, parent);
    }
    os.createDirectory(path);
}

void getFileVersion(Os& os, const std::string& path, int& major, int& release) {
    FileVersion v;
    if (!os.fileVersion(path, v)) return;
    major = int(v.versionMS >> 16);
    release = int(v.versionLS >> 16);
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

bool isDeviceName(const std::string& name) {
    // The part before the first dot decides ("con.txt" is the console too).
    std::string base = lowerCase(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "clock$", "conin$", "conout$"};
    for (const char* device : kDevices)
        if (base == device) return true;
    return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
           base[3] >= '0' && base[3] <= '9';
}

bool isPlainFileName(const std::string& name) {
    if (name.empty()) return false;
    // "..", ". " and the like: Windows trims trailing dots and spaces, so any
    // of these may end up meaning the folder itself or its parent.
    if (name.find_first_not_of(". ") == std::string::npos) return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    for (unsigned char c : name)
        if (c < 32 || std::strchr("<>:\"/\\|?*", c)) return false;
    return !isDeviceName(name);
}

bool isSafeRelativePath(const std::string& path) {
    size_t start = 0;
    for (;;) {
        const size_t cut = path.find('\\', start);
        if (!isPlainFileName(path.substr(start, cut == std::string::npos ? std::string::npos : cut - start)))
            return false;
        if (cut == std::string::npos) return true;
        start = cut + 1;
    }
}

}  // namespace ssi
