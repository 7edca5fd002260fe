// An older copy of the screen saver, kept aside while a new one is installed
// over it, so that a failed or cancelled installation leaves the computer as
// it found it.
//
// One record per installation, made by the installer before
// prepareSaverTarget and kept until the installation has ended:
//
//   ReplacedSaver replaced(dirs.scratchDir);
//   result = prepareSaverTarget(os, dirs, saverName, ask, question, replaced, reporter);
//   (a failure here has already put everything back: nothing to clean up)
//   ... extraction, activation, documents, uninstall entry ...
//   when the installed files are removed again (failure, cancel):
//       cleanUpInstalledFiles(...);   every time the sequence calls it
//       replaced.restore(os);         after the last of them
//   otherwise (success, or only the activation failed):
//       replaced.discard(os);
//
// What it keeps, in the scratch folder's "replaced\" folder:
// - NAME.scr and "NAME dir\" of the Windows and of the system folder. They are
//   copied aside and then deleted from their places (the scratch folder may be
//   on another drive, so a copy is the only move that always works). A file or
//   folder that cannot be deleted (a running screen saver, an open Display
//   Properties dialog) stays where it is; the extraction meets the file again
//   and reports -38 there.
// - system.ini's [boot] SCRNSAVE.EXE as it was before the activation.
// - the screen saver's uninstall entry under HKLM and HKCU as it was, which
//   the clean-up of a failed installation deletes.
#pragma once

#include <string>
#include <vector>

#include "core/result_codes.h"
#include "platform/os.h"

namespace ssi {

class ReplacedSaver {
public:
    // One file or folder that was moved aside.
    struct Item {
        std::string original;  // where it was; a folder ends with "\"
        std::string kept;      // its copy in the keep folder
        bool folder = false;
        bool stayed = false;  // it could not be (completely) deleted from its place
    };

    // The kept copies go to scratchDir + "replaced\".
    explicit ReplacedSaver(const std::string& scratchDir);

    // Moves dir + name + ".scr", then dir + name + " dir\", aside (whichever
    // exist), under a folder of the keep folder named `label`. A copy that
    // cannot be made is the result (positive, the system's error) and leaves
    // that original untouched; nothing else is moved after it.
    [[nodiscard]] Result moveAside(Os& os, const std::string& dir, const std::string& name,
                                   const std::string& label);
    // Notes what system.ini's SCRNSAVE.EXE and the uninstall entry of `name`
    // hold now, before the installation changes them.
    void rememberSettings(Os& os, const std::string& name);

    // Puts back every kept file and folder over whatever stands in its place
    // now, then SCRNSAVE.EXE and the uninstall entry as they were. Items put
    // back are dropped from the record with their copies; an item that could
    // not be put back stays (with its copy) and its error is the result.
    [[nodiscard]] Result restore(Os& os);
    // Deletes every kept copy: the new screen saver stays.
    void discard(Os& os);

    const std::vector<Item>& items() const { return items_; }
    const std::string& keepDir() const { return keepDir_; }
    bool empty() const { return items_.empty(); }

private:
    // A registry value as it was, or that it was missing.
    struct SavedValue {
        bool present = false;
        RegValue value;
    };
    struct SavedEntry {
        bool present = false;
        SavedValue displayName, uninstallString;
    };

    [[nodiscard]] Result keep(Os& os, const std::string& original, const std::string& kept, bool folder);
    // Puts back SCRNSAVE.EXE and the uninstall entry: every value is tried;
    // the first failure is the result.
    [[nodiscard]] Result restoreSettings(Os& os);

    std::string keepDir_;
    std::vector<Item> items_;
    bool remembered_ = false;
    bool hadActiveSaver_ = false;  // system.ini named a screen saver
    std::string activeSaver_;      // ... this one
    std::string entryName_;
    SavedEntry machineEntry_, userEntry_;
};

}  // namespace ssi
