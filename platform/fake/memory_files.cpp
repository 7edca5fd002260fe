#include "platform/fake/memory_files.h"

#include <algorithm>
#include <cstring>

#include "core/names.h"
#include "platform/fake/fake_os.h"
#include "platform/fake/fake_paths.h"

namespace ssi {

using fakepath::SplitPath;
using fakepath::splitWindowsPath;

// A file's bytes. An open file keeps them alive after the file is removed;
// only linked bytes count against the capacity.
struct MemoryFiles::Blob {
    std::vector<uint8_t> bytes;
    bool linked = true;
};

struct MemoryFiles::Node {
    std::string path;  // as created: "C:\\Dir\\File.txt"
    bool directory = false;
    uint32_t bits = 0;           // read-only, hidden, system and archive, as set
    std::shared_ptr<Blob> blob;  // files only
};

struct MemoryFiles::Handle {
    std::string key;
    unsigned access = 0;
    unsigned share = 0;
};

// One open file: a position in the bytes and the access it was opened with.
class MemoryFiles::OpenFile : public File {
public:
    OpenFile(MemoryFiles& files, std::string path, std::shared_ptr<Blob> blob, unsigned access, int handle)
        : files_(files), path_(std::move(path)), blob_(std::move(blob)), access_(access), handle_(handle) {}
    ~OpenFile() override { release(); }

    Result read(void* buffer, uint32_t size, uint32_t& got) override {
        got = 0;
        if (!handle_) return oserr::kInvalidHandle;
        if (Result e = files_.os_.injected(Op::Read, path_)) return e;
        if (!(access_ & kRead)) return oserr::kAccessDenied;
        const std::vector<uint8_t>& bytes = blob_->bytes;
        if (position_ >= bytes.size()) return 0;
        got = uint32_t(std::min<uint64_t>(size, bytes.size() - position_));
        std::memcpy(buffer, bytes.data() + position_, got);
        position_ += got;
        return 0;
    }
    Result write(const void* buffer, uint32_t size, uint32_t& put) override {
        put = 0;
        if (!handle_) return oserr::kInvalidHandle;
        if (Result e = files_.os_.injected(Op::Write, path_)) return e;
        if (!(access_ & kWrite)) return oserr::kAccessDenied;
        const uint64_t end = position_ + size;
        if (end > blob_->bytes.size())
            if (Result e = files_.resize(*blob_, end)) return e;
        if (size != 0) std::memcpy(blob_->bytes.data() + position_, buffer, size);
        position_ = end;
        put = size;
        return 0;
    }
    Result seek(int64_t position) override {
        if (!handle_) return oserr::kInvalidHandle;
        if (Result e = files_.os_.injected(Op::Seek, path_)) return e;
        if (position < 0) return oserr::kNegativeSeek;
        position_ = uint64_t(position);
        return 0;
    }
    Result size(int64_t& out) override {
        out = 0;
        if (!handle_) return oserr::kInvalidHandle;
        if (Result e = files_.os_.injected(Op::Size, path_)) return e;
        out = int64_t(blob_->bytes.size());
        return 0;
    }
    Result close() override {
        if (!handle_) return oserr::kInvalidHandle;
        const Result e = files_.os_.injected(Op::Close, path_);
        release();
        return e;
    }

private:
    void release() {
        if (handle_) files_.handles_.erase(handle_);
        handle_ = 0;
    }
    MemoryFiles& files_;
    std::string path_;
    std::shared_ptr<Blob> blob_;
    unsigned access_;
    int handle_;
    uint64_t position_ = 0;
};

MemoryFiles::MemoryFiles(FakeOs& os) : os_(os) {}

MemoryFiles::~MemoryFiles() = default;

// ---- names ---------------------------------------------------------------------------

std::string MemoryFiles::keyOf(const std::string& path) const {
    const SplitPath split = splitWindowsPath(path);
    std::string key = lowerCase(split.drive);
    bool matching = true;
    for (const std::string& part : split.parts) {
        std::string next = key + "\\" + lowerCase(part);
        if (matching && !nodes_.count(next)) {
            // An existing entry whose 8.3 alias this is (every alias has a "~").
            matching = false;
            if (part.find('~') != std::string::npos) {
                const std::vector<std::string> names = childNames(key);
                for (const std::string& name : names)
                    if (lowerCase(fakepath::shortAlias(names, name)) == lowerCase(part)) {
                        next = key + "\\" + lowerCase(name);
                        matching = true;
                        break;
                    }
            }
        }
        key = next;
    }
    return key;
}

std::vector<std::string> MemoryFiles::childNames(const std::string& key) const {
    std::vector<std::string> names;
    const std::string prefix = key + "\\";
    for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        if (it->first.find('\\', prefix.size()) == std::string::npos)
            names.push_back(extractFileName(it->second.path));
    }
    return names;
}

