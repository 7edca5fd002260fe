// Win32Os: environment, directories, files, version resources, libraries and
// the string table. The user-interface members live in win32_ui.cpp.
#include "platform/win32/win32_os.h"

#include <cstring>

namespace ssi::win32 {

namespace {

// Calls an API that fills a buffer and returns the length it needs or wrote,
// growing the buffer when the first size was too small.
template <typename Fill>
std::string fetchString(Fill fill, DWORD first = MAX_PATH + 1) {
    std::string buffer(first, '\0');
    DWORD n = fill(buffer.data(), DWORD(buffer.size()));
    if (n >= buffer.size()) {
        buffer.assign(n + 1, '\0');
        n = fill(buffer.data(), DWORD(buffer.size()));
        if (n >= buffer.size()) n = 0;
    }
    buffer.resize(n);
    return buffer;
}

class Win32File : public File {
public:
    explicit Win32File(FileHandle handle) : handle_(std::move(handle)) {}

    Result read(void* buffer, uint32_t size, uint32_t& got) override {
        DWORD n = 0;
        got = 0;
        if (!::ReadFile(handle_.get(), buffer, size, &n, nullptr)) return Result(::GetLastError());
        got = n;
        return 0;
    }
    Result write(const void* buffer, uint32_t size, uint32_t& put) override {
        DWORD n = 0;
        put = 0;
        if (!::WriteFile(handle_.get(), buffer, size, &n, nullptr)) return Result(::GetLastError());
        put = n;
        return 0;
    }
    Result seek(int64_t position) override {
        if (position < 0) return ERROR_NEGATIVE_SEEK;
        LONG high = LONG(uint64_t(position) >> 32);
        ::SetLastError(0);
        DWORD low = ::SetFilePointer(handle_.get(), LONG(uint32_t(position)), &high, FILE_BEGIN);
        if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != 0) return Result(::GetLastError());
        return 0;
    }
    Result size(int64_t& out) override {
        DWORD high = 0;
        ::SetLastError(0);
        DWORD low = ::GetFileSize(handle_.get(), &high);
        if (low == INVALID_FILE_SIZE && ::GetLastError() != 0) return Result(::GetLastError());
        out = int64_t((uint64_t(high) << 32) | low);
        return 0;
    }
    Result close() override {
        HANDLE h = handle_.release();
        if (h == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        return ::CloseHandle(h) ? 0 : Result(::GetLastError());
    }

private:
    FileHandle handle_;
};

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

bool Win32Os::ok(BOOL result) {
    if (!result) lastError_ = ::GetLastError();
    return result != FALSE;
}

// ---- environment and directories ------------------------------------------

std::string Win32Os::environment(const std::string& name) {
    return fetchString([&](char* b, DWORD n) { return ::GetEnvironmentVariableA(name.c_str(), b, n); });
}

std::string Win32Os::systemDirectory() {
    return fetchString([](char* b, DWORD n) { return ::GetSystemDirectoryA(b, n); }, 301);
}

std::string Win32Os::windowsDirectory() {
    return fetchString([](char* b, DWORD n) { return ::GetWindowsDirectoryA(b, n); }, 301);
}

std::string Win32Os::tempDirectory() {
    return fetchString([](char* b, DWORD n) { return ::GetTempPathA(n, b); });
}

std::string Win32Os::modulePath() {
    // GetModuleFileName truncates instead of reporting the needed size.
    for (DWORD size = MAX_PATH + 1; size <= 32768; size *= 4) {
        std::string buffer(size, '\0');
        DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), size);
        if (n < size) {
            buffer.resize(n);
            return buffer;
        }
    }
    return std::string();
}

std::vector<std::string> Win32Os::commandLineParameters() {
    std::vector<std::string> all = splitCommandLine(::GetCommandLineA());
    if (!all.empty()) all.erase(all.begin());
    return all;
}

// ---- files and directories -------------------------------------------------

uint32_t Win32Os::fileAttributes(const std::string& path) {
    DWORD a = ::GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) lastError_ = ::GetLastError();
    return a;
}

bool Win32Os::setFileAttributes(const std::string& path, uint32_t attributes) {
    return ok(::SetFileAttributesA(path.c_str(), attributes));
}

bool Win32Os::deleteFile(const std::string& path) { return ok(::DeleteFileA(path.c_str())); }

