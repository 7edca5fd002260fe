// install.exe: the real OS seam around the portable main routine.
#include <windows.h>

#include <cstdlib>
#include <exception>

#include "app/installer_unl.h"
#include "platform/win32/win32_os.h"

// The runtime's default handler for an uncaught exception writes the
// exception's demangled type name to the standard error stream, which a GUI
// program does not have, and so links a C++ demangler (about 46 KB) into the
// image. This one, found by the linker before the runtime's, only ends the
// process the way the default one does after writing.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

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
