#include "platform/fake/fake_os.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/names.h"
#include "core/strings.h"
#include "platform/fake/fake_paths.h"
#include "platform/fake/memory_files.h"

namespace ssi {

namespace {

Result errnoToWin32(int e) {
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

}  // namespace

namespace fakepath {

bool wildMatch(const char* pattern, const char* name) {
    if (std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0) return true;
    if (*pattern == 0) return *name == 0;
    if (*pattern == '*') {
        for (const char* n = name;; ++n) {
            if (wildMatch(pattern + 1, n)) return true;
            if (*n == 0) return false;
        }
    }
    if (*name == 0) return false;
    if (*pattern == '?' || lowerCase(std::string(1, *pattern)) == lowerCase(std::string(1, *name)))
        return wildMatch(pattern + 1, name + 1);
    return false;
}

}  // namespace fakepath

namespace {

void mkdirs(const std::string& hostPath) {
    std::string partial;
    std::stringstream ss(hostPath);
    std::string piece;
    while (std::getline(ss, piece, '/')) {
        partial += piece + "/";
        if (!piece.empty()) ::mkdir(partial.c_str(), 0755);
    }
}

bool hostIsDir(const std::string& host) {
    struct stat st;
    return ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool hostExists(const std::string& host) {
    struct stat st;
    return ::lstat(host.c_str(), &st) == 0;
}

}  // namespace

namespace fakepath {

SplitPath splitWindowsPath(const std::string& path) {
    SplitPath out;
    std::string rest = path;
    for (char& c : rest)
        if (c == '/') c = '\\';
    if (rest.size() >= 2 && rest[1] == ':') {
        out.drive = std::string(1, char(std::toupper(static_cast<unsigned char>(rest[0])))) + ":";
        rest = rest.substr(2);
    }
    std::stringstream ss(rest);
    std::string piece;
    while (std::getline(ss, piece, '\\')) {
        if (piece.empty() || piece == ".") continue;
        if (piece == "..") {
            if (!out.parts.empty()) out.parts.pop_back();
            continue;
        }
        out.parts.push_back(piece);
    }
    return out;
}

// A name that is already a legal 8.3 name (letter case aside) has no alias.
bool isShortName(const std::string& name) {
    static const std::string kSpecial = "!#$%&'()-@^_`{}~";
    const size_t dot = name.find('.');
    const std::string base = name.substr(0, dot), ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos) return false;
    for (char c : base + ext)
        if (!std::isalnum(static_cast<unsigned char>(c)) && kSpecial.find(c) == std::string::npos)
            return false;
    return true;
}

std::string shortAlias(const std::vector<std::string>& names, const std::string& name) {
    if (isShortName(name)) return name;
    auto stem = [](const std::string& n) {
        const size_t dot = n.rfind('.');
        const bool hasExt = dot != std::string::npos && dot > 0;
        std::string b, x;
        for (char c : hasExt ? n.substr(0, dot) : n)
            if (std::isalnum(static_cast<unsigned char>(c)))
                b += char(std::toupper(static_cast<unsigned char>(c)));
        if (hasExt)
            for (char c : n.substr(dot + 1))
                if (std::isalnum(static_cast<unsigned char>(c)))
                    x += char(std::toupper(static_cast<unsigned char>(c)));
        if (b.empty()) b = "_";
        return std::make_pair(b.substr(0, 6), x.substr(0, 3));
    };
    const auto mine = stem(name);
    std::vector<std::string> same;
    for (const std::string& other : names)
        if (other != "." && other != ".." && !isShortName(other) && stem(other) == mine) same.push_back(other);
    std::sort(same.begin(), same.end());
    const size_t index = size_t(std::find(same.begin(), same.end(), name) - same.begin());
    const std::string number = std::to_string(index + 1);
    return mine.first.substr(0, 7 - number.size()) + "~" + number +
           (mine.second.empty() ? "" : "." + mine.second);
}

}  // namespace fakepath

using namespace fakepath;

namespace {

// The 8.3 alias of an entry of a host folder.
std::string shortAlias(const std::string& hostDir, const std::string& name) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(hostDir.c_str())) {
        while (dirent* e = ::readdir(d)) names.push_back(e->d_name);
        ::closedir(d);
    }
    return fakepath::shortAlias(names, name);
}

}  // namespace

// ---- shared state ------------------------------------------------------------------

struct RegNode {
    std::string name;                                        // as created
    std::map<std::string, RegNode> keys;                     // by lower-case name
    std::map<std::string, std::pair<std::string, RegValue>> values;  // by lower-case name: (name, value)
};

struct FakeOs::Impl {
    explicit Impl(FakeOs& os) : os(os) {}
    FakeOs& os;

    // ---- paths ----------------------------------------------------------------
    // Which file a path names, however it is spelt (letter case, 8.3 aliases).
    std::string key(const std::string& windowsPath) const { return lowerCase(os.hostPath(windowsPath)); }

    // ---- share modes ------------------------------------------------------------
    struct Handle {
        std::string key;
        bool read = false, write = false;
        bool shareRead = false, shareWrite = false, shareDelete = false;
    };
    std::map<int, Handle> handles;
    int nextHandle = 1;

    bool conflicts(const std::string& k, bool read, bool write, bool del, bool shareRead, bool shareWrite,
                   bool shareDelete) const {
        for (const auto& entry : handles) {
            const Handle& h = entry.second;
            if (h.key != k) continue;
            if ((read && !h.shareRead) || (write && !h.shareWrite) || (del && !h.shareDelete)) return true;
            if ((h.read && !shareRead) || (h.write && !shareWrite)) return true;
        }
        (void)shareDelete;
        return false;
    }
    int open(const Handle& h) {
        handles[nextHandle] = h;
        return nextHandle++;
    }
    std::map<std::string, int> locks;  // key -> handle id

    // ---- attributes the host lacks ---------------------------------------------------
    std::map<std::string, uint32_t> attributes;  // by key

    // ---- registry -------------------------------------------------------------------
    std::map<Hive, RegNode> hives;
    RegNode* findKey(Hive hive, const std::string& path, bool create) {
        // The classes root shows the machine's classes.
        if (hive == Hive::ClassesRoot)
            return findKey(Hive::LocalMachine, "Software\\Classes\\" + path, create);
        RegNode* node = &hives[hive];
        std::stringstream ss(path);
        std::string piece;
        while (std::getline(ss, piece, '\\')) {
            if (piece.empty()) continue;
            auto it = node->keys.find(lowerCase(piece));
            if (it == node->keys.end()) {
                if (!create) return nullptr;
                it = node->keys.emplace(lowerCase(piece), RegNode{}).first;
                it->second.name = piece;
            }
            node = &it->second;
        }
        return node;
    }