bool Win32Os::createDirectory(const std::string& path) {
    return ok(::CreateDirectoryA(path.c_str(), nullptr));
}

bool Win32Os::removeDirectory(const std::string& path) { return ok(::RemoveDirectoryA(path.c_str())); }

bool Win32Os::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    return ok(::CopyFileA(from.c_str(), to.c_str(), failIfExists));
}

bool Win32Os::findFiles(const std::string& pattern, std::vector<FindEntry>& out) {
    out.clear();
    WIN32_FIND_DATAA data;
    FindHandle find(::FindFirstFileA(pattern.c_str(), &data));
    if (!find) {
        lastError_ = ::GetLastError();
        return false;
    }
    do {
        FindEntry e;
        e.name = data.cFileName;
        e.attributes = data.dwFileAttributes;
        e.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        out.push_back(std::move(e));
    } while (::FindNextFileA(find.get(), &data));
    return true;
}

std::unique_ptr<File> Win32Os::openFile(const std::string& path, FileAccess access, Result& error) {
    DWORD desired = GENERIC_READ, share = FILE_SHARE_READ | FILE_SHARE_WRITE, disposition = OPEN_EXISTING;
    switch (access) {
        case FileAccess::Read:
            break;
        case FileAccess::ReadDenyWrite:
            share = FILE_SHARE_READ;
            break;
        case FileAccess::Create:
            desired = GENERIC_WRITE;
            share = 0;
            disposition = CREATE_ALWAYS;
            break;
    }
    FileHandle h(::CreateFileA(path.c_str(), desired, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    if (!h) {
        error = Result(::GetLastError());
        lastError_ = uint32_t(error);
        return nullptr;
    }
    error = 0;
    return std::make_unique<Win32File>(std::move(h));
}

HMODULE Win32Os::systemLibrary(Module& slot, const char* name) {
    if (!slot) {
        std::string path = systemDirectory();
        if (!path.empty() && path.back() != '\\') path += '\\';
        path += name;
        slot.reset(::LoadLibraryA(path.c_str()));
        if (!slot) lastError_ = ::GetLastError();
    }
    return slot.get();
}

bool Win32Os::fileVersion(const std::string& path, FileVersion& out) {
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    HMODULE version = systemLibrary(version_, "version.dll");
    if (!version) return false;
    auto getSize = reinterpret_cast<SizeFn>(::GetProcAddress(version, "GetFileVersionInfoSizeA"));
    auto getInfo = reinterpret_cast<InfoFn>(::GetProcAddress(version, "GetFileVersionInfoA"));
    auto query = reinterpret_cast<QueryFn>(::GetProcAddress(version, "VerQueryValueA"));
    if (!getSize || !getInfo || !query) {
        lastError_ = ERROR_PROC_NOT_FOUND;
        return false;
    }
    DWORD ignored = 0;
    DWORD size = getSize(path.c_str(), &ignored);
    if (size == 0) {
        lastError_ = ::GetLastError();
        return false;
    }
    std::vector<char> block(size);
    if (!ok(getInfo(path.c_str(), 0, size, block.data()))) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!query(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        lastError_ = ERROR_RESOURCE_TYPE_NOT_FOUND;
        return false;
    }
    out.versionMS = fixed->dwFileVersionMS;
    out.versionLS = fixed->dwFileVersionLS;
    return true;
}

std::string Win32Os::errorText(Result code) {
    char* text = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, DWORD(code), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string out;
    if (n && text) out.assign(text, n);
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
    return out;
}

// ---- libraries and strings ----------------------------------------------------

std::unique_ptr<Library> Win32Os::loadLibrary(const std::string& path) {
    // No "insert a disk" or "missing DLL" box from the system: the caller reports.
    UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    Module module(::LoadLibraryA(path.c_str()));
    DWORD error = ::GetLastError();
    ::SetErrorMode(oldMode);
    if (!module) {
        lastError_ = error;
        return nullptr;
    }
    return std::make_unique<Win32Library>(std::move(module));
}

std::string Win32Os::loadString(uint32_t id) {
    // A string-table entry holds at most 65535 characters; ours are short.
    std::string buffer(4096, '\0');
    int n = ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer.data(), int(buffer.size()));
    if (n <= 0) {
        lastError_ = ::GetLastError();
        return std::string();
    }
    buffer.resize(size_t(n));
    return buffer;
}

}  // namespace ssi::win32
