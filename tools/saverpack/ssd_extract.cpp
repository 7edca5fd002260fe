// "saverpack ssd extract FILE DIR": every item the installer would write,
// below DIR, refusing what the installer refuses.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "core/buffer.h"
#include "core/names.h"
#include "platform/file_utils.h"
#include "tools/saverpack/codepage.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/help.h"
#include "tools/saverpack/name_rules.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/ssd_support.h"
#include "tools/saverpack/tool_support.h"

namespace fs = std::filesystem;

namespace ssi::tool {

namespace {

// Creates the folders of `parts` (all but the last) below `root`, refusing to
// pass through a symbolic link; the host path of the file, or "" when refused.
std::string targetPath(const fs::path& root, const std::vector<std::string>& parts, std::string& why) {
    fs::path path = root;
    std::error_code ec;
    for (size_t i = 0; i < parts.size(); ++i) {
        path /= parts[i];
        if (fs::is_symlink(fs::symlink_status(path, ec))) {
            why = path.string() + " is a symbolic link";
            return "";
        }
        if (i + 1 < parts.size()) {
            fs::create_directory(path, ec);
            if (!fs::is_directory(path, ec)) {
                why = path.string() + " cannot be made a folder";
                return "";
            }
        }
    }
    return path.string();
}

// The arguments FILE DIR [--force]; kExitOk, or the usage error already printed.
[[nodiscard]] int readExtractArguments(const std::vector<std::string>& args,
                                       std::vector<std::string>& positional, bool& force, std::ostream& err) {
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--force")
            force = true;
        else if (args[i].size() > 1 && args[i][0] == '-')
            return ssdUsageError(err, "extract", "unknown option " + printable(args[i]));
        else
            positional.push_back(args[i]);
    }
    if (positional.size() != 2) return ssdUsageError(err, "extract", "extract takes FILE DIR [--force]");
    return kExitOk;
}

// Two items with one name, as Windows compares names, would land on one file:
// the name, or "" when every name is distinct.
std::string nameGivenTwice(const SsdReader& reader) {
    std::set<std::string> seen;
    for (const DataItem& item : reader.items()) {
        const std::string name = item.itemName();
        if (!name.empty() && !seen.insert(lowerCase(name)).second) return name;
    }
    return std::string();
}

// A compressed item: its stored bytes as the installer reads them, expanded
// with the codec built in and judged by the installer's rule. "" or why not.
std::string expandItem(SsdReader& reader, const DataChunk& chunk, std::FILE* target) {
    ByteBuffer block;
    if (!block.allocate(size_t(chunk.storedSize)) ||
        readExact(reader.file(), block.data(), uint32_t(block.size())) != rc::kOk)
        return "cannot be read";
    bool writeFailed = false;
    const std::string fault = expansionFault(block, chunk.expandedSize, target, writeFailed);
    return writeFailed ? "write failed" : fault;
}

// A stored item: its bytes copied as they are. "" or why not.
std::string copyItem(SsdReader& reader, const DataChunk& chunk, std::FILE* target) {
    std::vector<char> buffer(64 * 1024);
    for (int64_t left = chunk.expandedSize; left > 0;) {
        const uint32_t n = uint32_t(std::min<int64_t>(left, int64_t(buffer.size())));
        if (readExact(reader.file(), buffer.data(), n) != rc::kOk) return "cannot be read";
        if (std::fwrite(buffer.data(), 1, n, target) != n) return "write failed";
        left -= int64_t(n);
    }
    return std::string();
}

// A new file for the item at `path` below the folder (never onto an existing
// one unless --force): the bytes take the name only once complete. "" or why not.
std::string writeItemFile(SsdReader& reader, const DataChunk& chunk, const std::string& path, bool force) {
    const FileIdentity existing = identityOf(path);
    if (existing.exists && (existing.folder || !force))
        return path + (existing.folder ? " is a folder" : " already exists; give --force to replace it");
    OutputFile target;
    std::string why;
    if (!target.open(path, why, force)) return why;
    why = chunk.compressed ? expandItem(reader, chunk, target.get()) : copyItem(reader, chunk, target.get());
    if (!why.empty()) {
        target.discard();  // only the new file: what was there stays
        return why;
    }
    return target.commit(why) ? std::string() : why;
}

// Item i below `root`, refused as the installer refuses it: "" when written
// (or when the installer makes no file of it), or the refusal.
std::string extractItem(SsdReader& reader, size_t i, const fs::path& root, bool force, std::ostream& out) {
    // Code page 1252 gives no separator or control character in UTF-8:
    // the host's name is exactly as safe as the stored one.
    const std::string name = hostFileName(reader.items()[i].itemName());
    if (name.empty()) return std::string();  // the installer skips it too
    if (!isSafeItemName(name)) return "refused name '" + name + "': " + pathProblem(name);
    DataChunk chunk{};
    bool decoded = false;
    std::string why = reader.chunk(i, chunk, decoded);
    if (!why.empty()) return name + ": " + why;
    if (chunk.expandedSize == 0) {
        out << printable(name) << ": expanded size 0, no file\n";
        return std::string();
    }
    const std::string path = targetPath(root, splitName(name), why);
    if (path.empty()) return name + ": " + why;
    why = writeItemFile(reader, chunk, path, force);
    if (!why.empty()) return name + ": " + why;
    out << printable(name) << ": " << chunk.expandedSize << " bytes"
        << (reader.items()[i].kind == kMovieItemKind ? " (kind 3)" : "") << "\n";
    return std::string();
}

}  // namespace

int ssdExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> positional;
    bool force = false;
    if (int usage = readExtractArguments(args, positional, force, err)) return usage;
    SsdReader reader;
    if (!reader.open(positional[0], err)) return kExitFault;
    const std::string twice = nameGivenTwice(reader);
    if (!twice.empty()) {
        err << "saverpack ssd: " << printable(positional[0]) << ": the name " << printable(twice)
            << " appears twice; nothing is extracted\n";
        return kExitFault;
    }
    const fs::path root = positional[1];
    std::error_code ec;
    fs::create_directories(root, ec);
    if (!fs::is_directory(root, ec)) {
        err << "saverpack ssd: " << printable(positional[1]) << ": cannot be made a folder\n";
        return kExitFault;
    }
    int status = kExitOk;
    for (size_t i = 0; i < reader.items().size(); ++i) {
        const std::string why = extractItem(reader, i, root, force, out);
        if (why.empty()) continue;
        err << "saverpack ssd: item " << (i + 1) << ": " << printable(why) << "\n";
        status = kExitFault;
    }
    return status;
}

}  // namespace ssi::tool
