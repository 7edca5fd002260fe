// "saverpack ssd build (DIR | MANIFEST.toml) --record RECORD_FILE [--store]
// [--first NAME] OUT": a data file from a folder tree or an item manifest.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <toml.hpp>

#include "codec/implode.h"
#include "core/strings.h"
#include "package/data_file_format.h"
#include "tools/saverpack/codepage.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/help.h"
#include "tools/saverpack/manifest.h"
#include "tools/saverpack/manifest_text.h"
#include "tools/saverpack/name_rules.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/ssd_manifest.h"
#include "tools/saverpack/ssd_support.h"
#include "tools/saverpack/stream_codec.h"
#include "tools/saverpack/suggest.h"
#include "tools/saverpack/tool_support.h"

namespace fs = std::filesystem;

namespace ssi::tool {

namespace {

// The files below a folder (but the output) as items named by their path
// below it, folders joined with backslashes, in name order.
[[nodiscard]] bool collectFolder(const fs::path& root, const fs::path& output, std::vector<SourceItem>& items,
                                 std::ostream& err) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        err << "saverpack ssd: " << printable(root.string()) << ": not a folder\n";
        return false;
    }
    bool ok = true;
    fs::recursive_directory_iterator it(root, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        if (!entry.is_regular_file(ec)) continue;
        if (fs::exists(output, ec) && fs::equivalent(entry.path(), output, ec)) continue;
        const fs::path relative = entry.path().lexically_relative(root);
        std::string name;
        for (const fs::path& part : relative) {
            // UTF-8 on every host (Windows would give its ANSI code page).
            const std::string p = part.u8string();
            if (p.find('\\') != std::string::npos) {
                err << "saverpack ssd: " << printable(entry.path().string()) << ": a backslash in a file name\n";
                ok = false;
            }
            name += (name.empty() ? "" : "\\") + p;
        }
        SourceItem item;
        item.name = name;
        item.file = entry.path().string();
        items.push_back(item);
    }
    if (ec) {
        err << "saverpack ssd: " << printable(root.string()) << ": " << ec.message() << "\n";
        return false;
    }
    std::sort(items.begin(), items.end(),
              [](const SourceItem& a, const SourceItem& b) { return a.name < b.name; });
    return ok;
}

// An item, its chunk and the chunk's stored bytes, as written.
struct BuiltItem {
    DataItem item{};
    DataChunk chunk{};
    std::vector<uint8_t> stored;
};

// An item's bytes as its chunk holds them: compressed when the item (or,
// for an item that leaves it open, the absence of --store) asks for it, the
// compressed form expands back and, unless the item insists, is smaller;
// else as they are.
[[nodiscard]] bool storeItemBytes(const SourceItem& source, bool store, std::vector<uint8_t> data,
                                  BuiltItem& out, std::ostream& err) {
    const bool tryCompress = source.compress == 1 || (source.compress == -1 && !store);
    if (tryCompress && !data.empty()) {
        std::vector<uint8_t> packed;
        if (!implodeVerified(data, codec::kBinary, codec::kDict4K, packed)) {
            err << "saverpack ssd: " << printable(source.name) << ": the compressed form does not expand back\n";
            return false;
        }
        if (source.compress == 1 || packed.size() < data.size()) {
            out.chunk.compressed = 1;
            out.stored = std::move(packed);
        }
    }
    if (!out.chunk.compressed) out.stored = std::move(data);
    out.chunk.storedSize = int32_t(out.stored.size());
    return true;
}

// One source item as the data file holds it: its name checked, its file
// read, its bytes stored.
[[nodiscard]] bool prepareItem(const SourceItem& source, bool store, BuiltItem& out, std::ostream& err) {
    if (!isSafeItemName(source.name) || source.name.size() > 255) {
        err << "saverpack ssd: item name '" << printable(source.name)
            << "' is not a plain relative path of at most 255 characters: "
            << (source.name.size() > 255 ? std::to_string(source.name.size()) + " characters"
                                         : pathProblem(source.name))
            << "\n";
        return false;
    }
    out.item.kind = source.kind;
    out.item.kind2 = source.kind2;
    source.name.copy(out.item.name, sizeof(out.item.name));
    std::memcpy(out.chunk.tag, "CHUN", 4);
    out.chunk.itemClass = source.itemClass;
    std::vector<uint8_t> data;
    if (!source.file.empty() && !readWholeFile(source.file, data)) {
        err << "saverpack ssd: " << printable(source.file) << ": cannot be read\n";
        return false;
    }
    if (data.size() > size_t(INT32_MAX)) {
        err << "saverpack ssd: " << printable(source.file) << ": larger than 2 GiB\n";
        return false;
    }
    if (data.empty() && !source.file.empty())
        err << "saverpack ssd: note: " << printable(source.name) << " is empty; the installer creates no file for it\n";
    out.chunk.expandedSize = int32_t(data.size());
    return storeItemBytes(source, store, std::move(data), out, err);
}

