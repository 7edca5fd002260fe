#include "platform/fake/file_store.h"

#include <algorithm>

#include "core/names.h"
#include "platform/fake/fake_os.h"
#include "platform/fake/fake_paths.h"

namespace ssi {

using fakepath::SplitPath;
using fakepath::splitWindowsPath;

namespace {
constexpr uint32_t kKeptBits = attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kArchive;
}  // namespace

// One open file: a position in the backing's bytes and the access it was opened with.
class FileStore::OpenFile : public File {
public:
    OpenFile(FileStore& store, std::string path, std::unique_ptr<StoredBytes> bytes, unsigned access, int handle)
        : store_(store), path_(std::move(path)), bytes_(std::move(bytes)), access_(access), handle_(handle) {}
    ~OpenFile() override { release(); }

    [[nodiscard]] Result read(void* buffer, uint32_t size, uint32_t& got) override {
        got = 0;
        if (!handle_) return oserr::kInvalidHandle;
        if (Result e = store_.os_.injected(Op::Read, path_)) return e;
        store_.os_.largestRead = std::max(store_.os_.largestRead, size);
        if (!(access_ & kRead)) return oserr::kAccessDenied;
        if (Result e = bytes_->readAt(position_, buffer, size, got)) return e;
        position_ += got;
        return 0;
    }
    [[nodiscard]] Result write(const void* buffer, uint32_t size, uint32_t& put) override {
        put = 0;
        if (!handle_) return oserr::kInvalidHandle;
        if (Result e = store_.os_.injected(Op::Write, path_)) return e;
        store_.os_.largestWrite = std::max(store_.os_.largestWrite, size);
        ++store_.os_.writeCalls;
        if (!(access_ & kWrite)) return oserr::kAccessDenied;
        if (Result e = bytes_->writeAt(position_, buffer, size)) return e;
        position_ += size;
        put = size;
        return 0;
    }
    [[nodiscard]] Result seek(int64_t position) override {
        if (!handle_) return oserr::kInvalidHandle;
        if (Result e = store_.os_.injected(Op::Seek, path_)) return e;
        if (position < 0) return oserr::kNegativeSeek;
        position_ = uint64_t(position);
        return 0;
    }
    [[nodiscard]] Result size(int64_t& out) override {
        out = 0;
        if (!handle_) return oserr::kInvalidHandle;
        if (Result e = store_.os_.injected(Op::Size, path_)) return e;
        uint64_t n = 0;
        if (Result e = bytes_->size(n)) return e;
        out = int64_t(n);
        return 0;
    }
    [[nodiscard]] Result close() override {
        if (!handle_) return oserr::kInvalidHandle;
        const Result e = store_.os_.injected(Op::Close, path_);
        release();
        return e;
    }

private:
    void release() {
        if (handle_) store_.handles_.erase(handle_);
        handle_ = 0;
        bytes_.reset();
    }
    FileStore& store_;
    std::string path_;
    std::unique_ptr<StoredBytes> bytes_;
    unsigned access_;
    int handle_;
    uint64_t position_ = 0;
};

FileStore::FileStore(FakeOs& os, std::unique_ptr<FileBacking> backing) : os_(os), backing_(std::move(backing)) {}

FileStore::~FileStore() = default;

// ---- names ---------------------------------------------------------------------------

std::string FileStore::resolve(const std::string& path) const {
    const SplitPath split = splitWindowsPath(path);
    std::string stored = split.drive;
    bool matching = true;
    for (const std::string& part : split.parts) {
        std::string name = matching ? backing_->lookup(stored, part) : std::string();
        // An existing entry whose 8.3 alias this is (every alias has a "~").
        if (matching && name.empty() && part.find('~') != std::string::npos) {
            const std::vector<std::string> names = backing_->names(stored);
            for (const std::string& candidate : names)
                if (lowerCase(fakepath::shortAlias(names, candidate)) == lowerCase(part)) {
                    name = candidate;
                    break;
                }
        }
        if (name.empty()) {
            matching = false;
            name = part;
        }
        stored += "\\" + name;
    }
    return stored;
}

std::string FileStore::keyOf(const std::string& stored) {
    return lowerCase(stored);
}

std::string FileStore::parentOf(const std::string& stored) {
    const size_t cut = stored.rfind('\\');
    return cut == std::string::npos ? stored : stored.substr(0, cut);
}

bool FileStore::isFolder(const std::string& stored) const {
    StoredEntry entry;
    return backing_->entry(stored, entry) && entry.directory;
}

bool FileStore::parentIsFolder(const std::string& stored) const {
    if (stored.find('\\') == std::string::npos) return false;  // a drive has no parent
    return isFolder(parentOf(stored));
}

Result FileStore::missing(const std::string& stored) const {
    return parentIsFolder(stored) ? oserr::kFileNotFound : oserr::kPathNotFound;
}

Result FileStore::status(const std::string& path, std::string& stored, StoredEntry& entry) const {
    stored = resolve(path);
    return backing_->entry(stored, entry) ? 0 : missing(stored);
}

uint32_t FileStore::bitsOf(const std::string& stored) const {
    const auto it = bits_.find(keyOf(stored));
    return it == bits_.end() ? 0 : it->second;
}

uint32_t FileStore::attributesOf(const std::string& stored, const StoredEntry& entry) const {
    uint32_t a = bitsOf(stored);
    if (entry.link) a |= attr::kReparsePoint;
    if (entry.directory) return a | attr::kDirectory;
    if (entry.link) return a;
    return a ? a : attr::kArchive;
}

// ---- share modes -----------------------------------------------------------------------

bool FileStore::conflicts(const std::string& stored, unsigned access, unsigned share) const {
    const std::string key = keyOf(stored);
    for (const auto& entry : handles_) {
        const Handle& h = entry.second;
        // Each side must share what the other one does.
        if (h.key == key && ((access & ~h.share) || (h.access & ~share))) return true;
    }
    return false;
}

int FileStore::open(const std::string& stored, unsigned access, unsigned share) {
    handles_[nextHandle_] = Handle{keyOf(stored), access, share};
    return nextHandle_++;
}

// ---- FileSystem --------------------------------------------------------------------------

Result FileStore::attributes(const std::string& path, uint32_t& out) {
    out = attr::kInvalid;
    if (Result e = os_.injected(Op::Attributes, path)) return e;
    std::string stored;
    StoredEntry entry;
    if (Result e = status(path, stored, entry)) return e;
    out = attributesOf(stored, entry);
    return 0;
}

Result FileStore::setAttributes(const std::string& path, uint32_t attributes) {
    if (Result e = os_.injected(Op::SetAttributes, path)) return e;
    std::string stored;
    StoredEntry entry;
    if (Result e = status(path, stored, entry)) return e;
    bits_[keyOf(stored)] = attributes & kKeptBits;
    return 0;
}

Result FileStore::deleteFile(const std::string& path) {
    if (Result e = os_.injected(Op::DeleteFile, path)) return e;
    std::string stored;
    StoredEntry entry;
    if (Result e = status(path, stored, entry)) return e;
    // A link to a folder goes as a file would; a folder itself does not.
    if ((entry.directory && !entry.link) || (bitsOf(stored) & attr::kReadOnly)) return oserr::kAccessDenied;
    if (conflicts(stored, kDelete, kRead | kWrite | kDelete)) return oserr::kSharingViolation;
    if (Result e = backing_->removeFile(stored)) return e;
    bits_.erase(keyOf(stored));
    return 0;
}

Result FileStore::createDirectory(const std::string& path) {
    if (Result e = os_.injected(Op::CreateDirectory, path)) return e;
    const std::string stored = resolve(path);
    StoredEntry entry;
    if (backing_->entry(stored, entry)) return oserr::kAlreadyExists;
    if (!parentIsFolder(stored)) return oserr::kPathNotFound;
    return backing_->makeFolder(stored);
}

Result FileStore::removeDirectory(const std::string& path) {
    if (Result e = os_.injected(Op::RemoveDirectory, path)) return e;
    std::string stored;
    StoredEntry entry;
    if (Result e = status(path, stored, entry)) return e;
    if (!entry.directory) return oserr::kNotADirectory;
    if (bitsOf(stored) & attr::kReadOnly) return oserr::kAccessDenied;
    // The folder is opened for deletion before its entries are looked at.
    if (conflicts(stored, kDelete, kRead | kWrite | kDelete)) return oserr::kSharingViolation;
    // A link to a folder goes as a link; what it points to stays.
    if (!entry.link && !backing_->names(stored).empty()) return oserr::kDirNotEmpty;
    if (Result e = backing_->removeFolder(stored)) return e;
    bits_.erase(keyOf(stored));
    return 0;
}

Result FileStore::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    if (Result e = os_.injected(Op::CopyFile, to)) return e;
    std::string source;
    StoredEntry sourceEntry;
    if (Result e = status(from, source, sourceEntry)) return e;
    if (sourceEntry.directory) return oserr::kAccessDenied;
    if (conflicts(source, kRead, kRead | kDelete)) return oserr::kSharingViolation;
    const std::string target = resolve(to);
    StoredEntry targetEntry;
    if (backing_->entry(target, targetEntry)) {
        if (failIfExists) return oserr::kFileExists;
        // The system holds the source open while it copies: a copy onto
        // itself is refused instead of truncating the only copy.
        if (keyOf(target) == keyOf(source)) return oserr::kSharingViolation;
        if (targetEntry.directory || (bitsOf(target) & attr::kReadOnly)) return oserr::kAccessDenied;
        if (conflicts(target, kWrite, 0)) return oserr::kSharingViolation;
    } else if (!parentIsFolder(target)) {
        return oserr::kPathNotFound;
    }
    if (Result e = backing_->copyBytes(source, target)) return e;
    // The copy keeps the source's attributes, as CopyFile does.
    const uint32_t bits = bitsOf(source);
    if (bits)
        bits_[keyOf(target)] = bits;
    else
        bits_.erase(keyOf(target));
    return 0;
}

