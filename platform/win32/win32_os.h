// The real OS seam: one Win32 service object per service of Os.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_ui.h"

namespace ssi::win32 {

// Restricts where the system looks for DLLs loaded by name (planted-DLL
// defence): SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) and
// SetDllDirectoryA(""), each resolved at run time and called when present.
// Loading by full path is unaffected. Returns how many of the two were called.
int hardenDllSearch();

// Splits a command line the way ParamStr does: blanks separate parameters,
// double quotes group and are removed, no other escapes. The first item is the
// program itself.
std::vector<std::string> splitCommandLine(const char* commandLine);

class Win32Os : public Os {
public:
    Win32Os() : ui_(system_) {}

    Win32FileSystem& files() override { return files_; }
    Win32Registry& registry() override { return registry_; }
    Win32Profile& profile() override { return profile_; }
    Win32System& system() override { return system_; }
    Win32Shell& shell() override { return shell_; }
    Win32Com& com() override { return com_; }
    Win32Ui& ui() override { return ui_; }

private:
    // Destroyed last to first: the windows go before COM is shut down.
    Win32FileSystem files_;
    Win32Registry registry_;
    Win32Profile profile_;
    Win32System system_;
    Win32Shell shell_;
    Win32Com com_;
    Win32Ui ui_;
};

}  // namespace ssi::win32