    // ---- forms --------------------------------------------------------------------------
    struct FormState {
        bool visible = false;
    };
    std::map<const Control*, FormState> forms;
    std::deque<std::pair<uint32_t, std::function<void()>>> queue;
    std::function<bool(uint32_t)> filter;

    void frameOf(const Form& form, int& w, int& h) const {
        if (form.border() == BorderStyle::Sizeable) {
            w = os.sizeableFrameWidth;
            h = os.sizeableFrameHeight;
        } else {
            w = os.singleFrameWidth;
            h = os.singleFrameHeight;
        }
    }
    // Reports the form's outer rectangle with the client size its frame leaves.
    void report(Form& form, int left, int top, int width, int height) {
        int fw = 0, fh = 0;
        frameOf(form, fw, fh);
        form.recordBounds(left, top, width, height, std::max(0, width - fw), std::max(0, height - fh));
    }

    // Delivers one queued message or timer tick; false when there is none.
    // Timer ticks in a row with nothing posted between them: a loop that only
    // ever ticks would never end, and a test would hang instead of failing.
    static constexpr unsigned long kTicksWithoutProgress = 1000000;
    unsigned long ticksInARow = 0;
    size_t nextTimer = 0;

    bool deliverOne() {
        if (!queue.empty()) {
            ticksInARow = 0;
            auto message = std::move(queue.front());
            queue.pop_front();
            if (filter && filter(message.first)) {
                os.discardedMessages.push_back(message.first);
                return true;
            }
            if (message.second) message.second();
            return true;
        }
        if (!os.runningTimers.empty()) {
            if (++ticksInARow > kTicksWithoutProgress)
                throw FakeOsStuck("the message loop would never end: only timers tick, nothing is posted and "
                                  "nothing terminated the application");
            // Each running timer in turn, as the system serves them.
            os.runningTimers[nextTimer++ % os.runningTimers.size()]->tick();
            return true;
        }
        return false;
    }
};

Result FakeOs::injected(Op op, const std::string& subject) { return inject ? inject(op, subject) : 0; }

void FakeOs::failOn(Op op, const std::string& subject, Result code) {
    auto previous = inject;
    const std::string wanted = lowerCase(subject);
    inject = [=](Op o, const std::string& s) -> Result {
        if (o == op && (wanted.empty() || lowerCase(s) == wanted)) return code;
        return previous ? previous(o, s) : 0;
    };
}

// ---- files ---------------------------------------------------------------------------

namespace {

class FakeFile : public File {
public:
    FakeFile(FakeOs& os, std::string path, int fd, int handle)
        : os_(os), path_(std::move(path)), fd_(fd), handle_(handle) {}
    ~FakeFile() override { release(); }
    Result read(void* buffer, uint32_t size, uint32_t& got) override {
        got = 0;
        if (fd_ < 0) return oserr::kInvalidHandle;
        if (Result e = os_.injected(Op::Read, path_)) return e;
        ssize_t n = ::read(fd_, buffer, size);
        if (n < 0) return errnoToWin32(errno);
        got = uint32_t(n);
        return 0;
    }
    Result write(const void* buffer, uint32_t size, uint32_t& put) override {
        put = 0;
        if (fd_ < 0) return oserr::kInvalidHandle;
        if (Result e = os_.injected(Op::Write, path_)) return e;
        ssize_t n = ::write(fd_, buffer, size);
        if (n < 0) return errnoToWin32(errno);
        put = uint32_t(n);
        return 0;
    }
    Result seek(int64_t position) override {
        if (fd_ < 0) return oserr::kInvalidHandle;
        if (Result e = os_.injected(Op::Seek, path_)) return e;
        if (position < 0) return oserr::kNegativeSeek;
        if (::lseek(fd_, off_t(position), SEEK_SET) < 0) return errnoToWin32(errno);
        return 0;
    }
    Result size(int64_t& out) override {
        out = 0;
        if (fd_ < 0) return oserr::kInvalidHandle;
        if (Result e = os_.injected(Op::Size, path_)) return e;
        struct stat st;
        if (::fstat(fd_, &st) != 0) return errnoToWin32(errno);
        out = st.st_size;
        return 0;
    }
    Result close() override {
        if (fd_ < 0) return oserr::kInvalidHandle;
        Result e = os_.injected(Op::Close, path_);
        release();
        return e;
    }

private:
    void release() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        if (handle_) os_.impl().handles.erase(handle_);
        handle_ = 0;
    }
    FakeOs& os_;
    std::string path_;
    int fd_;
    int handle_;
};

class FakeLibrary : public Library {
public:
    explicit FakeLibrary(std::map<std::string, void*> exports) : exports_(std::move(exports)) {}
    void* symbol(const char* name) override {
        auto it = exports_.find(name);
        return it == exports_.end() ? nullptr : it->second;
    }

private:
    std::map<std::string, void*> exports_;
};

class FakeFiles : public FileSystem {
public:
    explicit FakeFiles(FakeOs& os) : os_(os) {}

    Result attributes(const std::string& path, uint32_t& out) override {
        out = attr::kInvalid;
        if (Result e = os_.injected(Op::Attributes, path)) return e;
        return stat(path, out);
    }

    Result setAttributes(const std::string& path, uint32_t attributes) override {
        if (Result e = os_.injected(Op::SetAttributes, path)) return e;
        uint32_t current = 0;
        if (Result e = stat(path, current)) return e;
        os_.impl().attributes[key(path)] = attributes & (attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kArchive);
        return 0;
    }

    Result deleteFile(const std::string& path) override {
        if (Result e = os_.injected(Op::DeleteFile, path)) return e;
        uint32_t a = 0;
        if (Result e = stat(path, a)) return e;
        if ((a & attr::kDirectory) && !(a & attr::kReparsePoint)) return oserr::kAccessDenied;
        if (a & attr::kReadOnly) return oserr::kAccessDenied;
        if (os_.impl().conflicts(key(path), false, false, true, true, true, true)) return oserr::kSharingViolation;
        if (::unlink(os_.hostPath(path).c_str()) != 0) return errnoToWin32(errno);
        os_.impl().attributes.erase(key(path));
        return 0;
    }

    Result createDirectory(const std::string& path) override {
        if (Result e = os_.injected(Op::CreateDirectory, path)) return e;
        const std::string host = os_.hostPath(path);
        if (hostExists(host)) return oserr::kAlreadyExists;
        if (!hostIsDir(parentOf(host))) return oserr::kPathNotFound;
        if (::mkdir(host.c_str(), 0755) != 0) return errnoToWin32(errno);
        return 0;
    }

