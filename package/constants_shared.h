// File names of the package vocabulary that packages and the screen saver
// share. The installer addresses slots by number and uses none of these
// itself. The "not_used:" prefix is part of those two values.
#pragma once

namespace ssi {

// The screen saver's engine libraries (slots 9 and 10 of a package).
constexpr const char* const kSaverEngineFiles[2] = {"saver1.dll", "saver2.dll"};

// Settings, pattern and icon files of the screen saver.
constexpr const char* const kSaverSupportFiles[6] = {"not_used:saver.scf",   "prevmon.scf",   "setwnd.scf",
                                                     "not_used:pattern.bmp", "installer.ico", "saver.ico"};

// The installer's settings file, the licence and the read-me.
constexpr const char* const kInstallerDocumentFiles[3] = {"installer.scf", "License.txt", "ReadMe.txt"};

// The uninstaller and the library it comes with.
constexpr const char* const kUninstallFiles[2] = {"uninstall.exe", "saver2.dll"};

}  // namespace ssi
