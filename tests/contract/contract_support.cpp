#include "tests/contract/contract_support.h"

#include "platform/file_utils.h"

namespace ssi::contract {

Result writeText(Os& os, const std::string& path, const std::string& content) {
    std::unique_ptr<File> file;
    if (Result e = os.files().openFile(path, FileAccess::Create, file)) return e;
    if (Result e = writeExact(*file, content.data(), uint32_t(content.size()))) return e;
    return file->close();
}

std::string readText(Os& os, const std::string& path) {
    std::unique_ptr<File> file;
    if (os.files().openFile(path, FileAccess::Read, file)) return std::string();
    std::string out;
    char buffer[4096];
    uint32_t got = 0;
    while (file->read(buffer, sizeof buffer, got) == 0 && got) out.append(buffer, got);
    return out;
}

bool exists(Os& os, const std::string& path) {
    return pathExists(os, path);
}

std::set<std::string> names(const std::vector<FindEntry>& entries) {
    std::set<std::string> out;
    for (const FindEntry& e : entries) out.insert(e.name);
    return out;
}

std::vector<uint8_t> stringBytes(const std::string& text) {
    std::vector<uint8_t> out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

}  // namespace ssi::contract
