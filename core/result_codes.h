// Header only (constants).
// Result codes: 0 success, negative the installer's own, positive an operating
// system error number passed through unchanged.
#pragma once

#include <cstdint>

namespace ssi {

using Result = int32_t;

// Every function that returns a Result is declared [[nodiscard]], so a
// dropped result fails the build. Where a step ignores a result on purpose,
// it says so, and why, through this call.
inline void ignoreResult(Result, const char* /*why*/) {}

namespace rc {
constexpr Result kOk = 0;

// File utilities.
constexpr Result kNotRemoved = -1;        // empty path, directory left, or no delete attempt made
constexpr Result kFileBusy = -32;         // a file exists and cannot be deleted
constexpr Result kSaverNotReplaced = -38; // as kFileBusy, for a ".scr" file

// Package and extraction.
constexpr Result kOutOfMemory = -7;
constexpr Result kItemIndexTooHigh = -12;
constexpr Result kExpandedSizeWrong = -13;
constexpr Result kDataFileNotOpen = -15;
constexpr Result kExpandedFileMissing = -16;
// The same number where a file to activate or to copy is missing.
constexpr Result kFileMissing = kExpandedFileMissing;
constexpr Result kShortRead = -30;
constexpr Result kShortHeader = -31;
constexpr Result kLibraryNotLoaded = -35;
constexpr Result kEmptySlotName = -531;
constexpr Result kMovieCopyFailed = -532;

// Flash support.
constexpr Result kFlashInstallerMissing = -401;  // the player installer is not in the scratch folder
constexpr Result kFlashNotInstallable = -402;
constexpr Result kSwfBadSignature = -404;
constexpr Result kSwfTooNew = -405;
constexpr Result kSwfTooOld = -406;
constexpr Result kFlashControlNotCreated = -403;  // the Flash panel got no player control
constexpr Result kFlashPlayerTooOld = -410;       // the movie needs a newer player than the installed one
// A player control object was made but could not be placed in its panel, and is gone again.
constexpr Result kControlNotSited = -411;

// Installer control.
constexpr Result kUserDeclined = -454;
constexpr Result kNotCompatibleWithNT = -455;
constexpr Result kCopyInstallerFailed = -523;  // message selector only

// Codes of our own for hostile or damaged input, where the installer would
// otherwise go on with data it cannot trust.
constexpr Result kCorruptPackage = -540;      // header or slot names that cannot be valid
constexpr Result kNoDestination = -541;       // a slot whose kind has no destination
constexpr Result kCorruptDataFile = -542;     // data file item table that cannot be valid
constexpr Result kUnsafeItemName = -543;      // data item name that would leave the install directory
constexpr Result kSwfTruncated = -407;        // movie shorter than its 8-byte header
constexpr Result kSwfInflateFailed = -408;    // compressed movie body is not a complete zlib stream
constexpr Result kSwfTempFileFailed = -409;   // a temporary copy could not be read or written
// system.ini's [boot] SCRNSAVE.EXE could not be written (read-only file, no
// right to write the Windows folder): the screen saver is installed but not
// made the active one, and screen saving is left as it was.
constexpr Result kProfileNotWritten = -544;
// The data file's items need more room than the install folder's volume has
// free: nothing of them is written.
constexpr Result kNotEnoughDiskSpace = -545;

// Uninstall entry.
constexpr Result kUninstallNotWritten = -2201;  // neither hive took the entry
constexpr Result kUninstallNotDeleted = -2202;  // a value or the key could not be deleted
}  // namespace rc

}  // namespace ssi
