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

namespace {

// One run of the installation chain: the window it reports through, and
// what its steps hand on to each other.
class InstallationRun {
public:
    explicit InstallationRun(TInstallerForm& form)
        : form_(form),
          os_(form.os()),
          package_(form.package),
          saverFile_(form.package.entry(slot::kSaver).name()),
          quiet_(form.activeMode == mode::kQuiet) {}
    [[nodiscard]] Result run();

private:
    struct Step {
        int number;
        Result (InstallationRun::*run)();
    };

    void begin();                   // 1, 2
    void prepareTarget();           // 4
    [[nodiscard]] Result extractEntries();        // 5
    [[nodiscard]] Result readRecord();            // 6
    [[nodiscard]] Result expandData();            // 7
    [[nodiscard]] Result writeRecord();           // 8
    [[nodiscard]] Result activate();              // 9
    [[nodiscard]] Result copyDocuments();         // 10
    [[nodiscard]] Result openReadMe();            // 11
    [[nodiscard]] Result registerForUninstall();  // 12
    void deleteScratchDataFile();   // 13
    void finish();                  // 16
    void settleReplacedSaver();
    void cleanUp();

    bool running() const { return result_ == rc::kOk && !form_.cancelRequested; }

    TInstallerForm& form_;
    Os& os_;
    InstallerPackage& package_;
    ReplacedSaver replaced_;  // an older copy, kept aside until the end
    const std::string saverFile_;
    const bool quiet_;
    uintptr_t savedCursor_ = 0;
    Result result_ = rc::kOk;
    Result activation_ = rc::kOk;  // kept apart: the chain goes on when the activation fails
    Result restored_ = rc::kOk;    // what putting the older copy back gave
    // Whether the target was prepared: a failed preparation has put the old
    // copies back itself, and nothing new is in place to remove.
    bool prepared_ = false;
    bool cleanedUp_ = false;
};

Result InstallationRun::run() {
    // Steps 5 to 12 run only while the result is 0 and the user has not cancelled.
    static constexpr Step kChain[] = {
        {5, &InstallationRun::extractEntries}, {6, &InstallationRun::readRecord},
        {7, &InstallationRun::expandData},     {8, &InstallationRun::writeRecord},
        {9, &InstallationRun::activate},       {10, &InstallationRun::copyDocuments},
        {11, &InstallationRun::openReadMe},    {12, &InstallationRun::registerForUninstall},
    };
    begin();
    if (!form_.cancelRequested) closeDisplayProperties(os_);  // 3
    if (!form_.cancelRequested) prepareTarget();
    // A system file that a slot replaces is kept aside as the screen saver is.
    package_.keepReplacedFile = [this](const std::string& path) { return replaced_.keepFile(os_, path); };
    for (const Step& step : kChain)
        if (running()) result_ = (this->*step.run)();
    deleteScratchDataFile();
    // 14.
    if (result_ != rc::kOk && result_ != rc::kUserDeclined && prepared_) cleanUp();
    // 15. The installed files stay when only the activation failed; a later
    // failure, which caused the clean-up, is the one reported.
    if (!form_.cancelRequested && activation_ != rc::kOk && result_ == rc::kOk) result_ = activation_;
    // A failed preparation has put back what it could (before anything
    // waits on the user); this tells whether everything went.
    if (!prepared_) restored_ = replaced_.restore(os_);
    finish();
    settleReplacedSaver();
    form_.lastInstallResult = result_;
    package_.keepReplacedFile = nullptr;  // the record ends here
    os_.ui().setCursor(savedCursor_);     // 17
    return result_;
}

void InstallationRun::begin() {
    savedCursor_ = os_.ui().cursor();
    os_.ui().setCursor(os_.ui().hourglassCursor());
    form_.setupFormForInstallation();
}

void InstallationRun::prepareTarget() {
    const std::string question = quiet_ ? std::string() : os_.system().loadString(kStrAlreadyExistsOverwrite);
    result_ = prepareSaverTarget(os_, package_.dirs, package_.saverName, !quiet_, question, replaced_, form_);
    if (result_ == rc::kUserDeclined) form_.cancelRequested = true;
    prepared_ = result_ == rc::kOk;
    if (form_.preparingWnd) form_.preparingWnd->repaint();
}

Result InstallationRun::extractEntries() {
    return extractInstallEntries(os_, package_, package_.installerCopyPath, form_.readMeIncluded, form_);
}

Result InstallationRun::readRecord() {
    return readSaverRecord(os_, package_, form_.saverData, form_);
}

Result InstallationRun::expandData() {
    return expandDataFile(os_, package_, form_.saverData, form_);
}

Result InstallationRun::writeRecord() {
    return writeSaverRecord(os_, package_, form_.saverData, form_);
}

Result InstallationRun::activate() {
    activation_ = activateScreenSaver(os_, package_.dirs.systemDir, saverFile_);
    return rc::kOk;
}

Result InstallationRun::copyDocuments() {
    const DocumentFiles docs{package_.dirs.scratchDir, package_.installDir,
                             package_.entry(slot::kLicense).name(), package_.entry(slot::kReadMe).name()};
    return copyDocumentFiles(os_, docs, form_.licenseShown, form_.readMeIncluded);
}

Result InstallationRun::openReadMe() {
    ssi::openReadMe(os_, package_.header.showReadMe != 0, package_.installDir,
                    package_.entry(slot::kReadMe).name());
    return rc::kOk;
}

// A missing entry does not fail the installation.
Result InstallationRun::registerForUninstall() {
    ignoreResult(writeUninstallEntry(os_, package_.dirs.systemDir, package_.saverName),
                 "the screen saver works without its uninstall entry");
    return rc::kOk;
}

// In every case.
void InstallationRun::deleteScratchDataFile() {
    ignoreResult(deleteFileForced(os_, package_.dataFilePath),
                 "it goes with the scratch folder at the latest");
}

void InstallationRun::finish() {
    if (!form_.cancelRequested) {
        form_.setupFormForInstallationComplete(result_);
        return;
    }
    form_.showStatus(os_.system().loadString(kStrCleaningUp));
    if (result_ != rc::kUserDeclined && prepared_) cleanUp();
    form_.resetFormAfterAbort();
}

// The older copy is let go once the new one stays; what could not go back
// stays kept beside its place and is reported.
void InstallationRun::settleReplacedSaver() {
    if (prepared_ && !cleanedUp_) {
        if (Result e = replaced_.discard(os_))
            logMessage("kept copies stay beside the new screen saver: " + decimal(e));
    }
    if (restored_ != rc::kOk) {
        form_.reportStrandedCopies(replaced_.stranded());
        if (result_ == rc::kOk || result_ == rc::kUserDeclined) result_ = restored_;
    }
}

// The new files go, and the old screen saver comes back at once, before
// anything waits on the user.
// Once only: a Cancel met by a failing step reaches here twice, and the
// second pass would delete the old screen saver the first put back.
void InstallationRun::cleanUp() {
    if (cleanedUp_) return;
    cleanUpInstalledFiles(os_, package_.installDir, package_.dirs.systemDir, saverFile_, package_.saverName);
    restored_ = replaced_.restore(os_);
    cleanedUp_ = true;
}

}  // namespace

Result TInstallerForm::installScreenSaver() {
    return InstallationRun(*this).run();
}

void TInstallerForm::reportStrandedCopies(const std::vector<std::string>& kept) {
    keptCopiesStranded = !kept.empty();
    std::string where;
    for (const std::string& path : kept) where += path + "\r\n";
    logMessage("the replaced screen saver or its settings could not be put back; kept: " + where);
    if (kept.empty() || activeMode == mode::kQuiet) return;
    showBox(BoxKind::Error, BoxButtons::Ok, os_.system().loadString(kStrReplacedSaverKept) + where);
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
