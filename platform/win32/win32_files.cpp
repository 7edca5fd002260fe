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

    [[nodiscard]] Result read(void* buffer, uint32_t size, uint32_t& got) override {
        got = 0;
        if (!handle_) return oserr::kInvalidHandle;
        DWORD n = 0;
        if (!::ReadFile(handle_.get(), buffer, size, &n, nullptr)) return systemError();
        got = n;
        return 0;
    }
    [[nodiscard]] Result write(const void* buffer, uint32_t size, uint32_t& put) override {
        put = 0;
        if (!handle_) return oserr::kInvalidHandle;
        DWORD n = 0;
        if (!::WriteFile(handle_.get(), buffer, size, &n, nullptr)) return systemError();
        put = n;
        return 0;
    }
    [[nodiscard]] Result seek(int64_t position) override {
        if (!handle_) return oserr::kInvalidHandle;
        if (position < 0) return oserr::kNegativeSeek;
        LONG high = LONG(uint64_t(position) >> 32);
        // INVALID_SET_FILE_POINTER is also a valid low word: only the error tells.
        ::SetLastError(0);
        const DWORD low = ::SetFilePointer(handle_.get(), LONG(uint32_t(position)), &high, FILE_BEGIN);
        if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != 0) return systemError();
        return 0;
    }
    [[nodiscard]] Result size(int64_t& out) override {
        out = 0;
        if (!handle_) return oserr::kInvalidHandle;
        DWORD high = 0;
        ::SetLastError(0);
        const DWORD low = ::GetFileSize(handle_.get(), &high);
        if (low == INVALID_FILE_SIZE && ::GetLastError() != 0) return systemError();
        out = int64_t((uint64_t(high) << 32) | low);
        return 0;
    }
    [[nodiscard]] Result close() override {
        if (!handle_) return oserr::kInvalidHandle;
        return ::CloseHandle(handle_.release()) ? 0 : systemError();
    }

private:
    FileHandle handle_;
};

[[nodiscard]] Result check(BOOL succeeded) {
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

namespace {

// The two well-known groups a private directory admits.
struct WellKnownSid {
    BYTE count;
    DWORD first, second;
};
constexpr WellKnownSid kAdministrators{2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS};
constexpr WellKnownSid kLocalSystem{1, SECURITY_LOCAL_SYSTEM_RID, 0};

// A SID made by AllocateAndInitializeSid, freed once.
class OwnedSid {
public:
    OwnedSid() = default;
    ~OwnedSid() {
        using FreeSidFn = PVOID(WINAPI*)(PSID);
        if (sid_)
            if (auto freeSid = reinterpret_cast<FreeSidFn>(advapiProc("FreeSid"))) freeSid(sid_);
    }
    OwnedSid(const OwnedSid&) = delete;
    OwnedSid& operator=(const OwnedSid&) = delete;
    PSID* out() { return &sid_; }
    PSID get() const { return sid_; }

private:
    PSID sid_ = nullptr;
};

}  // namespace

// Every security function comes from advapi32.dll at run time (see
// advapiProc); inheritance flags are set on the ACEs directly, as NT 4.0
// has no AddAccessAllowedAceEx.
Result Win32FileSystem::createPrivateDirectory(const std::string& path) {
    if (windows9x()) return oserr::kNotSupported;
    using AllocateSidFn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD,
                                        DWORD, DWORD, DWORD, PSID*);
    using LengthSidFn = DWORD(WINAPI*)(PSID);
    using InitAclFn = BOOL(WINAPI*)(PACL, DWORD, DWORD);
    using AddAceFn = BOOL(WINAPI*)(PACL, DWORD, DWORD, PSID);
    using GetAceFn = BOOL(WINAPI*)(PACL, DWORD, LPVOID*);
    using InitSdFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
    using SetDaclFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
    using SetControlFn =
        BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL);
    auto allocateSid = reinterpret_cast<AllocateSidFn>(advapiProc("AllocateAndInitializeSid"));
    auto lengthSid = reinterpret_cast<LengthSidFn>(advapiProc("GetLengthSid"));
    auto initAcl = reinterpret_cast<InitAclFn>(advapiProc("InitializeAcl"));
    auto addAce = reinterpret_cast<AddAceFn>(advapiProc("AddAccessAllowedAce"));
    auto getAce = reinterpret_cast<GetAceFn>(advapiProc("GetAce"));
    auto initSd = reinterpret_cast<InitSdFn>(advapiProc("InitializeSecurityDescriptor"));
    auto setDacl = reinterpret_cast<SetDaclFn>(advapiProc("SetSecurityDescriptorDacl"));
    // From Windows 2000 on: without it the parent's inheritable entries
    // would be added to ours. NT 4.0 adds none.
    auto setControl = reinterpret_cast<SetControlFn>(advapiProc("SetSecurityDescriptorControl"));
    if (!allocateSid || !lengthSid || !initAcl || !addAce || !getAce || !initSd || !setDacl)
        return oserr::kProcNotFound;

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    OwnedSid sids[2];
    const WellKnownSid* wanted[2] = {&kAdministrators, &kLocalSystem};
    DWORD aclSize = sizeof(ACL);
    for (int i = 0; i < 2; ++i) {
        if (!allocateSid(&nt, wanted[i]->count, wanted[i]->first, wanted[i]->second, 0, 0, 0, 0, 0, 0,
                         sids[i].out()))
            return systemError();
        aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + lengthSid(sids[i].get());
    }
    std::vector<DWORD> acl(aclSize / sizeof(DWORD) + 1);
    auto* list = reinterpret_cast<PACL>(acl.data());
    if (!initAcl(list, DWORD(acl.size() * sizeof(DWORD)), ACL_REVISION)) return systemError();
    for (int i = 0; i < 2; ++i) {
        if (!addAce(list, ACL_REVISION, FILE_ALL_ACCESS, sids[i].get())) return systemError();
        void* ace = nullptr;
        if (!getAce(list, DWORD(i), &ace)) return systemError();
        static_cast<ACE_HEADER*>(ace)->AceFlags |= OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    }
    SECURITY_DESCRIPTOR descriptor;
    if (!initSd(&descriptor, SECURITY_DESCRIPTOR_REVISION) || !setDacl(&descriptor, TRUE, list, FALSE))
        return systemError();
    if (setControl && !setControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) return systemError();
    SECURITY_ATTRIBUTES security{sizeof security, &descriptor, FALSE};
    return check(::CreateDirectoryA(path.c_str(), &security));
}

