// Start-up helpers of the real seam: the DLL search order and the command line.
#include "platform/win32/win32_os.h"

namespace ssi::win32 {

int hardenDllSearch() {
    int applied = 0;
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (!kernel) return 0;
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    if (auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
            ::GetProcAddress(kernel, "SetDefaultDllDirectories"))) {
        if (setDefault(kSearchSystem32)) ++applied;
    }
    if (auto setDllDirectory =
            reinterpret_cast<SetDllDirectoryAFn>(::GetProcAddress(kernel, "SetDllDirectoryA"))) {
        if (setDllDirectory("")) ++applied;
    }
    return applied;
}

std::vector<std::string> splitCommandLine(const char* commandLine) {
    std::vector<std::string> out;
    if (!commandLine) return out;
    const char* p = commandLine;
    for (;;) {
        while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
        if (!*p) break;
        std::string item;
        bool quoted = false;
        while (*p && (quoted || static_cast<unsigned char>(*p) > ' ')) {
            if (*p == '"')
                quoted = !quoted;
            else
                item += *p;
            ++p;
        }
        out.push_back(std::move(item));
    }
    return out;
}

}  // namespace ssi::win32
