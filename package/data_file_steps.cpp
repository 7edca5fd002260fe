// The three installation steps of the screen saver data file: the settings
// record read from the container, the items written below the install
// directory, and the record written out as "saver.dat".
#include "package/data_file.h"

#include "core/strings.h"
#include "core/trace.h"
#include "platform/file_utils.h"

namespace ssi {

namespace {
constexpr const char* kSaverDatName = "saver.dat";
constexpr const char* kPreviewMovieName = "installer.swf";
constexpr int32_t kMovieReuseMode = 3;     // the saver's mode that reuses the installer's movie as item 1

// The items written out (every one but the copies of the movie) against the
// free space of the install directory's volume. A volume whose free space
// cannot be read is not refused: the writes themselves will tell.
[[nodiscard]] Result checkFreeSpace(Os& os, const InstallerPackage& package, SaverDataFile& container, Reporter& reporter) {
    uint64_t needed = 0;
    for (int32_t i = 1; i <= container.itemCount(); ++i) {
        const DataItem& item = container.item(i);
        if (item.itemName().empty() || item.kind == kMovieItemKind) continue;
        uint64_t bytes = 0;
        if (Result e = container.itemExpandedSize(i, bytes)) {
            // The item's own extraction meets the same error and reports it.
            logMessage("data item size not read: " + std::to_string(e));
            continue;
        }
        needed += bytes;
    }
    if (needed == 0) return rc::kOk;
    uint64_t available = 0;
    if (Result e = os.files().freeSpace(package.installDir, available)) {
        logMessage("free space not known: " + std::to_string(e));
        return rc::kOk;
    }
    if (needed <= available) return rc::kOk;
    logMessage("data items need " + std::to_string(needed) + " bytes, " + std::to_string(available) + " free");
    reporter.showInstallError(rc::kNotEnoughDiskSpace,
                              os.system().loadString(kStrNotEnoughDiskSpace) + package.installDir);
    return rc::kNotEnoughDiskSpace;
}

// A copy of the movie under an item's name: item 1 copies the preview movie
// the installer carries, a later item the movie item 1 installed.
[[nodiscard]] Result copyMovieItem(Os& os, const InstallerPackage& package, int32_t index,
                                   const std::string& name, const std::string& movieName,
                                   Reporter& reporter) {
    const std::string target = package.installDir + name;
    if (!isSafeItemName(name)) {
        reporter.showInstallError(rc::kUnsafeItemName, target);
        return rc::kUnsafeItemName;
    }
    const std::string source =
        index == 1 ? package.dirs.scratchDir + kPreviewMovieName : package.installDir + movieName;
    // A copy into a sub-folder gets its folders, as extracted items do.
    createItemFolder(os, target);
    if (copyFileForced(os, source, target, false) != rc::kOk && lowerCase(source) != lowerCase(target)) {
        reporter.showInstallError(rc::kMovieCopyFailed, source);
        return rc::kMovieCopyFailed;
    }
    return rc::kOk;
}

// Every named item below the install directory, in order, until one fails.
[[nodiscard]] Result writeDataItems(Os& os, const InstallerPackage& package, SaverDataFile& container,
                                    const std::string& movieName, Reporter& reporter) {
    for (int32_t i = 1; i <= container.itemCount(); ++i) {
        const DataItem& item = container.item(i);
        const std::string name = item.itemName();
        if (name.empty()) continue;
        Result result = rc::kOk;
        if (item.kind == kMovieItemKind) {
            result = copyMovieItem(os, package, i, name, movieName, reporter);
        } else {
            uint8_t itemClass = 0;
            result = container.extractDataItem(package.installDir, i, true, itemClass);
        }
        if (result != rc::kOk) return result;
    }
    return rc::kOk;
}

}  // namespace

Result readSaverRecord(Os& os, const InstallerPackage& package, SaverData& data, Reporter& reporter) {
    const std::string& path = package.dataFilePath;
    std::unique_ptr<File> file;
    Result result = openDataFileSource(os, package, file);
    if (result == rc::kOk) {
        SaverRecord record{};
        result = readExact(*file, record.bytes, kSaverRecordSize);
        const Result closed = file->close();
        if (result == rc::kOk) result = closed;
        if (result == rc::kOk) data.record = record;
    }
    if (result != rc::kOk) reporter.showInstallError(result, path);
    return result;
}

Result writeSaverRecord(Os& os, const InstallerPackage& package, const SaverData& data, Reporter& reporter) {
    reporter.showStatus(os.system().loadString(kStrWritingSaverDataFile));
    const std::string path = package.installDir + kSaverDatName;
    std::unique_ptr<File> file;
    Result result = os.files().openFile(path, FileAccess::Create, file);
    if (result == rc::kOk) {
        result = writeExact(*file, data.record.bytes, kSaverRecordSize);
        const Result closed = file->close();
        if (result == rc::kOk) result = closed;
        file.reset();
        // A settings file cut short is worse than none.
        if (result != rc::kOk)
            ignoreResult(deleteFileForced(os, path), "the write's own failure is the result");
    }
    if (result != rc::kOk) reporter.showInstallError(result, path);
    return result;
}

Result expandDataFile(Os& os, const InstallerPackage& package, SaverData& data, Reporter& reporter) {
    reporter.showStatus(os.system().loadString(kStrExpandingFiles));
    if (!data.file) data.file = std::make_unique<SaverDataFile>(os, data.record, package.dirs.scratchDir, reporter);
    SaverDataFile& container = *data.file;

    // 1. The container, read in place or from its scratch copy.
    bool read = false;
    std::unique_ptr<File> source;
    const Result opened = openDataFileSource(os, package, source);
    Result result = container.openDataFileFrom(opened, std::move(source), package.dataFilePath, true, read);
    if (result != rc::kOk) return result;

    // 2. The mode that reuses the movie: item 1 is the preview the installer carries.
    if (data.record.presentationMode() == kMovieReuseMode) container.item(1).kind = kMovieItemKind;
    const std::string movieName = container.item(1).itemName();

    // 3. Room for every item before any is written.
    result = checkFreeSpace(os, package, container, reporter);
    if (result != rc::kOk) {
        ignoreResult(container.closeDataFile(), "the step's own failure is the one reported");
        return result;
    }

    // 4. The items, in order, until one fails; then the container is closed.
    result = writeDataItems(os, package, container, movieName, reporter);
    if (result == rc::kOk) {
        result = container.closeDataFile();
        reporter.stepProgress();
    } else {
        // The scratch copy is deleted after the installation: let it go now.
        ignoreResult(container.closeDataFile(), "the step's own failure is the one reported");
    }

    // 5. A data file written out to the scratch folder has served: its room is
    // given back before the installation goes on.
    if (!dataFileReadInPlace(package))
        ignoreResult(deleteFileForced(os, package.dataFilePath), "the scratch folder goes at the end in any case");

    // 6. The movie is marked for backup, as every file the installation wrote.
    const std::string movie = package.installDir + movieName;
    uint32_t attributes = 0;
    if (isSafeItemName(movieName) && fileExists(os, movie) && os.files().attributes(movie, attributes) == rc::kOk)
        ignoreResult(os.files().setAttributes(movie, attributes | attr::kArchive),
                     "the archive bit is a courtesy");
    return result;
}

}  // namespace ssi