namespace {

class Win32HeldDirectory : public HeldDirectory {
public:
    explicit Win32HeldDirectory(FileHandle handle) : handle_(std::move(handle)) {}

private:
    FileHandle handle_;  // none on 95, 98 and ME
};

}  // namespace

Result Win32FileSystem::openDirectory(const std::string& path, uint32_t& attributes,
                                      std::unique_ptr<HeldDirectory>& out) {
    attributes = attr::kInvalid;
    out.reset();
    if (windows9x()) {
        // No links to be swapped in, and no directory handles to hold.
        if (Result e = this->attributes(path, attributes)) return e;
        if (!(attributes & attr::kDirectory)) return oserr::kNotADirectory;
        out = std::make_unique<Win32HeldDirectory>(FileHandle());
        return 0;
    }
    // Others may read and write inside it, never delete or rename it.
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    constexpr DWORD kReadAttributes = 0x0080;  // FILE_READ_ATTRIBUTES
    FileHandle h(::CreateFileA(path.c_str(), kReadAttributes, kShare, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    // NT 4.0 knows no reparse points and may refuse the flag.
    if (!h && ::GetLastError() == ERROR_INVALID_PARAMETER)
        h.reset(::CreateFileA(path.c_str(), kReadAttributes, kShare, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h) return systemError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h.get(), &info)) return systemError();
    attributes = info.dwFileAttributes;
    if (!(attributes & attr::kDirectory)) return oserr::kNotADirectory;
    out = std::make_unique<Win32HeldDirectory>(std::move(h));
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

Result Win32FileSystem::freeSpace(const std::string& path, uint64_t& bytes) {
    bytes = 0;
    std::string folder = path;
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    // GetDiskFreeSpaceExA came with Windows 95 OSR2; the first Windows 95 has
    // only GetDiskFreeSpaceA, whose counts stop at 2 GiB there.
    using FreeSpaceExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    auto freeSpaceEx =
        kernel ? reinterpret_cast<FreeSpaceExFn>(::GetProcAddress(kernel, "GetDiskFreeSpaceExA")) : nullptr;
    if (freeSpaceEx) {
        ULARGE_INTEGER available{}, total{}, free{};
        if (!freeSpaceEx(folder.c_str(), &available, &total, &free)) return systemError();
        bytes = available.QuadPart;
        return 0;
    }
    // The older call wants the root of the volume.
    std::string root = folder.size() >= 3 && folder[1] == ':' ? folder.substr(0, 3) : folder;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!::GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return systemError();
    bytes = uint64_t(sectorsPerCluster) * bytesPerSector * freeClusters;
    return 0;
}

}  // namespace ssi::win32
