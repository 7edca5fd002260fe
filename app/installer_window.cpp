#include "app/installer_window.h"

#include "app/preparing_window.h"
#include "core/names.h"
#include "core/trace.h"
#include "core/strings.h"
#include "platform/messages.h"
#include "saver/saver_names.h"
#include "saver/saver_activation.h"

namespace ssi {

bool quietByCommandLine(Os& os) {
    for (const std::string& parameter : os.system().commandLineParameters())
        if (lowerCase(parameter) == "/q") return true;
    return false;
}

namespace {

// The layout's fixed numbers.
constexpr int kDesignClientWidth = 344, kDesignClientHeight = 343;
constexpr int kWindowWidth = 359;
constexpr int kButtonRowHeight = 63;
constexpr int kLicenseGapAbove = 2, kLicenseGapBelow = 4;
constexpr int kLicenseMinWidth = 359, kLicenseMinHeightOfWindow = 340;
constexpr int kLicenseMinHeight = 103;
constexpr int kInstallWidth = 80, kAcceptWidth = 115;
constexpr int kInstallGap = 6;
// A licence is a short text: more than this is not shown (a file that is
// not text must not stall the window).
constexpr uint32_t kLicenseMaxBytes = 1024 * 1024;
}  // namespace

TInstallerForm::TInstallerForm(Os& os)
    : Form("InstallerForm"),
      moviePanel1(os, "moviePanel1"),
      pauseTimer(os.ui(), "pauseTimer", 100),
      os_(os) {
    // As designed: 352 x 370 outside, 344 x 343 inside, created visible but
    // off-screen (the initialisation decides where it goes), always on top,
    // the close box its only border icon.
    setClientSize(kDesignClientWidth, kDesignClientHeight);
    setPosition(kOffScreen, kOffScreen);
    setTopMost(true);
    setSystemMenuOnly(true);
    setColor(color::kBtnFace);

    layOutContent();
    layOutButtons();
    licenseScrollBox.setBounds(-8, 150, 350, 105);
    licenseScrollBox.minHeight = kLicenseMinHeight;
    licenseScrollBox.readOnly = true;
    licenseScrollBox.verticalScrollBar = true;
    licenseScrollBox.tabOrder = 2;

    add(contentPanel);
    add(buttonPanel);
    add(licenseScrollBox);

    connectEvents();
}

TInstallerForm::~TInstallerForm() { os_.ui().setMessageFilter(nullptr); }

void TInstallerForm::layOutContent() {
    contentPanel.setBounds(0, -1, 352, 152);
    contentPanel.anchors = anchor::kLeft | anchor::kTop | anchor::kRight;
    contentPanel.setBevelOuter(Bevel::Lowered);
    contentPanel.tabOrder = 0;
    bmpPanel.setBounds(1, 1, 350, 150);
    bmpPanel.centred = true;
    bmpPanel.stretched = true;
    moviePanel1.setBounds(1, 1, 350, 150);
    moviePanel1.tabOrder = 0;
    contentPanel.add(bmpPanel);
    contentPanel.add(moviePanel1);
}

void TInstallerForm::layOutButtons() {
    buttonPanel.setBounds(-8, 279, 350, kButtonRowHeight);
    buttonPanel.tabOrder = 1;
    labFile.setBounds(-1, 2, 190, 18);
    labFile.setVisible(false);
    labCopying.setBounds(2, 3, 360, 13);
    labCopying.setVisible(false);
    labCopying.setText("Die Installation und das Setup des Bildschirmschoners wurden erfolgreich abgeschlossen.");
    installbutn.setBounds(24, 40, 3, 13);
    installbutn.setEnabled(false);
    installbutn.setVisible(false);
    progressBar.setBounds(1, 20, 347, 11);
    progressBar.anchors = anchor::kLeft | anchor::kTop | anchor::kRight;
    progressBar.setRange(0, 100);
    progressBar.setStep(1);
    progressBar.tabOrder = 0;
    installBtn.setBounds(182, 36, kInstallWidth, 25);
    installBtn.anchors = anchor::kTop | anchor::kRight;
    installBtn.setText("&Install");
    installBtn.tabOrder = 1;
    doneBtn.setBounds(268, 36, 80, 25);
    doneBtn.anchors = anchor::kTop | anchor::kRight;
    doneBtn.setVisible(false);
    doneBtn.tabOrder = 2;
    cancelBtn.setBounds(268, 36, 80, 25);
    cancelBtn.anchors = anchor::kTop | anchor::kRight;
    cancelBtn.setText("Cancel");
    cancelBtn.tabOrder = 3;
    for (Control* c : std::initializer_list<Control*>{&labFile, &labCopying, &installbutn, &progressBar, &installBtn,
                                                       &doneBtn, &cancelBtn})
        buttonPanel.add(*c);
}

void TInstallerForm::connectEvents() {
    pauseTimer.onTimer = [this] { pauseTimerTimer(); };
    onShow = [this] { FormShow(); };
    onResize = [this] { FormResize(); };
    os_.ui().setMessageFilter(&TInstallerForm::ApplicationEvents1Message);
    installBtn.onClick = [this] { installBtnClick(); };
    cancelBtn.onClick = [this] { cancelBtnClick(); };
    doneBtn.onClick = [this] { doneBtnClick(); };
    // The close box: refused during an installation; otherwise the window
    // closes and, being the main window, ends the application.
    onCloseQuery = [this] {
        if (!FormCloseQuery()) return false;
        FormClose();
        os_.ui().terminate();
        return true;
    };
}

bool TInstallerForm::ApplicationEvents1Message(InputEvent event) {
    return event == InputEvent::RightButtonDown;
}

void TInstallerForm::FormCreate() {
    setBorder(BorderStyle::Single);
    setSystemMenuOnly(true);
    initializeInstaller();
}

void TInstallerForm::FormShow() {
    if (preparingWnd) preparingWnd->setVisible(false);
}

void TInstallerForm::centreOnScreen() {
    setPosition(centredPosition(os_.ui().screenWidth(), width()), centredPosition(os_.ui().screenHeight(), height()));
}

// ---- layout -----------------------------------------------------------------

void TInstallerForm::sizeWindow() {
    setSize(kWindowWidth, height());
    fitWindowHeight();
}

void TInstallerForm::fitWindowHeight() {
    const int frame = height() - clientHeight();
    int stack = contentPanel.top() + contentPanel.height() + buttonPanel.height();
    if (licenseShown) stack += licenseScrollBox.height() + kLicenseGapBelow;
    setSize(width(), frame + stack);
}

void TInstallerForm::FormResize() {
    const int frame = height() - clientHeight();
    contentPanel.setBounds(contentPanel.left(), contentPanel.top(), clientWidth(), contentPanel.height());
    buttonPanel.setBounds(0, height() - frame - kButtonRowHeight, clientWidth(), kButtonRowHeight);
    const int contentBottom = contentPanel.top() + contentPanel.height();
    licenseScrollBox.setBounds(0, contentBottom + kLicenseGapAbove, clientWidth(),
                               buttonPanel.top() - kLicenseGapAbove - (contentBottom + kLicenseGapBelow));
}

void TInstallerForm::setWindowCaption(const std::string& saverName) { setText(installerCaption(os_, saverName)); }

Result TInstallerForm::loadLicenseLines(const std::string& path) {
    std::unique_ptr<File> file;
    if (Result e = os_.files().openFile(path, FileAccess::Read, file)) return e;
    std::string bytes(kLicenseMaxBytes, '\0');
    uint32_t got = 0;
    if (Result e = readUpTo(*file, bytes.data(), kLicenseMaxBytes, got)) return e;
    bytes.resize(got);
    // Lines end at CR LF, CR or LF; the box shows them joined by CR LF. A
    // zero byte would end the box's text early: it shows as a blank.
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            text += "\r\n";
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            text += c == '\0' ? ' ' : c;
        }
    }
    licenseScrollBox.setText(text);
    return rc::kOk;
}

