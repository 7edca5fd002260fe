// install.exe: the real OS seam around the portable main routine.
#include <windows.h>

#include <exception>

#include "app/installer_unl.h"
#include "platform/win32/win32_os.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ssi::win32::hardenDllSearch();
    try {
        ssi::win32::Win32Os os;
        return ssi::runInstaller(os);
    } catch (const std::exception&) {
        // Nothing below throws by design; an allocation failure is the one
        // way here. End with a failure code instead of the runtime's abort.
        return 1;
    }
}
