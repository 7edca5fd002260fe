// Header only (constants).
// The package's vocabulary as named numbers: the fixed roles of the eleven
// slots, the destination rules (target kinds) and the presentation modes of
// the installer. Logic names these; it never tests bare numbers.
#pragma once

#include <cstdint>

namespace ssi {

// Slot roles.
namespace slot {
constexpr int kInstallerImage = 0;  // the program image itself, never extracted
constexpr int kLibrary = 1;         // the decompression library, extracted with the header
constexpr int kFlashInstaller = 2;  // the player installer the package may carry
constexpr int kPreview = 3;         // the preview: a picture or a movie
constexpr int kLicense = 4;         // the licence text
constexpr int kReadMe = 5;          // the read-me document
constexpr int kSaver = 6;           // the screen saver file (.scr)
constexpr int kSettings = 7;        // a settings file of the screen saver
constexpr int kDataFile = 8;        // the screen saver data file
constexpr int kEngine1 = 9;         // the screen saver's engine libraries
constexpr int kEngine2 = 10;
constexpr int kFirst = 0;
constexpr int kLast = 10;
constexpr int kCount = 11;
}  // namespace slot

// Destination rules of a slot (its targetKind).
namespace kind {
constexpr int32_t kNone = 0;                 // no destination (as are 8, 9 and anything past 10)
constexpr int32_t kInstallDir = 1;           // install directory (so are 5, 6 and 10)
constexpr int32_t kSystemDir = 2;            // system directory (the screen saver)
constexpr int32_t kSystemLibrary = 3;        // the player installer to the scratch directory, else a system DLL
constexpr int32_t kScratchLibrary = 4;       // scratch directory; "impborl.dat" as "impborl.dll"
constexpr int32_t kInstallDirSettings = 5;   // install directory
constexpr int32_t kInstallDirImage = 6;      // install directory; the builder's kind for slot 0
constexpr int32_t kScratch = 7;              // scratch directory
constexpr int32_t kInstallDirLibrary = 10;   // install directory
constexpr int32_t kHighest = 10;

constexpr bool isInstallDir(int32_t k) {
    return k == kInstallDir || k == kInstallDirSettings || k == kInstallDirImage || k == kInstallDirLibrary;
}
// Kinds 1 to 7 and 10 select a folder.
constexpr bool hasDestination(int32_t k) { return (k >= kInstallDir && k <= kScratch) || k == kInstallDirLibrary; }
}  // namespace kind

// Presentation modes (the header's installerMode, the installer's activeMode).
namespace mode {
constexpr uint8_t kBmpPreview = 1;
constexpr uint8_t kMoviePreview = 2;
constexpr uint8_t kMoviePreviewToo = 3;  // behaves as 2
constexpr uint8_t kQuiet = 4;
constexpr uint8_t kJpegPreview = 8;

constexpr bool isPicture(uint8_t m) { return m == kBmpPreview || m == kJpegPreview; }
constexpr bool isMovie(uint8_t m) { return m == kMoviePreview || m == kMoviePreviewToo; }
}  // namespace mode

}  // namespace ssi
