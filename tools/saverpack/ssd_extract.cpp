// "saverpack ssd extract FILE DIR": every item the installer would write,
// below DIR, refusing what the installer refuses.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "codec/implode.h"
#include "core/buffer.h"
#include "core/names.h"
#include "platform/file_utils.h"
#include "tools/saverpack/codepage.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/help.h"
#include "tools/saverpack/name_rules.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/ssd_support.h"
#include "tools/saverpack/stream_codec.h"
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

}  // namespace

int ssdExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> positional;
    bool force = false;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--force")
            force = true;
        else if (args[i].size() > 1 && args[i][0] == '-')
            return ssdUsageError(err, "extract", "unknown option " + printable(args[i]));
        else
            positional.push_back(args[i]);
    }
    if (positional.size() != 2) return ssdUsageError(err, "extract", "extract takes FILE DIR [--force]");
    SsdReader reader;
    if (!reader.open(positional[0], err)) return kExitFault;
    // Two items with one name, as Windows compares names, would land on one file.
    std::set<std::string> seen;
    for (const DataItem& item : reader.items()) {
        const std::string name = item.itemName();
        if (!name.empty() && !seen.insert(lowerCase(name)).second) {
            err << "saverpack ssd: " << printable(positional[0]) << ": the name " << printable(name)
                << " appears twice; nothing is extracted\n";
            return kExitFault;
        }
    }
    const fs::path root = positional[1];
    std::error_code ec;
    fs::create_directories(root, ec);
    if (!fs::is_directory(root, ec)) {
        err << "saverpack ssd: " << printable(positional[1]) << ": cannot be made a folder\n";
        return kExitFault;
    }
    int status = kExitOk;
    auto refuse = [&](size_t i, const std::string& why) {
        err << "saverpack ssd: item " << (i + 1) << ": " << printable(why) << "\n";
        status = kExitFault;
    };
    for (size_t i = 0; i < reader.items().size(); ++i) {
        // Code page 1252 gives no separator or control character in UTF-8:
        // the host's name is exactly as safe as the stored one.
        const std::string name = hostFileName(reader.items()[i].itemName());
        if (name.empty()) continue;  // the installer skips it too
        if (!isSafeItemName(name)) {
            refuse(i, "refused name '" + name + "': " + pathProblem(name));
            continue;
        }
        DataChunk chunk{};
        bool decoded = false;
        std::string why = reader.chunk(i, chunk, decoded);
        if (!why.empty()) {
            refuse(i, name + ": " + why);
            continue;
        }
        if (chunk.expandedSize == 0) {
            out << printable(name) << ": expanded size 0, no file\n";
            continue;
        }
        const std::string path = targetPath(root, splitName(name), why);
        if (path.empty()) {
            refuse(i, name + ": " + why);
            continue;
        }
        // Never onto an existing file unless --force; the bytes go to a new
        // file of their own and take the name only once complete.
        const FileIdentity existing = identityOf(path);
        if (existing.exists && (existing.folder || !force)) {
            refuse(i, name + ": " + path +
                          (existing.folder ? " is a folder" : " already exists; give --force to replace it"));
            continue;
        }
        OutputFile target;
        if (!target.open(path, why, force)) {
            refuse(i, name + ": " + why);
            continue;
        }
        bool ok = true;
        if (chunk.compressed) {
            // The stored bytes as the installer reads them, expanded with the codec built in.
            ByteBuffer block;
            bool writeFailed = false;
            if (!block.allocate(size_t(chunk.storedSize)) ||
                readExact(reader.file(), block.data(), uint32_t(block.size())) != rc::kOk) {
                why = "cannot be read", ok = false;
            } else {
                const ExplodeOutcome o = explodeBlock(block.data(), block.size(), target.get(),
                                                      int64_t(chunk.expandedSize) + 1, writeFailed);
                if (writeFailed)
                    why = "write failed", ok = false;
                else if (o.code != codec::kOk && !o.overLimit)
                    why = codecErrorText(o.code), ok = false;
                else if (o.overLimit || o.produced != uint64_t(chunk.expandedSize))
                    why = "expands to the wrong size", ok = false;
            }
        } else {
            std::vector<char> buffer(64 * 1024);
            for (int64_t left = chunk.expandedSize; left > 0 && ok;) {
                const uint32_t n = uint32_t(std::min<int64_t>(left, int64_t(buffer.size())));
                if (readExact(reader.file(), buffer.data(), n) != rc::kOk)
                    why = "cannot be read", ok = false;
                else if (std::fwrite(buffer.data(), 1, n, target.get()) != n)
                    why = "write failed", ok = false;
                left -= int64_t(n);
            }
        }
        if (!ok) {
            target.discard();  // only the new file: what was there stays
            refuse(i, name + ": " + (why.empty() ? "write failed" : why));
            continue;
        }
        if (!target.commit(why)) {
            refuse(i, name + ": " + why);
            continue;
        }
        out << printable(name) << ": " << chunk.expandedSize << " bytes"
            << (reader.items()[i].kind == 3 ? " (kind 3)" : "") << "\n";
    }
    return status;
}

}  // namespace ssi::tool