// What build was asked for.
struct BuildRequest {
    std::string input;  // a folder or an item manifest
    std::string output;
    std::string recordPath;
    std::string first;  // the item to put first, or ""
    bool store = false;
};

// The arguments (DIR | MANIFEST.toml) --record RECORD_FILE [--store]
// [--first NAME] OUT; kExitOk, or the usage error already printed.
[[nodiscard]] int readBuildArguments(const std::vector<std::string>& args, BuildRequest& request,
                                     std::ostream& err) {
    std::vector<std::string> positional;
    for (size_t i = 2; i < args.size(); ++i) {
        if ((args[i] == "--record" || args[i] == "--first") && i + 1 >= args.size())
            return ssdUsageError(err, "build", args[i] + " needs a value");
        if (args[i] == "--record")
            request.recordPath = args[++i];
        else if (args[i] == "--first")
            request.first = args[++i];
        else if (args[i] == "--store")
            request.store = true;
        else if (args[i].size() > 1 && args[i][0] == '-')
            return ssdUsageError(err, "build",
                                 "unknown option " + printable(args[i]) +
                                     didYouMean(args[i], {"--record", "--first", "--store"}));
        else
            positional.push_back(args[i]);
    }
    if (request.recordPath.empty())
        return ssdUsageError(err, "build",
                             "the settings record is missing: give --record RECORD_FILE (1,240 bytes; "
                             "'saverpack ssd init-record FILE' writes a default one)");
    if (positional.size() != 2)
        return ssdUsageError(err, "build", "build takes (DIR | MANIFEST.toml) --record RECORD_FILE OUT");
    request.input = positional[0];
    request.output = positional[1];
    return kExitOk;
}

// The settings record, exactly kSaverRecordSize bytes.
[[nodiscard]] bool readRecord(const std::string& path, std::vector<uint8_t>& bytes, std::ostream& err) {
    if (!readWholeFile(path, bytes)) {
        err << "saverpack ssd: " << printable(path) << ": cannot be read\n";
        return false;
    }
    if (bytes.size() != kSaverRecordSize) {
        err << "saverpack ssd: " << printable(path) << ": a settings record is exactly " << kSaverRecordSize
            << " bytes, this file has " << bytes.size() << "\n";
        return false;
    }
    return true;
}

// The items of a folder tree or an item manifest, --first's item first;
// kExitOk, or the exit code with the fault already printed.
[[nodiscard]] int collectSources(const BuildRequest& request, std::vector<SourceItem>& sources,
                                 std::ostream& err) {
    std::error_code ec;
    const bool folder = fs::is_directory(request.input, ec);
    bool refusedText = false;
    if (!(folder ? collectFolder(request.input, request.output, sources, err)
                 : loadItemManifest(request.input, sources, err, refusedText)))
        return refusedText ? kExitUsage : kExitFault;
    if (request.first.empty()) return kExitOk;
    auto it = std::find_if(sources.begin(), sources.end(),
                           [&](const SourceItem& s) { return s.name == request.first; });
    if (it == sources.end()) {
        err << "saverpack ssd: --first " << printable(request.first) << ": no such item\n";
        return kExitFault;
    }
    std::rotate(sources.begin(), it, it + 1);
    return kExitOk;
}

// The items' names as the installer uses them: in the code page (it makes
// its files with the system's ANSI functions), at most kMaxDataItems of them,
// none twice as Windows compares names.
[[nodiscard]] bool checkItemNames(std::vector<SourceItem>& sources, std::ostream& err) {
    for (SourceItem& s : sources) {
        std::string converted, why;
        if (!fromUtf8(s.name, kDefaultCodePage, converted, why)) {
            err << "saverpack ssd: item name '" << printable(s.name) << "': " << why << "\n";
            return false;
        }
        s.name = converted;
    }
    if (sources.size() > size_t(kMaxDataItems)) {
        err << "saverpack ssd: " << sources.size() << " items; a data file holds at most " << kMaxDataItems
            << "\n";
        return false;
    }
    std::set<std::string> seen;
    for (const SourceItem& s : sources)
        if (!seen.insert(lowerCase(s.name)).second) {
            err << "saverpack ssd: item name " << printable(s.name) << " appears twice\n";
            return false;
        }
    return true;
}