Result FileStore::moveFile(const std::string& from, const std::string& to) {
    if (Result e = os_.injected(Op::MoveFile, from)) return e;
    std::string source;
    StoredEntry sourceEntry;
    if (Result e = status(from, source, sourceEntry)) return e;
    const std::string target = resolve(to);
    StoredEntry targetEntry;
    if (backing_->entry(target, targetEntry)) return oserr::kAlreadyExists;
    if (!parentIsFolder(target)) return oserr::kPathNotFound;
    const std::string sourceKey = keyOf(source), targetKey = keyOf(target);
    if (sourceKey.substr(0, sourceKey.find('\\')) != targetKey.substr(0, targetKey.find('\\')))
        return oserr::kNotSameDevice;
    if (conflicts(source, kDelete, kRead | kWrite | kDelete)) return oserr::kSharingViolation;
    if (sourceEntry.directory && !sourceEntry.link)
        for (const auto& open : handles_)
            if (open.second.key.compare(0, sourceKey.size() + 1, sourceKey + "\\") == 0) return oserr::kAccessDenied;
    if (Result e = backing_->rename(source, target)) return e;
    // Attributes travel with the entry and everything below it.
    std::map<std::string, uint32_t> moved;
    for (auto it = bits_.begin(); it != bits_.end();) {
        const std::string& key = it->first;
        if (key == sourceKey || key.compare(0, sourceKey.size() + 1, sourceKey + "\\") == 0) {
            moved[targetKey + key.substr(sourceKey.size())] = it->second;
            it = bits_.erase(it);
        } else {
            ++it;
        }
    }
    bits_.insert(moved.begin(), moved.end());
    return 0;
}

