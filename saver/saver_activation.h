// The steps of an installation that treat the screen saver as a part of
// Windows: releasing it from an open Display Properties dialog, replacing an
// installed copy of the same name, its data folder, making it the active
// screen saver, its documents, undoing a failed installation and opening the
// Display control panel. Each takes the folders and names it needs; folders
// end with a backslash.
#pragma once

#include <string>

#include "core/result_codes.h"
#include "platform/os.h"
#include "platform/file_utils.h"
#include "platform/reporter.h"
#include "saver/replaced_saver.h"

namespace ssi {

// The Display control panel's command: the program (in the system folder)
// and its arguments.
constexpr const char* kDisplayPanelProgram = "rundll32.exe";
constexpr const char* kDisplayPanelArguments = "shell32.dll,Control_RunDLL desk.cpl,,1";
// How long closeDisplayProperties waits for the cancelled dialog to go:
// 50 looks 100 ms apart.
constexpr int kDisplayPropertiesCloseWaits = 50;
constexpr uint32_t kDisplayPropertiesCloseWaitMs = 100;
constexpr int kDisplayPropertiesReclickEvery = 10;  // a click again each second it stays
// How often openDisplayControlPanel looks for its window.
constexpr int kDisplayPanelLookups = 1000;

// Clicks Cancel (id 2) of an open "Display Properties" dialog, which may hold
// the installed screen saver file open.
void closeDisplayProperties(Os& os);

// dir + name + ".scr" or the folder dir + name + " dir\" exists.
bool saverExists(Os& os, const std::string& dir, const std::string& name);
// Deletes both, as far as they can be: the last failure, or 0.
[[nodiscard]] Result removeInstalledSaver(Os& os, const std::string& dir, const std::string& name);
// Makes dir + name + " dir\": 0 when it exists or was made, else the system's error.
[[nodiscard]] Result createSaverDataDir(Os& os, const std::string& dir, const std::string& name);

// Makes way for the new screen saver in dirs.systemDir. When a copy of that
// name exists in the system or the Windows folder and `ask` is set, asks
// name + question through the reporter, in a Confirm box with OK and Cancel:
// anything but OK gives
// kUserDeclined with nothing changed. Otherwise moves the existing copies
// aside into `replaced` (the Windows folder's first), remembers system.ini's
// screen saver and the uninstall entry there, and makes the data folder.
// Any other failure (a copy that cannot be kept aside, settings that cannot
// be read, the system's refusal to make the data folder) is the system's
// error, with everything put back that could go back: nothing of the new
// screen saver is in place then, so there is nothing to clean up
// (cleanUpInstalledFiles would remove the old copy instead). What could not
// go back stays in `replaced` (its stranded() paths), for the caller to
// report. Before anything, kept copies that a killed run left beside the
// screen saver are put back or removed (recoverKeptSavers).
[[nodiscard]] Result prepareSaverTarget(Os& os, const InstallerDirs& dirs, const std::string& name, bool ask,
                                        const std::string& question, ReplacedSaver& replaced,
                                        Reporter& reporter);

// Writes the 8.3 path of systemDir + saverFile into system.ini's [boot]
// SCRNSAVE.EXE and switches screen saving on. kFileMissing when the file has
// no short path; kProfileNotWritten when system.ini cannot be written. Either
// way nothing else happens.
[[nodiscard]] Result activateScreenSaver(Os& os, const std::string& systemDir, const std::string& saverFile);

// Where the licence and read-me are extracted and where they go.
struct DocumentFiles {
    std::string scratchDir;
    std::string installDir;
    std::string licenseFile;  // package slot 4's file name
    std::string readMeFile;   // package slot 5's file name
};
// Copies the licence (when it was shown) and the read-me (when the package
// includes one) into the install folder. A missing source is kFileMissing,
// a failed copy the system's error; a read-me failure is returned at once
// and outranks a licence failure, which is otherwise the result.
[[nodiscard]] Result copyDocumentFiles(Os& os, const DocumentFiles& docs, bool licenseShown,
                                       bool readMeIncluded);

// Opens installDir + readMeFile with the program the user's system gives
// documents of its kind, when the package shows a read-me. Its outcome is
// not looked at.
void openReadMe(Os& os, bool showReadMe, const std::string& installDir, const std::string& readMeFile);

// Removes what a failed installation put in place: the install folder, the
// screen saver file and the uninstall entry. Results are not looked at.
void cleanUpInstalledFiles(Os& os, const std::string& installDir, const std::string& systemDir,
                           const std::string& saverFile, const std::string& saverName);

// When offered, starts the Display control panel on its screen saver page,
// rundll32.exe from systemDir by its full path (never a program of that name
// found elsewhere, such as beside the installer in a downloads folder), and
// looks for its window up to kDisplayPanelLookups times under the hourglass.
void openDisplayControlPanel(Os& os, bool offerDisplayPanel, const std::string& systemDir);

}  // namespace ssi
