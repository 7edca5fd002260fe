#include "app/run_installer.h"

#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "core/names.h"
#include "platform/file_utils.h"
#include "platform/messages.h"

namespace ssi {

namespace {
// Shown while the installer unpacks itself; replaces the string-table text
// that the preparing window starts with.
constexpr const char* kPreparingInstallation = "Preparing installation...";
}  // namespace

int runInstaller(Os& os) {
    os.ui().setApplicationTitle(kPreparingInstallation);

    TpreparingInstallWnd preparing(os);
    ignoreResult(os.ui().realize(preparing),
                 "the preparing window is a courtesy: the installer goes on without it");
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
    // Without its window (or the hidden application window that owns it)
    // the installer could only wait for a user who sees nothing: the failure
    // is shown as the initialisation's (logged only under "/q", where nobody
    // is there), and the program ends with the system's error.
    for (const std::string& parameter : os.system().commandLineParameters())
        if (lowerCase(parameter) == "/q") os.ui().setUnattended(true);
    if (Result e = os.ui().realize(installer)) {
        showInitFailure(os, e);
        return e;
    }
    installer.FormCreate();
    if (!os.ui().terminated()) installer.setVisible(true);

    os.ui().runMessageLoop();
    return installer.exitCode;
}

}  // namespace ssi
