#include "app/run_installer.h"

#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "platform/file_utils.h"

namespace ssi {

namespace {
// Shown while the installer unpacks itself; replaces the string-table text
// that the preparing window starts with.
constexpr const char* kPreparingInstallation = "Preparing installation...";
}  // namespace

int runInstaller(Os& os) {
    os.ui().setApplicationTitle(kPreparingInstallation);

    TpreparingInstallWnd preparing(os);
    os.ui().realize(preparing);
    preparing.FormCreate();
    preparing.setText(extractFileName(os.system().modulePath()));
    preparing.setMessage(kPreparingInstallation);
    os.ui().processMessages();

    // Creating the installer window runs the whole initialisation; it may
    // already have told the application to end.
    // The window is shown (which hides the preparing window) only once its
    // creation has run, and only when the initialisation left it open.
    TInstallerForm installer(os);
    installer.preparingWnd = &preparing;
    installer.setVisible(false);
    os.ui().realize(installer);
    installer.FormCreate();
    if (!os.ui().terminated()) installer.setVisible(true);

    os.ui().runMessageLoop();
    return installer.exitCode;
}

}  // namespace ssi
