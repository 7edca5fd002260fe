// The screen saver's entry in Windows' list of installed software (its
// command takes the 8.3 form of the file on Windows 95, 98 and ME).
#pragma once

#include <string>

#include "core/result_codes.h"
#include "platform/os.h"

namespace ssi {

// The key of a screen saver's uninstall entry, relative to HKLM or HKCU.
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The command that uninstalls the screen saver: systemDir + name + ".scr /u",
// never quoted. On Windows 95, 98 and ME the file is given in its 8.3 form
// when the system has one ("C:\WINDOWS\SYSTEM\NIGHTS~1.SCR /u").
std::string uninstallCommand(Os& os, const std::string& systemDir, const std::string& saverName);

// Writes DisplayName and UninstallString under HKLM, or under HKCU when HKLM
// cannot be written: 0, or kUninstallNotWritten when neither hive took it.
// A name that cannot be one key of its own (empty, or with a backslash) is
// refused with kUninstallNotWritten and nothing is written.
[[nodiscard]] Result writeUninstallEntry(Os& os, const std::string& systemDir, const std::string& saverName);

// Removes the entry from HKLM; HKCU is tried only when HKLM reports
// kUninstallNotDeleted, so an entry absent from HKLM counts as deleted and an
// HKCU-only entry stays. An HKLM entry that could not be deleted stays
// kUninstallNotDeleted whatever HKCU held: it is still listed. A name that
// cannot be one key of its own is never registered: 0, and nothing is
// touched.
[[nodiscard]] Result deleteUninstallEntry(Os& os, const std::string& saverName);

}  // namespace ssi
