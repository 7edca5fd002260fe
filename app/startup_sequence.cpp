// The installer's initialisation: it runs once, inside the installer
// window's creation. Its steps, in this order:
//   1  hourglass                      12  the player decision
//   2  reset of the installer state   13  the carried player installer
//   3  directories, scratch folder    14  caption and application title
//   4  installer copy, header         15  the licence set-up
//   5  mode and command line          16  the preview's extraction
//   6  install paths                  17  the preview (picture or movie)
//   7  the read-me                    18  the window centred and shown
//   8  the installed player           19  the quiet installation
//   9  the player the package needs   20  the cursor back
//  10  the system can take it         21  the ending
//  11  the player installer's extraction
// Steps 3 to 19 run from one table, each only while the result is 0 and
// only in the kind of run (shown or quiet) it belongs to; the first failure
// skips the rest and leads to the error ending.
#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "core/trace.h"
#include "core/strings.h"
#include "flash/player_detection.h"
#include "package/codec_library.h"
#include "platform/messages.h"
#include "saver/saver_activation.h"

namespace ssi {

namespace {
// Shown, untranslated, when the preview picture cannot be read.
constexpr const char* kCorruptFile = "CorruptFile: ";
constexpr int kProgressSteps = 10;

// One run of the initialisation: the window it prepares, and what its steps
// hand on to each other.
class StartupSequence {
public:
    explicit StartupSequence(TInstallerForm& form) : form_(form), os_(form.os()), package_(form.package) {}
    void run();

private:
    // Which kind of run a step belongs to: every run, one that shows the
    // installer window, or a quiet one.
    enum class Runs { Always, Shown, Quiet };
    struct Step {
        int number;
        Runs runs;
        Result (StartupSequence::*run)();
    };

    void showHourglass();                 // 1
    void resetState();                    // 2
    [[nodiscard]] Result makeDirectories();             // 3
    [[nodiscard]] Result copyInstallerAndReadHeader();  // 4
    [[nodiscard]] Result takeModeFromCommandLine();     // 5
    [[nodiscard]] Result formInstallPaths();            // 6
    [[nodiscard]] Result extractReadMe();               // 7
    [[nodiscard]] Result detectInstalledPlayer();       // 8
    [[nodiscard]] Result lookUpRequiredPlayer();        // 9
    [[nodiscard]] Result checkSystemCanTakePlayer();    // 10
    [[nodiscard]] Result extractPlayerInstaller();      // 11
    [[nodiscard]] Result decidePlayerUpdate();          // 12
    [[nodiscard]] Result runPlayerInstaller();          // 13
    [[nodiscard]] Result setCaptionAndTitle();          // 14
    [[nodiscard]] Result setUpLicence();                // 15
    [[nodiscard]] Result extractPreview();              // 16
    [[nodiscard]] Result showPreview();                 // 17
    [[nodiscard]] Result showInstallerWindow();         // 18
    [[nodiscard]] Result installQuietly();              // 19
    void end(Result result);              // 21

    bool belongs(Runs runs) const { return runs == Runs::Always || (runs == Runs::Quiet) == quiet_; }
    const PackageHeader& header() const { return package_.header; }

