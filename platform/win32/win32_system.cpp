// System facts, libraries, strings, the shell and other processes.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include "platform/shell_answer.h"
#include "platform/win32/win32_os.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_util.h"

namespace ssi::win32 {

WideText widen(const std::string& text) {
    WideText out;
    if (text.empty()) return out;
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0) return out;
    out.chars.assign(size_t(n) + 1, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

std::string narrow(const wchar_t* text, size_t length) {
    if (!text || length == 0) return std::string();
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, text, int(length), out.data(), n, nullptr, nullptr);
    return out;
}

namespace {

class Win32Library : public Library {
public:
    explicit Win32Library(Module module) : module_(std::move(module)) {}
    void* symbol(const char* name) override {
        return reinterpret_cast<void*>(::GetProcAddress(module_.get(), name));
    }

private:
    Module module_;
};

}  // namespace

// ---- system facts -------------------------------------------------------------

std::string Win32System::environment(const std::string& name) {
    return fetchString([&](char* b, DWORD n) { return ::GetEnvironmentVariableA(name.c_str(), b, n); });
}

std::string Win32System::systemDirectory() {
    return fetchString([](char* b, DWORD n) { return ::GetSystemDirectoryA(b, n); }, 301);
}

std::string Win32System::windowsDirectory() {
    return fetchString([](char* b, DWORD n) { return ::GetWindowsDirectoryA(b, n); }, 301);
}

std::string Win32System::tempDirectory() {
    return fetchString([](char* b, DWORD n) { return ::GetTempPathA(n, b); });
}

std::string Win32System::modulePath() {
    // GetModuleFileName truncates instead of reporting the size it needs.
    for (DWORD size = MAX_PATH + 1; size <= 32768; size *= 4) {
        std::string buffer(size, '\0');
        const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), size);
        if (n < size) {
            buffer.resize(n);
            return buffer;
        }
    }
    return std::string();
}

std::vector<std::string> Win32System::commandLineParameters() {
    std::vector<std::string> all = splitCommandLine(::GetCommandLineA());
    if (!all.empty()) all.erase(all.begin());
    return all;
}

Result Win32System::windowsVersion(WindowsVersion& out) {
    out = WindowsVersion();
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;  // 148: the structure every version knows
    if (!::GetVersionExA(&info)) return systemError();
    out.platformId = info.dwPlatformId;
    out.major = info.dwMajorVersion;
    out.minor = info.dwMinorVersion;
    // Windows 95, 98 and ME keep the version in the build number's high word.
    out.build =
        info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? LOWORD(info.dwBuildNumber) : info.dwBuildNumber;
    out.servicePack = info.szCSDVersion;
    return 0;
}

Result Win32System::setScreenSaveActive(bool active) {
    if (::SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, active ? TRUE : FALSE, nullptr,
                                SPIF_SENDWININICHANGE))
        return 0;
    return systemError();
}

Result Win32System::loadLibrary(const std::string& path, std::unique_ptr<Library>& out) {
    out.reset();
    // No "insert a disk" or "missing DLL" box from the system: the caller reports.
    const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ::SetLastError(0);
    Module module(::LoadLibraryA(path.c_str()));
    const Result error = module ? 0 : systemError();
    ::SetErrorMode(oldMode);
    if (error) return error;
    out = std::make_unique<Win32Library>(std::move(module));
    return 0;
}

std::string Win32System::loadString(uint32_t id) {
    // A string-table entry holds at most 65535 characters; ours are short.
    std::string buffer(4096, '\0');
    const int n = ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer.data(), int(buffer.size()));
    buffer.resize(size_t(n > 0 ? n : 0));
    return buffer;
}

std::string Win32System::errorText(Result code) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        DWORD(code), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string out;
    if (n && text) out.assign(text, n);
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
    return out;
}

void Win32System::sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

bool windows9x() {
    return (::GetVersion() & 0x80000000u) != 0;
}

void* advapiProc(const char* name) {
    HMODULE advapi = ::GetModuleHandleA("advapi32.dll");  // imported for the registry: always loaded
    return advapi ? reinterpret_cast<void*>(::GetProcAddress(advapi, name)) : nullptr;
}

