#include "platform/fake/host_folder_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "core/names.h"

namespace ssi {

namespace {

constexpr char kRelative[] = "rel";  // the folder of relative paths, beside the drives

[[nodiscard]] Result errnoToWin32(int e) {
    switch (e) {
        case ENOENT: return oserr::kFileNotFound;
        case ENOTDIR: return oserr::kPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR: return oserr::kAccessDenied;
        case EEXIST: return oserr::kAlreadyExists;
        case ENOSPC: return oserr::kDiskFull;
        case ENOMEM: return oserr::kNotEnoughMemory;
        case ENOTEMPTY: return oserr::kDirNotEmpty;
        default: return oserr::kGenFailure;
    }
}

void mkdirs(const std::string& hostPath) {
    std::string partial;
    std::stringstream ss(hostPath);
    std::string piece;
    while (std::getline(ss, piece, '/')) {
        partial += piece + "/";
        if (!piece.empty()) ::mkdir(partial.c_str(), 0755);
    }
}

std::vector<std::string> hostNames(const std::string& hostDir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(hostDir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(d);
    }
    return names;
}

// An open host file, read and written at positions the store keeps.
class HostBytes : public StoredBytes {
public:
    explicit HostBytes(int fd) : fd_(fd) {}
    ~HostBytes() override { ::close(fd_); }
    HostBytes(const HostBytes&) = delete;
    HostBytes& operator=(const HostBytes&) = delete;

    [[nodiscard]] Result readAt(uint64_t position, void* buffer, uint32_t size, uint32_t& got) override {
        got = 0;
        const ssize_t n = ::pread(fd_, buffer, size, off_t(position));
        if (n < 0) return errnoToWin32(errno);
        got = uint32_t(n);
        return 0;
    }
    [[nodiscard]] Result writeAt(uint64_t position, const void* buffer, uint32_t size) override {
        const char* from = static_cast<const char*>(buffer);
        for (uint32_t done = 0; done < size;) {
            const ssize_t n = ::pwrite(fd_, from + done, size - done, off_t(position + done));
            if (n < 0) return errnoToWin32(errno);
            if (n == 0) return oserr::kDiskFull;
            done += uint32_t(n);
        }
        return 0;
    }
    [[nodiscard]] Result size(uint64_t& out) override {
        out = 0;
        struct stat st;
        if (::fstat(fd_, &st) != 0) return errnoToWin32(errno);
        out = uint64_t(st.st_size);
        return 0;
    }

private:
    int fd_;
};

}  // namespace

class HostFolderBacking : public FileBacking {
public:
    HostFolderBacking() {
        char tmpl[] = "/tmp/ssi-fakeos-XXXXXX";
        if (!::mkdtemp(tmpl)) throw std::runtime_error("cannot create the fake file system");
        root_ = tmpl;
    }
    ~HostFolderBacking() override {
        const std::string cmd = "rm -rf '" + root_ + "'";
        if (std::system(cmd.c_str()) != 0) {
            // Leaving a temporary folder behind is harmless for a test run.
        }
    }
    HostFolderBacking(const HostFolderBacking&) = delete;
    HostFolderBacking& operator=(const HostFolderBacking&) = delete;

    const std::string& root() const { return root_; }

    // <root>/C/Dir/File for "C:\\Dir\\File".
    std::string hostOf(const std::string& stored) const {
        const size_t cut = stored.find('\\');
        const std::string drive = stored.substr(0, cut);
        std::string out = root_ + "/" + (drive.empty() ? std::string(kRelative) : drive.substr(0, 1));
        if (cut == std::string::npos) return out;
        std::string rest = stored.substr(cut);
        for (char& c : rest)
            if (c == '\\') c = '/';
        return out + rest;
    }

