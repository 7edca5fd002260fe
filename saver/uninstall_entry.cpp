#include "saver/uninstall_entry.h"

#include "core/trace.h"
#include "saver/saver_names.h"
#include "saver/windows_version.h"

namespace ssi {

namespace {

// The entry's key must be a key of its own below Uninstall: an empty name
// would be the Uninstall key itself, a backslash would reach into another.
bool isEntryName(const std::string& saverName) {
    return !saverName.empty() && saverName.find('\\') == std::string::npos;
}

std::vector<uint8_t> stringData(const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);  // REG_SZ holds its terminating zero
    return data;
}

[[nodiscard]] Result writeEntry(Os& os, Hive hive, const std::string& saverName,
                                const std::string& displayName, const std::string& command) {
    std::unique_ptr<RegistryKey> key;
    if (os.registry().createKey(hive, kUninstallKey + saverName, RegAccess::AllAccess, key) != rc::kOk)
        return rc::kUninstallNotWritten;
    if (key->setValue("DisplayName", regtype::kString, stringData(displayName)) != rc::kOk ||
        key->setValue("UninstallString", regtype::kString, stringData(command)) != rc::kOk)
        return rc::kUninstallNotWritten;
    return rc::kOk;
}

[[nodiscard]] Result deleteEntry(Os& os, Hive hive, const std::string& saverName) {
    const std::string path = kUninstallKey + saverName;
    {
        std::unique_ptr<RegistryKey> key;
        if (os.registry().openKey(hive, path, RegAccess::AllAccess, key) != rc::kOk) return rc::kOk;
        if (key->deleteValue("DisplayName") != rc::kOk) return rc::kUninstallNotDeleted;
        if (key->deleteValue("UninstallString") != rc::kOk) return rc::kUninstallNotDeleted;
    }  // closed before the key itself goes
    return os.registry().deleteKey(hive, path) == rc::kOk ? rc::kOk : rc::kUninstallNotDeleted;
}

}  // namespace

std::string uninstallCommand(Os& os, const std::string& systemDir, const std::string& saverName) {
    const std::string fileName = systemDir + saverName + ".scr";
    if (identifyWindowsVersion(os).isWindows9x()) {
        std::string shortName;
        if (os.files().shortPathName(fileName, shortName) == rc::kOk && !shortName.empty())
            return shortName + " /u";
    }
    return fileName + " /u";
}

Result writeUninstallEntry(Os& os, const std::string& systemDir, const std::string& saverName) {
    logEnterWith("writeUninstallEntry", saverName);
    if (!isEntryName(saverName)) return rc::kUninstallNotWritten;
    const std::string displayName = uninstallDisplayName(os, saverName);
    const std::string command = uninstallCommand(os, systemDir, saverName);
    Result result = writeEntry(os, Hive::LocalMachine, saverName, displayName, command);
    if (result != rc::kOk) result = writeEntry(os, Hive::CurrentUser, saverName, displayName, command);
    logLeaveWith("writeUninstallEntry", result);
    return result;
}

Result deleteUninstallEntry(Os& os, const std::string& saverName) {
    logEnterWith("deleteUninstallEntry", saverName);
    if (!isEntryName(saverName)) return rc::kOk;
    // The machine's entry first; when it cannot go (or there is none), the
    // user's, and the result is that of the hive tried last.
    Result result = deleteEntry(os, Hive::LocalMachine, saverName);
    if (result != rc::kOk) result = deleteEntry(os, Hive::CurrentUser, saverName);
    logLeaveWith("deleteUninstallEntry", result);
    return result;
}

}  // namespace ssi