namespace {

// Whether the token holds the Administrators group enabled (a group that a
// filtered token holds for denying only does not count).
[[nodiscard]] Result administratorsEnabled(HANDLE token, bool& enabled) {
    using GetInfoFn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
    using AllocateSidFn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD,
                                        DWORD, DWORD, DWORD, PSID*);
    using FreeSidFn = PVOID(WINAPI*)(PSID);
    using EqualSidFn = BOOL(WINAPI*)(PSID, PSID);
    auto getInfo = reinterpret_cast<GetInfoFn>(advapiProc("GetTokenInformation"));
    auto allocateSid = reinterpret_cast<AllocateSidFn>(advapiProc("AllocateAndInitializeSid"));
    auto freeSid = reinterpret_cast<FreeSidFn>(advapiProc("FreeSid"));
    auto equalSid = reinterpret_cast<EqualSidFn>(advapiProc("EqualSid"));
    if (!getInfo || !allocateSid || !freeSid || !equalSid) return oserr::kProcNotFound;
    DWORD size = 0;
    getInfo(token, TokenGroups, nullptr, 0, &size);
    if (size == 0) return systemError();
    std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);
    if (!getInfo(token, TokenGroups, buffer.data(), DWORD(buffer.size() * sizeof(DWORD)), &size))
        return systemError();
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!allocateSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                     &administrators))
        return systemError();
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    enabled = false;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const DWORD a = groups->Groups[i].Attributes;
        if (equalSid(groups->Groups[i].Sid, administrators) && (a & SE_GROUP_ENABLED) &&
            !(a & SE_GROUP_USE_FOR_DENY_ONLY))
            enabled = true;
    }
    freeSid(administrators);
    return 0;
}

}  // namespace

Result Win32System::elevation(bool& elevated) {
    elevated = false;
    if (windows9x()) return oserr::kCallNotImplemented;
    using OpenTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
    using GetInfoFn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
    auto openToken = reinterpret_cast<OpenTokenFn>(advapiProc("OpenProcessToken"));
    auto getInfo = reinterpret_cast<GetInfoFn>(advapiProc("GetTokenInformation"));
    if (!openToken || !getInfo) return oserr::kProcNotFound;
    HANDLE raw = nullptr;
    if (!openToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return systemError();
    KernelHandle token(raw);
    // TokenElevation (20) from Vista on; older NT refuses the class, and
    // there an administrator's token is all the rights there are.
    constexpr TOKEN_INFORMATION_CLASS kTokenElevation = TOKEN_INFORMATION_CLASS(20);
    DWORD value = 0, size = 0;
    if (getInfo(token.get(), kTokenElevation, &value, sizeof value, &size)) {
        elevated = value != 0;
        return 0;
    }
    return administratorsEnabled(token.get(), elevated);
}

// ---- shell and processes -------------------------------------------------------------

Result Win32Shell::shellExecute(WindowHandle owner, const std::string& verb, const std::string& file,
                                const std::string& parameters, const std::string& directory, int show) {
    auto optional = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    const auto answer =
        reinterpret_cast<UINT_PTR>(::ShellExecuteA(reinterpret_cast<HWND>(owner), optional(verb), file.c_str(),
                                                   optional(parameters), optional(directory), show));
    return shellAnswerResult(answer);
}

Result Win32Shell::startProcess(const std::string& program, const std::string& arguments,
                                const std::string& directory, int show, bool wait, uint32_t& exitCode) {
    exitCode = 0;
    // The program is named in full as the application, so nothing is searched
    // for; the command line it sees starts with its own quoted name.
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = WORD(show);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          directory.empty() ? nullptr : directory.c_str(), &startup, &info))
        return systemError();
    KernelHandle process(info.hProcess), thread(info.hThread);
    if (!wait) return 0;
    if (::WaitForSingleObject(process.get(), INFINITE) == WAIT_FAILED) return systemError();
    DWORD code = 0;
    if (!::GetExitCodeProcess(process.get(), &code)) return systemError();
    exitCode = code;
    return 0;
}

Result Win32Shell::findWindow(const std::string& title, WindowHandle& out) {
    out = 0;
    HWND window = ::FindWindowA(nullptr, title.c_str());
    if (!window) return oserr::kFileNotFound;
    out = reinterpret_cast<WindowHandle>(window);
    return 0;
}

Result Win32Shell::clickButton(WindowHandle window, int controlId) {
    HWND dialog = reinterpret_cast<HWND>(window);
    if (!::IsWindow(dialog)) return oserr::kInvalidWindowHandle;
    HWND button = ::GetDlgItem(dialog, controlId);
    if (!button) return systemError();
    // Posted as the button's own notification: the other program handles it
    // when it gets to it, and we never wait for it (a click may open a box).
    if (!::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)))
        return systemError();
    return 0;
}

}  // namespace ssi::win32