std::string MemoryFiles::parentKey(const std::string& key) {
    const size_t cut = key.rfind('\\');
    return cut == std::string::npos ? key : key.substr(0, cut);
}

MemoryFiles::Node* MemoryFiles::find(const std::string& key) {
    auto it = nodes_.find(key);
    return it == nodes_.end() ? nullptr : &it->second;
}

const MemoryFiles::Node* MemoryFiles::find(const std::string& key) const {
    auto it = nodes_.find(key);
    return it == nodes_.end() ? nullptr : &it->second;
}

bool MemoryFiles::parentIsFolder(const std::string& key) const {
    if (key.find('\\') == std::string::npos) return false;  // a root has no parent
    const Node* parent = find(parentKey(key));
    return parent && parent->directory;
}

Result MemoryFiles::missing(const std::string& key) const {
    return parentIsFolder(key) ? oserr::kFileNotFound : oserr::kPathNotFound;
}

Result MemoryFiles::status(const std::string& path, Node*& node) {
    const std::string key = keyOf(path);
    node = find(key);
    return node ? 0 : missing(key);
}

MemoryFiles::Node& MemoryFiles::add(const std::string& key, const std::string& path, bool directory) {
    const SplitPath split = splitWindowsPath(path);
    Node node;
    node.directory = directory;
    if (split.parts.empty()) {
        node.path = split.drive;
    } else {
        const Node* parent = find(parentKey(key));
        node.path = (parent ? parent->path : split.drive) + "\\" + split.parts.back();
    }
    if (!directory) node.blob = std::make_shared<Blob>();
    return nodes_[key] = std::move(node);
}

void MemoryFiles::erase(std::map<std::string, Node>::iterator it) {
    if (it->second.blob) {
        used_ -= it->second.blob->bytes.size();
        it->second.blob->linked = false;
    }
    nodes_.erase(it);
}