Result FileStore::findFiles(const std::string& pattern, std::vector<FindEntry>& out) {
    out.clear();
    if (Result e = os_.injected(Op::FindFiles, pattern)) return e;
    const size_t cut = pattern.find_last_of("\\/");
    const std::string dir = cut == std::string::npos ? std::string() : pattern.substr(0, cut);
    const std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    const std::string folder = resolve(dir);
    StoredEntry folderEntry;
    if (!backing_->entry(folder, folderEntry) || !folderEntry.directory) return oserr::kPathNotFound;
    const bool wild = mask.find_first_of("*?") != std::string::npos;
    auto matches = [&](const std::string& name) {
        return wild ? fakepath::wildMatch(mask.c_str(), name.c_str()) : lowerCase(mask) == lowerCase(name);
    };
    if (folder.find('\\') != std::string::npos) {
        // Every folder but a drive's root lists itself and its parent.
        StoredEntry parentEntry;
        if (matches(".")) out.push_back({".", attributesOf(folder, folderEntry), 0});
        if (matches("..") && backing_->entry(parentOf(folder), parentEntry))
            out.push_back({"..", attributesOf(parentOf(folder), parentEntry), 0});
    }
    for (const std::string& name : backing_->names(folder)) {
        if (!matches(name)) continue;
        const std::string child = folder + "\\" + name;
        StoredEntry entry;
        if (!backing_->entry(child, entry)) continue;
        out.push_back({name, attributesOf(child, entry), entry.directory ? 0 : entry.size});
    }
    std::sort(out.begin(), out.end(), [](const FindEntry& a, const FindEntry& b) { return a.name < b.name; });
    return out.empty() ? oserr::kFileNotFound : 0;
}

