// The registry and profile (".ini") files through the Win32 calls. Registry
// functions return their error instead of setting the thread's last error.
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_util.h"

namespace ssi::win32 {

namespace {

HKEY rootOf(Hive hive) {
    switch (hive) {
        case Hive::ClassesRoot:
            return HKEY_CLASSES_ROOT;
        case Hive::CurrentUser:
            return HKEY_CURRENT_USER;
        case Hive::LocalMachine:
            return HKEY_LOCAL_MACHINE;
    }
    return HKEY_CURRENT_USER;
}

REGSAM samOf(RegAccess access) {
    return access == RegAccess::Read ? KEY_READ : KEY_ALL_ACCESS;
}

// Callers may spell a path from the root ("\\CLSID\\{...}"); the system refuses
// a leading backslash (161), so it is dropped.
const char* relative(const std::string& path) {
    const char* p = path.c_str();
    while (*p == '\\') ++p;
    return p;
}

class Win32Key : public RegistryKey {
public:
    explicit Win32Key(RegKey key) : key_(std::move(key)) {}

    [[nodiscard]] Result setValue(const std::string& name, uint32_t type,
                                  const std::vector<uint8_t>& data) override {
        const LONG status =
            ::RegSetValueExA(key_.get(), name.c_str(), 0, type, data.data(), DWORD(data.size()));
        return status ? statusError(status) : 0;
    }

    [[nodiscard]] Result queryValue(const std::string& name, RegValue& out) override {
        out = RegValue();
        DWORD type = 0, size = 0;
        LONG status = ::RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, nullptr, &size);
        // The value may grow between asking for its size and reading it.
        for (int attempt = 0; status == ERROR_SUCCESS || status == ERROR_MORE_DATA; ++attempt) {
            out.data.resize(size);
            DWORD got = size;
            status = ::RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, out.data.data(), &got);
            if (status == ERROR_SUCCESS) {
                out.data.resize(got);
                out.type = type;
                return 0;
            }
            size = got > size ? got : size * 2 + 16;
            if (attempt == 8) break;
        }
        out = RegValue();
        return statusError(status);
    }

    [[nodiscard]] Result deleteValue(const std::string& name) override {
        const LONG status = ::RegDeleteValueA(key_.get(), name.c_str());
        return status ? statusError(status) : 0;
    }

    [[nodiscard]] Result subKeyNames(std::vector<std::string>& out) override {
        return enumerate(out, [this](DWORD index, char* name, DWORD* length) {
            return ::RegEnumKeyExA(key_.get(), index, name, length, nullptr, nullptr, nullptr, nullptr);
        });
    }

    [[nodiscard]] Result valueNames(std::vector<std::string>& out) override {
        return enumerate(out, [this](DWORD index, char* name, DWORD* length) {
            return ::RegEnumValueA(key_.get(), index, name, length, nullptr, nullptr, nullptr, nullptr);
        });
    }

private:
    // Names by index until the system says there are no more, growing the
    // name buffer when a name does not fit.
    template <typename Enum>
    [[nodiscard]] static Result enumerate(std::vector<std::string>& out, Enum next) {
        out.clear();
        std::string name(256, '\0');
        for (DWORD index = 0;;) {
            DWORD length = DWORD(name.size());
            const LONG status = next(index, name.data(), &length);
            if (status == ERROR_NO_MORE_ITEMS) return 0;
            if (status == ERROR_MORE_DATA && name.size() < 65536) {
                name.resize(name.size() * 4);
                continue;
            }
            if (status != ERROR_SUCCESS) {
                out.clear();
                return statusError(status);
            }
            out.emplace_back(name.data(), length);
            ++index;
        }
    }

    RegKey key_;
};

}  // namespace

Result Win32Registry::openKey(Hive hive, const std::string& path, RegAccess access,
                              std::unique_ptr<RegistryKey>& out) {
    out.reset();
    HKEY key = nullptr;
    const LONG status = ::RegOpenKeyExA(rootOf(hive), relative(path), 0, samOf(access), &key);
    if (status != ERROR_SUCCESS) return statusError(status);
    out = std::make_unique<Win32Key>(RegKey(key));
    return 0;
}

Result Win32Registry::createKey(Hive hive, const std::string& path, RegAccess access,
                                std::unique_ptr<RegistryKey>& out) {
    out.reset();
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG status = ::RegCreateKeyExA(rootOf(hive), relative(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          samOf(access), nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS) return statusError(status);
    out = std::make_unique<Win32Key>(RegKey(key));
    return 0;
}

Result Win32Registry::deleteKey(Hive hive, const std::string& path) {
    const LONG status = ::RegDeleteKeyA(rootOf(hive), relative(path));
    return status ? statusError(status) : 0;
}

// ---- profile files ------------------------------------------------------------

Result Win32Profile::writeString(const std::string& file, const std::string& section, const std::string& key,
                                 const std::string& value) {
    if (::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str())) return 0;
    return systemError();
}

Result Win32Profile::readString(const std::string& file, const std::string& section, const std::string& key,
                                std::string& out) {
    out.clear();
    // A line of a profile file never holds a line break, so no stored value
    // can equal this default: getting it back means the key is missing.
    static const char kMissing[] = "\x01\n\x02";
    std::string buffer(256, '\0');
    for (;;) {
        const DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissing, buffer.data(),
                                                   DWORD(buffer.size()), file.c_str());
        // A value that fills the buffer may have been cut short: read it again larger.
        if (n + 1 >= buffer.size() && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        buffer.resize(n);
        break;
    }
    if (buffer == kMissing) return oserr::kFileNotFound;
    out = std::move(buffer);
    return 0;
}

}  // namespace ssi::win32