void TInstallerForm::setUpLicenseLayout(bool withLicense) {
    if (withLicense) {
        licenseScrollBox.setVisible(true);
        setBorder(BorderStyle::Sizeable);
        setMinSize(kLicenseMinWidth, kLicenseMinHeightOfWindow);
        licenseScrollBox.setSize(licenseScrollBox.width(), kLicenseMinHeight);
        installBtn.setSize(kAcceptWidth, installBtn.height());
        installBtn.setText(os_.system().loadString(kStrAcceptAndInstall));
        cancelBtn.setVisible(true);
    } else {
        installBtn.setSize(kInstallWidth, installBtn.height());
        installBtn.setText(os_.system().loadString(kStrInstall));
        licenseScrollBox.setVisible(false);
        setBorder(BorderStyle::Single);
    }
    installBtn.setPosition(cancelBtn.left() - installBtn.width() - kInstallGap, installBtn.top());
    cancelBtn.setText(os_.system().loadString(kStrCancel));
    doneBtn.setText(os_.system().loadString(kStrClose));
}

// ---- finishing ----------------------------------------------------------------

void TInstallerForm::FormClose() {
    if (activeMode != mode::kQuiet) moviePanel1.stopMovie();
    // The scratch directory is the folder of the installer copy; before it
    // exists there is nothing of ours to delete.
    const std::string scratch = extractFilePath(package.installerCopyPath);
    stagedFiles.clear();  // closed before their folder goes
    // Kept copies of a replaced screen saver live beside their places, never
    // here: the folder always goes.
    if (!package.dirs.scratchDir.empty() && scratch == package.dirs.scratchDir)
        ignoreResult(deleteDirTree(os_, scratch),
                     "what cannot go now stays in the system's temporary folder");
}

