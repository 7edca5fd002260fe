#include "app/installer_unl.h"

#include "app/fInstall.h"
#include "app/fPreparingInstallWnd.h"
#include "saver/KVR_FileUtils.h"

namespace ssi {

namespace {
// Shown while the installer unpacks itself; replaces the string-table text
// that the preparing window starts with.
constexpr const char* kPreparingInstallation = "Preparing installation...";
}  // namespace

int runInstaller(Os& os) {
    os.setApplicationTitle(kPreparingInstallation);

    TpreparingInstallWnd preparing(os);
    os.realize(preparing);
    preparing.FormCreate();
    preparing.setText(extractFileName(os.modulePath()));
    preparing.setMessage(kPreparingInstallation);
    os.processMessages();

    // Creating the installer window runs the whole initialisation; it may
    // already have told the application to end.
    TInstallerForm installer(os);
    installer.preparingWnd = &preparing;
    os.realize(installer);
    installer.FormCreate();

    os.runMessageLoop();
    return installer.exitCode;
}

}  // namespace ssi
