// One class, three sources: installer_window.cpp (the window, finishing and
// cancelling), startup_sequence.cpp (the initialisation) and install_sequence.cpp
// (the installation), so that each sequence reads as one file.
// The installer window and its controller. Its creation runs the installer's
// initialisation; its operations hold the installer's logic and call the
// subsystems' steps, which report through the window (it is their Reporter).
// The same code runs in install.exe (mirrored onto real controls by the
// Win32 layer) and in the native tests (over the test double).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/result_codes.h"
#include "core/roles.h"
#include "flash/player_panel.h"
#include "flash/player_detection.h"
#include "package/data_file.h"
#include "package/installer_package.h"
#include "platform/controls.h"
#include "platform/os.h"
#include "platform/reporter.h"
#include "saver/replaced_saver.h"

namespace ssi {

// Whether the command line asks for an installation without a person: "/q"
// in any case, as any parameter.
bool quietByCommandLine(Os& os);

class TpreparingInstallWnd;

class TInstallerForm : public Form, public Reporter {
public:
    explicit TInstallerForm(Os& os);
    ~TInstallerForm() override;

    Os& os() { return os_; }

    // ---- controls, in creation order (names of the form resource) -------
    Panel contentPanel{"contentPanel"};  // the preview area
    Image bmpPanel{"bmpPanel"};          //   picture preview (modes 1 and 8)
    TFlashPanel moviePanel1;             //   movie preview (modes 2 and 3)
    Panel buttonPanel{"buttonPanel"};    // the button row
    Label labFile{"labFile"};            //   hidden
    Label labCopying{"labCopying"};      //   the status line
    Label installbutn{"installbutn"};    //   hidden, does nothing
    ProgressBar progressBar{"progressBar"};
    Button installBtn{"installBtn"};
    Button doneBtn{"doneBtn"};
    Button cancelBtn{"cancelBtn"};
    Memo licenseScrollBox{"licenseScrollBox"};  // the licence text
    Timer pauseTimer;

    // ---- installer state ------------------------------------------------
    uint8_t activeMode = 0;      // presentation mode in force; mode::kQuiet = quiet
    bool licenseShown = false;
    bool readMeIncluded = false;
    bool installing = false;
    bool cancelRequested = false;  // set by Cancel during an installation
    // Replaced screen-saver copies that could not be put back after a failed
    // installation: they stay beside their places, under their kept names.
    bool keptCopiesStranded = false;
    // What the installer staged in the scratch folder and uses again later
    // (its own copy, the decompression library, the carried player
    // installer): held open, reading shared and nothing else, so that no
    // other program changes, replaces or deletes them until the scratch
    // folder goes.
    std::vector<std::unique_ptr<File>> stagedFiles;
    // What the last installation gave (also when the window's exit code stays 0).
    Result lastInstallResult = 0;
    int32_t exitCode = 0;        // the process exit code

    // The player the package needs, and what has to happen about it.
    int32_t requiredFlashMajor = 0;
    int32_t requiredFlashRevision = 0;
    bool flashUpdateNeeded = false;
    uint8_t flashUpdateKind = 0;  // a FlashUpdateKind
    bool oldFlashFilesLocked = false;

    InstallerPackage package;  // the header, the directories and the paths formed from them
    SaverData saverData;       // the screen saver's settings record and data file
    TpreparingInstallWnd* preparingWnd = nullptr;

    // ---- window ------------------------------------------------------------
    void FormCreate();   // sets the border and runs the initialisation
    void FormShow();     // hides the preparing window
    void centreOnScreen();

    // ---- initialisation (app/startup_sequence.cpp) -----------------------------
    // Runs once, inside the window's creation, and ends in one of four ways:
    // an error (box, then the end), an installation without the window (the
    // movie cannot play), a quiet installation, or the window centred and
    // waiting for Install or Cancel.
    void initializeInstaller();
    // Loads the preview picture of picture modes (1 BMP, 8 JPEG) into bmpPanel.
    void showPicturePreview();
    // Holds a staged file (see stagedFiles): 0, or the error of opening it,
    // reported with its path. A file that is not there is not held (0).
    [[nodiscard]] Result holdStagedFile(const std::string& path);

    // ---- installation (app/install_sequence.cpp) ----------------------------
    [[nodiscard]] Result installScreenSaver();
    void setupFormForInstallation();
    void setupFormForInstallationComplete(Result result);
    void resetFormAfterAbort();
    // Tells where the kept copies of a replaced screen saver stay when they
    // could not go back: a box (interactive) naming each, and the log.
    void reportStrandedCopies(const std::vector<std::string>& kept);
    [[nodiscard]] Result installWithoutInstallerWindow();
    void installQuietly();
    void installBtnClick();

    // ---- finishing and cancelling --------------------------------------------
    void askToOpenControlPanel();
    void cancelBtnClick();
    void doneBtnClick();
    // Closing is allowed exactly while no installation runs.
    bool FormCloseQuery() const { return !installing; }
    // Stops the movie (unless quiet) and deletes the scratch directory.
    void FormClose();
    // Asks the window to close (FormCloseQuery, FormClose), then the
    // application to end.
    void closeAndTerminate();

    // ---- layout ---------------------------------------------------------
    // Outer width 359, then the height of the stacked areas.
    void sizeWindow();
    void fitWindowHeight();
    // Re-places the content area, the button row and the licence box after
    // every size change.
    void FormResize();
    void setWindowCaption(const std::string& saverName);
    // The licence box's lines, read from a file: 0 or the error reading it.
    [[nodiscard]] Result loadLicenseLines(const std::string& path);
    // The window without licence (fixed border, Install 80 wide) or with it
    // (sizeable, minimum 359 x 340, licence box shown, "Accept and Install"
    // 115 wide); Install always 6 pixels left of Cancel.
    void setUpLicenseLayout(bool withLicense);
    // The application's message hook: a right-button press is discarded
    // before any window sees it, the movie's included.
    static bool ApplicationEvents1Message(InputEvent event);

    // ---- status line, progress, pauses ----------------------------------
    void showStatus(const std::string& text) override;
    void stepProgress() override;
    void pauseBriefly();
    void pauseTimerTimer();

    // ---- Reporter: how the subsystems' steps show progress and failures --
    void showInstallError(Result code, const std::string& text) override;
    BoxAnswer showBox(BoxKind kind, BoxButtons buttons, const std::string& text) override;
    bool stopRequested() const override { return cancelRequested; }

private:
    // The constructor's parts: the picture and movie area, the button row
    // under it, and the handlers of the window's events.
    void layOutContent();
    void layOutButtons();
    void connectEvents();

    Os& os_;
};

}  // namespace ssi
