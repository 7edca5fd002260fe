// Two sources: data_file.cpp (the container: open, check, write items, which the
// tools and the fuzz target take alone) and data_file_steps.cpp (the installation's
// three steps over it).
// The screen saver data file (".ssd"): a container of the saver's media.
//
// Layout (little-endian, offsets from the start of the file):
//   0                SaverRecord, 1,240 bytes; its item count n (offset 212)
//                    says how many table entries follow, at most 1,010
//   1,240            item table: n DataItems of 264 bytes (items 1..n)
//   anywhere after   per item, at the offset its DataItem names: a 44-byte
//                    DataChunk ("CHUN", class, expanded size, stored size,
//                    compressed flag), then the item's stored bytes
//
// A stored item's bytes are the file itself (expanded-size bytes are copied);
// a compressed item's stored-size bytes are an implode stream expanded through
// the decompression library of the scratch directory.
//
// The container is not trusted: an item table that cannot fit is refused as a
// whole, a chunk that points outside the file is refused before anything is
// allocated or written, and an item whose name would leave the target folder
// is refused without writing.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/result_codes.h"
#include "package/data_file_format.h"
#include "package/installer_package.h"
#include "platform/os.h"
#include "platform/reporter.h"

namespace ssi {

// ---- the container's rules, for the installer and the package tool -------------

// Why a container, or one item's chunk, cannot be used.
enum class DataFileFault {
    None,
    ShortRecord,          // the file is shorter than a settings record
    ItemCountOutOfRange,  // the item count is outside 0..1,010
    TableCutShort,        // the item table runs past the end of the file
    ChunkOutsideFile,     // the item's chunk does not lie inside the file
    NegativeExpandedSize,
    NegativeStoredSize,
    BytesPastEnd,         // the item's bytes run past the end of the file
};

// The installer's code for a fault (0 for None).
[[nodiscard]] Result dataFileFaultCode(DataFileFault fault);
// The package tool's words for a fault ("item bytes past the end").
std::string dataFileFaultText(DataFileFault fault, int32_t itemCount);

// The container's settings record and item table, as read from its start.
struct DataFileTable {
    SaverRecord record{};
    int64_t fileSize = 0;
    std::vector<DataItem> items;  // items 1..n at indexes 0..n-1
};

// Reads the record and the item table of a container just opened (at its start):
// 0, the OS error, or the fault's code with `fault` set (an item count
// outside 0..1,010 is no container of ours; a table longer than the file is
// cut short).
[[nodiscard]] Result readDataFileTable(File& file, DataFileTable& table, DataFileFault& fault);
// Reads an item's chunk and checks it against the file before anything is
// allocated, created or read; the file is left at the item's bytes. 0 (also
// for an item that produces no file, expandedSize 0), the OS error, or the
// fault's code with `fault` set.
[[nodiscard]] Result readItemChunk(File& file, int64_t fileSize, const DataItem& item, DataChunk& chunk,
                                   DataFileFault& fault);

// Whether a data item's name is a plain relative path that stays below the
// folder it is appended to: not empty, no drive or root, no "." or ".."
// component (nor one of dots and spaces only, which Windows trims to one of
// those), no empty component, no character Windows forbids in names ('/'
// included), no component ending in a dot or space, no device name.
bool isSafeItemName(const std::string& name);
// Creates the folders of a data item's target path that are missing.
void createItemFolder(Os& os, const std::string& target);

// The open container and its item table.
class SaverDataFile {
public:
    // `record` receives the container's SaverRecord on every successful open;
    // `libraryDir` is where the decompression library lives (the scratch
    // directory, ending with a backslash).
    // Its boxes go through `reporter`; without one, straight to the seam's
    // message boxes.
    SaverDataFile(Os& os, SaverRecord& record, std::string libraryDir, Reporter& reporter);
    SaverDataFile(Os& os, SaverRecord& record, std::string libraryDir);
    ~SaverDataFile();
    SaverDataFile(const SaverDataFile&) = delete;
    SaverDataFile& operator=(const SaverDataFile&) = delete;

    // Opens the container at `path` and loads its record and item table; the
    // file stays open. While already open: the "already in use" box, `read`
    // tells whether the container was read, and the result is 0.
    // A failure shows "Problem opening screen saver data file." when
    // `showMessage` is set; the container is then closed.
    [[nodiscard]] Result openDataFile(const std::string& path, bool showMessage, bool& read);
    // As openDataFile, over a file the caller opened (`opened` is the result
    // of that opening; `file` is used only when it is 0). `path` names the
    // container in messages.
    [[nodiscard]] Result openDataFileFrom(Result opened, std::unique_ptr<File> file, const std::string& path,
                                          bool showMessage, bool& read);
    // The bytes item `index` (1-based) expands to; 0 for an item that
    // produces no file or whose chunk cannot be used (its extraction refuses
    // it). 0, or the OS error of reading its chunk.
    [[nodiscard]] Result itemExpandedSize(int32_t index, uint64_t& bytes);
    // Writes item `index` (1-based) to targetFolder + its name, creating
    // missing sub-folders. itemClass receives the chunk's class unless
    // skipClass is set. A failure removes the partly written target.
    [[nodiscard]] Result extractDataItem(const std::string& targetFolder, int32_t index, bool skipClass,
                           uint8_t& itemClass);
    // Closes the container; 0 when it was not open.
    [[nodiscard]] Result closeDataFile();

    bool isOpen() const { return file_ != nullptr; }
    bool wasRead() const { return read_; }
    // The item count of the loaded table (0 before the first load).
    int32_t itemCount() const { return itemCount_; }
    // Item i of the table, 0..kMaxDataItems (0 is unused).
    DataItem& item(int32_t i) { return items_.at(size_t(i)); }
    const std::string& path() const { return path_; }

private:
    [[nodiscard]] Result extract(const std::string& target, const DataItem& item, DataChunk& chunk, bool& produced,
                   std::unique_ptr<File>& out);
    [[nodiscard]] bool refuseWhileOpen(bool& read);
    void showReadError(Result code);

    Os& os_;
    std::unique_ptr<BoxReporter> ownReporter_;  // when no reporter was given
    Reporter& reporter_;
    SaverRecord& record_;
    std::string libraryDir_;
    std::unique_ptr<File> file_;
    int64_t fileSize_ = 0;
    bool read_ = false;
    int32_t itemCount_ = 0;
    std::string path_;
    std::array<DataItem, kMaxDataItems + 1> items_{};
};

// ---- the installation's three data file steps -----------------------------------

// The screen saver's settings and its open container, kept for one installation.
struct SaverData {
    SaverRecord record{};
    std::unique_ptr<SaverDataFile> file;
};

// Reads the settings record from the data file in the scratch directory.
[[nodiscard]] Result readSaverRecord(Os& os, const InstallerPackage& package, SaverData& data, Reporter& reporter);
// Writes every item of the data file below the install directory (a kind-3
// item is a copy of the preview movie), then one progress step. Before the
// first item, the total of the items' expanded sizes is checked against the
// free space of the install directory's volume: rc::kNotEnoughDiskSpace, with
// its box and nothing written, when it does not fit. A data file that was
// written to the data file path is deleted once its items are placed.
[[nodiscard]] Result expandDataFile(Os& os, const InstallerPackage& package, SaverData& data, Reporter& reporter);
// Writes the settings record as "saver.dat" into the install directory.
[[nodiscard]] Result writeSaverRecord(Os& os, const InstallerPackage& package, const SaverData& data, Reporter& reporter);

}  // namespace ssi
