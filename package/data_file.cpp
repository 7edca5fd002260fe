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
#include "platform/file_utils.h"

namespace ssi {

namespace {

constexpr const char* kEmptyLine = "\r\n\r\n";
constexpr const char* kLineBreak = "\r\n";
constexpr int32_t kChunkSize = int32_t(sizeof(DataChunk));

}  // namespace

bool isSafeItemName(const std::string& name) { return isSafeRelativePath(name); }

void createItemFolder(Os& os, const std::string& target) {
    const std::string folder = extractFilePath(target);
    if (!folder.empty() && !directoryExists(os, folder))
        ignoreResult(createDirPath(os, folder),
                     "creating the item's file reports a folder that could not be made");
}

// ---- SaverDataFile -----------------------------------------------------------

SaverDataFile::SaverDataFile(Os& os, SaverRecord& record, std::string libraryDir)
    : os_(os), record_(record), libraryDir_(std::move(libraryDir)) {}

SaverDataFile::~SaverDataFile() = default;

Result SaverDataFile::openDataFile(const std::string& path, bool showMessage, bool& read) {
    if (isOpen()) {
        os_.ui().messageBox(BoxKind::Information, BoxButtons::Abort,
                       os_.system().loadString(kStrQuillonError) + os_.system().loadString(kStrDataFileInUse));
        read = read_;
        return rc::kOk;
    }
    read = false;
    read_ = false;
    itemCount_ = 0;
    items_.fill(DataItem{});

    std::unique_ptr<File> file;
    Result result = os_.files().openFile(path, FileAccess::Read, file);
    int64_t size = 0;
    SaverRecord record{};
    if (result == rc::kOk) result = file->size(size);
    if (result == rc::kOk) result = readExact(*file, record.bytes, kSaverRecordSize);
    int32_t count = 0;
    if (result == rc::kOk) {
        count = record.itemCount();
        // The table has room for 1,010 items; a count outside 0..1,010 is no
        // container of ours, and a table longer than the file is cut short.
        if (count < 0 || count > kMaxDataItems)
            result = rc::kCorruptDataFile;
        else if (int64_t(kSaverRecordSize) + int64_t(count) * int64_t(sizeof(DataItem)) > size)
            result = rc::kShortRead;
    }
    for (int32_t i = 1; result == rc::kOk && i <= count; ++i) {
        uint8_t bytes[sizeof(DataItem)];
        result = readExact(*file, bytes, sizeof(bytes));
        if (result == rc::kOk) decodeDataItem(bytes, items_[size_t(i)]);
    }
    if (result != rc::kOk) {
        items_.fill(DataItem{});
        if (showMessage)
            os_.ui().messageBox(BoxKind::Error, BoxButtons::Abort,
                           os_.system().loadString(kStrProblemOpeningDataFile) + path + kEmptyLine + decimal(result));
        return result;
    }
    record_ = record;
    file_ = std::move(file);
    fileSize_ = size;
    path_ = path;
    itemCount_ = count;
    read_ = true;
    read = true;
    return rc::kOk;
}

void SaverDataFile::showReadError(Result code) {
    // The system's text for its own codes; ours are named by number.
    const std::string reason = code > 0 ? os_.system().errorText(code) : decimal(code);
    os_.ui().messageBox(BoxKind::Error, BoxButtons::Abort,
                   os_.system().loadString(kStrQuillonError) + os_.system().loadString(kStrProblemReadingDataFile) + reason);
}

Result SaverDataFile::extract(const std::string& target, const DataItem& item, DataChunk& chunk,
                              bool& produced, std::unique_ptr<File>& out) {
    // Every size is checked against the file before anything is allocated,
    // created or read.
    const int64_t offset = item.chunkOffset;
    if (offset < 0 || offset + kChunkSize > fileSize_) return rc::kShortRead;
    if (Result e = file_->seek(offset)) return e;
    uint8_t bytes[sizeof(DataChunk)];
    if (Result e = readExact(*file_, bytes, sizeof(bytes))) return e;
    decodeDataChunk(bytes, chunk);

    if (chunk.expandedSize == 0) return rc::kOk;  // the item produces no file
    if (chunk.expandedSize < 0) return rc::kCorruptDataFile;
    if (chunk.storedSize < 0) return rc::kShortRead;
    const int64_t available = fileSize_ - (offset + kChunkSize);
    const int64_t wanted = chunk.compressed ? chunk.storedSize : chunk.expandedSize;
    if (wanted > available) return rc::kShortRead;

    createItemFolder(os_, target);

    ByteBuffer block;
    if (chunk.compressed) {
        if (!block.allocate(size_t(chunk.storedSize))) return rc::kOutOfMemory;
        if (Result e = readExact(*file_, block.data(), uint32_t(block.size()))) return e;
        TCompressor compressor(os_, libraryDir_);
        if (!compressor.loaded) return rc::kLibraryNotLoaded;
        // The expansion's own result is not consulted: a damaged stream shows
        // up as a file of the wrong size, or none. One byte beyond the
        // expected size is enough to tell an overlong stream.
        compressor.ExpandToFile(target, block.data(), chunk.storedSize, int64_t(chunk.expandedSize) + 1);
        compressor.Destroy();
        if (!fileExists(os_, target)) return rc::kExpandedFileMissing;
        produced = true;
        std::unique_ptr<File> check;
        if (Result error = os_.files().openFile(target, FileAccess::Read, check)) return error;
        int64_t size = 0;
        if (Result e = check->size(size)) return e;
        check.reset();
        if (size != chunk.expandedSize) return rc::kExpandedSizeWrong;
        return rc::kOk;
    }

    if (Result error = os_.files().openFile(target, FileAccess::Create, out)) return error;
    produced = true;
    if (!block.allocate(size_t(chunk.expandedSize))) return rc::kOutOfMemory;
    if (Result e = readExact(*file_, block.data(), uint32_t(block.size()))) return e;
    if (Result e = writeExact(*out, block.data(), uint32_t(block.size()))) return e;
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

Result SaverDataFile::closeDataFile() {
    if (!isOpen()) return rc::kOk;
    Result result = file_->close();
    file_.reset();
    if (result != rc::kOk)
        os_.ui().messageBox(BoxKind::Error, BoxButtons::Abort,
                       os_.system().loadString(kStrProblemClosingFile) + path_ + kLineBreak + os_.system().errorText(result));
    return result;
}

}  // namespace ssi