// Each item's chunk offset, chunks in item order behind the record and the
// item table; `size` is the whole file's. False past 2 GiB.
[[nodiscard]] bool placeChunks(std::vector<BuiltItem>& built, int64_t& size, std::ostream& err) {
    size = int64_t(kSaverRecordSize) + int64_t(built.size()) * int64_t(sizeof(DataItem));
    for (BuiltItem& b : built) {
        b.item.chunkOffset = int32_t(size);
        size += int64_t(sizeof(DataChunk)) + int64_t(b.stored.size());
        if (size > INT32_MAX) {
            err << "saverpack ssd: the data file would exceed 2 GiB\n";
            return false;
        }
    }
    return true;
}

// The record, the item table and the chunks, written beside OUT and renamed
// over it once complete: a failed build leaves what was there.
[[nodiscard]] bool writeDataFile(const std::string& output, const SaverRecord& record,
                                 const std::vector<BuiltItem>& built, std::ostream& err) {
    OutputFile outputFile;
    std::string error;
    if (!outputFile.open(output, error)) {
        err << "saverpack ssd: " << printable(error) << "\n";
        return false;
    }
    std::FILE* file = outputFile.get();
    bool written = std::fwrite(record.bytes, 1, kSaverRecordSize, file) == kSaverRecordSize;
    for (const BuiltItem& b : built) {
        uint8_t bytes[sizeof(DataItem)];
        encodeDataItem(b.item, bytes);
        written = written && std::fwrite(bytes, 1, sizeof(bytes), file) == sizeof(bytes);
    }
    for (const BuiltItem& b : built) {
        uint8_t bytes[sizeof(DataChunk)];
        encodeDataChunk(b.chunk, bytes);
        written = written && std::fwrite(bytes, 1, sizeof(bytes), file) == sizeof(bytes);
        written = written && (b.stored.empty() ||
                              std::fwrite(b.stored.data(), 1, b.stored.size(), file) == b.stored.size());
    }
    if (!written) {
        err << "saverpack ssd: " << printable(output) << ": write failed\n";
        return false;
    }
    if (!outputFile.commit(error)) {
        err << "saverpack ssd: " << printable(error) << "\n";
        return false;
    }
    return true;
}

// OUT replaces what stands at its name, but never a file this build reads:
// the record, an item's file, or anything in the folder it packs.
[[nodiscard]] bool outputMayBeWritten(const BuildRequest& request, const std::vector<SourceItem>& sources,
                                      std::ostream& err) {
    std::error_code ec;
    const bool folder = fs::is_directory(request.input, ec);
    std::string error = outputInsideFolder(request.output, folder ? request.input : std::string());
    if (error.empty()) {
        std::vector<std::pair<std::string, std::string>> inputs = {{"settings record", request.recordPath}};
        for (const SourceItem& s : sources)
            if (!s.file.empty()) inputs.emplace_back("file of item " + toUtf8(s.name, kDefaultCodePage), s.file);
        error = outputRefusal(request.output, inputs, true);
    }
    if (error.empty()) return true;
    err << "saverpack ssd: " << printable(error) << "\n";
    return false;
}

}  // namespace

int ssdBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    BuildRequest request;
    if (int usage = readBuildArguments(args, request, err)) return usage;
    std::vector<uint8_t> recordBytes;
    if (!readRecord(request.recordPath, recordBytes, err)) return kExitFault;
    std::vector<SourceItem> sources;
    if (int failed = collectSources(request, sources, err)) return failed;
    if (!checkItemNames(sources, err)) return kExitFault;

    std::vector<BuiltItem> built(sources.size());
    for (size_t i = 0; i < sources.size(); ++i)
        if (!prepareItem(sources[i], request.store, built[i], err)) return kExitFault;
    int64_t size = 0;
    if (!placeChunks(built, size, err)) return kExitFault;

    if (!outputMayBeWritten(request, sources, err)) return kExitFault;

    SaverRecord record{};
    std::memcpy(record.bytes, recordBytes.data(), kSaverRecordSize);
    record.setItemCount(int32_t(built.size()));
    if (!writeDataFile(request.output, record, built, err)) return kExitFault;
    int64_t expanded = 0;
    for (const BuiltItem& b : built) expanded += b.chunk.expandedSize;
    out << printable(request.output) << ": " << built.size() << " items, " << expanded << " bytes expanded, " << size
        << " bytes written\n";
    return kExitOk;
}

}  // namespace ssi::tool