bool MemoryFiles::hasChildren(const std::string& key) const {
    const std::string prefix = key + "\\";
    auto it = nodes_.lower_bound(prefix);
    return it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

uint32_t MemoryFiles::attributesOf(const Node& node) {
    if (node.directory) return node.bits | attr::kDirectory;
    return node.bits ? node.bits : attr::kArchive;
}

Result MemoryFiles::resize(Blob& blob, uint64_t size) {
    const uint64_t now = blob.bytes.size();
    if (blob.linked && size > now && used_ + (size - now) > capacity) return oserr::kDiskFull;
    blob.bytes.resize(size_t(size));
    if (blob.linked) used_ = used_ - now + size;
    return 0;
}

// ---- share modes -----------------------------------------------------------------------

bool MemoryFiles::conflicts(const std::string& key, unsigned access, unsigned share) const {
    for (const auto& entry : handles_) {
        const Handle& h = entry.second;
        // Each side must share what the other one does.
        if (h.key == key && ((access & ~h.share) || (h.access & ~share))) return true;
    }
    return false;
}

int MemoryFiles::open(const std::string& key, unsigned access, unsigned share) {
    handles_[nextHandle_] = Handle{key, access, share};
    return nextHandle_++;
}

// ---- FileSystem --------------------------------------------------------------------------

Result MemoryFiles::attributes(const std::string& path, uint32_t& out) {
    out = attr::kInvalid;
    if (Result e = os_.injected(Op::Attributes, path)) return e;
    Node* node = nullptr;
    if (Result e = status(path, node)) return e;
    out = attributesOf(*node);
    return 0;
}

Result MemoryFiles::setAttributes(const std::string& path, uint32_t attributes) {
    if (Result e = os_.injected(Op::SetAttributes, path)) return e;
    Node* node = nullptr;
    if (Result e = status(path, node)) return e;
    node->bits = attributes & (attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kArchive);
    return 0;
}

Result MemoryFiles::deleteFile(const std::string& path) {
    if (Result e = os_.injected(Op::DeleteFile, path)) return e;
    Node* node = nullptr;
    if (Result e = status(path, node)) return e;
    if (node->directory || (node->bits & attr::kReadOnly)) return oserr::kAccessDenied;
    const std::string key = keyOf(path);
    if (conflicts(key, kDelete, kRead | kWrite | kDelete)) return oserr::kSharingViolation;
    erase(nodes_.find(key));
    return 0;
}

Result MemoryFiles::createDirectory(const std::string& path) {
    if (Result e = os_.injected(Op::CreateDirectory, path)) return e;
    const std::string key = keyOf(path);
    if (find(key)) return oserr::kAlreadyExists;
    if (!parentIsFolder(key)) return oserr::kPathNotFound;
    add(key, path, true);
    return 0;
}

Result MemoryFiles::removeDirectory(const std::string& path) {
    if (Result e = os_.injected(Op::RemoveDirectory, path)) return e;
    Node* node = nullptr;
    if (Result e = status(path, node)) return e;
    if (!node->directory) return oserr::kNotADirectory;
    if (node->bits & attr::kReadOnly) return oserr::kAccessDenied;
    const std::string key = keyOf(path);
    if (hasChildren(key)) return oserr::kDirNotEmpty;
    if (conflicts(key, kDelete, kRead | kWrite | kDelete)) return oserr::kSharingViolation;
    erase(nodes_.find(key));
    return 0;
}

Result MemoryFiles::createPrivateDirectory(const std::string& path) {
    if (os_.version.platformId == platformid::kWindows) return oserr::kNotSupported;
    if (Result e = createDirectory(path)) return e;
    os_.privateDirectories.insert(lowerCase(path));
    return 0;
}

// A folder held open: read and write sharing, no delete sharing.
class MemoryFiles::HeldFolder : public HeldDirectory {
public:
    HeldFolder(MemoryFiles& files, int handle) : files_(files), handle_(handle) {}
    ~HeldFolder() override { files_.handles_.erase(handle_); }

private:
    MemoryFiles& files_;
    int handle_;
};

Result MemoryFiles::openDirectory(const std::string& path, uint32_t& attributes,
                                  std::unique_ptr<HeldDirectory>& out) {
    attributes = attr::kInvalid;
    out.reset();
    if (Result e = os_.injected(Op::OpenDirectory, path)) return e;
    Node* node = nullptr;
    if (Result e = status(path, node)) return e;
    if (!node->directory) return oserr::kNotADirectory;
    const std::string key = keyOf(path);
    if (conflicts(key, kRead, kRead | kWrite)) return oserr::kSharingViolation;
    attributes = attributesOf(*node);
    out = std::make_unique<HeldFolder>(*this, open(key, kRead, kRead | kWrite));
    return 0;
}

Result MemoryFiles::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    if (Result e = os_.injected(Op::CopyFile, to)) return e;
    Node* source = nullptr;
    if (Result e = status(from, source)) return e;
    if (source->directory) return oserr::kAccessDenied;
    if (conflicts(keyOf(from), kRead, kRead | kDelete)) return oserr::kSharingViolation;
    const std::string key = keyOf(to);
    Node* target = find(key);
    if (target) {
        if (failIfExists) return oserr::kFileExists;
        if (target == source) return oserr::kSharingViolation;  // the system holds the source open
        if (target->directory || (target->bits & attr::kReadOnly)) return oserr::kAccessDenied;
        if (conflicts(key, kWrite, 0)) return oserr::kSharingViolation;
    } else if (!parentIsFolder(key)) {
        return oserr::kPathNotFound;
    }
    const std::shared_ptr<Blob> bytes = source->blob;
    const uint32_t bits = source->bits;
    const uint64_t size = bytes->bytes.size();
    const uint64_t replaced = target ? target->blob->bytes.size() : 0;
    if (size > replaced && used_ + (size - replaced) > capacity) return oserr::kDiskFull;
    if (!target) target = &add(key, to, false);
    used_ = used_ - replaced + size;
    target->blob->bytes = bytes->bytes;
    // The copy keeps the source's attributes, as CopyFile does.
    target->bits = bits;
    return 0;
}

