// The three installation steps of the screen saver data file: the settings
// record read from the container, the items written below the install
// directory, and the record written out as "saver.dat".
#include "package/data_file.h"

#include "core/strings.h"
#include "platform/file_utils.h"

namespace ssi {

namespace {
constexpr const char* kSaverDatName = "saver.dat";
constexpr const char* kPreviewMovieName = "installer.swf";
constexpr int32_t kMovieItemKind = 3;      // an item that is a copy of the preview movie
constexpr int32_t kMovieReuseMode = 3;     // the saver's mode that reuses the installer's movie as item 1
}  // namespace

Result readSaverRecord(Os& os, const InstallerPackage& package, SaverData& data, Reporter& reporter) {
    const std::string& path = package.dataFilePath;
    std::unique_ptr<File> file;
    Result result = os.files().openFile(path, FileAccess::Read, file);
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
    const std::string& installDir = package.installDir;

    bool read = false;
    Result result = container.openDataFile(package.dataFilePath, true, read);
    if (result != rc::kOk) return result;

    // The mode that reuses the movie: item 1 is the preview the installer carries.
    if (data.record.presentationMode() == kMovieReuseMode) container.item(1).kind = kMovieItemKind;
    const std::string movieName = container.item(1).itemName();

    for (int32_t i = 1; i <= container.itemCount() && result == rc::kOk; ++i) {
        const DataItem& item = container.item(i);
        const std::string name = item.itemName();
        if (name.empty()) continue;
        if (item.kind == kMovieItemKind) {
            const std::string target = installDir + name;
            if (!isSafeItemName(name)) {
                result = rc::kUnsafeItemName;
                reporter.showInstallError(result, target);
                break;
            }
            const std::string source = i == 1 ? package.dirs.scratchDir + kPreviewMovieName : installDir + movieName;
            // A copy into a sub-folder gets its folders, as extracted items do.
            createItemFolder(os, target);
            if (copyFileForced(os, source, target, false) != rc::kOk && lowerCase(source) != lowerCase(target)) {
                result = rc::kMovieCopyFailed;
                reporter.showInstallError(result, source);
            }
        } else {
            uint8_t itemClass = 0;
            result = container.extractDataItem(installDir, i, true, itemClass);
        }
    }
    if (result == rc::kOk) {
        result = container.closeDataFile();
        reporter.stepProgress();
    } else {
        // The scratch copy is deleted after the installation: let it go now.
        ignoreResult(container.closeDataFile(), "the step's own failure is the one reported");
    }

    const std::string movie = installDir + movieName;
    uint32_t attributes = 0;
    if (isSafeItemName(movieName) && fileExists(os, movie) && os.files().attributes(movie, attributes) == rc::kOk)
        ignoreResult(os.files().setAttributes(movie, attributes | attr::kArchive),
                     "the archive bit is a courtesy");
    return result;
}

}  // namespace ssi