    Result removeDirectory(const std::string& path) override {
        if (Result e = os_.injected(Op::RemoveDirectory, path)) return e;
        uint32_t a = 0;
        if (Result e = stat(path, a)) return e;
        if (!(a & attr::kDirectory)) return oserr::kNotADirectory;
        if (a & attr::kReadOnly) return oserr::kAccessDenied;
        if (os_.impl().conflicts(key(path), false, false, true, true, true, true))
            return oserr::kSharingViolation;
        const std::string host = os_.hostPath(path);
        // A link to a folder goes as a link; what it points to stays.
        if (a & attr::kReparsePoint) {
            if (::unlink(host.c_str()) != 0) return errnoToWin32(errno);
        } else if (::rmdir(host.c_str()) != 0) {
            return errnoToWin32(errno);
        }
        os_.impl().attributes.erase(key(path));
        return 0;
    }

    Result copyFile(const std::string& from, const std::string& to, bool failIfExists) override {
        if (Result e = os_.injected(Op::CopyFile, to)) return e;
        uint32_t fa = 0;
        if (Result e = stat(from, fa)) return e;
        if (fa & attr::kDirectory) return oserr::kAccessDenied;
        if (os_.impl().conflicts(key(from), true, false, false, true, false, true)) return oserr::kSharingViolation;
        uint32_t ta = 0;
        if (stat(to, ta) == 0) {
            if (failIfExists) return oserr::kFileExists;
            // The system holds the source open while it copies: a copy onto itself is refused
            // instead of truncating the only copy.
            if (key(from) == key(to)) return oserr::kSharingViolation;
            if (ta & (attr::kReadOnly | attr::kDirectory)) return oserr::kAccessDenied;
            if (os_.impl().conflicts(key(to), false, true, false, false, false, false)) return oserr::kSharingViolation;
        } else if (!hostIsDir(parentOf(os_.hostPath(to)))) {
            return oserr::kPathNotFound;
        }
        std::ifstream in(os_.hostPath(from), std::ios::binary);
        std::ofstream out(os_.hostPath(to), std::ios::binary | std::ios::trunc);
        if (!in || !out) return oserr::kAccessDenied;
        out << in.rdbuf();
        if (!out) return oserr::kDiskFull;
        // The copy keeps the source's attributes, as CopyFile does.
        const auto it = os_.impl().attributes.find(key(from));
        if (it != os_.impl().attributes.end())
            os_.impl().attributes[key(to)] = it->second;
        else
            os_.impl().attributes.erase(key(to));
        return 0;
    }

