#include "app/fInstall.h"

#include "app/fPreparingInstallWnd.h"
#include "app/messages.h"
#include "app/strings.h"
#include "package/dataFunctions_shared.h"
#include "saver/KVR_StringUtils.h"
#include "saver/logFile.h"

namespace ssi {

namespace {
// Shown, untranslated, when the preview picture cannot be read.
constexpr const char* kCorruptFile = "CorruptFile: ";
}  // namespace

TInstallerForm::TInstallerForm(Os& os) : Form("InstallerForm"), pauseTimer(os, "pauseTimer", 100), os_(os) {
    // Created visible but off-screen; the initialisation decides where it goes.
    clientWidth = 370;
    clientHeight = 262;
    topMost = true;
    setBounds(kOffScreen, kOffScreen, clientWidth, clientHeight);

    moviePanel1.setBounds(10, 10, 350, 150);
    bmpPanel.setBounds(10, 10, 350, 150);
    bmpPanel.setVisible(false);
    licenseScrollBox.setBounds(10, 168, 350, 103);
    licenseScrollBox.setVisible(false);
    labCopying.setBounds(10, 170, 350, 16);
    labCopying.setVisible(false);
    progressBar.setBounds(10, 190, 350, 16);
    progressBar.setRange(0, 100);
    progressBar.setStep(1);
    installBtn.setBounds(194, 224, 80, 25);
    installBtn.setText(os.loadString(kStrInstall));
    cancelBtn.setBounds(280, 224, 80, 25);
    cancelBtn.setText(os.loadString(kStrCancel));
    doneBtn.setBounds(280, 224, 80, 25);
    doneBtn.setText(os.loadString(kStrClose));
    doneBtn.setVisible(false);
    for (Control* c : std::initializer_list<Control*>{&moviePanel1, &bmpPanel, &licenseScrollBox, &labCopying,
                                                       &progressBar, &installBtn, &cancelBtn, &doneBtn})
        add(*c);

    pauseTimer.onTimer = [this] { pauseTimerTimer(); };
    onShow = [this] { FormShow(); };
    // The close box ends the installer cleanly, but never in the middle of an
    // installation.
    onCloseQuery = [this] {
        if (installing) return false;
        closeInstaller();
        return true;
    };
}

TInstallerForm::~TInstallerForm() = default;

void TInstallerForm::FormCreate() {
    border = BorderStyle::Single;
    systemMenuOnly = true;
    initializeInstaller();
}

void TInstallerForm::FormShow() {
    if (preparingWnd) preparingWnd->setVisible(false);
}

void TInstallerForm::centreOnScreen() {
    setPosition(centredPosition(os_.screenWidth(), width()), centredPosition(os_.screenHeight(), height()));
}

// ---- initialisation ---------------------------------------------------------

void TInstallerForm::initializeInstaller() {
    const uintptr_t savedCursor = os_.cursor();
    os_.setCursor(os_.hourglassCursor());
    os_.processMessages();

    installing = false;
    cancelRequested = false;
    licenseShown = false;
    readMeIncluded = false;
    bool quiet = false;

    Result result = initInstallerPaths(os_, dirs);
    if (result == rc::kOk) {
        preparePaths();
        result = copyInstaller();
        if (result == rc::kOk) result = loadPackageHeader();
    }
    if (result == rc::kOk) {
        activeMode = header.installerMode;
        for (const std::string& parameter : os_.commandLineParameters()) {
            logMessage("command line parameter:" + parameter);
            if (lowerCase(parameter) == "/q") activeMode = kQuietMode;
        }
        quiet = activeMode == kQuietMode;
        if (preparingWnd) {
            if (quiet)
                preparingWnd->moveOffScreen();
            else
                preparingWnd->centreOnScreen();
        }
    }
    if (result == rc::kOk) deriveInstallPaths();
    if (result == rc::kOk) {
        readMeIncluded = header.showReadMe != 0;
        if (readMeIncluded) result = extractReadMe();
    }
    // The Flash Player policy and the licence set-up join here once player
    // detection and the window layout exist.
    if (result == rc::kOk && !quiet) {
        setText(installerCaption(os_, saverName));
        os_.setApplicationTitle(text());
    }
    if (result == rc::kOk && header.installerMode != kQuietMode) result = extractPreview();
    if (result == rc::kOk && !quiet) showPicturePreview();
    if (result == rc::kOk && !quiet) {
        if (preparingWnd) preparingWnd->moveOffScreen();
        progressBar.setRange(progressBar.min(), 10);
        centreOnScreen();
    }
    os_.setCursor(savedCursor);

    if (result != rc::kOk) {
        showInitFailure(os_, result);
        closeInstaller();
    } else if (quiet) {
        // Quiet installation arrives with the installation sequence.
        closeInstaller();
    }
}

void TInstallerForm::showPicturePreview() {
    if (activeMode != 1 && activeMode != 8) return;
    moviePanel1.setVisible(false);
    // The file carries the extension that extractPreview gave it: ".BMP" is
    // read as a Windows bitmap, ".jpg" as a JPEG image.
    const std::string picture = dirs.scratchDir + header.entries[3].name();
    if (!os_.loadPicture(bmpPanel, picture))
        os_.messageBox(BoxKind::Error, BoxButtons::Abort, kCorruptFile);
    bmpPanel.setVisible(true);
}

void TInstallerForm::closeInstaller() {
    if (!dirs.scratchDir.empty()) deleteDirTree(os_, dirs.scratchDir);
    setVisible(false);
    os_.terminate();
}

// ---- status line, progress, pauses -----------------------------------------

void TInstallerForm::showStatus(const std::string& text) {
    if (activeMode == kQuietMode) return;
    labCopying.setVisible(true);
    labCopying.setText(text);
    labCopying.repaint();
}

void TInstallerForm::stepProgress() {
    if (activeMode == kQuietMode) return;
    progressBar.stepIt();
    pauseBriefly();
}

void TInstallerForm::pauseBriefly() {
    // Not a sleep: window messages keep being handled, one at a time, until
    // the next tick has disabled the timer, so paints and clicks (Cancel
    // included, which may pause again inside) are served meanwhile.
    pauseTimer.setEnabled(true);
    while (pauseTimer.enabled()) os_.handleMessage();
    os_.bringApplicationToFront();
}

void TInstallerForm::pauseTimerTimer() { pauseTimer.setEnabled(false); }

}  // namespace ssi
