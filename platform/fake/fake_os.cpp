#include "platform/fake/fake_os.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/strings.h"
#include "codec/implode.h"

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
        case ENOTEMPTY: return 145;  // ERROR_DIR_NOT_EMPTY
        default: return 31;          // ERROR_GEN_FAILURE
    }
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// Windows wildcard match, enough for "*.*", "*" and "name*".
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
    if (*pattern == '?' || lower(std::string(1, *pattern)) == lower(std::string(1, *name)))
        return wildMatch(pattern + 1, name + 1);
    return false;
}

class FakeFile : public File {
public:
    FakeFile(FakeOs& os, std::string path, int fd) : os_(os), path_(std::move(path)), fd_(fd) {}
    ~FakeFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    Result read(void* buffer, uint32_t size, uint32_t& got) override {
        got = 0;
        if (Result e = injected("read")) return e;
        ssize_t n = ::read(fd_, buffer, size);
        if (n < 0) return errnoToWin32(errno);
        got = uint32_t(n);
        return 0;
    }
    Result write(const void* buffer, uint32_t size, uint32_t& put) override {
        put = 0;
        if (Result e = injected("write")) return e;
        ssize_t n = ::write(fd_, buffer, size);
        if (n < 0) return errnoToWin32(errno);
        put = uint32_t(n);
        return 0;
    }
    Result seek(int64_t position) override {
        if (Result e = injected("seek")) return e;
        if (position < 0) return 131;  // ERROR_NEGATIVE_SEEK
        if (::lseek(fd_, off_t(position), SEEK_SET) < 0) return errnoToWin32(errno);
        return 0;
    }
    Result size(int64_t& out) override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) return errnoToWin32(errno);
        out = st.st_size;
        return 0;
    }
    Result close() override {
        if (fd_ < 0) return oserr::kInvalidHandle;
        Result e = injected("close");
        ::close(fd_);
        fd_ = -1;
        return e;
    }

private:
    Result injected(const char* op) { return os_.inject ? os_.inject(op, path_) : 0; }
    FakeOs& os_;
    std::string path_;
    int fd_;
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

void mkdirs(const std::string& hostPath) {
    std::string partial;
    std::stringstream ss(hostPath);
    std::string piece;
    while (std::getline(ss, piece, '/')) {
        partial += piece + "/";
        if (!piece.empty()) ::mkdir(partial.c_str(), 0755);
    }
}

}  // namespace

FakeOs::FakeOs() {
    char tmpl[] = "/tmp/ssi-fakeos-XXXXXX";
    if (!::mkdtemp(tmpl)) throw std::runtime_error("cannot create the fake file system");
    root_ = tmpl;
    makeDirs(systemDir);
    makeDirs(windowsDir);
    makeDirs(tempDir);
    makeDirs(module.substr(0, module.rfind('\\')));
    writeFile(module, "MZ fake installer");
    libraryExports["impborl.dll"] = {
        {"_implode", reinterpret_cast<void*>(&codec::implode)},
        {"_explode", reinterpret_cast<void*>(&codec::explode)},
        {"_crc32", reinterpret_cast<void*>(&codec::crc32)},
    };
}

FakeOs::~FakeOs() {
    std::string cmd = "rm -rf '" + root_ + "'";
    if (std::system(cmd.c_str()) != 0) {
        // Leaving a temporary folder behind is harmless for a test run.
    }
}

std::string FakeOs::hostPath(const std::string& windowsPath) const {
    std::string p = windowsPath;
    std::string out = root_;
    if (p.size() >= 2 && p[1] == ':') {
        out += "/" + std::string(1, char(std::toupper(static_cast<unsigned char>(p[0]))));
        p = p.substr(2);
    } else {
        out += "/rel";
    }
    for (char c : p) out += (c == '\\') ? '/' : c;
    while (out.size() > root_.size() + 2 && out.back() == '/') out.pop_back();
    return out;
}

void FakeOs::writeFile(const std::string& windowsPath, const std::string& content) {
    std::string host = hostPath(windowsPath);
    mkdirs(host.substr(0, host.rfind('/')));
    std::ofstream f(host, std::ios::binary | std::ios::trunc);
    f.write(content.data(), std::streamsize(content.size()));
}

