// The installer window and its controller. Its creation runs the installer's
// initialisation; its operations hold the installer's logic. The same code runs
// in install.exe (mirrored onto real controls by the Win32 layer) and in the
// native tests (over the test double).
//
// The operations are implemented by subsystem:
//   app/fInstall.cpp                  window, status line, progress, pauses
//   package/package_header.cpp        installer copy, header, derived paths
//   package/extract_entry.cpp         extraction of one slot
//   package/extraction_steps.cpp      the fixed slot roles
//   package/dataFunctions_shared.cpp  the screen saver data file
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/result_codes.h"
#include "package/dataStructures_shared.h"
#include "platform/controls.h"
#include "platform/os.h"
#include "saver/KVR_FileUtils.h"

namespace ssi {

class File;
class SaverDataFile;
class TpreparingInstallWnd;

constexpr uint8_t kQuietMode = 4;

class TInstallerForm : public Form {
public:
    explicit TInstallerForm(Os& os);
    ~TInstallerForm() override;

    Os& os() { return os_; }

    // ---- controls (names of the form resource) --------------------------
    Label labCopying{"labCopying"};
    ProgressBar progressBar{"progressBar"};
    Button installBtn{"installBtn"};
    Button cancelBtn{"cancelBtn"};
    Button doneBtn{"doneBtn"};
    Panel moviePanel1{"moviePanel1"};
    Panel bmpPanel{"bmpPanel", ControlKind::Image};
    Panel licenseScrollBox{"licenseScrollBox", ControlKind::Memo};
    Timer pauseTimer;

    // ---- installer state ------------------------------------------------
    uint8_t activeMode = 0;      // presentation mode in force; 4 = quiet
    bool licenseShown = false;
    bool readMeIncluded = false;
    bool installing = false;
    bool cancelRequested = false;
    int32_t exitCode = 0;        // the process exit code

    // Directories and paths (each directory ends with a backslash).
    InstallerDirs dirs;
    std::string exePath;            // the running executable
    std::string installerCopyPath;  // scratch directory + "temp.dat"
    std::string saverName;
    std::string installDir;         // system directory + saverName + " dir\"
    std::string dataFilePath;       // scratch directory + slot 8's name

    PackageHeader header{};         // the package header, filled by loadPackageHeader
    SaverRecord saverRecord{};      // the screen saver's settings record
    std::unique_ptr<SaverDataFile> dataFile;  // the open data file and its item table
    TpreparingInstallWnd* preparingWnd = nullptr;

    // ---- window (app/fInstall.cpp) --------------------------------------
    void FormCreate();   // sets the border and runs the initialisation
    void initializeInstaller();
    // Loads the preview picture of picture modes (1 BMP, 8 JPEG) into bmpPanel.
    void showPicturePreview();
    // Closes the window: deletes the scratch directory and ends the application.
    void closeInstaller();
    void FormShow();     // hides the preparing window
    void centreOnScreen();

    // ---- status line, progress, pauses ----------------------------------
    void showStatus(const std::string& text);
    void stepProgress();
    void pauseBriefly();
    void pauseTimerTimer();

    // ---- package header (package/package_header.cpp) --------------------
    void preparePaths();
    Result copyInstaller();
    Result loadPackageHeader();
    void deriveInstallPaths();

    // ---- extraction (package/extract_entry.cpp) ------------------------
    // The destination path of a slot, "" when its kind has none.
    std::string destinationFor(const PackageEntry& entry) const;
    Result extractEntry(File& package, int slotIndex, bool showProgress);

    // ---- slot roles (package/extraction_steps.cpp) ----------------------
    Result extractReadMe();
    Result extractFlashInstaller();
    Result extractLicense();
    Result extractPreview();
    Result extractInstallEntries(const std::string& path);

    // ---- screen saver data file (package/dataFunctions_shared.cpp) ------
    Result readSaverRecord();
    Result writeSaverRecord();
    Result expandDataFile();

private:
    Os& os_;
};

}  // namespace ssi