Result FileStore::openFile(const std::string& path, FileAccess access, std::unique_ptr<File>& out) {
    out.reset();
    if (Result e = os_.injected(Op::OpenFile, path)) return e;
    unsigned wanted = kRead, share = kRead | kWrite;
    if (access == FileAccess::ReadDenyWrite) share = kRead;
    if (access == FileAccess::Create) wanted = kWrite, share = 0;
    const bool create = access == FileAccess::Create;
    const std::string stored = resolve(path);
    StoredEntry entry;
    const bool existing = backing_->entry(stored, entry);
    if (existing && entry.directory) return oserr::kAccessDenied;
    if (create) {
        if (existing && (bitsOf(stored) & (attr::kReadOnly | attr::kHidden | attr::kSystem)))
            return oserr::kAccessDenied;
        if (!existing && !parentIsFolder(stored)) return oserr::kPathNotFound;
    } else if (!existing) {
        return missing(stored);
    }
    if (conflicts(stored, wanted, share)) return oserr::kSharingViolation;
    std::unique_ptr<StoredBytes> bytes;
    if (Result e = backing_->openBytes(stored, create, bytes)) return e;
    if (create) bits_.erase(keyOf(stored));  // a new file: archive only
    out = std::make_unique<OpenFile>(*this, path, std::move(bytes), wanted, open(stored, wanted, share));
    return 0;
}

Result FileStore::fileVersion(const std::string& path, FileVersion& out) {
    out = FileVersion{};
    if (Result e = os_.injected(Op::FileVersion, path)) return e;
    std::string stored;
    StoredEntry entry;
    if (Result e = status(path, stored, entry)) return e;
    for (const auto& v : os_.versions)
        if (keyOf(resolve(v.first)) == keyOf(stored)) {
            out = v.second;
            return 0;
        }
    return oserr::kResourceTypeNotFound;
}

Result FileStore::freeSpace(const std::string& path, uint64_t& bytes) {
    bytes = 0;
    if (Result e = os_.injected(Op::FreeSpace, path)) return e;
    std::string folder = path;
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    std::string stored;
    StoredEntry entry;
    if (Result e = status(folder, stored, entry)) return e == oserr::kFileNotFound ? oserr::kPathNotFound : e;
    bytes = os_.freeBytes;
    return 0;
}

Result FileStore::shortPathName(const std::string& path, std::string& out) {
    out.clear();
    if (Result e = os_.injected(Op::ShortPathName, path)) return e;
    std::string stored;
    StoredEntry entry;
    if (Result e = status(path, stored, entry)) return e;
    // Each component by its 8.3 alias among its folder's entries; a trailing backslash stays.
    const SplitPath split = splitWindowsPath(stored);
    std::string folder = split.drive;
    out = split.drive;
    for (const std::string& name : split.parts) {
        out += "\\" + fakepath::shortAlias(backing_->names(folder), name);
        folder += "\\" + name;
    }
    const bool trailing = !path.empty() && (path.back() == '\\' || path.back() == '/');
    if (trailing && (out.empty() || out.back() != '\\')) out += "\\";
    return 0;
}

Result FileStore::createPrivateDirectory(const std::string& path) {
    if (os_.version.platformId == platformid::kWindows) return oserr::kNotSupported;
    if (Result e = createDirectory(path)) return e;
    os_.privateDirectories.insert(lowerCase(path));
    return 0;
}

// A folder held open: read and write sharing, no delete sharing.
class FileStore::HeldFolder : public HeldDirectory {
public:
    HeldFolder(FileStore& store, int handle) : store_(store), handle_(handle) {}
    ~HeldFolder() override { store_.handles_.erase(handle_); }

private:
    FileStore& store_;
    int handle_;
};

Result FileStore::openDirectory(const std::string& path, uint32_t& attributes, std::unique_ptr<HeldDirectory>& out) {
    attributes = attr::kInvalid;
    out.reset();
    if (Result e = os_.injected(Op::OpenDirectory, path)) return e;
    std::string stored;
    StoredEntry entry;
    if (Result e = status(path, stored, entry)) return e;
    if (!entry.directory) return oserr::kNotADirectory;
    // The link itself is opened, never what it points to.
    if (conflicts(stored, kRead, kRead | kWrite)) return oserr::kSharingViolation;
    attributes = attributesOf(stored, entry);
    out = std::make_unique<HeldFolder>(*this, open(stored, kRead, kRead | kWrite));
    return 0;
}

