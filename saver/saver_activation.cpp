#include "saver/saver_activation.h"

#include "core/trace.h"
#include "core/names.h"
#include "core/strings.h"
#include "platform/file_utils.h"
#include "saver/uninstall_entry.h"

namespace ssi {

namespace {
// The dialog's title when the string table lacks it.
constexpr const char* kDisplayPropertiesTitle = "Display Properties";
constexpr int kCancelButton = 2;  // IDCANCEL

std::string dataDirOf(const std::string& dir, const std::string& name) { return dir + name + " dir\\"; }

// The dialog's title from the string table. An empty title would find any
// untitled window, whose button 2 is none of ours: the fixed text stands in.
std::string displayPropertiesTitle(Os& os) {
    const std::string title = os.system().loadString(kStrDisplayProperties);
    return title.empty() ? kDisplayPropertiesTitle : title;
}
}  // namespace

void closeDisplayProperties(Os& os) {
    WindowHandle window = 0;
    if (os.shell().findWindow(displayPropertiesTitle(os), window) != rc::kOk &&
        os.shell().findWindow(kDisplayPropertiesTitle, window) != rc::kOk)
        return;
    logMessage("closing Display Properties");
    if (os.shell().clickButton(window, kCancelButton) != rc::kOk) return;
    // The click is posted; the dialog lets go of the screen saver only once it
    // has gone, so wait for that, a few seconds at most. A dialog found while
    // it was still being made can miss the click: it is clicked again each
    // second it stays.
    const std::string title = displayPropertiesTitle(os);
    WindowHandle still = 0;
    for (int i = 1; i <= kDisplayPropertiesCloseWaits; ++i) {
        if (os.shell().findWindow(title, still) != rc::kOk || still != window) break;
        os.system().sleep(kDisplayPropertiesCloseWaitMs);
        if (i % kDisplayPropertiesReclickEvery == 0 && i < kDisplayPropertiesCloseWaits)
            ignoreResult(os.shell().clickButton(window, kCancelButton), "the wait goes on either way");
    }
}

bool saverExists(Os& os, const std::string& dir, const std::string& name) {
    return fileExists(os, dir + name + ".scr") || directoryExists(os, dataDirOf(dir, name));
}

Result removeInstalledSaver(Os& os, const std::string& dir, const std::string& name) {
    Result result = rc::kOk;
    if (fileExists(os, dir + name + ".scr")) result = deleteFileForced(os, dir + name + ".scr");
    if (directoryExists(os, dataDirOf(dir, name))) result = deleteDirTree(os, dataDirOf(dir, name));
    return result;
}

Result createSaverDataDir(Os& os, const std::string& dir, const std::string& name) {
    const std::string path = dataDirOf(dir, name);
    if (directoryExists(os, path)) return rc::kOk;
    const Result made = os.files().createDirectory(path);
    return made == oserr::kAlreadyExists ? rc::kOk : made;
}

Result prepareSaverTarget(Os& os, const InstallerDirs& dirs, const std::string& name, bool ask,
                          const std::string& question, ReplacedSaver& replaced, Reporter& reporter) {
    logEnterWith("prepareSaverTarget", name);
    // What a killed run left beside the screen saver comes back first.
    for (const std::string& dir : {dirs.windowsDir, dirs.systemDir})
        if (Result e = recoverKeptSavers(os, dir, name)) logMessage("a kept copy stays: " + std::to_string(e));
    const bool inSystem = saverExists(os, dirs.systemDir, name);
    const bool inWindows = saverExists(os, dirs.windowsDir, name);
    if ((inSystem || inWindows) && ask &&
        reporter.showBox(BoxKind::Confirm, BoxButtons::OkCancel, name + question) != BoxAnswer::Ok) {
        logMessage("user abort");
        return rc::kUserDeclined;
    }
    Result result = replaced.rememberSettings(os, name);
    if (result == rc::kOk && inWindows) result = replaced.moveAside(os, dirs.windowsDir, name);
    if (result == rc::kOk && inSystem) result = replaced.moveAside(os, dirs.systemDir, name);
    if (result == rc::kOk) result = createSaverDataDir(os, dirs.systemDir, name);
    // A step that failed leaves everything as it was: nothing new is in place.
    // What cannot go back stays kept (the caller reports it), never deleted.
    if (result != rc::kOk) {
        if (Result back = replaced.restore(os)) logMessage("not everything went back: " + std::to_string(back));
    }
    logLeaveWith("prepareSaverTarget", result);
    return result;
}

Result activateScreenSaver(Os& os, const std::string& systemDir, const std::string& saverFile) {
    std::string shortPath;
    if (os.files().shortPathName(systemDir + saverFile, shortPath) != rc::kOk || shortPath.empty())
        return rc::kFileMissing;
    if (os.profile().writeString("system.ini", "boot", "SCRNSAVE.EXE", shortPath) != rc::kOk)
        return rc::kProfileNotWritten;
    ignoreResult(os.system().setScreenSaveActive(true), "a refusal leaves screen saving as it was");
    return rc::kOk;
}

Result copyDocumentFiles(Os& os, const DocumentFiles& docs, bool licenseShown, bool readMeIncluded) {
    Result result = rc::kOk;
    if (licenseShown) {
        const std::string source = docs.scratchDir + docs.licenseFile;
        if (!fileExists(os, source))
            result = rc::kFileMissing;
        else if (Result e = copyFileForced(os, source, docs.installDir + docs.licenseFile, false))
            result = e;
    }
    if (readMeIncluded) {
        const std::string source = docs.scratchDir + docs.readMeFile;
        if (!fileExists(os, source)) return rc::kFileMissing;
        if (Result e = copyFileForced(os, source, docs.installDir + docs.readMeFile, false)) return e;
    }
    return result;
}

void openReadMe(Os& os, bool showReadMe, const std::string& installDir, const std::string& readMeFile) {
    if (!showReadMe) return;
    ignoreResult(os.shell().shellExecute(0, "", installDir + readMeFile, "", installDir, showcmd::kShowNormal),
                 "a read-me that cannot be opened is still installed");
}

void cleanUpInstalledFiles(Os& os, const std::string& installDir, const std::string& systemDir,
                           const std::string& saverFile, const std::string& saverName) {
    logEnter("cleanUpInstalledFiles");
    // As much as can go goes; the installation's own result is what is reported.
    ignoreResult(deleteDirTree(os, installDir), "clean-up: files in use stay");
    ignoreResult(deleteFileForced(os, systemDir + saverFile), "clean-up: a screen saver in use stays");
    ignoreResult(deleteUninstallEntry(os, saverName), "clean-up: an entry the user may not delete stays");
}

void openDisplayControlPanel(Os& os, bool offerDisplayPanel, const std::string& systemDir) {
    if (!offerDisplayPanel) return;
    const uintptr_t saved = os.ui().cursor();
    os.ui().setCursor(os.ui().hourglassCursor());
    // By its full path, never by search: the search would look in the
    // installer's own folder first. The system folder holds it on NT; 95, 98
    // and ME keep it in the Windows folder.
    std::string program = systemDir + kDisplayPanelProgram;
    if (!fileExists(os, program))
        program = withTrailingBackslash(os.system().windowsDirectory()) + kDisplayPanelProgram;
    uint32_t exitCode = 0;
    // Started in the system folder: the DLL search of older Windows starts in
    // the working folder, and the installer's own is the download folder.
    ignoreResult(os.shell().startProcess(program, kDisplayPanelArguments, systemDir, showcmd::kShowNormal, false,
                                         exitCode),
                 "the screen saver is installed whether or not the panel opens");
    const std::string title = displayPropertiesTitle(os);
    WindowHandle window = 0;
    for (int i = 0; i < kDisplayPanelLookups; ++i)
        if (os.shell().findWindow(title, window) == rc::kOk) break;
    os.ui().setCursor(saved);
}

}  // namespace ssi
