// The installer's initialisation: it runs once, inside the installer
// window's creation, in this order (each step only while the result is 0):
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
#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "core/trace.h"
#include "core/strings.h"
#include "flash/player_detection.h"
#include "platform/messages.h"
#include "saver/saver_activation.h"

namespace ssi {

namespace {
// Shown, untranslated, when the preview picture cannot be read.
constexpr const char* kCorruptFile = "CorruptFile: ";
constexpr const char* kQuietSwitch = "/q";
constexpr int kProgressSteps = 10;
}  // namespace

void TInstallerForm::initializeInstaller() {
    // 1.
    const uintptr_t savedCursor = os_.ui().cursor();
    os_.ui().setCursor(os_.ui().hourglassCursor());
    os_.ui().processMessages();

    // 2.
    installing = false;
    cancelRequested = false;
    licenseShown = false;
    readMeIncluded = false;
    flashUpdateNeeded = false;
    oldFlashFilesLocked = false;
    bool quiet = false, quietByCommandLine = false, installedWithoutWindow = false;
    InstalledFlashVersion installedFlash;

    // 3, 4.
    Result result = initInstallerPaths(os_, package.dirs);
    if (result == rc::kOk) {
        preparePaths(os_, package);
        result = copyInstaller(os_, package, *this);
        if (result == rc::kOk) result = loadPackageHeader(os_, package, *this);
    }
    const PackageHeader& header = package.header;

    // 5. Every parameter is looked at; "/q" in any case makes it quiet.
    if (result == rc::kOk) {
        activeMode = header.installerMode;
        for (const std::string& parameter : os_.system().commandLineParameters()) {
            logMessage("command line parameter:" + parameter);
            if (lowerCase(parameter) == kQuietSwitch) {
                activeMode = mode::kQuiet;
                quietByCommandLine = true;
            }
        }
        quiet = activeMode == mode::kQuiet;
        if (preparingWnd) {
            if (quiet)
                preparingWnd->moveOffScreen();
            else
                preparingWnd->centreOnScreen();
        }
    }
    // 6, 7.
    if (result == rc::kOk) deriveInstallPaths(os_, package);
    if (result == rc::kOk) {
        readMeIncluded = header.showReadMe != 0;
        if (readMeIncluded) result = extractReadMe(os_, package, *this);
    }
    // 8.
    if (result == rc::kOk) {
        installedFlash = getInstalledFlashVersion(os_, *moviePanel1.versionCache);
        installedFlash.found = installedFlash.major > 0;
    }
    // 9. The header's index was checked when it was read.
    if (result == rc::kOk) {
        RequiredFlashVersion required;
        requiredFlashVersion(header.flashVersionIndex, required);
        requiredFlashMajor = required.major;
        requiredFlashRevision = required.revision;
    }
    // 10. Whether or not a player is needed.
    if (result == rc::kOk) result = verifyFlashAXInstallerCanRunOnThisMachine(os_, requiredFlashMajor);
    // 11.
    if (result == rc::kOk && header.carriesFlashInstaller) {
        logMessage("carrying Flash PlugIn = true");
        result = extractFlashInstaller(os_, package, *this);
    }
    // 12. An update the package cannot make leaves the installed player alone.
    if (result == rc::kOk) {
        const FlashPolicy policy = decideFlashUpdate(installedFlash, {requiredFlashMajor, requiredFlashRevision},
                                                     header.carriesFlashInstaller != 0);
        flashUpdateKind = uint8_t(policy.kind);
        flashUpdateNeeded = policy.kind != FlashUpdateKind::none;
        switch (policy.kind) {
            case FlashUpdateKind::majorUpdate: logMessage("==== major version update ===="); break;
            case FlashUpdateKind::minorUpdate: logMessage("==== minor version update ===="); break;
            case FlashUpdateKind::cleanInstall: logMessage("==== do clean install ===="); break;
            case FlashUpdateKind::none: break;
        }
        if (policy.removeOldFiles()) oldFlashFilesLocked = removeOldFlashControlFiles(os_, package.dirs.systemDir);
        if (policy.result != rc::kOk) {
            if (!flashUpdateNeeded) logMessage("==== tell user to download and install player ====");
            result = policy.result;
        }
    }
    // 13. Its own result does not matter: the player is looked at again later.
    if (result == rc::kOk && flashUpdateNeeded) {
        if (header.carriesFlashInstaller && !oldFlashFilesLocked)
            runFlashInstaller(os_, *moviePanel1.versionCache, package.dirs.scratchDir,
                              package.entry(slot::kFlashInstaller).name(), handle);
        else
            result = rc::kFlashNotInstallable;
    }
    // 14.
    if (result == rc::kOk && !quiet) {
        setWindowCaption(package.saverName);
        os_.ui().setApplicationTitle(text());
    }
    // 15.
    if (result == rc::kOk && !quiet) {
        licenseShown = header.showLicense != 0;
        if (licenseShown) {
            result = extractLicense(os_, package, *this);
            if (result == rc::kOk) loadLicenseLines(package.dirs.scratchDir + package.entry(slot::kLicense).name());
        }
        setUpLicenseLayout(licenseShown && result == rc::kOk);
    }
    // 16. By the header's mode: "/q" alone still extracts the preview.
    if (result == rc::kOk && header.installerMode != mode::kQuiet) result = extractPreview(os_, package, *this);
    // 17.
    if (result == rc::kOk && !quiet) {
        if (mode::isPicture(activeMode)) {
            showPicturePreview();
        } else if (mode::isMovie(activeMode)) {
            if (moviePanel1.playMovie(package.dirs.scratchDir + package.entry(slot::kPreview).name()) == rc::kOk) {
                os_.ui().bringApplicationToFront();
                os_.ui().processMessages();
                if (os_.ui().applicationActive()) moviePanel1.focusMovie();
            } else {
                // The preview cannot be shown: the installation runs at once,
                // with only the preparing window on screen.
                result = installWithoutInstallerWindow();
                installedWithoutWindow = true;
                os_.ui().processMessages();
            }
        }
    }
    // 18.
    if (result == rc::kOk && !quiet && !installedWithoutWindow) {
        if (preparingWnd) preparingWnd->moveOffScreen();
        progressBar.setRange(progressBar.min(), kProgressSteps);
        sizeWindow();
        centreOnScreen();
    }
    // 19. The initialisation's own result stays 0 whatever the installation gives.
    if (result == rc::kOk && quiet) installQuietly();
    // 20.
    os_.ui().setCursor(savedCursor);

    // 21.
    if (result != rc::kOk) {
        // A quiet run that could not start tells its caller too (the switch
        // is known even when the header could not be read).
        bool quietSwitch = quiet;
        for (const std::string& parameter : os_.system().commandLineParameters())
            quietSwitch = quietSwitch || lowerCase(parameter) == kQuietSwitch;
        if (quietSwitch) exitCode = result;
        showInitFailure(os_, result);
        closeAndTerminate();
    } else if (installedWithoutWindow) {
        askToOpenControlPanel();
        closeAndTerminate();
    } else if (quiet) {
        // Only after an installation that succeeded.
        if (!quietByCommandLine && exitCode == rc::kOk)
            openDisplayControlPanel(os_, header.offerDisplayPanel != 0, package.dirs.systemDir);
        closeAndTerminate();
    }
}

void TInstallerForm::showPicturePreview() {
    moviePanel1.setVisible(false);
    // The file carries the extension that extractPreview gave it: ".BMP" is
    // read as a Windows bitmap, ".jpg" as a JPEG image.
    const std::string picture = package.dirs.scratchDir + package.entry(slot::kPreview).name();
    if (os_.ui().loadPicture(bmpPanel, picture) != rc::kOk)
        os_.ui().messageBox(BoxKind::Error, BoxButtons::Abort, kCorruptFile);
    bmpPanel.setVisible(true);
    bmpPanel.bringToFront();
}

}  // namespace ssi