Result MemoryFiles::findFiles(const std::string& pattern, std::vector<FindEntry>& out) {
    out.clear();
    if (Result e = os_.injected(Op::FindFiles, pattern)) return e;
    const size_t cut = pattern.find_last_of("\\/");
    const std::string dir = cut == std::string::npos ? std::string() : pattern.substr(0, cut);
    const std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    const std::string key = keyOf(dir);
    const Node* folder = find(key);
    if (!folder || !folder->directory) return oserr::kPathNotFound;
    const bool wild = mask.find_first_of("*?") != std::string::npos;
    auto matches = [&](const std::string& name) {
        return wild ? fakepath::wildMatch(mask.c_str(), name.c_str()) : lowerCase(mask) == lowerCase(name);
    };
    if (key.find('\\') != std::string::npos) {
        // Every folder but a root lists itself and its parent.
        const Node* parent = find(parentKey(key));
        if (matches(".")) out.push_back({".", attributesOf(*folder), 0});
        if (matches("..") && parent) out.push_back({"..", attributesOf(*parent), 0});
    }
    const std::string prefix = key + "\\";
    for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        if (it->first.find('\\', prefix.size()) != std::string::npos) continue;  // deeper down
        const Node& node = it->second;
        const std::string name = extractFileName(node.path);
        if (!matches(name)) continue;
        out.push_back({name, attributesOf(node), node.directory ? 0 : uint64_t(node.blob->bytes.size())});
    }
    std::sort(out.begin(), out.end(), [](const FindEntry& a, const FindEntry& b) { return a.name < b.name; });
    return out.empty() ? oserr::kFileNotFound : 0;
}

Result MemoryFiles::openFile(const std::string& path, FileAccess access, std::unique_ptr<File>& out) {
    out.reset();
    if (Result e = os_.injected(Op::OpenFile, path)) return e;
    unsigned wanted = kRead, share = kRead | kWrite;
    if (access == FileAccess::ReadDenyWrite) share = kRead;
    if (access == FileAccess::Create) wanted = kWrite, share = 0;
    const std::string key = keyOf(path);
    Node* node = find(key);
    if (node && node->directory) return oserr::kAccessDenied;
    if (access == FileAccess::Create) {
        if (node && (node->bits & (attr::kReadOnly | attr::kHidden | attr::kSystem)))
            return oserr::kAccessDenied;
        if (!node && !parentIsFolder(key)) return oserr::kPathNotFound;
    } else if (!node) {
        return missing(key);
    }
    if (conflicts(key, wanted, share)) return oserr::kSharingViolation;
    if (access == FileAccess::Create) {
        if (!node) node = &add(key, path, false);
        resize(*node->blob, 0);
        node->bits = 0;  // a new file: archive only
    }
    out = std::make_unique<OpenFile>(*this, path, node->blob, wanted, open(key, wanted, share));
    return 0;
}

Result MemoryFiles::fileVersion(const std::string& path, FileVersion& out) {
    out = FileVersion{};
    if (Result e = os_.injected(Op::FileVersion, path)) return e;
    Node* node = nullptr;
    if (Result e = status(path, node)) return e;
    for (const auto& v : os_.versions)
        if (keyOf(v.first) == keyOf(path)) {
            out = v.second;
            return 0;
        }
    return oserr::kResourceTypeNotFound;
}

