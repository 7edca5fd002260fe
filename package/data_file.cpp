// The screen saver data file container: opening it, checking it, and writing
// its items out. Kept apart from the installation steps (in
// data_file_steps.cpp) so that the tools and the fuzz target take the
// reader alone.
#include <cstring>
#include <vector>

#include "core/buffer.h"

#include "platform/messages.h"
#include "core/strings.h"
#include "package/data_file.h"
#include "package/codec_library.h"
#include "package/expansion_rule.h"
#include "package/slot_extraction.h"
#include "platform/file_utils.h"

namespace ssi {

namespace {

constexpr const char* kEmptyLine = "\r\n\r\n";
constexpr const char* kLineBreak = "\r\n";
constexpr int32_t kChunkSize = int32_t(sizeof(DataChunk));

}  // namespace

Result dataFileFaultCode(DataFileFault fault) {
    switch (fault) {
        case DataFileFault::None:
            return rc::kOk;
        case DataFileFault::ItemCountOutOfRange:
        case DataFileFault::NegativeExpandedSize:
            return rc::kCorruptDataFile;
        case DataFileFault::ShortRecord:
        case DataFileFault::TableCutShort:
        case DataFileFault::ChunkOutsideFile:
        case DataFileFault::NegativeStoredSize:
        case DataFileFault::BytesPastEnd:
            return rc::kShortRead;
    }
    return rc::kCorruptDataFile;
}

std::string dataFileFaultText(DataFileFault fault, int32_t itemCount) {
    switch (fault) {
        case DataFileFault::None:
            return std::string();
        case DataFileFault::ShortRecord:
            return "shorter than a settings record";
        case DataFileFault::ItemCountOutOfRange:
            return "item count " + std::to_string(itemCount) + " is outside 0.." + std::to_string(kMaxDataItems);
        case DataFileFault::TableCutShort:
            return "the item table is cut short";
        case DataFileFault::ChunkOutsideFile:
            return "chunk offset outside the file";
        case DataFileFault::NegativeExpandedSize:
            return "negative expanded size";
        case DataFileFault::NegativeStoredSize:
            return "negative stored size";
        case DataFileFault::BytesPastEnd:
            return "item bytes past the end";
    }
    return "unknown fault";
}

Result readDataFileTable(File& file, DataFileTable& table, DataFileFault& fault) {
    fault = DataFileFault::None;
    table.items.clear();
    auto faulty = [&](DataFileFault f) {
        fault = f;
        return dataFileFaultCode(f);
    };
    if (Result e = file.size(table.fileSize)) return e;
    if (Result e = readExact(file, table.record.bytes, kSaverRecordSize))
        return e == rc::kShortRead ? faulty(DataFileFault::ShortRecord) : e;
    const int32_t count = table.record.itemCount();
    if (count < 0 || count > kMaxDataItems) return faulty(DataFileFault::ItemCountOutOfRange);
    if (int64_t(kSaverRecordSize) + int64_t(count) * int64_t(sizeof(DataItem)) > table.fileSize)
        return faulty(DataFileFault::TableCutShort);
    table.items.resize(size_t(count));
    for (DataItem& item : table.items) {
        uint8_t bytes[sizeof(DataItem)];
        if (Result e = readExact(file, bytes, sizeof(bytes))) return e;
        decodeDataItem(bytes, item);
    }
    return rc::kOk;
}

Result readItemChunk(File& file, int64_t fileSize, const DataItem& item, DataChunk& chunk, DataFileFault& fault) {
    fault = DataFileFault::None;
    auto faulty = [&](DataFileFault f) {
        fault = f;
        return dataFileFaultCode(f);
    };
    const int64_t offset = item.chunkOffset;
    if (offset < 0 || offset + kChunkSize > fileSize) return faulty(DataFileFault::ChunkOutsideFile);
    if (Result e = file.seek(offset)) return e;
    uint8_t bytes[sizeof(DataChunk)];
    if (Result e = readExact(file, bytes, sizeof(bytes))) return e;
    decodeDataChunk(bytes, chunk);

    if (chunk.expandedSize == 0) return rc::kOk;  // the item produces no file
    if (chunk.expandedSize < 0) return faulty(DataFileFault::NegativeExpandedSize);
    if (chunk.storedSize < 0) return faulty(DataFileFault::NegativeStoredSize);
    const int64_t available = fileSize - (offset + kChunkSize);
    const int64_t wanted = chunk.compressed ? chunk.storedSize : chunk.expandedSize;
    if (wanted > available) return faulty(DataFileFault::BytesPastEnd);
    return rc::kOk;
}

bool isSafeItemName(const std::string& name) { return isSafeRelativePath(name); }

void createItemFolder(Os& os, const std::string& target) {
    const std::string folder = extractFilePath(target);
    if (!folder.empty() && !directoryExists(os, folder))
        ignoreResult(createDirPath(os, folder),
                     "creating the item's file reports a folder that could not be made");
}

// ---- SaverDataFile -----------------------------------------------------------

SaverDataFile::SaverDataFile(Os& os, SaverRecord& record, std::string libraryDir, Reporter& reporter)
    : os_(os), reporter_(reporter), record_(record), libraryDir_(std::move(libraryDir)) {}

SaverDataFile::SaverDataFile(Os& os, SaverRecord& record, std::string libraryDir)
    : os_(os),
      ownReporter_(std::make_unique<BoxReporter>(os)),
      reporter_(*ownReporter_),
      record_(record),
      libraryDir_(std::move(libraryDir)) {}

SaverDataFile::~SaverDataFile() = default;

bool SaverDataFile::refuseWhileOpen(bool& read) {
    if (!isOpen()) return false;
    reporter_.showBox(BoxKind::Information, BoxButtons::Abort,
                      os_.system().loadString(kStrQuillonError) + os_.system().loadString(kStrDataFileInUse));
    read = read_;
    return true;
}

Result SaverDataFile::openDataFile(const std::string& path, bool showMessage, bool& read) {
    if (refuseWhileOpen(read)) return rc::kOk;
    std::unique_ptr<File> file;
    const Result opened = os_.files().openFile(path, FileAccess::Read, file);
    return openDataFileFrom(opened, std::move(file), path, showMessage, read);
}

Result SaverDataFile::openDataFileFrom(Result opened, std::unique_ptr<File> file, const std::string& path,
                                       bool showMessage, bool& read) {
    if (refuseWhileOpen(read)) return rc::kOk;
    read = false;
    read_ = false;
    itemCount_ = 0;
    items_.fill(DataItem{});

    Result result = opened == rc::kOk && !file ? oserr::kInvalidHandle : opened;
    DataFileTable table;
    DataFileFault fault = DataFileFault::None;
    if (result == rc::kOk) result = readDataFileTable(*file, table, fault);
    if (result == rc::kOk)
        for (size_t i = 0; i < table.items.size(); ++i) items_[i + 1] = table.items[i];
    if (result != rc::kOk) {
        items_.fill(DataItem{});
        if (showMessage)
            reporter_.showBox(
                BoxKind::Error, BoxButtons::Abort,
                os_.system().loadString(kStrProblemOpeningDataFile) + path + kEmptyLine + decimal(result));
        return result;
    }
    record_ = table.record;
    file_ = std::move(file);
    fileSize_ = table.fileSize;
    path_ = path;
    itemCount_ = int32_t(table.items.size());
    read_ = true;
    read = true;
    return rc::kOk;
}

void SaverDataFile::showReadError(Result code) {
    // The system's text for its own codes; ours are named by number.
    const std::string reason = code > 0 ? os_.system().errorText(code) : decimal(code);
    reporter_.showBox(BoxKind::Error, BoxButtons::Abort,
                      os_.system().loadString(kStrQuillonError) +
                          os_.system().loadString(kStrProblemReadingDataFile) + reason);
}

Result SaverDataFile::extract(const std::string& target, const DataItem& item, DataChunk& chunk,
                              bool& produced, std::unique_ptr<File>& out) {
    // Every size is checked against the file before anything is allocated,
    // created or read.
    DataFileFault fault = DataFileFault::None;
    if (Result e = readItemChunk(*file_, fileSize_, item, chunk, fault)) return e;
    if (chunk.expandedSize == 0) return rc::kOk;  // the item produces no file

    createItemFolder(os_, target);

    if (chunk.compressed) {
        TCompressor compressor(os_, libraryDir_, reporter_);
        if (!compressor.loaded) return rc::kLibraryNotLoaded;
        // The stored bytes are read in blocks as the expansion asks for them,
        // and what came out is judged by its size alone, as a slot's is
        // (expansionLimit, expandedSizeMatches). Our own side of it is: an
        // output that could not be made or closed is the result, so that an
        // older file of the right size left in its place never passes for the
        // item.
        Result readError = rc::kOk;
        const Result expanded = compressor.ExpandFromFile(target, *file_, uint32_t(chunk.storedSize),
                                                          expansionLimit(chunk.expandedSize), readError);
        compressor.Destroy();
        if (expanded != rc::kOk) return expanded;
        if (!fileExists(os_, target)) return readError != rc::kOk ? readError : rc::kExpandedFileMissing;
        produced = true;
        if (readError != rc::kOk) return readError;
        std::unique_ptr<File> check;
        if (Result error = os_.files().openFile(target, FileAccess::Read, check)) return error;
        int64_t size = 0;
        if (Result e = check->size(size)) return e;
        check.reset();
        if (!expandedSizeMatches(chunk.expandedSize, uint64_t(size))) return rc::kExpandedSizeWrong;
        return rc::kOk;
    }

    if (Result error = os_.files().openFile(target, FileAccess::Create, out)) return error;
    produced = true;
    // Copied through one block-sized buffer: an item is never held whole.
    uint64_t copied = 0;
    if (Result e = copyFileBytes(*file_, *out, uint64_t(chunk.expandedSize), copied)) return e;
    if (copied != uint64_t(chunk.expandedSize)) return rc::kShortRead;
    Result closed = out->close();
    out.reset();
    return closed;
}

Result SaverDataFile::extractDataItem(const std::string& targetFolder, int32_t index, bool skipClass,
                                      uint8_t& itemClass) {
    itemClass = 0;
    if (index > itemCount_ || index < 1) return rc::kItemIndexTooHigh;
    if (!isOpen()) return rc::kDataFileNotOpen;

    const DataItem& item = items_[size_t(index)];
    const std::string name = item.itemName();
    Result result = rc::kOk;
    if (!isSafeItemName(name)) {
        result = rc::kUnsafeItemName;
        showReadError(result);
        return result;
    }
    const std::string target = targetFolder + name;
    DataChunk chunk{};
    bool produced = false;
    std::unique_ptr<File> out;
    result = extract(target, item, chunk, produced, out);
    if (result > 0 || result == rc::kShortRead || result == rc::kCorruptDataFile) showReadError(result);
    if (result != rc::kOk) {
        out.reset();
        if (produced)
            ignoreResult(deleteFileForced(os_, target), "the extraction's own failure is the result");
        return result;
    }
    if (!skipClass) itemClass = uint8_t(chunk.itemClass);
    return rc::kOk;
}

Result SaverDataFile::itemExpandedSize(int32_t index, uint64_t& bytes) {
    bytes = 0;
    if (index > itemCount_ || index < 1) return rc::kItemIndexTooHigh;
    if (!isOpen()) return rc::kDataFileNotOpen;
    DataChunk chunk{};
    DataFileFault fault = DataFileFault::None;
    const Result result = readItemChunk(*file_, fileSize_, items_[size_t(index)], chunk, fault);
    if (result > 0) return result;
    if (result == rc::kOk && chunk.expandedSize > 0) bytes = uint64_t(chunk.expandedSize);
    return rc::kOk;
}

Result SaverDataFile::closeDataFile() {
    if (!isOpen()) return rc::kOk;
    Result result = file_->close();
    file_.reset();
    if (result != rc::kOk)
        reporter_.showBox(BoxKind::Error, BoxButtons::Abort,
                          os_.system().loadString(kStrProblemClosingFile) + path_ + kLineBreak +
                              os_.system().errorText(result));
    return result;
}

}  // namespace ssi
