#include "platform/fake/fake_registry.h"

#include <sstream>

#include "core/names.h"
#include "platform/fake/fake_os.h"

namespace ssi {

namespace {

constexpr Result kKeyDeleted = 1018;  // ERROR_KEY_DELETED: the key went while it was open

std::string trimKeyPath(const std::string& path) {
    size_t start = 0;
    while (start < path.size() && path[start] == '\\') ++start;
    return path.substr(start);
}

class FakeKey : public RegistryKey {
public:
    FakeKey(FakeOs& os, FakeRegistry& registry, Hive hive, std::string path, RegAccess access)
        : os_(os), registry_(registry), hive_(hive), path_(std::move(path)), access_(access) {}
    [[nodiscard]] Result setValue(const std::string& name, uint32_t type, const std::vector<uint8_t>& data) override {
        if (Result e = os_.injected(Op::RegSetValue, path_ + "\\" + name)) return e;
        if (access_ == RegAccess::Read) return oserr::kAccessDenied;
        RegNode* node = self();
        if (!node) return kKeyDeleted;
        node->values[lowerCase(name)] = {name, RegValue{type, data}};
        return 0;
    }
    [[nodiscard]] Result queryValue(const std::string& name, RegValue& out) override {
        out = RegValue{};
        if (Result e = os_.injected(Op::RegQueryValue, path_ + "\\" + name)) return e;
        RegNode* node = self();
        if (!node) return kKeyDeleted;
        auto it = node->values.find(lowerCase(name));
        if (it == node->values.end()) return oserr::kFileNotFound;
        out = it->second.second;
        return 0;
    }
    [[nodiscard]] Result deleteValue(const std::string& name) override {
        if (Result e = os_.injected(Op::RegDeleteValue, path_ + "\\" + name)) return e;
        if (access_ == RegAccess::Read) return oserr::kAccessDenied;
        RegNode* node = self();
        if (!node) return kKeyDeleted;
        return node->values.erase(lowerCase(name)) ? 0 : oserr::kFileNotFound;
    }
    [[nodiscard]] Result subKeyNames(std::vector<std::string>& out) override {
        out.clear();
        if (Result e = os_.injected(Op::RegSubKeyNames, path_)) return e;
        RegNode* node = self();
        if (!node) return kKeyDeleted;
        for (const auto& k : node->keys) out.push_back(k.second.name);
        return 0;
    }
    [[nodiscard]] Result valueNames(std::vector<std::string>& out) override {
        out.clear();
        if (Result e = os_.injected(Op::RegValueNames, path_)) return e;
        RegNode* node = self();
        if (!node) return kKeyDeleted;
        for (const auto& v : node->values) out.push_back(v.second.first);
        return 0;
    }

private:
    RegNode* self() { return registry_.findKey(hive_, path_, false); }
    FakeOs& os_;
    FakeRegistry& registry_;
    Hive hive_;
    std::string path_;
    RegAccess access_;
};

}  // namespace

RegNode* FakeRegistry::findKey(Hive hive, const std::string& path, bool create) {
    // The classes root shows the machine's classes.
    if (hive == Hive::ClassesRoot) return findKey(Hive::LocalMachine, "Software\\Classes\\" + trimKeyPath(path), create);
    RegNode* node = &hives_[hive];
    std::stringstream ss(trimKeyPath(path));
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

std::string FakeRegistry::stringValue(Hive hive, const std::string& path, const std::string& name) {
    RegNode* node = findKey(hive, path, false);
    if (!node) return std::string();
    auto it = node->values.find(lowerCase(name));
    if (it == node->values.end()) return std::string();
    const std::vector<uint8_t>& d = it->second.second.data;
    std::string s(d.begin(), d.end());
    return s.substr(0, s.find('\0'));
}

Result FakeRegistry::openKey(Hive hive, const std::string& path, RegAccess access,
                             std::unique_ptr<RegistryKey>& out) {
    out.reset();
    const std::string p = trimKeyPath(path);
    if (Result e = os_.injected(Op::RegOpenKey, p)) return e;
    if (!findKey(hive, p, false)) return oserr::kFileNotFound;
    out = std::make_unique<FakeKey>(os_, *this, hive, p, access);
    return 0;
}

Result FakeRegistry::createKey(Hive hive, const std::string& path, RegAccess access,
                               std::unique_ptr<RegistryKey>& out) {
    out.reset();
    const std::string p = trimKeyPath(path);
    if (Result e = os_.injected(Op::RegCreateKey, p)) return e;
    findKey(hive, p, true);
    out = std::make_unique<FakeKey>(os_, *this, hive, p, access);
    return 0;
}

Result FakeRegistry::deleteKey(Hive hive, const std::string& path) {
    const std::string p = trimKeyPath(path);
    if (Result e = os_.injected(Op::RegDeleteKey, p)) return e;
    const size_t cut = p.rfind('\\');
    RegNode* parent = findKey(hive, cut == std::string::npos ? std::string() : p.substr(0, cut), false);
    if (!parent) return oserr::kFileNotFound;
    auto it = parent->keys.find(lowerCase(cut == std::string::npos ? p : p.substr(cut + 1)));
    if (it == parent->keys.end()) return oserr::kFileNotFound;
    if (!it->second.keys.empty()) return oserr::kAccessDenied;  // as NT: sub-keys first
    parent->keys.erase(it);
    return 0;
}

}  // namespace ssi
