// An older copy of the screen saver, kept aside while a new one is installed
// over it, so that a failed, cancelled or killed installation leaves the
// computer as it found it.
//
// One record per installation, made by the installer before
// prepareSaverTarget and kept until the installation has ended:
//
//   ReplacedSaver replaced;
//   result = prepareSaverTarget(os, dirs, saverName, ask, question, replaced, reporter);
//   (a failure here has already put everything back that could go back)
//   ... extraction (system files a slot replaces are kept aside too),
//       activation, documents, uninstall entry ...
//   when the installed files are removed again (failure, cancel):
//       cleanUpInstalledFiles(...);
//       replaced.restore(os);        at once, before anything waits on the user
//   otherwise (success, or only the activation failed):
//       replaced.discard(os);
//   whatever restore could not put back stays kept, and its paths are
//   reported (stranded()).
//
// Where it keeps them: beside themselves, on the same volume, renamed to the
// kept name (keptPathOf): "Night Sky.scr" becomes "Night Sky.scr.kept" (8.3
// alias "NIGHTS~1.KEP", which the screen-saver list, looking for *.SCR,
// ignores), "Night Sky dir\" becomes "Night Sky dir.kept\". A rename is
// atomic: at every moment the old file exists under one of its two names,
// and a killed run leaves it there for the next run (recoverKeptSavers).
// A file or folder that cannot be renamed (a running screen saver, an open
// Display Properties dialog) stays in its place and is copied to its kept
// name instead; the extraction meets the file again and reports -38 there.
//
// A kept copy is deleted only once its original is verified back in place
// (its bytes, or every file of its folder, equal to the kept ones), or once
// the new installation has succeeded.
//
// It also remembers system.ini's [boot] SCRNSAVE.EXE and the screen saver's
// uninstall entry under HKLM and HKCU, the whole key (every value of any type
// and every subkey), and puts them back exactly as they were.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/result_codes.h"
#include "platform/os.h"

namespace ssi {

// The kept name beside an original: a file's path + ".kept", a folder
// ("...\Night Sky dir\") as "...\Night Sky dir.kept\".
constexpr const char* kKeptSuffix = ".kept";
std::string keptPathOf(const std::string& original);
// The name a kept copy takes when the new screen saver stays and the copy is
// let go: ".gone" in place of ".kept". The next run removes what it finds
// under it and never puts it back.
constexpr const char* kGoneSuffix = ".gone";
std::string gonePathOf(const std::string& original);

// A registry key as it was: its values and its subkeys, by name as written.
struct KeySnapshot {
    std::map<std::string, RegValue> values;
    std::map<std::string, KeySnapshot> subKeys;
};
// Reads the key at `path` and everything below it (2 when it is missing).
[[nodiscard]] Result readKeySnapshot(Os& os, Hive hive, const std::string& path, KeySnapshot& out);
// Makes the key at `path` hold exactly the snapshot: values and subkeys it
// did not have are deleted, the others written. The first failure, or 0.
[[nodiscard]] Result writeKeySnapshot(Os& os, Hive hive, const std::string& path, const KeySnapshot& snapshot);
// Deletes a key with all its subkeys: 0 also when it was not there.
[[nodiscard]] Result deleteKeyTree(Os& os, Hive hive, const std::string& path);

// What a killed run of the installer may have left beside dir + name + ".scr"
// and dir + name + " dir\": a kept copy goes back under its own name when
// nothing stands there or what stands there differs from it (the run ended
// before it could tell whether the new copy was whole); one equal to what
// stands there is deleted. Each step is logged. The first failure, or 0.
[[nodiscard]] Result recoverKeptSavers(Os& os, const std::string& dir, const std::string& name);
// The same for one file or folder (a folder ends with "\\"); a let-go copy
// (gonePathOf) beside it is removed first.
[[nodiscard]] Result recoverKeptCopy(Os& os, const std::string& original);

class ReplacedSaver {
public:
    // One file or folder that was kept aside.
    struct Item {
        std::string original;  // where it was; a folder ends with "\"
        std::string kept;      // its kept name beside it
        bool folder = false;
        bool stayed = false;  // it could not be renamed: the original stayed and was copied
    };

    // Keeps dir + name + ".scr", then dir + name + " dir\", aside (whichever
    // exist). One that can be neither renamed nor copied is the result (the
    // system's error), that original untouched; nothing else is kept after it.
    [[nodiscard]] Result moveAside(Os& os, const std::string& dir, const std::string& name);
    // Keeps one system file that a package slot is about to replace, by
    // rename only: the system's error when it cannot be renamed (the file
    // then stays as it is). 0 when it is missing or already kept.
    [[nodiscard]] Result keepFile(Os& os, const std::string& path);
    // Notes what system.ini's SCRNSAVE.EXE and the uninstall entry of `name`
    // hold now, before the installation changes them. A value or key that
    // cannot be read (other than missing) is the result: nothing could be put
    // back exactly, so nothing may be changed.
    [[nodiscard]] Result rememberSettings(Os& os, const std::string& name);

    // Puts back every kept file and folder over whatever stands in its place
    // now, then SCRNSAVE.EXE and the uninstall entry as they were. Items put
    // back and verified are dropped from the record with their kept copies;
    // an item that could not be put back stays, with its kept copy, and its
    // error is the result, as is the first setting that could not be put back.
    [[nodiscard]] Result restore(Os& os);
    // The new screen saver stays: every kept copy is renamed to its let-go
    // name and deleted. One that cannot be deleted stays under that name (the
    // next run removes it; one that could not even be renamed stays kept);
    // the first such failure is the result.
    [[nodiscard]] Result discard(Os& os);

    const std::vector<Item>& items() const { return items_; }
    bool empty() const { return items_.empty(); }
    // The kept paths of the items that restore could not put back.
    std::vector<std::string> stranded() const;

private:
    struct SavedEntry {
        bool present = false;
        KeySnapshot key;
    };

    [[nodiscard]] Result keep(Os& os, const std::string& original, bool folder, bool renameOnly);
    [[nodiscard]] Result putBack(Os& os, const Item& item);
    [[nodiscard]] Result restoreSettings(Os& os);

    std::vector<Item> items_;
    bool remembered_ = false;
    bool hadActiveSaver_ = false;  // system.ini named a screen saver
    std::string activeSaver_;      // ... this one
    std::string entryName_;
    SavedEntry machineEntry_, userEntry_;
};

}  // namespace ssi