    Result findFiles(const std::string& pattern, std::vector<FindEntry>& out) override {
        out.clear();
        if (Result e = os_.injected(Op::FindFiles, pattern)) return e;
        const size_t cut = pattern.find_last_of("\\/");
        const std::string dir = cut == std::string::npos ? std::string() : pattern.substr(0, cut);
        const std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
        const std::string hostDir = os_.hostPath(dir.empty() ? "." : dir);
        if (!hostIsDir(hostDir)) return oserr::kPathNotFound;
        const bool wild = mask.find_first_of("*?") != std::string::npos;
        DIR* d = ::opendir(hostDir.c_str());
        if (!d) return errnoToWin32(errno);
        while (dirent* e = ::readdir(d)) {
            // A name without wildcards names one entry, whatever its case.
            if (wild ? !wildMatch(mask.c_str(), e->d_name) : lowerCase(mask) != lowerCase(e->d_name)) continue;
            FindEntry entry;
            entry.name = e->d_name;
            const std::string full = dir + "\\" + entry.name;
            stat(full, entry.attributes);
            struct stat st;
            if (::stat((hostDir + "/" + entry.name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
                entry.size = uint64_t(st.st_size);
            out.push_back(entry);
        }
        ::closedir(d);
        std::sort(out.begin(), out.end(), [](const FindEntry& a, const FindEntry& b) { return a.name < b.name; });
        return out.empty() ? oserr::kFileNotFound : 0;
    }

    Result openFile(const std::string& path, FileAccess access, std::unique_ptr<File>& out) override {
        out.reset();
        if (Result e = os_.injected(Op::OpenFile, path)) return e;
        FakeOs::Impl::Handle h;
        h.key = key(path);
        switch (access) {
            case FileAccess::Read: h.read = true, h.shareRead = true, h.shareWrite = true; break;
            case FileAccess::ReadDenyWrite: h.read = true, h.shareRead = true; break;
            case FileAccess::Create: h.write = true; break;
        }
        const std::string host = os_.hostPath(path);
        uint32_t a = 0;
        const bool existing = stat(path, a) == 0;
        if (existing && (a & attr::kDirectory)) return oserr::kAccessDenied;
        if (access == FileAccess::Create) {
            if (existing && (a & (attr::kReadOnly | attr::kHidden | attr::kSystem))) return oserr::kAccessDenied;
            if (!existing && !hostIsDir(parentOf(host))) return oserr::kPathNotFound;
        } else if (!existing) {
            return hostIsDir(parentOf(host)) ? oserr::kFileNotFound : oserr::kPathNotFound;
        }
        if (os_.impl().conflicts(h.key, h.read, h.write, false, h.shareRead, h.shareWrite, h.shareDelete))
            return oserr::kSharingViolation;
        const int fd = ::open(host.c_str(), access == FileAccess::Create ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY, 0644);
        if (fd < 0) return errnoToWin32(errno);
        if (access == FileAccess::Create) os_.impl().attributes.erase(h.key);  // a new file: archive only
        out = std::make_unique<FakeFile>(os_, path, fd, os_.impl().open(h));
        return 0;
    }

    Result fileVersion(const std::string& path, FileVersion& out) override {
        out = FileVersion{};
        if (Result e = os_.injected(Op::FileVersion, path)) return e;
        uint32_t a = 0;
        if (Result e = stat(path, a)) return e;
        for (const auto& v : os_.versions)
            if (key(v.first) == key(path)) {
                out = v.second;
                return 0;
            }
        return oserr::kResourceTypeNotFound;
    }

    Result shortPathName(const std::string& path, std::string& out) override {
        out.clear();
        if (Result e = os_.injected(Op::ShortPathName, path)) return e;
        uint32_t a = 0;
        if (Result e = stat(path, a)) return e;
        // Each existing component by its 8.3 alias; a trailing backslash stays.
        const SplitPath split = splitWindowsPath(path);
        out = split.drive;
        std::string partial = split.drive;
        for (const std::string& part : split.parts) {
            partial += "\\" + part;
            const std::string host = os_.hostPath(partial);
            const size_t cut = host.rfind('/');
            out += "\\" + shortAlias(host.substr(0, cut), host.substr(cut + 1));
        }
        const bool trailing = !path.empty() && (path.back() == '\\' || path.back() == '/');
        if (trailing && (out.empty() || out.back() != '\\')) out += "\\";
        return 0;
    }

    Result createPrivateDirectory(const std::string& path) override {
        if (os_.version.platformId == platformid::kWindows) return oserr::kNotSupported;
        if (Result e = createDirectory(path)) return e;
        os_.privateDirectories.insert(lowerCase(path));
        return 0;
    }

    Result openDirectory(const std::string& path, uint32_t& attributes,
                         std::unique_ptr<HeldDirectory>& out) override {
        attributes = attr::kInvalid;
        out.reset();
        if (Result e = os_.injected(Op::OpenDirectory, path)) return e;
        if (Result e = stat(path, attributes)) return e;
        if (!(attributes & attr::kDirectory)) return oserr::kNotADirectory;
        // The link itself is opened, never what it points to.
        FakeOs::Impl::Handle h;
        h.key = key(path);
        h.read = h.shareRead = h.shareWrite = true;
        if (os_.impl().conflicts(h.key, true, false, false, true, true, false))
            return oserr::kSharingViolation;
        out = std::make_unique<FakeHeldDirectory>(os_, os_.impl().open(h));
        return 0;
    }

private:
    class FakeHeldDirectory : public HeldDirectory {
    public:
        FakeHeldDirectory(FakeOs& os, int handle) : os_(os), handle_(handle) {}
        ~FakeHeldDirectory() override { os_.impl().handles.erase(handle_); }

    private:
        FakeOs& os_;
        int handle_;
    };
    std::string key(const std::string& path) const { return os_.impl().key(path); }
    static std::string parentOf(const std::string& host) {
        const size_t cut = host.rfind('/');
        return cut == std::string::npos ? host : host.substr(0, cut);
    }
    Result stat(const std::string& path, uint32_t& out) const {
        out = attr::kInvalid;
        const std::string host = os_.hostPath(path);
        struct stat st;
        if (::lstat(host.c_str(), &st) != 0) {
            const Result e = errnoToWin32(errno);
            return e == oserr::kFileNotFound && !hostIsDir(parentOf(host)) ? oserr::kPathNotFound : e;
        }
        uint32_t a = 0;
        auto it = os_.impl().attributes.find(key(path));
        if (it != os_.impl().attributes.end()) a = it->second;
        if (S_ISLNK(st.st_mode)) {
            a |= attr::kReparsePoint;
            if (hostIsDir(host)) a |= attr::kDirectory;
        } else if (S_ISDIR(st.st_mode)) {
            a |= attr::kDirectory;
        } else if (a == 0) {
            a = attr::kArchive;
        }
        out = a;
        return 0;
    }
    FakeOs& os_;
};

// ---- registry ----------------------------------------------------------------------

class FakeKey : public RegistryKey {
public:
    FakeKey(FakeOs& os, Hive hive, std::string path, RegAccess access)
        : os_(os), hive_(hive), path_(std::move(path)), access_(access) {}
    Result setValue(const std::string& name, uint32_t type, const std::vector<uint8_t>& data) override {
        if (Result e = os_.injected(Op::RegSetValue, path_ + "\\" + name)) return e;
        if (access_ == RegAccess::Read) return oserr::kAccessDenied;
        RegNode* node = os_.impl().findKey(hive_, path_, false);
        if (!node) return 1018;  // ERROR_KEY_DELETED
        node->values[lowerCase(name)] = {name, RegValue{type, data}};
        return 0;
    }
    Result queryValue(const std::string& name, RegValue& out) override {
        out = RegValue{};
        if (Result e = os_.injected(Op::RegQueryValue, path_ + "\\" + name)) return e;
        RegNode* node = os_.impl().findKey(hive_, path_, false);
        if (!node) return 1018;
        auto it = node->values.find(lowerCase(name));
        if (it == node->values.end()) return oserr::kFileNotFound;
        out = it->second.second;
        return 0;
    }
    Result deleteValue(const std::string& name) override {
        if (Result e = os_.injected(Op::RegDeleteValue, path_ + "\\" + name)) return e;
        if (access_ == RegAccess::Read) return oserr::kAccessDenied;
        RegNode* node = os_.impl().findKey(hive_, path_, false);
        if (!node) return 1018;
        return node->values.erase(lowerCase(name)) ? 0 : oserr::kFileNotFound;
    }
    Result subKeyNames(std::vector<std::string>& out) override {
        out.clear();
        if (Result e = os_.injected(Op::RegSubKeyNames, path_)) return e;
        RegNode* node = os_.impl().findKey(hive_, path_, false);
        if (!node) return 1018;
        for (const auto& k : node->keys) out.push_back(k.second.name);
        return 0;
    }
    Result valueNames(std::vector<std::string>& out) override {
        out.clear();
        if (Result e = os_.injected(Op::RegValueNames, path_)) return e;
        RegNode* node = os_.impl().findKey(hive_, path_, false);
        if (!node) return 1018;
        for (const auto& v : node->values) out.push_back(v.second.first);
        return 0;
    }

private:
    FakeOs& os_;
    Hive hive_;
    std::string path_;
    RegAccess access_;
};

std::string trimKeyPath(const std::string& path) {
    size_t start = 0;
    while (start < path.size() && path[start] == '\\') ++start;
    return path.substr(start);
}

class FakeRegistry : public Registry {
public:
    explicit FakeRegistry(FakeOs& os) : os_(os) {}
    Result openKey(Hive hive, const std::string& path, RegAccess access,
                   std::unique_ptr<RegistryKey>& out) override {
        out.reset();
        const std::string p = trimKeyPath(path);
        if (Result e = os_.injected(Op::RegOpenKey, p)) return e;
        if (!os_.impl().findKey(hive, p, false)) return oserr::kFileNotFound;
        out = std::make_unique<FakeKey>(os_, hive, p, access);
        return 0;
    }
    Result createKey(Hive hive, const std::string& path, RegAccess access,
                     std::unique_ptr<RegistryKey>& out) override {
        out.reset();
        const std::string p = trimKeyPath(path);
        if (Result e = os_.injected(Op::RegCreateKey, p)) return e;
        os_.impl().findKey(hive, p, true);
        out = std::make_unique<FakeKey>(os_, hive, p, access);
        return 0;
    }
    Result deleteKey(Hive hive, const std::string& path) override {
        const std::string p = trimKeyPath(path);
        if (Result e = os_.injected(Op::RegDeleteKey, p)) return e;
        const size_t cut = p.rfind('\\');
        RegNode* parent = os_.impl().findKey(hive, cut == std::string::npos ? std::string() : p.substr(0, cut), false);
        if (!parent) return oserr::kFileNotFound;
        auto it = parent->keys.find(lowerCase(cut == std::string::npos ? p : p.substr(cut + 1)));
        if (it == parent->keys.end()) return oserr::kFileNotFound;
        if (!it->second.keys.empty()) return oserr::kAccessDenied;  // as NT: sub-keys first
        parent->keys.erase(it);
        return 0;
    }

private:
    FakeOs& os_;
};

// ---- profile files ---------------------------------------------------------------------

// A minimal INI file: sections and keys without regard to case, the first
// occurrence wins, comments and blank lines kept.
class FakeProfile : public Profile {
public:
    explicit FakeProfile(FakeOs& os) : os_(os) {}
    Result writeString(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value) override {
        const std::string path = resolve(file);
        if (Result e = os_.injected(Op::ProfileWrite, path)) return e;
        std::vector<std::string> lines = readLines(path);
        int sectionLine = -1, end = int(lines.size());
        for (int i = 0; i < int(lines.size()); ++i) {
            if (isSection(lines[i])) {
                if (sectionLine >= 0) {
                    end = i;
                    break;
                }
                if (lowerCase(sectionName(lines[i])) == lowerCase(section)) sectionLine = i;
            }
        }
        const std::string line = key + "=" + value;
        if (sectionLine < 0) {
            lines.push_back("[" + section + "]");
            lines.push_back(line);
        } else {
            bool replaced = false;
            for (int i = sectionLine + 1; i < end && !replaced; ++i)
                if (lowerCase(keyOf(lines[i])) == lowerCase(key)) {
                    lines[i] = line;
                    replaced = true;
                }
            if (!replaced) {
                int at = end;
                while (at > sectionLine + 1 && trim(lines[at - 1]).empty()) --at;
                lines.insert(lines.begin() + at, line);
            }
        }
        std::string text;
        for (const std::string& l : lines) text += l + "\r\n";
        if (MemoryFiles* memory = os_.memoryFiles()) return memory->store(path, text);
        const std::string host = os_.hostPath(path);
        std::ofstream out(host, std::ios::binary | std::ios::trunc);
        if (!out) return oserr::kPathNotFound;
        out << text;
        return out ? 0 : oserr::kDiskFull;
    }
    Result readString(const std::string& file, const std::string& section, const std::string& key,
                      std::string& out) override {
        out.clear();
        const std::string path = resolve(file);
        if (Result e = os_.injected(Op::ProfileRead, path)) return e;
        bool inSection = false;
        for (const std::string& l : readLines(path)) {
            if (isSection(l)) {
                inSection = lowerCase(sectionName(l)) == lowerCase(section);
                continue;
            }
            if (inSection && lowerCase(keyOf(l)) == lowerCase(key) && l.find('=') != std::string::npos) {
                out = trim(l.substr(l.find('=') + 1));
                return 0;
            }
        }
        return oserr::kFileNotFound;
    }

private:
    std::string resolve(const std::string& file) const {
        if (file.find_first_of("\\/:") != std::string::npos) return file;
        return withTrailingBackslash(os_.windowsDir) + file;
    }
    std::vector<std::string> readLines(const std::string& path) const {
        std::vector<std::string> lines;
        std::istringstream in(os_.readFile(path));
        std::string l;
        while (std::getline(in, l)) {
            if (!l.empty() && l.back() == '\r') l.pop_back();
            lines.push_back(l);
        }
        return lines;
    }
    static std::string trim(const std::string& s) {
        const size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
        return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
    }
    static bool isSection(const std::string& l) {
        const std::string t = trim(l);
        return !t.empty() && t.front() == '[' && t.find(']') != std::string::npos;
    }
    static std::string sectionName(const std::string& l) {
        const std::string t = trim(l);
        return trim(t.substr(1, t.find(']') - 1));
    }
    static std::string keyOf(const std::string& l) {
        const size_t eq = l.find('=');
        return eq == std::string::npos ? std::string() : trim(l.substr(0, eq));
    }
    FakeOs& os_;
};

// ---- system ----------------------------------------------------------------------------

class FakeSystem : public System {
public:
    explicit FakeSystem(FakeOs& os) : os_(os) {}
    std::string environment(const std::string& name) override {
        for (const auto& e : os_.env)
            if (lowerCase(e.first) == lowerCase(name)) return e.second;
        return std::string();
    }
    std::string systemDirectory() override { return os_.systemDir; }
    std::string windowsDirectory() override { return os_.windowsDir; }
    std::string tempDirectory() override { return os_.tempDir; }
    std::string modulePath() override { return os_.module; }
    std::vector<std::string> commandLineParameters() override { return os_.parameters; }
    Result windowsVersion(WindowsVersion& out) override {
        out = WindowsVersion{};
        if (Result e = os_.injected(Op::WindowsVersion, "")) return e;
        out = os_.version;
        return 0;
    }
    Result setScreenSaveActive(bool active) override {
        ++os_.screenSaveActiveCalls;
        if (Result e = os_.injected(Op::SetScreenSaveActive, "")) return e;
        os_.screenSaveActive = active;
        return 0;
    }
    Result loadLibrary(const std::string& path, std::unique_ptr<Library>& out) override {
        out.reset();
        os_.libraryPaths.push_back(path);
        if (Result e = os_.injected(Op::LoadLibrary, path)) return e;
        std::string full = path;
        if (path.find('\\') == std::string::npos) full = withTrailingBackslash(os_.systemDir) + path;  // the system search
        if (!os_.exists(full)) return oserr::kModNotFound;
        ++os_.librariesLoaded;
        auto it = os_.libraryExports.find(lowerCase(extractFileName(full)));
        out = std::make_unique<FakeLibrary>(it == os_.libraryExports.end() ? std::map<std::string, void*>{}
                                                                           : it->second);
        return 0;
    }
    std::string loadString(uint32_t id) override { return builtinString(id); }
    std::string errorText(Result code) override { return "System error " + std::to_string(code) + "."; }
    void sleep(uint32_t milliseconds) override {
        os_.sleptMs += milliseconds;
        if (os_.onSleep) os_.onSleep(milliseconds);
    }
    Result elevation(bool& elevated) override {
        elevated = false;
        if (Result e = os_.injected(Op::Elevation, "")) return e;
        if (os_.version.platformId == platformid::kWindows) return oserr::kCallNotImplemented;
        elevated = os_.elevated;
        return 0;
    }

private:
    FakeOs& os_;
};

// ---- shell -------------------------------------------------------------------------------

class FakeShell : public Shell {
public:
    explicit FakeShell(FakeOs& os) : os_(os) {}
    Result shellExecute(WindowHandle owner, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& directory, int show) override {
        ShellRequest r{owner, verb, file, parameters, directory, show};
        os_.shellRequests.push_back(r);
        if (Result e = os_.injected(Op::ShellExecute, file)) return e;
        if (os_.onShellExecute) return os_.onShellExecute(r);
        return os_.exists(file) ? 0 : oserr::kFileNotFound;
    }
    Result startProcess(const std::string& program, const std::string& arguments,
                        const std::string& directory, int show, bool wait, uint32_t& exitCode) override {
        exitCode = 0;
        ProcessRequest r{program, arguments, show, wait, directory};
        os_.processes.push_back(r);
        if (Result e = os_.injected(Op::StartProcess, program)) return e;
        if (os_.onStartProcess) return os_.onStartProcess(r, exitCode);
        return os_.exists(program) ? 0 : oserr::kFileNotFound;
    }
    Result findWindow(const std::string& title, WindowHandle& out) override {
        out = 0;
        ++os_.findWindowCalls;
        if (os_.onFindWindow) os_.onFindWindow(title);
        if (Result e = os_.injected(Op::FindWindow, title)) return e;
        // Titles match whatever their case, as FindWindow matches them.
        for (const auto& w : os_.windows)
            if (lowerCase(w.first) == lowerCase(title)) {
                out = w.second;
                return 0;
            }
        return oserr::kFileNotFound;
    }
    Result clickButton(WindowHandle window, int controlId) override {
        if (Result e = os_.injected(Op::ClickButton, std::to_string(controlId))) return e;
        for (const auto& w : os_.windows)
            if (w.second == window) {
                os_.clicks.emplace_back(window, controlId);
                return 0;
            }
        return oserr::kInvalidWindowHandle;
    }

private:
    FakeOs& os_;
};

// ---- COM -------------------------------------------------------------------------------------

class FakeCom : public Com {
public:
    explicit FakeCom(FakeOs& os) : os_(os) {}
    Result initialize() override {
        if (Result e = os_.injected(Op::ComInitialize, "")) return e;
        ++os_.comInitializations;
        return 0;
    }
    Result createObject(const std::string& classId, std::unique_ptr<DispatchObject>& out) override {
        out.reset();
        if (Result e = os_.injected(Op::ComCreate, classId)) return e;
        for (const auto& c : os_.classes)
            if (lowerCase(c.first) == lowerCase(classId) && c.second) {
                out = c.second();
                if (!out) return oserr::kGenFailure;
                ++os_.objectsCreated;
                return 0;
            }
        return oserr::kModNotFound;
    }

private:
    FakeOs& os_;
};

// ---- user interface ----------------------------------------------------------------------------

class FakePeer : public ControlPeer {
public:
    explicit FakePeer(FakeOs& os) : os_(os) {}
    void changed(Control& control, Prop what) override {
        FakeOs::Impl& impl = os_.impl();
        if (what == Prop::Focus) {
            os_.focused = &control;
            os_.focusHistory.push_back(control.name());
            return;
        }
        if (control.kind() != ControlKind::Form) return;
        Form& form = static_cast<Form&>(control);
        switch (what) {
            case Prop::Visible: {
                // onShow runs only when the window really turns visible.
                FakeOs::Impl::FormState& state = impl.forms[&form];
                const bool was = state.visible;
                state.visible = form.visible();
                if (form.visible() && !was) {
                    os_.shownForms.push_back(form.name());
                    if (form.onShow) {
                        std::function<void()> shown = form.onShow;
                        shown();
                    }
                }
                break;
            }
            case Prop::Bounds:
            case Prop::Style:
                impl.report(form, form.left(), form.top(), form.width(), form.height());
                break;
            case Prop::ClientSize: {
                int fw = 0, fh = 0;
                impl.frameOf(form, fw, fh);
                impl.report(form, form.left(), form.top(), std::max(form.askedClientWidth() + fw, form.minWidth()),
                            std::max(form.askedClientHeight() + fh, form.minHeight()));
                break;
            }
            default:
                break;
        }
    }
    void released(Control& control) override {
        if (os_.focused == &control) os_.focused = nullptr;
        if (control.kind() != ControlKind::Form) return;
        auto& r = os_.realized;
        r.erase(std::remove(r.begin(), r.end(), &control), r.end());
        os_.impl().forms.erase(&control);
    }

private:
    FakeOs& os_;
};

class FakeUi : public Ui {
public:
    explicit FakeUi(FakeOs& os) : os_(os), peer_(os) {}
    BoxAnswer messageBox(BoxKind kind, BoxButtons buttons, const std::string& text) override {
        os_.boxes.push_back({kind, buttons, text});
        if (os_.onBox) {
            RecordedBox box = os_.boxes.back();
            os_.onBox(box);
        }
        if (!os_.answers.empty()) {
            BoxAnswer a = os_.answers.front();
            os_.answers.pop_front();
            return a;
        }
        switch (buttons) {
            case BoxButtons::Abort: return BoxAnswer::Abort;
            case BoxButtons::Ok: return BoxAnswer::Ok;
            case BoxButtons::YesNo: return BoxAnswer::Yes;
            case BoxButtons::OkCancel: return BoxAnswer::Ok;
        }
        return BoxAnswer::Ok;
    }
    uintptr_t cursor() override { return os_.currentCursor; }
    void setCursor(uintptr_t c) override { os_.currentCursor = c; }
    uintptr_t hourglassCursor() override { return 2; }
    void processMessages() override {
        ++os_.processMessagesCalls;
        if (os_.onProcessMessages) os_.onProcessMessages();
        // Everything already queued; ticks are not due yet.
        size_t pending = os_.impl().queue.size();
        while (pending-- > 0 && !os_.impl().queue.empty()) {
            auto message = std::move(os_.impl().queue.front());
            os_.impl().queue.pop_front();
            if (os_.impl().filter && os_.impl().filter(message.first)) {
                os_.discardedMessages.push_back(message.first);
                continue;
            }
            if (message.second) message.second();
        }
    }
    void handleMessage() override {
        ++os_.handledMessages;
        if (os_.onProcessMessages) os_.onProcessMessages();
        if (!os_.impl().deliverOne())
            throw FakeOsStuck("handleMessage would wait forever: no message is queued and no timer runs");
    }
    void wake() override { os_.post(nullptr); }
    void runMessageLoop() override {
        while (!os_.isTerminated) {
            if (os_.impl().deliverOne()) continue;
            if (os_.onIdle) {
                std::function<void()> move = std::move(os_.onIdle);
                os_.onIdle = nullptr;
                move();
                continue;
            }
            throw FakeOsStuck(
                    "the message loop would never end: nothing is queued, no timer runs and nothing "
                    "terminated the application");
        }
    }
    void terminate() override { os_.isTerminated = true; }
    bool terminated() override { return os_.isTerminated; }
    void setMessageFilter(std::function<bool(uint32_t)> discard) override { os_.impl().filter = std::move(discard); }
    Result realize(Form& form) override {
        if (Result e = os_.injected(Op::Realize, form.name())) return e;
        if (form.handle) return 0;
        os_.realized.push_back(&form);
        form.handle = os_.realized.size() + 0x1000;
        attach(form);
        int fw = 0, fh = 0;
        os_.impl().frameOf(form, fw, fh);
        const int w = form.clientSizeAsked() ? form.askedClientWidth() + fw : form.width();
        const int h = form.clientSizeAsked() ? form.askedClientHeight() + fh : form.height();
        os_.impl().report(form, form.left(), form.top(), w, h);
        if (form.visible()) peer_.changed(form, Prop::Visible);
        return 0;
    }
    Result loadPicture(Control& image, const std::string& path) override {
        if (Result e = os_.injected(Op::LoadPicture, path)) return e;
        if (!os_.exists(path)) return oserr::kFileNotFound;
        const std::string head = os_.readFile(path).substr(0, 2);
        if (head != "\xFF\xD8" && head != "BM") return oserr::kInvalidData;
        os_.pictures[image.name()] = path;
        return 0;
    }
    Result createControl(Control& host, const std::string& classId, int width, int height,
                         std::unique_ptr<HostedControl>& out) override {
        out.reset();
        if (Result e = os_.injected(Op::CreateControl, classId)) return e;
        if (!host.peer()) return oserr::kInvalidWindowHandle;  // not realised
        for (const auto& c : os_.hostedClasses) {
            if (lowerCase(c.first) != lowerCase(classId) || !c.second) continue;
            std::unique_ptr<FakeHostedControl> control = c.second();
            if (!control) return oserr::kGenFailure;
            control->classId = classId;
            control->host = &host;
            control->width = width;
            control->height = height;
            control->os = &os_;
            os_.hostedControls.push_back(control.get());
            ++os_.controlsCreated;
            os_.hostLog.push_back("create");
            out = std::move(control);
            return 0;
        }
        return oserr::kModNotFound;
    }
    Result startTimer(Timer& timer) override {
        if (Result e = os_.injected(Op::StartTimer, timer.name())) return e;
        if (std::find(os_.runningTimers.begin(), os_.runningTimers.end(), &timer) == os_.runningTimers.end())
            os_.runningTimers.push_back(&timer);
        return 0;
    }
    void stopTimer(Timer& timer) override {
        auto& t = os_.runningTimers;
        t.erase(std::remove(t.begin(), t.end(), &timer), t.end());
    }
    int screenWidth() override { return os_.screenW; }
    int screenHeight() override { return os_.screenH; }
    void setApplicationTitle(const std::string& title) override { os_.appTitle = title; }
    std::string applicationTitle() override { return os_.appTitle; }
    void bringApplicationToFront() override { ++os_.broughtToFront; }
    void minimizeApplication() override { ++os_.minimized; }
    bool applicationActive() override { return os_.active; }

private:
    void attach(Control& control) {
        control.attachPeer(&peer_);
        for (Control* child : control.children()) attach(*child);
    }
    FakeOs& os_;
    FakePeer peer_;
};

}  // namespace

// ---- FakeDispatch ---------------------------------------------------------------------------

Result FakeDispatch::call(const std::string& member, const std::vector<Variant>& arguments, Variant& result) {
    result = Variant{};
    if (journal) journal->push_back("call " + member);
    auto it = methods.find(lowerCase(member));
    if (it == methods.end()) return oserr::kProcNotFound;
    return it->second(arguments, result);
}

Result FakeDispatch::get(const std::string& member, Variant& out) {
    out = Variant{};
    if (journal) journal->push_back("get " + member);
    auto it = properties.find(lowerCase(member));
    if (it == properties.end()) return oserr::kProcNotFound;
    out = it->second;
    return 0;
}

Result FakeDispatch::put(const std::string& member, const Variant& value) {
    if (journal) {
        std::string shown = value.type == Variant::Type::String ? value.text
                            : value.type == Variant::Type::Bool ? (value.boolean ? "true" : "false")
                                                                 : std::to_string(value.integer);
        journal->push_back("put " + member + " " + shown);
    }
    auto it = properties.find(lowerCase(member));
    if (it == properties.end()) return oserr::kProcNotFound;
    it->second = value;
    return 0;
}

// ---- FakeHostedControl ------------------------------------------------------------------------

namespace {
std::string shown(const Variant& v) {
    switch (v.type) {
        case Variant::Type::String: return v.text;
        case Variant::Type::Bool: return v.boolean ? "true" : "false";
        case Variant::Type::Int: return std::to_string(v.integer);
        case Variant::Type::Empty: break;
    }
    return "(empty)";
}
}  // namespace

FakeHostedControl::~FakeHostedControl() {
    if (!os) return;
    log("release");
    auto& living = os->hostedControls;
    living.erase(std::remove(living.begin(), living.end(), this), living.end());
}

void FakeHostedControl::log(const std::string& line) {
    if (os) os->hostLog.push_back(line);
}

Result FakeHostedControl::call(const std::string& member, const std::vector<Variant>& arguments, Variant& result) {
    result = Variant{};
    std::string line = "call " + member;
    for (const Variant& a : arguments) line += " " + shown(a);
    log(line);
    if (os)
        if (Result e = os->injected(Op::ComCall, member)) return e;
    return members.call(member, arguments, result);
}

Result FakeHostedControl::get(const std::string& member, Variant& out) {
    out = Variant{};
    log("get " + member);
    if (os)
        if (Result e = os->injected(Op::ComGet, member)) return e;
    return members.get(member, out);
}

Result FakeHostedControl::put(const std::string& member, const Variant& value) {
    log("put " + member + " " + shown(value));
    if (os)
        if (Result e = os->injected(Op::ComPut, member)) return e;
    return members.put(member, value);
}

Result FakeHostedControl::doVerb(int verb) {
    log("verb " + std::to_string(verb));
    return os ? os->injected(Op::DoVerb, std::to_string(verb)) : 0;
}

Result FakeHostedControl::focus() {
    log("focus");
    if (!os) return 0;
    if (Result e = os->injected(Op::FocusControl, classId)) return e;
    os->focusHistory.push_back((host ? host->name() : std::string()) + "/control");
    return 0;
}

// ---- FakeOs ------------------------------------------------------------------------------------

FakeOs::FakeOs(FakeStorage storage) : impl_(std::make_unique<Impl>(*this)) {
    if (storage == FakeStorage::Memory) {
        auto memory = std::make_unique<MemoryFiles>(*this);
        memory_ = memory.get();
        files_ = std::move(memory);
    } else {
        char tmpl[] = "/tmp/ssi-fakeos-XXXXXX";
        if (!::mkdtemp(tmpl)) throw std::runtime_error("cannot create the fake file system");
        root_ = tmpl;
        files_ = std::make_unique<FakeFiles>(*this);
    }
    registry_ = std::make_unique<FakeRegistry>(*this);
    profile_ = std::make_unique<FakeProfile>(*this);
    system_ = std::make_unique<FakeSystem>(*this);
    shell_ = std::make_unique<FakeShell>(*this);
    com_ = std::make_unique<FakeCom>(*this);
    ui_ = std::make_unique<FakeUi>(*this);
    makeDirs(systemDir);
    makeDirs(windowsDir);
    makeDirs(tempDir);
    makeDirs(extractFilePath(module));
    writeFile(module, "MZ fake installer");
}

FakeOs::~FakeOs() {
    // Forms outliving the double must not call back into it.
    std::function<void(Control&)> detach = [&](Control& c) {
        c.attachPeer(nullptr);
        for (Control* child : c.children()) detach(*child);
    };
    for (Form* form : realized) detach(*form);
    for (FakeHostedControl* control : hostedControls) control->os = nullptr;
    if (memory_) return;
    std::string cmd = "rm -rf '" + root_ + "'";
    if (std::system(cmd.c_str()) != 0) {
        // Leaving a temporary folder behind is harmless for a test run.
    }
}

std::string FakeOs::hostPath(const std::string& windowsPath) const {
    if (memory_) throw std::logic_error("the double's files are in memory: no host path for " + windowsPath);
    const SplitPath split = splitWindowsPath(windowsPath);
    std::string out = root_ + "/" + (split.drive.empty() ? std::string("rel") : split.drive.substr(0, 1));
    bool matching = true;
    for (const std::string& part : split.parts) {
        std::string name = part;
        if (matching) {
            if (!hostExists(out + "/" + part)) {
                // An existing entry whose name differs only in letter case,
                // or whose 8.3 alias this is.
                bool found = false;
                std::vector<std::string> entries;
                if (DIR* d = ::opendir(out.c_str())) {
                    while (dirent* e = ::readdir(d)) entries.push_back(e->d_name);
                    ::closedir(d);
                }
                for (const std::string& entry : entries)
                    if (!found && lowerCase(entry) == lowerCase(part)) {
                        name = entry;
                        found = true;
                    }
                for (const std::string& entry : entries)
                    if (!found && entry != "." && entry != ".." &&
                        lowerCase(shortAlias(out, entry)) == lowerCase(part)) {
                        name = entry;
                        found = true;
                    }
                matching = found;
            }
        }
        out += "/" + name;
    }
    return out;
}

void FakeOs::writeFile(const std::string& windowsPath, const std::string& content) {
    if (memory_) return memory_->writeFile(windowsPath, content);
    const std::string host = hostPath(windowsPath);
    mkdirs(host.substr(0, host.rfind('/')));
    std::ofstream f(hostPath(windowsPath), std::ios::binary | std::ios::trunc);
    f.write(content.data(), std::streamsize(content.size()));
}

std::string FakeOs::readFile(const std::string& windowsPath) const {
    if (memory_) return memory_->readFile(windowsPath);
    std::ifstream f(hostPath(windowsPath), std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool FakeOs::exists(const std::string& windowsPath) const {
    return memory_ ? memory_->exists(windowsPath) : hostExists(hostPath(windowsPath));
}

void FakeOs::makeDirs(const std::string& windowsPath) {
    if (memory_) return memory_->makeDirs(windowsPath);
    mkdirs(hostPath(windowsPath));
}

void FakeOs::makeLink(const std::string& windowsPath, const std::string& hostTarget) {
    const std::string host = hostPath(windowsPath);
    mkdirs(host.substr(0, host.rfind('/')));
    if (::symlink(hostTarget.c_str(), host.c_str()) != 0)
        throw std::runtime_error("cannot make a link at " + host);
}

void FakeOs::lock(const std::string& windowsPath) {
    if (memory_) return memory_->hold(windowsPath);
    const std::string k = impl_->key(windowsPath);
    if (impl_->locks.count(k)) return;
    Impl::Handle h;
    h.key = k;
    h.read = true;
    h.shareRead = true;
    impl_->locks[k] = impl_->open(h);
}

bool FakeOs::othersMayWrite(const std::string& windowsPath) const {
    if (memory_) return memory_->othersMayWrite(windowsPath);
    return !impl_->conflicts(impl_->key(windowsPath), false, true, false, true, true, true);
}

bool FakeOs::replaceWithLink(const std::string& windowsPath, const std::string& hostTarget) {
    const std::string k = impl_->key(windowsPath);
    if (impl_->conflicts(k, false, false, true, true, true, true)) return false;
    const std::string host = hostPath(windowsPath);
    if (::rename(host.c_str(), (host + ".moved-away").c_str()) != 0) return false;
    return ::symlink(hostTarget.c_str(), host.c_str()) == 0;
}

void FakeOs::unlock(const std::string& windowsPath) {
    if (memory_) return memory_->release(windowsPath);
    auto it = impl_->locks.find(impl_->key(windowsPath));
    if (it == impl_->locks.end()) return;
    impl_->handles.erase(it->second);
    impl_->locks.erase(it);
}

bool FakeOs::hasKey(Hive hive, const std::string& path) const {
    return const_cast<Impl&>(*impl_).findKey(hive, trimKeyPath(path), false) != nullptr;
}

bool FakeOs::hasValue(Hive hive, const std::string& path, const std::string& name) const {
    RegNode* node = const_cast<Impl&>(*impl_).findKey(hive, trimKeyPath(path), false);
    return node && node->values.count(lowerCase(name));
}

std::string FakeOs::stringValue(Hive hive, const std::string& path, const std::string& name) const {
    RegNode* node = const_cast<Impl&>(*impl_).findKey(hive, trimKeyPath(path), false);
    if (!node) return std::string();
    auto it = node->values.find(lowerCase(name));
    if (it == node->values.end()) return std::string();
    const std::vector<uint8_t>& d = it->second.second.data;
    std::string s(d.begin(), d.end());
    return s.substr(0, s.find('\0'));
}

void FakeOs::setRegValue(Hive hive, const std::string& path, const std::string& name, const RegValue& value) {
    impl_->findKey(hive, trimKeyPath(path), true)->values[lowerCase(name)] = {name, value};
}

void FakeOs::setRegString(Hive hive, const std::string& path, const std::string& name, const std::string& value) {
    RegValue v;
    v.type = regtype::kString;
    v.data.assign(value.begin(), value.end());
    v.data.push_back(0);
    setRegValue(hive, path, name, v);
}

void FakeOs::post(std::function<void()> handler, uint32_t message) {
    impl_->queue.emplace_back(message, std::move(handler));
}

void FakeOs::userClose(Form& form) {
    if (form.onCloseQuery) {
        std::function<bool()> query = form.onCloseQuery;
        if (!query()) return;
    }
    form.setVisible(false);
}

void FakeOs::userResize(Form& form, int width, int height) {
    if (!form.handle || form.border() != BorderStyle::Sizeable) return;
    impl_->report(form, form.left(), form.top(), std::max(width, form.minWidth()), std::max(height, form.minHeight()));
}

}  // namespace ssi
