#include "platform/fake/memory_files.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/names.h"

namespace ssi {

namespace {

// A file's bytes. An open file keeps them alive after the file is removed;
// only linked bytes count against the capacity.
struct Blob {
    std::vector<uint8_t> bytes;
    bool linked = true;
};

struct Node {
    std::string path;  // as created: "C:\\Dir\\File.txt"
    bool directory = false;
    std::shared_ptr<Blob> blob;  // files only
};

}  // namespace

// Entries by the lower-case form of their stored path ("c:\\dir\\file"; a
// drive's root is "c:"), so that a name in any case is one look-up.
class MemoryBacking : public FileBacking {
public:
    explicit MemoryBacking(const uint64_t& capacity) : capacity_(capacity) {}

    bool entry(const std::string& path, StoredEntry& out) const override {
        const Node* node = find(path);
        if (!node) return false;
        out = StoredEntry{};
        out.directory = node->directory;
        if (node->blob) out.size = node->blob->bytes.size();
        return true;
    }
    std::string lookup(const std::string& folder, const std::string& name) const override {
        const Node* node = find(folder + "\\" + name);
        return node ? extractFileName(node->path) : std::string();
    }
    std::vector<std::string> names(const std::string& folder) const override {
        std::vector<std::string> out;
        const std::string prefix = lowerCase(folder) + "\\";
        for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
            if (it->first.compare(0, prefix.size(), prefix) != 0) break;
            if (it->first.find('\\', prefix.size()) == std::string::npos)
                out.push_back(extractFileName(it->second.path));
        }
        return out;
    }
    std::vector<std::string> drives() const override {
        std::vector<std::string> out;
        for (const auto& entry : nodes_)
            if (entry.first.find('\\') == std::string::npos) out.push_back(entry.second.path);
        return out;
    }
    [[nodiscard]] Result makeFolder(const std::string& path) override {
        add(path, true);
        return 0;
    }
    [[nodiscard]] Result removeFolder(const std::string& path) override { return erase(path); }
    [[nodiscard]] Result removeFile(const std::string& path) override { return erase(path); }
    [[nodiscard]] Result openBytes(const std::string& path, bool create,
                                   std::unique_ptr<StoredBytes>& out) override;
    [[nodiscard]] Result copyBytes(const std::string& from, const std::string& to) override {
        const Node* source = find(from);
        if (!source || !source->blob) return oserr::kFileNotFound;
        const std::shared_ptr<Blob> bytes = source->blob;
        Node* target = find(to);
        const uint64_t size = bytes->bytes.size();
        const uint64_t replaced = target ? target->blob->bytes.size() : 0;
        if (size > replaced && used_ + (size - replaced) > capacity_) return oserr::kDiskFull;
        if (!target) target = &add(to, false);
        used_ = used_ - replaced + size;
        target->blob->bytes = bytes->bytes;
        return 0;
    }
    [[nodiscard]] Result rename(const std::string& from, const std::string& to) override {
        const std::string oldKey = lowerCase(from), newKey = lowerCase(to);
        std::vector<std::pair<std::string, Node>> moving;
        for (auto it = nodes_.begin(); it != nodes_.end();) {
            const std::string& key = it->first;
            if (key == oldKey || key.compare(0, oldKey.size() + 1, oldKey + "\\") == 0) {
                Node node = std::move(it->second);
                node.path = to + node.path.substr(from.size());
                moving.emplace_back(newKey + key.substr(oldKey.size()), std::move(node));
                it = nodes_.erase(it);
            } else {
                ++it;
            }
        }
        if (moving.empty()) return oserr::kFileNotFound;
        for (auto& m : moving) nodes_[m.first] = std::move(m.second);
        return 0;
    }

    // Resizes a stored file's bytes, counting them against the capacity.
    [[nodiscard]] Result resize(Blob& blob, uint64_t size) {
        const uint64_t now = blob.bytes.size();
        if (blob.linked && size > now && used_ + (size - now) > capacity_) return oserr::kDiskFull;
        blob.bytes.resize(size_t(size));
        if (blob.linked) used_ = used_ - now + size;
        return 0;
    }
    uint64_t used() const { return used_; }

private:
    Node* find(const std::string& path) {
        auto it = nodes_.find(lowerCase(path));
        return it == nodes_.end() ? nullptr : &it->second;
    }
    const Node* find(const std::string& path) const {
        auto it = nodes_.find(lowerCase(path));
        return it == nodes_.end() ? nullptr : &it->second;
    }
    Node& add(const std::string& path, bool directory) {
        Node node;
        node.path = path;
        node.directory = directory;
        if (!directory) node.blob = std::make_shared<Blob>();
        return nodes_[lowerCase(path)] = std::move(node);
    }
    [[nodiscard]] Result erase(const std::string& path) {
        auto it = nodes_.find(lowerCase(path));
        if (it == nodes_.end()) return oserr::kFileNotFound;
        if (it->second.blob) {
            used_ -= it->second.blob->bytes.size();
            it->second.blob->linked = false;
        }
        nodes_.erase(it);
        return 0;
    }

    const uint64_t& capacity_;
    std::map<std::string, Node> nodes_;
    uint64_t used_ = 0;
};

namespace {

class MemoryBytes : public StoredBytes {
public:
    MemoryBytes(MemoryBacking& backing, std::shared_ptr<Blob> blob) : backing_(backing), blob_(std::move(blob)) {}
    [[nodiscard]] Result readAt(uint64_t position, void* buffer, uint32_t size, uint32_t& got) override {
        got = 0;
        const std::vector<uint8_t>& bytes = blob_->bytes;
        if (position >= bytes.size()) return 0;
        got = uint32_t(std::min<uint64_t>(size, bytes.size() - position));
        std::memcpy(buffer, bytes.data() + position, got);
        return 0;
    }
    [[nodiscard]] Result writeAt(uint64_t position, const void* buffer, uint32_t size) override {
        const uint64_t end = position + size;
        if (end > blob_->bytes.size())
            if (Result e = backing_.resize(*blob_, end)) return e;
        if (size != 0) std::memcpy(blob_->bytes.data() + position, buffer, size);
        return 0;
    }
    [[nodiscard]] Result size(uint64_t& out) override {
        out = blob_->bytes.size();
        return 0;
    }

private:
    MemoryBacking& backing_;
    std::shared_ptr<Blob> blob_;
};

}  // namespace

Result MemoryBacking::openBytes(const std::string& path, bool create, std::unique_ptr<StoredBytes>& out) {
    Node* node = find(path);
    if (node && node->directory) return oserr::kAccessDenied;
    if (!node) {
        if (!create) return oserr::kFileNotFound;
        node = &add(path, false);
    }
    if (create)
        if (Result e = resize(*node->blob, 0)) return e;
    out = std::make_unique<MemoryBytes>(*this, node->blob);
    return 0;
}

namespace {
std::unique_ptr<MemoryBacking> memoryBacking(const uint64_t& capacity) {
    return std::make_unique<MemoryBacking>(capacity);
}
}  // namespace

MemoryFiles::MemoryFiles(FakeOs& os)
    : FileStore(os, memoryBacking(capacity)), memory_(static_cast<MemoryBacking&>(backing())) {}

MemoryFiles::~MemoryFiles() = default;

uint64_t MemoryFiles::usedBytes() const {
    return memory_.used();
}

}  // namespace ssi
