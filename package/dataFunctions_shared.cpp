// The three installation steps of the screen saver data file: the settings
// record read from the container, the items written below the install
// directory, and the record written out as "saver.dat".
#include "package/dataFunctions_shared.h"

#include "app/fInstall.h"
#include "app/messages.h"
#include "app/strings.h"
#include "saver/KVR_FileUtils.h"

namespace ssi {

namespace {
constexpr const char* kSaverDatName = "saver.dat";
constexpr const char* kPreviewMovieName = "installer.swf";
}  // namespace

Result TInstallerForm::readSaverRecord() {
    Result result = rc::kOk;
    std::unique_ptr<File> file = os().openFile(dataFilePath, FileAccess::Read, result);
    if (file) {
        SaverRecord record{};
        result = readExact(*file, record.bytes, kSaverRecordSize);
        Result closed = file->close();
        if (result == rc::kOk) result = closed;
        if (result == rc::kOk) saverRecord = record;
    }
    if (result != rc::kOk) showInstallError(os(), result, dataFilePath);
    return result;
}

Result TInstallerForm::writeSaverRecord() {
    showStatus(os().loadString(kStrWritingSaverDataFile));
    const std::string path = installDir + kSaverDatName;
    Result result = rc::kOk;
    std::unique_ptr<File> file = os().openFile(path, FileAccess::Create, result);
    if (file) {
        result = writeExact(*file, saverRecord.bytes, kSaverRecordSize);
        Result closed = file->close();
        if (result == rc::kOk) result = closed;
        file.reset();
        // A settings file cut short is worse than none.
        if (result != rc::kOk) deleteFileForced(os(), path);
    }
    if (result != rc::kOk) showInstallError(os(), result, path);
    return result;
}

Result TInstallerForm::expandDataFile() {
    showStatus(os().loadString(kStrExpandingFiles));
    if (!dataFile) dataFile = std::make_unique<SaverDataFile>(os(), saverRecord, dirs.scratchDir);
    SaverDataFile& data = *dataFile;

    bool read = false;
    Result result = data.openDataFile(dataFilePath, true, read);
    if (result != rc::kOk) return result;

    // Mode 3: item 1 is the preview movie the installer already carries.
    if (saverRecord.presentationMode() == 3) data.item(1).kind = 3;
    const std::string movieName = data.item(1).itemName();

    for (int32_t i = 1; i <= data.itemCount() && result == rc::kOk; ++i) {
        const DataItem& item = data.item(i);
        const std::string name = item.itemName();
        if (name.empty()) continue;
        if (item.kind == 3) {
            const std::string target = installDir + name;
            if (!isSafeItemName(name)) {
                result = rc::kUnsafeItemName;
                showInstallError(os(), result, target);
                break;
            }
            const std::string source = i == 1 ? dirs.scratchDir + kPreviewMovieName : installDir + movieName;
            if (!copyFileForced(os(), source, target, false) && lowerCase(source) != lowerCase(target)) {
                result = rc::kMovieCopyFailed;
                showInstallError(os(), result, source);
            }
        } else {
            uint8_t itemClass = 0;
            result = data.extractDataItem(installDir, i, true, itemClass);
        }
    }
    if (result == rc::kOk) {
        result = data.closeDataFile();
        stepProgress();
    } else {
        // The scratch copy is deleted after the installation: let it go now.
        data.closeDataFile();
    }

    const std::string movie = installDir + movieName;
    if (isSafeItemName(movieName) && fileExists(os(), movie)) {
        const uint32_t attributes = os().fileAttributes(movie);
        os().setFileAttributes(movie, attributes | attr::kArchive);
    }
    return result;
}

}  // namespace ssi