void TInstallerForm::closeAndTerminate() {
    if (FormCloseQuery()) {
        FormClose();
        setVisible(false);
    }
    os_.ui().terminate();
}

void TInstallerForm::askToOpenControlPanel() {
    if (!package.header.offerDisplayPanel) return;
    os_.ui().bringApplicationToFront();
    const BoxAnswer answer =
        showBox(BoxKind::Confirm, BoxButtons::YesNo, os_.system().loadString(kStrOpenControlPanelQuestion));
    if (answer != BoxAnswer::Yes) return;
    os_.ui().minimizeApplication();
    openDisplayControlPanel(os_, true, package.dirs.systemDir);
}

void TInstallerForm::cancelBtnClick() {
    if (!installing) {
        closeAndTerminate();
        return;
    }
    // Inside a running installation: only the request; the installation
    // notices it before its next step and cleans up.
    cancelRequested = true;
    showStatus(os_.system().loadString(kStrCleaningUp));
    progressBar.setPositionValue(0);
    os_.ui().processMessages();
    pauseBriefly();
    pauseBriefly();
}

void TInstallerForm::doneBtnClick() { closeAndTerminate(); }

// ---- status line, progress, pauses -----------------------------------------

void TInstallerForm::showStatus(const std::string& text) {
    if (activeMode == mode::kQuiet) return;
    labCopying.setVisible(true);
    labCopying.setText(text);
    labCopying.repaint();
}

void TInstallerForm::stepProgress() {
    if (activeMode == mode::kQuiet) return;
    progressBar.stepIt();
    pauseBriefly();
}

void TInstallerForm::pauseBriefly() {
    // Not a sleep: window messages keep being handled, one at a time, until
    // the next tick has disabled the timer, so paints and clicks (Cancel
    // included, which may pause again inside) are served meanwhile. Without
    // a timer no tick would ever come: the pending messages are handled once.
    if (pauseTimer.setEnabled(true) != rc::kOk) {
        os_.ui().processMessages();
    } else {
        while (pauseTimer.enabled()) os_.ui().handleMessage();
    }
    os_.ui().bringApplicationToFront();
}

void TInstallerForm::pauseTimerTimer() {
    ignoreResult(pauseTimer.setEnabled(false), "stopping a timer cannot fail: the model is disabled whatever happens");
}

void TInstallerForm::showInstallError(Result code, const std::string& text) { ssi::showInstallError(os_, code, text); }

BoxAnswer TInstallerForm::showBox(BoxKind kind, BoxButtons buttons, const std::string& text) {
    return os_.ui().messageBox(kind, buttons, text);
}

}  // namespace ssi
