// "saverpack ssd extract FILE DIR": every item the installer would write,
// below DIR, refusing what the installer refuses.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "codec/implode.h"
#include "core/buffer.h"
#include "platform/file_utils.h"
#include "tools/saverpack/codepage.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/ssd_support.h"
#include "tools/saverpack/stream_codec.h"

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
    if (args.size() != 4) {
        err << ssdUsage();
        return kExitUsage;
    }
    SsdReader reader;
    if (!reader.open(args[2], err)) return kExitFault;
    const fs::path root = args[3];
    std::error_code ec;
    fs::create_directories(root, ec);
    if (!fs::is_directory(root, ec)) {
        err << "saverpack ssd: " << args[3] << ": cannot be made a folder\n";
        return kExitFault;
    }
    int status = kExitOk;
    auto refuse = [&](size_t i, const std::string& why) {
        err << "saverpack ssd: item " << (i + 1) << ": " << why << "\n";
        status = kExitFault;
    };
    for (size_t i = 0; i < reader.items().size(); ++i) {
        // Code page 1252 gives no separator or control character in UTF-8:
        // the host's name is exactly as safe as the stored one.
        const std::string name = hostFileName(reader.items()[i].itemName());
        if (name.empty()) continue;  // the installer skips it too
        if (!isSafeItemName(name)) {
            refuse(i, "refused name '" + name + "': it would leave the folder");
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
            out << name << ": expanded size 0, no file\n";
            continue;
        }
        const std::string path = targetPath(root, splitName(name), why);
        if (path.empty()) {
            refuse(i, name + ": " + why);
            continue;
        }
        FilePtr target(std::fopen(path.c_str(), "wb"));
        if (!target) {
            refuse(i, name + ": " + path + " cannot be created");
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
        ok = std::fclose(target.release()) == 0 && ok;
        if (!ok) {
            std::remove(path.c_str());
            refuse(i, name + ": " + (why.empty() ? "write failed" : why));
            continue;
        }
        out << name << ": " << chunk.expandedSize << " bytes"
            << (reader.items()[i].kind == 3 ? " (kind 3)" : "") << "\n";
    }
    return status;
}

}  // namespace ssi::tool
