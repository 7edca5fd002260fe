// Files and directories: the Win32 file calls, version resources through
// version.dll (loaded at first use, so the program does not import it), and
// short path names.
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_util.h"

namespace ssi::win32 {

namespace {

class Win32File : public File {
public:
    explicit Win32File(FileHandle handle) : handle_(std::move(handle)) {}

    Result read(void* buffer, uint32_t size, uint32_t& got) override {
        got = 0;
        if (!handle_) return oserr::kInvalidHandle;
        DWORD n = 0;
        if (!::ReadFile(handle_.get(), buffer, size, &n, nullptr)) return systemError();
        got = n;
        return 0;
    }
    Result write(const void* buffer, uint32_t size, uint32_t& put) override {
        put = 0;
        if (!handle_) return oserr::kInvalidHandle;
        DWORD n = 0;
        if (!::WriteFile(handle_.get(), buffer, size, &n, nullptr)) return systemError();
        put = n;
        return 0;
    }
    Result seek(int64_t position) override {
        if (!handle_) return oserr::kInvalidHandle;
        if (position < 0) return oserr::kNegativeSeek;
        LONG high = LONG(uint64_t(position) >> 32);
        // INVALID_SET_FILE_POINTER is also a valid low word: only the error tells.
        ::SetLastError(0);
        const DWORD low = ::SetFilePointer(handle_.get(), LONG(uint32_t(position)), &high, FILE_BEGIN);
        if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != 0) return systemError();
        return 0;
    }
    Result size(int64_t& out) override {
        out = 0;
        if (!handle_) return oserr::kInvalidHandle;
        DWORD high = 0;
        ::SetLastError(0);
        const DWORD low = ::GetFileSize(handle_.get(), &high);
        if (low == INVALID_FILE_SIZE && ::GetLastError() != 0) return systemError();
        out = int64_t((uint64_t(high) << 32) | low);
        return 0;
    }
    Result close() override {
        if (!handle_) return oserr::kInvalidHandle;
        return ::CloseHandle(handle_.release()) ? 0 : systemError();
    }

private:
    FileHandle handle_;
};

Result check(BOOL succeeded) {
    return succeeded ? 0 : systemError();
}

}  // namespace

Result Win32FileSystem::attributes(const std::string& path, uint32_t& out) {
    out = ::GetFileAttributesA(path.c_str());
    return out == INVALID_FILE_ATTRIBUTES ? systemError() : 0;
}

Result Win32FileSystem::setAttributes(const std::string& path, uint32_t attributes) {
    return check(::SetFileAttributesA(path.c_str(), attributes));
}

Result Win32FileSystem::deleteFile(const std::string& path) {
    return check(::DeleteFileA(path.c_str()));
}

Result Win32FileSystem::createDirectory(const std::string& path) {
    return check(::CreateDirectoryA(path.c_str(), nullptr));
}

// RemoveDirectory of a junction removes the junction, never its target's contents.
Result Win32FileSystem::removeDirectory(const std::string& path) {
    return check(::RemoveDirectoryA(path.c_str()));
}

Result Win32FileSystem::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    return check(::CopyFileA(from.c_str(), to.c_str(), failIfExists));
}

// MoveFileEx with write-through where the system has it (NT); Windows 95,
// 98 and ME answer 120 and rename with MoveFile, which reaches the disk
// when the call returns there. No copy across volumes is allowed: a rename
// is the only move that a power loss cannot leave half done.
Result Win32FileSystem::moveFile(const std::string& from, const std::string& to) {
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
    const Result error = systemError();
    if (error != oserr::kCallNotImplemented) return error;
    return check(::MoveFileA(from.c_str(), to.c_str()));
}

Result Win32FileSystem::findFiles(const std::string& pattern, std::vector<FindEntry>& out) {
    out.clear();
    WIN32_FIND_DATAA data;
    FindHandle find(::FindFirstFileA(pattern.c_str(), &data));
    if (!find) {
        // Some systems answer "no more files" where nothing matched at all.
        const Result e = systemError();
        return e == ERROR_NO_MORE_FILES ? oserr::kFileNotFound : e;
    }
    do {
        FindEntry e;
        e.name = data.cFileName;
        e.attributes = data.dwFileAttributes;
        e.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        out.push_back(std::move(e));
    } while (::FindNextFileA(find.get(), &data));
    const Result end = systemError();
    if (end != ERROR_NO_MORE_FILES) {
        out.clear();
        return end;
    }
    return 0;
}

Result Win32FileSystem::openFile(const std::string& path, FileAccess access, std::unique_ptr<File>& out) {
    out.reset();
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
    FileHandle h(
        ::CreateFileA(path.c_str(), desired, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return systemError();
    out = std::make_unique<Win32File>(std::move(h));
    return 0;
}

Result Win32FileSystem::fileVersion(const std::string& path, FileVersion& out) {
    out = FileVersion();
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    if (!version_) {
        // By full path: the system's own copy, never one planted beside us.
        std::string dll = fetchString([](char* b, DWORD n) { return ::GetSystemDirectoryA(b, n); });
        if (!dll.empty() && dll.back() != '\\') dll += '\\';
        version_.reset(::LoadLibraryA((dll + "version.dll").c_str()));
        if (!version_) return systemError();
    }
    auto getSize = reinterpret_cast<SizeFn>(::GetProcAddress(version_.get(), "GetFileVersionInfoSizeA"));
    auto getInfo = reinterpret_cast<InfoFn>(::GetProcAddress(version_.get(), "GetFileVersionInfoA"));
    auto query = reinterpret_cast<QueryFn>(::GetProcAddress(version_.get(), "VerQueryValueA"));
    if (!getSize || !getInfo || !query) return oserr::kProcNotFound;
    DWORD ignored = 0;
    const DWORD size = getSize(path.c_str(), &ignored);
    if (size == 0) return systemError();
    std::vector<char> block(size);
    if (!getInfo(path.c_str(), 0, size, block.data())) return systemError();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!query(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return oserr::kResourceTypeNotFound;
    out.versionMS = fixed->dwFileVersionMS;
    out.versionLS = fixed->dwFileVersionLS;
    return 0;
}

Result Win32FileSystem::shortPathName(const std::string& path, std::string& out) {
    out.clear();
    ::SetLastError(0);
    std::string s = fetchString([&](char* b, DWORD n) { return ::GetShortPathNameA(path.c_str(), b, n); });
    if (s.empty()) return systemError();
    out = std::move(s);
    return 0;
}

}  // namespace ssi::win32
