// install.exe: the real OS seam around the portable main routine.
//
// The program image is compiled without exceptions (app/CMakeLists.txt): an
// allocation that fails ends the program through the handler below, and the
// large blocks a package asks for are allocated without it (ByteBuffer), so
// that running short there is an ordinary, reported error.
#include <windows.h>

#include <cstdlib>
#include <new>

#include "app/run_installer.h"
#include "platform/win32/win32_os.h"

// The runtime's default handler for an uncaught exception writes the
// exception's demangled type name to the standard error stream, which a GUI
// program does not have, and so links a C++ demangler (about 46 KB) into the
// image. This one, found by the linker before the runtime's, only ends the
// process the way the default one does after writing.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

// Memory for a small object is not there: nothing sensible can go on. The
// program ends with the failure code 1; the system closes its files and
// handles, and whatever was written so far stays as the steps left it.
void outOfMemory() { ::ExitProcess(1); }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::set_new_handler(outOfMemory);
    ssi::win32::hardenDllSearch();
    ssi::win32::Win32Os os;
    return ssi::runInstaller(os);
}