Result MemoryFiles::shortPathName(const std::string& path, std::string& out) {
    out.clear();
    if (Result e = os_.injected(Op::ShortPathName, path)) return e;
    Node* node = nullptr;
    if (Result e = status(path, node)) return e;
    // Each component by its 8.3 alias; a trailing backslash stays.
    const SplitPath split = splitWindowsPath(path);
    out = split.drive;
    std::string partial = split.drive;
    for (const std::string& part : split.parts) {
        partial += "\\" + part;
        const std::string key = keyOf(partial);
        out += "\\" + fakepath::shortAlias(childNames(parentKey(key)), extractFileName(find(key)->path));
    }
    const bool trailing = !path.empty() && (path.back() == '\\' || path.back() == '/');
    if (trailing && (out.empty() || out.back() != '\\')) out += "\\";
    return 0;
}

// ---- set-up and inspection ------------------------------------------------------------------

void MemoryFiles::makeDirs(const std::string& path) {
    const SplitPath split = splitWindowsPath(path);
    std::string partial = split.drive;
    if (!find(lowerCase(partial))) add(lowerCase(partial), partial, true);
    for (const std::string& part : split.parts) {
        partial += "\\" + part;
        const std::string key = lowerCase(partial);
        const Node* node = find(key);
        if (node && !node->directory) return;
        if (!node) add(key, partial, true);
    }
}

void MemoryFiles::writeFile(const std::string& path, const std::string& content) {
    makeDirs(extractFilePath(path));
    const std::string key = keyOf(path);
    Node* node = find(key);
    if (node && node->directory) return;
    if (!node) node = &add(key, path, false);
    Blob& blob = *node->blob;
    used_ = used_ - blob.bytes.size() + content.size();
    blob.bytes.resize(content.size());
    if (!content.empty()) std::memcpy(blob.bytes.data(), content.data(), content.size());
}

std::string MemoryFiles::readFile(const std::string& path) const {
    const Node* node = find(keyOf(path));
    if (!node || node->directory) return std::string();
    const std::vector<uint8_t>& bytes = node->blob->bytes;
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool MemoryFiles::exists(const std::string& path) const {
    return find(keyOf(path)) != nullptr;
}

void MemoryFiles::removeTree(const std::string& path) {
    const std::string key = keyOf(path);
    const std::string prefix = key + "\\";
    for (auto it = nodes_.lower_bound(prefix);
         it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0;)
        erase(it++);
    auto self = nodes_.find(key);
    if (self != nodes_.end()) erase(self);
}

std::vector<std::string> MemoryFiles::filePaths() const {
    std::vector<std::string> out;
    for (const auto& entry : nodes_)
        if (!entry.second.directory) out.push_back(entry.second.path);
    return out;
}

Result MemoryFiles::store(const std::string& path, const std::string& content) {
    const std::string key = keyOf(path);
    Node* node = find(key);
    if (node && node->directory) return oserr::kAccessDenied;
    if (!node && !parentIsFolder(key)) return oserr::kPathNotFound;
    if (!node) node = &add(key, path, false);
    if (Result e = resize(*node->blob, content.size())) return e;
    if (!content.empty()) std::memcpy(node->blob->bytes.data(), content.data(), content.size());
    return 0;
}

void MemoryFiles::hold(const std::string& path) {
    const std::string key = keyOf(path);
    if (!holds_.count(key)) holds_[key] = open(key, kRead, kRead);
}

bool MemoryFiles::othersMayWrite(const std::string& path) const {
    return !conflicts(keyOf(path), kWrite, kRead | kWrite | kDelete);
}

void MemoryFiles::release(const std::string& path) {
    auto it = holds_.find(keyOf(path));
    if (it == holds_.end()) return;
    handles_.erase(it->second);
    holds_.erase(it);
}

}  // namespace ssi
