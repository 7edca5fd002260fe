// The installation: one chain of steps on the GUI thread. Each step runs
// only while the result is 0 and the user has not cancelled; the first
// failure stops the chain and what was installed is removed again. An older
// copy of the screen saver is kept aside until the end: it is put back
// (with system.ini's line and its uninstall entry) when the installation
// fails or is cancelled, and let go when it succeeds.
#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "core/trace.h"
#include "core/strings.h"
#include "platform/messages.h"
#include "saver/uninstall_entry.h"
#include "saver/saver_activation.h"

namespace ssi {

Result TInstallerForm::installScreenSaver() {
    const std::string saverFile = package.entry(slot::kSaver).name();
    const bool quiet = activeMode == mode::kQuiet;
    auto running = [&](Result r) { return r == rc::kOk && !cancelRequested; };
    bool cleanedUp = false;
    Result restored = rc::kOk;
    ReplacedSaver replaced;
    // The new files go, and the old screen saver comes back at once.
    auto cleanUp = [&] {
        cleanUpInstalledFiles(os_, package.installDir, package.dirs.systemDir, saverFile, package.saverName);
        if (!cleanedUp) restored = replaced.restore(os_);
        cleanedUp = true;
    };

    // 1, 2.
    const uintptr_t savedCursor = os_.ui().cursor();
    os_.ui().setCursor(os_.ui().hourglassCursor());
    setupFormForInstallation();

    Result result = rc::kOk, activation = rc::kOk;
    // Whether the target was prepared: a failed preparation has put the old
    // copies back itself, and nothing new is in place to remove.
    bool prepared = false;

    // 3.
    if (!cancelRequested) closeDisplayProperties(os_);
    // 4.
    if (!cancelRequested) {
        const std::string question = quiet ? std::string() : os_.system().loadString(kStrAlreadyExistsOverwrite);
        result = prepareSaverTarget(os_, package.dirs, package.saverName, !quiet, question, replaced);
        if (result == rc::kUserDeclined) cancelRequested = true;
        prepared = result == rc::kOk;
        if (preparingWnd) preparingWnd->repaint();
    }
    // 5 to 8. A system file that a slot replaces is kept aside as the screen saver is.
    package.keepReplacedFile = [&](const std::string& path) { return replaced.keepFile(os_, path); };
    if (running(result)) result = extractInstallEntries(os_, package, package.installerCopyPath, readMeIncluded, *this);
    if (running(result)) result = readSaverRecord(os_, package, saverData, *this);
    if (running(result)) result = expandDataFile(os_, package, saverData, *this);
    if (running(result)) result = writeSaverRecord(os_, package, saverData, *this);
    // 9. Kept apart: the chain goes on when the activation fails.
    if (running(result)) activation = activateScreenSaver(os_, package.dirs.systemDir, saverFile);
    // 10, 11.
    if (running(result)) {
        const DocumentFiles docs{package.dirs.scratchDir, package.installDir, package.entry(slot::kLicense).name(),
                                 package.entry(slot::kReadMe).name()};
        result = copyDocumentFiles(os_, docs, licenseShown, readMeIncluded);
    }
    if (running(result))
        openReadMe(os_, package.header.showReadMe != 0, package.installDir, package.entry(slot::kReadMe).name());
    // 12. A missing entry does not fail the installation.
    if (running(result)) {
        writeUninstallEntry(os_, package.dirs.systemDir, package.saverName);
        result = rc::kOk;
    }
    // 13.
    deleteFileForced(os_, package.dataFilePath);
    // 14.
    if (result != rc::kOk && result != rc::kUserDeclined && prepared) cleanUp();
    // 15. The installed files stay when only the activation failed; a later
    // failure, which caused the clean-up, is the one reported.
    if (!cancelRequested && activation != rc::kOk && result == rc::kOk) result = activation;
    // A failed preparation has put back what it could (before anything
    // waits on the user); this tells whether everything went.
    if (!prepared) restored = replaced.restore(os_);
    // 16.
    if (!cancelRequested) {
        setupFormForInstallationComplete(result);
    } else {
        showStatus(os_.system().loadString(kStrCleaningUp));
        if (result != rc::kUserDeclined && prepared) cleanUp();
        resetFormAfterAbort();
    }
    // The older copy is let go once the new one stays; what could not go
    // back stays kept and is reported.
    if (prepared && !cleanedUp) {
        if (Result e = replaced.discard(os_)) logMessage("kept copies stay beside the new screen saver: " + decimal(e));
    }
    if (restored != rc::kOk) {
        reportStrandedCopies(replaced.stranded());
        if (result == rc::kOk || result == rc::kUserDeclined) result = restored;
    }
    lastInstallResult = result;
    package.keepReplacedFile = nullptr;  // the record ends here
    // 17.
    os_.ui().setCursor(savedCursor);
    return result;
}

void TInstallerForm::reportStrandedCopies(const std::vector<std::string>& kept) {
    keptCopiesStranded = !kept.empty();
    std::string where;
    for (const std::string& path : kept) where += path + "\r\n";
    logMessage("the replaced screen saver or its settings could not be put back; kept: " + where);
    if (kept.empty() || activeMode == mode::kQuiet) return;
    os_.ui().messageBox(BoxKind::Error, BoxButtons::Ok, os_.system().loadString(kStrReplacedSaverKept) + where);
}

void TInstallerForm::setupFormForInstallation() {
    if (activeMode == mode::kQuiet) return;
    installBtn.setEnabled(false);
    cancelBtn.setVisible(true);
    os_.ui().processMessages();
    showStatus(os_.system().loadString(kStrInstallingSaver));
    os_.ui().processMessages();
}

void TInstallerForm::setupFormForInstallationComplete(Result result) {
    logEnterWith("setupFormForInstallationComplete", decimal(result));
    if (activeMode == mode::kQuiet) return;
    if (result == rc::kOk) progressBar.setPositionValue(progressBar.max());
    pauseBriefly();
    pauseBriefly();
    progressBar.setPositionValue(0);
    showStatus(completionStatusText(os_, result));
    switch (result) {
        case rc::kOk:
            doneBtn.setVisible(true);
            doneBtn.focus();
            installBtn.setVisible(false);
            cancelBtn.setVisible(false);
            os_.ui().processMessages();
            break;
        case oserr::kAccessDenied:
        case rc::kSaverNotReplaced:
            ssi::showInstallError(os_, result, decimal(result));
            break;
        default:
            break;
    }
    if (result == rc::kOk) installBtn.setEnabled(false);
}

void TInstallerForm::resetFormAfterAbort() {
    if (activeMode == mode::kQuiet) return;
    progressBar.setPositionValue(0);
    showStatus(std::string());
    cancelBtn.setEnabled(true);
    os_.ui().processMessages();
    installBtn.setEnabled(true);
}

Result TInstallerForm::installWithoutInstallerWindow() {
    const uint8_t savedMode = activeMode;
    activeMode = mode::kQuiet;  // the window, still off-screen, is left alone
    if (preparingWnd) {
        preparingWnd->setText(text());
        preparingWnd->setMessage(os_.system().loadString(kStrInstallingSaver));
    }
    const Result result = installScreenSaver();
    if (preparingWnd) preparingWnd->setMessage(preparingResultText(os_, result));
    activeMode = savedMode;
    return result;
}

void TInstallerForm::installQuietly() { exitCode = installScreenSaver(); }

void TInstallerForm::installBtnClick() {
    if (installing) return;
    installing = true;
    cancelRequested = false;
    const Result result = installScreenSaver();
    if (!cancelRequested && result == rc::kOk) askToOpenControlPanel();
    installing = false;
    // Also after a cancellation that left the result at 0.
    if (result == rc::kOk) closeAndTerminate();
}

}  // namespace ssi