std::string FakeOs::readFile(const std::string& windowsPath) const {
    std::ifstream f(hostPath(windowsPath), std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void FakeOs::makeDirs(const std::string& windowsPath) { mkdirs(hostPath(windowsPath)); }

bool FakeOs::fail(const std::string& op, const std::string& path) {
    if (inject) {
        if (Result e = inject(op, path)) {
            error = uint32_t(e);
            return true;
        }
    }
    return false;
}

uint32_t FakeOs::storedAttributes(const std::string& path) const {
    auto it = attributes_.find(hostPath(path));
    return it == attributes_.end() ? 0 : it->second;
}

std::string FakeOs::environment(const std::string& name) {
    auto it = env.find(name);
    return it == env.end() ? std::string() : it->second;
}

uint32_t FakeOs::fileAttributes(const std::string& path) {
    struct stat st;
    if (::stat(hostPath(path).c_str(), &st) != 0) {
        error = uint32_t(errnoToWin32(errno));
        return attr::kInvalid;
    }
    uint32_t a = storedAttributes(path);
    if (S_ISDIR(st.st_mode)) return a | attr::kDirectory;
    return a ? a : attr::kArchive;
}

bool FakeOs::setFileAttributes(const std::string& path, uint32_t attributes) {
    if (fail("setFileAttributes", path)) return false;
    if (fileAttributes(path) == attr::kInvalid) return false;
    attributes_[hostPath(path)] =
        attributes & (attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kArchive);
    return true;
}

bool FakeOs::deleteFile(const std::string& path) {
    if (fail("deleteFile", path)) return false;
    uint32_t a = fileAttributes(path);
    if (a == attr::kInvalid) return false;
    if (a & attr::kDirectory) {
        error = oserr::kAccessDenied;
        return false;
    }
    if (locked.count(path)) {
        error = oserr::kSharingViolation;
        return false;
    }
    if (a & attr::kReadOnly) {
        error = oserr::kAccessDenied;
        return false;
    }
    if (::unlink(hostPath(path).c_str()) != 0) {
        error = uint32_t(errnoToWin32(errno));
        return false;
    }
    attributes_.erase(hostPath(path));
    return true;
}

bool FakeOs::createDirectory(const std::string& path) {
    if (fail("createDirectory", path)) return false;
    if (::mkdir(hostPath(path).c_str(), 0755) != 0) {
        error = uint32_t(errnoToWin32(errno));
        return false;
    }
    return true;
}

bool FakeOs::removeDirectory(const std::string& path) {
    if (fail("removeDirectory", path)) return false;
    if (::rmdir(hostPath(path).c_str()) != 0) {
        error = uint32_t(errnoToWin32(errno));
        return false;
    }
    attributes_.erase(hostPath(path));
    return true;
}

bool FakeOs::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    if (fail("copyFile", to)) return false;
    uint32_t fa = fileAttributes(from);
    if (fa == attr::kInvalid) return false;
    uint32_t ta = fileAttributes(to);
    if (ta != attr::kInvalid) {
        if (failIfExists) {
            error = oserr::kFileExists;
            return false;
        }
        if (locked.count(to)) {
            error = oserr::kSharingViolation;
            return false;
        }
        if (ta & (attr::kReadOnly | attr::kDirectory)) {
            error = oserr::kAccessDenied;
            return false;
        }
    }
    std::ifstream in(hostPath(from), std::ios::binary);
    std::ofstream out(hostPath(to), std::ios::binary | std::ios::trunc);
    if (!in || !out) {
        error = oserr::kPathNotFound;
        return false;
    }
    out << in.rdbuf();
    return true;
}

bool FakeOs::findFiles(const std::string& pattern, std::vector<FindEntry>& out) {
    out.clear();
    if (fail("findFiles", pattern)) return false;
    size_t cut = pattern.rfind('\\');
    std::string dir = cut == std::string::npos ? std::string() : pattern.substr(0, cut);
    std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    DIR* d = ::opendir(hostPath(dir).c_str());
    if (!d) {
        error = uint32_t(errnoToWin32(errno));
        return false;
    }
    while (dirent* e = ::readdir(d)) {
        if (!wildMatch(mask.c_str(), e->d_name)) continue;
        FindEntry entry;
        entry.name = e->d_name;
        std::string full = dir + "\\" + entry.name;
        entry.attributes = fileAttributes(full);
        struct stat st;
        if (::stat(hostPath(full).c_str(), &st) == 0) entry.size = uint64_t(st.st_size);
        out.push_back(entry);
    }
    ::closedir(d);
    if (out.empty()) {
        error = oserr::kFileNotFound;
        return false;
    }
    return true;
}

std::unique_ptr<File> FakeOs::openFile(const std::string& path, FileAccess access, Result& err) {
    err = 0;
    if (fail("openFile", path)) {
        err = Result(error);
        return nullptr;
    }
    int flags = O_RDONLY;
    if (access == FileAccess::Create) {
        if (locked.count(path)) {
            err = oserr::kSharingViolation;
            error = uint32_t(err);
            return nullptr;
        }
        uint32_t a = fileAttributes(path);
        if (a != attr::kInvalid && (a & (attr::kReadOnly | attr::kDirectory))) {
            err = oserr::kAccessDenied;
            error = uint32_t(err);
            return nullptr;
        }
        flags = O_WRONLY | O_CREAT | O_TRUNC;
    } else if (fileAttributes(path) & attr::kDirectory && fileAttributes(path) != attr::kInvalid) {
        err = oserr::kAccessDenied;
        error = uint32_t(err);
        return nullptr;
    }
    int fd = ::open(hostPath(path).c_str(), flags, 0644);
    if (fd < 0) {
        err = errnoToWin32(errno);
        if (err == oserr::kFileNotFound && access == FileAccess::Create) err = oserr::kPathNotFound;
        error = uint32_t(err);
        return nullptr;
    }
    return std::make_unique<FakeFile>(*this, path, fd);
}

bool FakeOs::fileVersion(const std::string& path, FileVersion& out) {
    auto it = versions.find(path);
    if (it == versions.end() || fileAttributes(path) == attr::kInvalid) {
        error = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND
        return false;
    }
    out = it->second;
    return true;
}

std::string FakeOs::errorText(Result code) { return "System error " + std::to_string(code) + "."; }

std::unique_ptr<Library> FakeOs::loadLibrary(const std::string& path) {
    libraryPaths.push_back(path);
    if (fail("loadLibrary", path)) return nullptr;
    std::string full = path;
    if (path.find('\\') == std::string::npos) full = systemDir + "\\" + path;  // the system search
    if (fileAttributes(full) == attr::kInvalid) {
        error = oserr::kModNotFound;
        return nullptr;
    }
    size_t cut = full.rfind('\\');
    std::string name = lower(cut == std::string::npos ? full : full.substr(cut + 1));
    ++librariesLoaded;
    auto it = libraryExports.find(name);
    return std::make_unique<FakeLibrary>(it == libraryExports.end() ? std::map<std::string, void*>{}
                                                                  : it->second);
}

std::string FakeOs::loadString(uint32_t id) { return builtinString(id); }

BoxAnswer FakeOs::messageBox(BoxKind kind, BoxButtons buttons, const std::string& text) {
    boxes.push_back({kind, buttons, text});
    if (onBox) onBox(boxes.back());
    if (!answers.empty()) {
        BoxAnswer a = answers.front();
        answers.pop_front();
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

void FakeOs::processMessages() {
    ++processMessagesCalls;
    if (onProcessMessages) onProcessMessages();
}

void FakeOs::handleMessage() {
    ++handledMessages;
    if (onProcessMessages) onProcessMessages();
    // The next message in the queue is the tick of the first running timer.
    if (!runningTimers.empty()) runningTimers.front()->tick();
}

void FakeOs::realize(Form& form) {
    realized.push_back(&form);
    form.recordSize(form.clientWidth + frameWidth, form.clientHeight + frameHeight);
    form.handle = realized.size();
    form.attachPeer(&showPeer_);
    if (form.visible()) showPeer_.changed(form, Prop::Visible);
}

void FakeOs::ShowPeer::changed(Control& control, Prop what) {
    if (what != Prop::Visible || control.kind() != ControlKind::Form || !control.visible()) return;
    Form& form = static_cast<Form&>(control);
    os.shownForms.push_back(form.name());
    if (form.onShow) form.onShow();
}

void FakeOs::ShowPeer::released(Control& control) {
    for (auto it = os.realized.begin(); it != os.realized.end(); ++it)
        if (*it == &control) {
            os.realized.erase(it);
            return;
        }
}

bool FakeOs::loadPicture(Control& image, const std::string& path) {
    if (fileAttributes(path) == attr::kInvalid) return false;
    const std::string head = readFile(path).substr(0, 2);
    if (head != "\xFF\xD8" && head != "BM") return false;
    pictures[image.name()] = path;
    return true;
}

void FakeOs::startTimer(Timer& timer) { runningTimers.push_back(&timer); }

void FakeOs::stopTimer(Timer& timer) {
    for (auto it = runningTimers.begin(); it != runningTimers.end(); ++it)
        if (*it == &timer) {
            runningTimers.erase(it);
            return;
        }
}

void FakeOs::runMessageLoop() {
    // Messages keep arriving while the application runs; a test that expects
    // the loop to end must have terminated the application.
    while (!isTerminated && !runningTimers.empty()) handleMessage();
}

}  // namespace ssi