    TInstallerForm& form_;
    Os& os_;
    InstallerPackage& package_;
    uintptr_t savedCursor_ = 0;
    bool quiet_ = false;
    bool quietByCommandLine_ = false;
    bool installedWithoutWindow_ = false;
    InstalledFlashVersion installedFlash_;
};

void StartupSequence::run() {
    static constexpr Step kSteps[] = {
        {3, Runs::Always, &StartupSequence::makeDirectories},
        {4, Runs::Always, &StartupSequence::copyInstallerAndReadHeader},
        {5, Runs::Always, &StartupSequence::takeModeFromCommandLine},
        {6, Runs::Always, &StartupSequence::formInstallPaths},
        {7, Runs::Always, &StartupSequence::extractReadMe},
        {8, Runs::Always, &StartupSequence::detectInstalledPlayer},
        {9, Runs::Always, &StartupSequence::lookUpRequiredPlayer},
        {10, Runs::Always, &StartupSequence::checkSystemCanTakePlayer},
        {11, Runs::Always, &StartupSequence::extractPlayerInstaller},
        {12, Runs::Always, &StartupSequence::decidePlayerUpdate},
        {13, Runs::Always, &StartupSequence::runPlayerInstaller},
        {14, Runs::Shown, &StartupSequence::setCaptionAndTitle},
        {15, Runs::Shown, &StartupSequence::setUpLicence},
        {16, Runs::Always, &StartupSequence::extractPreview},
        {17, Runs::Shown, &StartupSequence::showPreview},
        {18, Runs::Shown, &StartupSequence::showInstallerWindow},
        {19, Runs::Quiet, &StartupSequence::installQuietly},
    };
    showHourglass();
    resetState();
    Result result = rc::kOk;
    for (const Step& step : kSteps) {
        if (!belongs(step.runs)) continue;
        result = (this->*step.run)();
        if (result != rc::kOk) break;
    }
    os_.ui().setCursor(savedCursor_);  // 20
    end(result);
}

void StartupSequence::showHourglass() {
    savedCursor_ = os_.ui().cursor();
    os_.ui().setCursor(os_.ui().hourglassCursor());
    os_.ui().processMessages();
}

void StartupSequence::resetState() {
    form_.installing = false;
    form_.cancelRequested = false;
    form_.licenseShown = false;
    form_.readMeIncluded = false;
    form_.flashUpdateNeeded = false;
    form_.oldFlashFilesLocked = false;
    // "/q" from the command line: nobody is there to answer a box, from the
    // first step on; what a box would say goes to the log.
    quietByCommandLine_ = quietByCommandLine(os_);
    os_.ui().setUnattended(quietByCommandLine_);
}

Result StartupSequence::makeDirectories() {
    return initInstallerPaths(os_, package_.dirs);
}

Result StartupSequence::copyInstallerAndReadHeader() {
    preparePaths(os_, package_);
    if (Result e = copyInstaller(os_, package_, form_)) return e;
    if (Result e = form_.holdStagedFile(package_.installerCopyPath)) return e;
    if (Result e = loadPackageHeader(os_, package_, form_)) return e;
    return form_.holdStagedFile(package_.dirs.scratchDir + codec::kLibraryFileName);
}

// Every parameter is looked at; "/q" in any case makes it quiet, as does a
// package made for quiet installation.
Result StartupSequence::takeModeFromCommandLine() {
    form_.activeMode = header().installerMode;
    for (const std::string& parameter : os_.system().commandLineParameters())
        logMessage("command line parameter:" + parameter);
    if (quietByCommandLine(os_)) {
        form_.activeMode = mode::kQuiet;
        quietByCommandLine_ = true;
    }
    quiet_ = form_.activeMode == mode::kQuiet;
    if (form_.preparingWnd) {
        if (quiet_)
            form_.preparingWnd->moveOffScreen();
        else
            form_.preparingWnd->centreOnScreen();
    }
    return rc::kOk;
}

Result StartupSequence::formInstallPaths() {
    deriveInstallPaths(os_, package_);
    return rc::kOk;
}

Result StartupSequence::extractReadMe() {
    form_.readMeIncluded = header().showReadMe != 0;
    return form_.readMeIncluded ? ssi::extractReadMe(os_, package_, form_) : rc::kOk;
}

Result StartupSequence::detectInstalledPlayer() {
    installedFlash_ = getInstalledFlashVersion(os_, *form_.moviePanel1.versionCache);
    installedFlash_.found = installedFlash_.major > 0;
    return rc::kOk;
}

// The header's index was checked when it was read; an index it does not know
// is a corrupt package all the same.
Result StartupSequence::lookUpRequiredPlayer() {
    RequiredFlashVersion required;
    if (!requiredFlashVersion(header().flashVersionIndex, required)) return rc::kCorruptPackage;
    form_.requiredFlashMajor = required.major;
    form_.requiredFlashRevision = required.revision;
    return rc::kOk;
}

// Whether or not a player is needed.
Result StartupSequence::checkSystemCanTakePlayer() {
    return verifyFlashAXInstallerCanRunOnThisMachine(os_, form_.requiredFlashMajor);
}

Result StartupSequence::extractPlayerInstaller() {
    if (!header().carriesFlashInstaller) return rc::kOk;
    logMessage("carrying Flash PlugIn = true");
    if (Result e = extractFlashInstaller(os_, package_, form_)) return e;
    return form_.holdStagedFile(package_.dirs.scratchDir + package_.entry(slot::kFlashInstaller).name());
}

// An update the package cannot make leaves the installed player alone.
Result StartupSequence::decidePlayerUpdate() {
    const FlashPolicy policy =
        decideFlashUpdate(installedFlash_, {form_.requiredFlashMajor, form_.requiredFlashRevision},
                          header().carriesFlashInstaller != 0);
    form_.flashUpdateKind = uint8_t(policy.kind);
    form_.flashUpdateNeeded = policy.kind != FlashUpdateKind::none;
    switch (policy.kind) {
        case FlashUpdateKind::majorUpdate:
            logMessage("==== major version update ====");
            break;
        case FlashUpdateKind::minorUpdate:
            logMessage("==== minor version update ====");
            break;
        case FlashUpdateKind::cleanInstall:
            logMessage("==== do clean install ====");
            break;
        case FlashUpdateKind::none:
            break;
    }
    if (policy.removeOldFiles())
        form_.oldFlashFilesLocked = removeOldFlashControlFiles(os_, package_.dirs.systemDir);
    if (policy.result != rc::kOk && !form_.flashUpdateNeeded)
        logMessage("==== tell user to download and install player ====");
    return policy.result;
}

Result StartupSequence::runPlayerInstaller() {
    if (!form_.flashUpdateNeeded) return rc::kOk;
    if (!header().carriesFlashInstaller || form_.oldFlashFilesLocked) return rc::kFlashNotInstallable;
    ignoreResult(runFlashInstaller(os_, *form_.moviePanel1.versionCache, package_.dirs.scratchDir,
                                   package_.entry(slot::kFlashInstaller).name(), form_.handle),
                 "the player is looked at again when the movie is played");
    return rc::kOk;
}

Result StartupSequence::setCaptionAndTitle() {
    form_.setWindowCaption(package_.saverName);
    os_.ui().setApplicationTitle(form_.text());
    return rc::kOk;
}

// The layout follows whether the licence could be extracted.
Result StartupSequence::setUpLicence() {
    form_.licenseShown = header().showLicense != 0;
    Result result = rc::kOk;
    if (form_.licenseShown) {
        result = extractLicense(os_, package_, form_);
        if (result == rc::kOk)
            ignoreResult(
                form_.loadLicenseLines(package_.dirs.scratchDir + package_.entry(slot::kLicense).name()),
                "the file was extracted just now; an unreadable one leaves the box empty");
    }
    form_.setUpLicenseLayout(form_.licenseShown && result == rc::kOk);
    return result;
}

// By the header's mode, not the mode in force: "/q" alone still extracts it.
Result StartupSequence::extractPreview() {
    return header().installerMode == mode::kQuiet ? rc::kOk : ssi::extractPreview(os_, package_, form_);
}

Result StartupSequence::showPreview() {
    if (mode::isPicture(form_.activeMode)) {
        form_.showPicturePreview();
    } else if (mode::isMovie(form_.activeMode)) {
        if (form_.moviePanel1.playMovie(package_.dirs.scratchDir + package_.entry(slot::kPreview).name()) ==
            rc::kOk) {
            os_.ui().bringApplicationToFront();
            os_.ui().processMessages();
            if (os_.ui().applicationActive()) form_.moviePanel1.focusMovie();
        } else {
            // The preview cannot be shown: the installation runs at once,
            // with only the preparing window on screen.
            const Result result = form_.installWithoutInstallerWindow();
            installedWithoutWindow_ = true;
            os_.ui().processMessages();
            return result;
        }
    }
    return rc::kOk;
}

Result StartupSequence::showInstallerWindow() {
    if (installedWithoutWindow_) return rc::kOk;
    if (form_.preparingWnd) form_.preparingWnd->moveOffScreen();
    form_.progressBar.setRange(form_.progressBar.min(), kProgressSteps);
    form_.sizeWindow();
    form_.centreOnScreen();
    return rc::kOk;
}

// The initialisation's own result stays 0 whatever the installation gives.
Result StartupSequence::installQuietly() {
    form_.installQuietly();
    return rc::kOk;
}

void StartupSequence::end(Result result) {
    if (result != rc::kOk) {
        showInitFailure(os_, result);
        // A quiet run ends with the failure's code, so that the script that
        // started it sees that nothing was installed (the switch is known
        // even when the header could not be read).
        if (quiet_ || quietByCommandLine_) form_.exitCode = result;
        form_.closeAndTerminate();
    } else if (installedWithoutWindow_) {
        form_.askToOpenControlPanel();
        form_.closeAndTerminate();
    } else if (quiet_) {
        // Only after an installation that succeeded.
        if (!quietByCommandLine_ && form_.exitCode == rc::kOk)
            openDisplayControlPanel(os_, header().offerDisplayPanel != 0, package_.dirs.systemDir);
        form_.closeAndTerminate();
    }
}

}  // namespace

void TInstallerForm::initializeInstaller() { StartupSequence(*this).run(); }

Result TInstallerForm::holdStagedFile(const std::string& path) {
    if (!fileExists(os_, path)) return rc::kOk;
    std::unique_ptr<File> held;
    if (Result error = os_.files().openFile(path, FileAccess::ReadDenyWrite, held)) {
        showInstallError(error, path);
        return error;
    }
    stagedFiles.push_back(std::move(held));
    return rc::kOk;
}

void TInstallerForm::showPicturePreview() {
    moviePanel1.setVisible(false);
    // The file carries the extension that extractPreview gave it: ".BMP" is
    // read as a Windows bitmap, ".jpg" as a JPEG image.
    const std::string picture = package.dirs.scratchDir + package.entry(slot::kPreview).name();
    if (os_.ui().loadPicture(bmpPanel, picture) != rc::kOk)
        showBox(BoxKind::Error, BoxButtons::Abort, kCorruptFile);
    bmpPanel.setVisible(true);
    bmpPanel.bringToFront();
}

}  // namespace ssi