// ---- set-up and inspection ------------------------------------------------------------------

void FileStore::makeDirs(const std::string& path) {
    const SplitPath split = splitWindowsPath(resolve(path));
    std::string stored = split.drive;
    StoredEntry entry;
    if (!backing_->entry(stored, entry) && backing_->makeFolder(stored) != 0) return;
    for (const std::string& part : split.parts) {
        stored += "\\" + part;
        if (backing_->entry(stored, entry)) {
            if (!entry.directory) return;
        } else if (backing_->makeFolder(stored) != 0) {
            return;
        }
    }
}

Result FileStore::writeAll(const std::string& stored, const std::string& content) {
    std::unique_ptr<StoredBytes> bytes;
    if (Result e = backing_->openBytes(stored, true, bytes)) return e;
    return bytes->writeAt(0, content.data(), uint32_t(content.size()));
}

void FileStore::writeFile(const std::string& path, const std::string& content) {
    makeDirs(extractFilePath(path));
    const std::string stored = resolve(path);
    if (isFolder(stored)) return;
    ignoreResult(writeAll(stored, content), "a set-up write that fails leaves what was there; the test's checks tell");
}

std::string FileStore::readFile(const std::string& path) const {
    const std::string stored = resolve(path);
    StoredEntry entry;
    std::unique_ptr<StoredBytes> bytes;
    if (!backing_->entry(stored, entry) || entry.directory || backing_->openBytes(stored, false, bytes) != 0)
        return std::string();
    uint64_t size = 0;
    if (bytes->size(size) != 0) return std::string();
    std::string out(size_t(size), '\0');
    uint32_t got = 0;
    if (size != 0 && bytes->readAt(0, &out[0], uint32_t(size), got) != 0) return std::string();
    out.resize(got);
    return out;
}

bool FileStore::exists(const std::string& path) const {
    StoredEntry entry;
    return backing_->entry(resolve(path), entry);
}

void FileStore::removeStored(const std::string& stored) {
    StoredEntry entry;
    if (!backing_->entry(stored, entry)) return;
    if (entry.directory && !entry.link) {
        for (const std::string& name : backing_->names(stored)) removeStored(stored + "\\" + name);
        if (backing_->removeFolder(stored) != 0) return;
    } else if (backing_->removeFile(stored) != 0) {
        return;
    }
    bits_.erase(keyOf(stored));
}

void FileStore::removeTree(const std::string& path) {
    removeStored(resolve(path));
}

void FileStore::collectFiles(const std::string& folder, std::vector<std::string>& out) const {
    for (const std::string& name : backing_->names(folder)) {
        const std::string child = folder + "\\" + name;
        StoredEntry entry;
        if (!backing_->entry(child, entry)) continue;
        if (!entry.directory)
            out.push_back(child);
        else if (!entry.link)
            collectFiles(child, out);
    }
}

std::vector<std::string> FileStore::filePaths() const {
    std::vector<std::string> out;
    for (const std::string& drive : backing_->drives()) collectFiles(drive, out);
    std::sort(out.begin(), out.end(),
              [](const std::string& a, const std::string& b) { return keyOf(a) < keyOf(b); });
    return out;
}

Result FileStore::store(const std::string& path, const std::string& content) {
    const std::string stored = resolve(path);
    StoredEntry entry;
    const bool existing = backing_->entry(stored, entry);
    if (existing && entry.directory) return oserr::kAccessDenied;
    if (!existing && !parentIsFolder(stored)) return oserr::kPathNotFound;
    return writeAll(stored, content);
}

void FileStore::hold(const std::string& path) {
    const std::string stored = resolve(path);
    if (!holds_.count(keyOf(stored))) holds_[keyOf(stored)] = open(stored, kRead, kRead);
}

void FileStore::release(const std::string& path) {
    auto it = holds_.find(keyOf(resolve(path)));
    if (it == holds_.end()) return;
    handles_.erase(it->second);
    holds_.erase(it);
}

bool FileStore::othersMayWrite(const std::string& path) const {
    return !conflicts(resolve(path), kWrite, kRead | kWrite | kDelete);
}

bool FileStore::othersMayRename(const std::string& path) const {
    return !conflicts(resolve(path), kDelete, kRead | kWrite | kDelete);
}

}  // namespace ssi
