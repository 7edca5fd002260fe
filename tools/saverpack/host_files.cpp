#include "tools/saverpack/host_files.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace ssi::tool {

namespace {

// The Windows number closest to the C library's reason.
[[nodiscard]] Result fromErrno(int error) {
    switch (error) {
        case ENOENT:
            return oserr::kFileNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
            return oserr::kAccessDenied;
        case ENOSPC:
            return oserr::kDiskFull;
        case ENOMEM:
            return oserr::kNotEnoughMemory;
        case EEXIST:
            return oserr::kAlreadyExists;
        default:
            return oserr::kGenFailure;
    }
}

[[nodiscard]] Result fromErrorCode(const std::error_code& ec) { return ec ? fromErrno(ec.value()) : rc::kOk; }

}  // namespace

HostFile::~HostFile() {
    if (owned_ && file_) std::fclose(file_);
}

Result HostFile::read(void* buffer, uint32_t size, uint32_t& got) {
    got = uint32_t(std::fread(buffer, 1, size, file_));
    if (got < size && std::ferror(file_)) return oserr::kGenFailure;
    return rc::kOk;
}

Result HostFile::write(const void* buffer, uint32_t size, uint32_t& put) {
    put = uint32_t(std::fwrite(buffer, 1, size, file_));
    return put == size ? rc::kOk : fromErrno(errno);
}

Result HostFile::seek(int64_t position) {
    if (position < 0) return oserr::kNegativeSeek;
#ifdef _WIN32
    return _fseeki64(file_, position, SEEK_SET) == 0 ? rc::kOk : oserr::kGenFailure;
#else
    return fseeko(file_, off_t(position), SEEK_SET) == 0 ? rc::kOk : oserr::kGenFailure;
#endif
}

Result HostFile::size(int64_t& out) {
    out = 0;
#ifdef _WIN32
    const int64_t here = _ftelli64(file_);
    if (here < 0 || _fseeki64(file_, 0, SEEK_END) != 0) return oserr::kGenFailure;
    out = _ftelli64(file_);
    if (_fseeki64(file_, here, SEEK_SET) != 0 || out < 0) return oserr::kGenFailure;
#else
    const off_t here = ftello(file_);
    if (here < 0 || fseeko(file_, 0, SEEK_END) != 0) return oserr::kGenFailure;
    out = int64_t(ftello(file_));
    if (fseeko(file_, here, SEEK_SET) != 0 || out < 0) return oserr::kGenFailure;
#endif
    return rc::kOk;
}

Result HostFile::close() {
    if (!file_) return rc::kOk;
    const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
    const bool closed = owned_ ? std::fclose(file_) == 0 : true;
    file_ = nullptr;
    return flushed && closed ? rc::kOk : oserr::kGenFailure;
}

std::string HostFiles::hostPath(const std::string& path) {
#ifdef _WIN32
    return path;
#else
    std::string out = path;
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
#endif
}

Result HostFiles::attributes(const std::string& path, uint32_t& out) {
    out = attr::kInvalid;
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(hostPath(path), ec);
    if (ec || !fs::exists(st)) return oserr::kFileNotFound;
    out = fs::is_directory(st) ? attr::kDirectory : attr::kArchive;
    if (fs::is_symlink(st)) out |= attr::kReparsePoint;
    return rc::kOk;
}

Result HostFiles::setAttributes(const std::string& path, uint32_t) {
    uint32_t current = 0;
    return attributes(path, current);
}

Result HostFiles::deleteFile(const std::string& path) {
    std::error_code ec;
    const fs::path p = hostPath(path);
    if (fs::is_directory(fs::symlink_status(p, ec))) return oserr::kAccessDenied;
    if (!fs::remove(p, ec)) return ec ? fromErrorCode(ec) : oserr::kFileNotFound;
    return rc::kOk;
}

Result HostFiles::createDirectory(const std::string& path) {
    std::error_code ec;
    if (fs::create_directory(hostPath(path), ec)) return rc::kOk;
    return ec ? fromErrorCode(ec) : oserr::kAlreadyExists;
}

Result HostFiles::removeDirectory(const std::string& path) {
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(hostPath(path), ec))) return oserr::kNotADirectory;
    return fs::remove(hostPath(path), ec) ? rc::kOk : fromErrorCode(ec);
}

Result HostFiles::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    std::error_code ec;
    const auto options = failIfExists ? fs::copy_options::none : fs::copy_options::overwrite_existing;
    if (!fs::copy_file(hostPath(from), hostPath(to), options, ec)) return ec ? fromErrorCode(ec) : oserr::kFileExists;
    return rc::kOk;
}

Result HostFiles::moveFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(hostPath(to), ec))) return oserr::kAlreadyExists;
    fs::rename(hostPath(from), hostPath(to), ec);
    return ec ? fromErrorCode(ec) : rc::kOk;
}

Result HostFiles::findFiles(const std::string& pattern, std::vector<FindEntry>& out) {
    out.clear();
    std::error_code ec;
    const fs::path p = hostPath(pattern);
    const fs::file_status st = fs::status(p, ec);
    if (ec || !fs::exists(st)) return oserr::kFileNotFound;
    FindEntry entry;
    entry.name = p.filename().string();
    entry.attributes = fs::is_directory(st) ? attr::kDirectory : attr::kArchive;
    entry.size = fs::is_regular_file(st) ? uint64_t(fs::file_size(p, ec)) : 0;
    out.push_back(entry);
    return rc::kOk;
}

Result HostFiles::openFile(const std::string& path, FileAccess access, std::unique_ptr<File>& out) {
    out.reset();
    std::error_code ec;
    if (fs::is_directory(hostPath(path), ec)) return oserr::kAccessDenied;
    std::FILE* f = std::fopen(hostPath(path).c_str(), access == FileAccess::Create ? "wb" : "rb");
    if (!f) return fromErrno(errno);
    out = std::make_unique<HostFile>(f, true);
    return rc::kOk;
}

Result HostFiles::fileVersion(const std::string&, FileVersion& out) {
    out = FileVersion{};
    return oserr::kNotSupported;
}

Result HostFiles::shortPathName(const std::string& path, std::string& out) {
    out = path;
    return rc::kOk;
}

Result HostFiles::createPrivateDirectory(const std::string&) {
    return oserr::kNotSupported;
}

Result HostFiles::openDirectory(const std::string&, uint32_t& attributes, std::unique_ptr<HeldDirectory>& out) {
    attributes = attr::kInvalid;
    out.reset();
    return oserr::kNotSupported;
}

Result HostFiles::freeSpace(const std::string& path, uint64_t& bytes) {
    std::error_code error;
    const std::filesystem::space_info info = std::filesystem::space(path.empty() ? "." : path, error);
    bytes = error ? 0 : uint64_t(info.available);
    return error ? oserr::kNotSupported : rc::kOk;
}

}  // namespace ssi::tool
