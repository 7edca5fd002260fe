#include "saver/replaced_saver.h"

#include "core/trace.h"
#include "platform/file_utils.h"
#include "saver/uninstall_entry.h"
#include "saver/saver_activation.h"

namespace ssi {

namespace {

std::string folderPath(const std::string& dir) { return dir.substr(0, dir.size() - 1); }

// Copies a file over whatever file stands in its place (a read-only one too).
[[nodiscard]] Result putFileBack(Os& os, const std::string& from, const std::string& to) {
    if (fileExists(os, to)) ignoreResult(os.files().setAttributes(to, attr::kNormal), "the copy reports");
    return os.files().copyFile(from, to, false);
}

// Copies a folder (both named with their trailing backslash) and everything
// in it over what is there. Links inside are not followed: what they point
// to is not the screen saver's. Every entry is tried; the first failure is
// the result.
[[nodiscard]] Result copyTree(Os& os, const std::string& from, const std::string& to) {
    const Result made = os.files().createDirectory(folderPath(to));
    if (made != rc::kOk && made != oserr::kAlreadyExists) return made;
    std::vector<FindEntry> entries;
    if (Result e = os.files().findFiles(from + "*.*", entries); e != rc::kOk && e != oserr::kFileNotFound) return e;
    Result result = rc::kOk;
    for (const FindEntry& e : entries) {
        if (e.name == "." || e.name == ".." || (e.attributes & attr::kReparsePoint)) continue;
        const Result copied = (e.attributes & attr::kDirectory)
                                  ? copyTree(os, from + e.name + "\\", to + e.name + "\\")
                                  : putFileBack(os, from + e.name, to + e.name);
        if (result == rc::kOk) result = copied;
    }
    return result;
}

}  // namespace

ReplacedSaver::ReplacedSaver(const std::string& scratchDir) : keepDir_(scratchDir + "replaced\\") {}

Result ReplacedSaver::keep(Os& os, const std::string& original, const std::string& kept, bool folder) {
    const Result copied = folder ? copyTree(os, original, kept) : os.files().copyFile(original, kept, false);
    if (copied == rc::kOk) items_.push_back(Item{original, kept, folder, false});
    return copied;
}

Result ReplacedSaver::moveAside(Os& os, const std::string& dir, const std::string& name, const std::string& label) {
    const std::string file = dir + name + ".scr";
    const std::string folder = dir + name + " dir\\";
    const bool hasFile = fileExists(os, file), hasFolder = directoryExists(os, folder);
    if (!hasFile && !hasFolder) return rc::kOk;
    const std::string keepHere = keepDir_ + label + "\\";
    if (Result e = createDirPath(os, keepHere)) return e;  // nothing is moved without a place to keep it
    const size_t first = items_.size();
    Result result = rc::kOk;
    if (hasFile) result = keep(os, file, keepHere + name + ".scr", false);
    if (result == rc::kOk && hasFolder) result = keep(os, folder, keepHere + name + " dir\\", true);
    if (result != rc::kOk) {
        // Half a copy is no copy: nothing of this folder's is kept or removed.
        ignoreResult(deleteDirTree(os, keepHere), "half a copy left in the scratch folder goes with it");
        items_.resize(first);
        return result;
    }
    // Both copies are safe: now the originals go, as far as they can.
    // What cannot go is marked as stayed just below.
    ignoreResult(removeInstalledSaver(os, dir, name), "an original that stays is noted in its item");
    for (size_t i = first; i < items_.size(); ++i) items_[i].stayed = pathExists(os, items_[i].original);
    return rc::kOk;
}

void ReplacedSaver::rememberSettings(Os& os, const std::string& name) {
    remembered_ = true;
    hadActiveSaver_ = os.profile().readString("system.ini", "boot", "SCRNSAVE.EXE", activeSaver_) == rc::kOk;
    entryName_ = name;
    auto save = [&](Hive hive, SavedEntry& entry) {
        entry = SavedEntry();
        std::unique_ptr<RegistryKey> key;
        if (os.registry().openKey(hive, kUninstallKey + name, RegAccess::Read, key) != rc::kOk) return;
        entry.present = true;
        entry.displayName.present = key->queryValue("DisplayName", entry.displayName.value) == rc::kOk;
        entry.uninstallString.present = key->queryValue("UninstallString", entry.uninstallString.value) == rc::kOk;
    };
    save(Hive::LocalMachine, machineEntry_);
    save(Hive::CurrentUser, userEntry_);
}

Result ReplacedSaver::restoreSettings(Os& os) {
    if (!remembered_) return rc::kOk;
    Result result = rc::kOk;
    auto note = [&](Result r) {
        if (result == rc::kOk) result = r;
    };
    std::string now;
    const bool hasNow = os.profile().readString("system.ini", "boot", "SCRNSAVE.EXE", now) == rc::kOk;
    // The profile functions can only empty a key, which Windows reads as no
    // screen saver, as it reads a missing one.
    if (hadActiveSaver_ ? (!hasNow || now != activeSaver_) : (hasNow && !now.empty()))
        note(os.profile().writeString("system.ini", "boot", "SCRNSAVE.EXE", hadActiveSaver_ ? activeSaver_ : ""));

    auto put = [&](Hive hive, const SavedEntry& entry) {
        if (!entry.present) return;
        std::unique_ptr<RegistryKey> key;
        if (Result e = os.registry().createKey(hive, kUninstallKey + entryName_, RegAccess::AllAccess, key)) {
            note(e);
            return;
        }
        if (entry.displayName.present)
            note(key->setValue("DisplayName", entry.displayName.value.type, entry.displayName.value.data));
        if (entry.uninstallString.present)
            note(key->setValue("UninstallString", entry.uninstallString.value.type, entry.uninstallString.value.data));
    };
    put(Hive::LocalMachine, machineEntry_);
    put(Hive::CurrentUser, userEntry_);
    return result;
}

Result ReplacedSaver::restore(Os& os) {
    logEnter("restoreReplacedSaver");
    Result result = rc::kOk;
    std::vector<Item> left;
    for (const Item& item : items_) {
        Result back;
        if (item.folder) {
            // Whatever the new installation left there goes first.
            ignoreResult(deleteDirTree(os, item.original), "what stays fails the copy back over it");
            back = copyTree(os, item.kept, item.original);
        } else {
            back = putFileBack(os, item.kept, item.original);
        }
        // A file or folder that could never be deleted and still cannot be
        // written is the old one itself, still in its place.
        if (back != rc::kOk && item.stayed && pathExists(os, item.original)) back = rc::kOk;
        if (back == rc::kOk) {
            // The original is back: a copy that cannot go now goes with the scratch folder.
            ignoreResult(item.folder ? deleteDirTree(os, item.kept) : deleteFileForced(os, item.kept),
                         "the original is back in its place");
        } else {
            if (result == rc::kOk) result = back;
            left.push_back(item);
        }
    }
    items_ = std::move(left);
    // The files are what the kept-copies result is about: a setting that
    // cannot be put back is noted in the log and does not keep them.
    if (Result e = restoreSettings(os))
        logMessage("system.ini or the uninstall entry could not be put back: " + std::to_string(e));
    remembered_ = false;
    if (items_.empty())
        ignoreResult(deleteDirTree(os, keepDir_), "empty of kept copies: it goes with the scratch folder");
    logLeaveWith("restoreReplacedSaver", result);
    return result;
}

void ReplacedSaver::discard(Os& os) {
    ignoreResult(deleteDirTree(os, keepDir_),
                 "the new screen saver stays; leftovers go with the scratch folder");
    items_.clear();
    remembered_ = false;
}

}  // namespace ssi
