#include "tools/saverpack/safe_output.h"

#include <cerrno>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace ssi::tool {

FileIdentity identityOf(const std::string& path) {
    FileIdentity id;
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return id;
    id.exists = true;
    id.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    id.regular = !id.folder && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return id;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info)) {
        id.device = info.dwVolumeSerialNumber;
        id.index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    CloseHandle(h);
#else
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return id;
    id.exists = true;
    id.folder = S_ISDIR(st.st_mode);
    id.regular = S_ISREG(st.st_mode);
    id.device = uint64_t(st.st_dev);
    id.index = uint64_t(st.st_ino);
#endif
    return id;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.exists && b.exists && (a.device | a.index) != 0 && a.device == b.device && a.index == b.index;
}

std::string outputInsideFolder(const std::string& out, const std::string& folder) {
    namespace fs = std::filesystem;
    if (folder.empty()) return "";
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(folder, ec);
    if (ec) return "";
    const fs::path target = fs::weakly_canonical(out, ec);
    if (ec) return "";
    for (fs::path p = target.parent_path(); !p.empty(); p = p.parent_path()) {
        if (p == root) return out + ": lies inside " + folder + ", the folder being packed; write it elsewhere";
        if (p == p.parent_path()) break;
    }
    return "";
}

std::string outputRefusal(const std::string& out,
                          const std::vector<std::pair<std::string, std::string>>& inputs, bool force) {
    const FileIdentity target = identityOf(out);
    if (!target.exists) return std::string();
    if (target.folder) return out + ": is a folder; give the file name of the output";
    for (const auto& input : inputs)
        if (sameFile(target, identityOf(input.second)))
            return out + ": is the " + input.first + " " + input.second +
                   "; the output must be a different file (not even --force replaces an input)";
    if (!force) return out + ": already exists; give --force to replace it";
    return std::string();
}

std::FILE* createExclusive(const std::string& path) {
#ifdef _WIN32
    // Windows: _O_EXCL fails on any existing name; a reparse point there is
    // an existing name too.
    const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0644);
    if (fd < 0) return nullptr;
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) _close(fd);
    return f;
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) ::close(fd);
    return f;
#endif
}

bool moveIntoPlace(const std::string& from, const std::string& to, bool replace) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) return true;
    const DWORD why = GetLastError();
    errno = (why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS) ? EEXIST : EIO;
    return false;
#else
    if (replace) return ::rename(from.c_str(), to.c_str()) == 0;
#ifdef SYS_renameat2
    // RENAME_NOREPLACE (1): the kernel refuses an existing name atomically.
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1u) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // A file system without it: link() also refuses an existing name.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
#endif
}

}  // namespace ssi::tool