    bool entry(const std::string& path, StoredEntry& out) const override {
        const std::string host = hostOf(path);
        struct stat st;
        if (::lstat(host.c_str(), &st) != 0) return false;
        out = StoredEntry{};
        if (S_ISLNK(st.st_mode)) {
            out.link = true;
            struct stat target;
            if (::stat(host.c_str(), &target) == 0) {
                out.directory = S_ISDIR(target.st_mode);
                if (!out.directory) out.size = uint64_t(target.st_size);
            }
        } else {
            out.directory = S_ISDIR(st.st_mode);
            if (!out.directory) out.size = uint64_t(st.st_size);
        }
        return true;
    }
    std::string lookup(const std::string& folder, const std::string& name) const override {
        const std::string hostDir = hostOf(folder);
        struct stat st;
        if (::lstat((hostDir + "/" + name).c_str(), &st) == 0) return name;
        for (const std::string& entry : hostNames(hostDir))
            if (lowerCase(entry) == lowerCase(name)) return entry;
        return std::string();
    }
    std::vector<std::string> names(const std::string& folder) const override { return hostNames(hostOf(folder)); }
    std::vector<std::string> drives() const override {
        std::vector<std::string> out;
        for (const std::string& name : hostNames(root_))
            if (name.size() == 1) out.push_back(name + ":");
        return out;
    }
    [[nodiscard]] Result makeFolder(const std::string& path) override {
        return ::mkdir(hostOf(path).c_str(), 0755) == 0 ? 0 : errnoToWin32(errno);
    }
    [[nodiscard]] Result removeFolder(const std::string& path) override {
        const std::string host = hostOf(path);
        struct stat st;
        const bool link = ::lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        const int failed = link ? ::unlink(host.c_str()) : ::rmdir(host.c_str());
        return failed ? errnoToWin32(errno) : 0;
    }
    [[nodiscard]] Result removeFile(const std::string& path) override {
        return ::unlink(hostOf(path).c_str()) == 0 ? 0 : errnoToWin32(errno);
    }
    [[nodiscard]] Result openBytes(const std::string& path, bool create, std::unique_ptr<StoredBytes>& out) override {
        const int fd = ::open(hostOf(path).c_str(), create ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY, 0644);
        if (fd < 0) return errnoToWin32(errno);
        out = std::make_unique<HostBytes>(fd);
        return 0;
    }
    [[nodiscard]] Result copyBytes(const std::string& from, const std::string& to) override {
        std::ifstream in(hostOf(from), std::ios::binary);
        std::ofstream out(hostOf(to), std::ios::binary | std::ios::trunc);
        if (!in || !out) return oserr::kAccessDenied;
        // An empty source inserts nothing, which a stream counts as a failure.
        if (in.peek() != std::ifstream::traits_type::eof()) out << in.rdbuf();
        return out ? 0 : oserr::kDiskFull;
    }
    [[nodiscard]] Result rename(const std::string& from, const std::string& to) override {
        return ::rename(hostOf(from).c_str(), hostOf(to).c_str()) == 0 ? 0 : errnoToWin32(errno);
    }

private:
    std::string root_;
};

namespace {
std::unique_ptr<HostFolderBacking> hostFolder() {
    return std::make_unique<HostFolderBacking>();
}
}  // namespace

HostFolderFiles::HostFolderFiles(FakeOs& os)
    : FileStore(os, hostFolder()), host_(static_cast<HostFolderBacking&>(backing())) {}

HostFolderFiles::~HostFolderFiles() = default;

const std::string& HostFolderFiles::root() const {
    return host_.root();
}

std::string HostFolderFiles::hostPath(const std::string& windowsPath) const {
    return host_.hostOf(resolve(windowsPath));
}

void HostFolderFiles::makeLink(const std::string& windowsPath, const std::string& hostTarget) {
    const std::string host = hostPath(windowsPath);
    mkdirs(host.substr(0, host.rfind('/')));
    if (::symlink(hostTarget.c_str(), host.c_str()) != 0) throw std::runtime_error("cannot make a link at " + host);
}

bool HostFolderFiles::replaceWithLink(const std::string& windowsPath, const std::string& hostTarget) {
    if (!othersMayRename(windowsPath)) return false;
    const std::string host = hostPath(windowsPath);
    if (::rename(host.c_str(), (host + ".moved-away").c_str()) != 0) return false;
    return ::symlink(hostTarget.c_str(), host.c_str()) == 0;
}

}  // namespace ssi
