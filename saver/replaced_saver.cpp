#include "saver/replaced_saver.h"

#include <algorithm>
#include <cstring>

#include "core/buffer.h"
#include "core/names.h"
#include "core/trace.h"
#include "platform/file_utils.h"
#include "saver/uninstall_entry.h"
#include "saver/saver_activation.h"

namespace ssi {

namespace {

bool isFolderPath(const std::string& path) { return !path.empty() && path.back() == '\\'; }
std::string withoutSlash(const std::string& dir) { return isFolderPath(dir) ? dir.substr(0, dir.size() - 1) : dir; }

// Copies a file over whatever file stands in its place (a read-only one too).
[[nodiscard]] Result putFileBack(Os& os, const std::string& from, const std::string& to) {
    if (fileExists(os, to)) ignoreResult(os.files().setAttributes(to, attr::kNormal), "the copy reports a refusal");
    return os.files().copyFile(from, to, false);
}

// Copies a folder (both named with their trailing backslash) and everything
// in it over what is there. Links inside are not followed: what they point
// to is not the screen saver's. Every entry is tried; the first failure is
// the result.
[[nodiscard]] Result copyTree(Os& os, const std::string& from, const std::string& to) {
    const Result made = os.files().createDirectory(withoutSlash(to));
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

// Whether two files hold the same bytes, compared a block at a time so that
// a saver's folder of large media never has to fit in memory. Any error
// reading either is "no".
bool sameBytes(Os& os, const std::string& a, const std::string& b) {
    std::unique_ptr<File> fa, fb;
    int64_t sizeA = 0, sizeB = 0;
    if (os.files().openFile(a, FileAccess::Read, fa) || os.files().openFile(b, FileAccess::Read, fb)) return false;
    if (fa->size(sizeA) || fb->size(sizeB) || sizeA != sizeB) return false;
    ByteBuffer bufferA, bufferB;
    constexpr uint32_t kBlock = 64 * 1024;
    if (!bufferA.allocate(kBlock) || !bufferB.allocate(kBlock)) return false;
    for (int64_t left = sizeA; left > 0;) {
        const uint32_t want = uint32_t(std::min<int64_t>(left, kBlock));
        if (readExact(*fa, bufferA.data(), want) || readExact(*fb, bufferB.data(), want)) return false;
        if (std::memcmp(bufferA.data(), bufferB.data(), want) != 0) return false;
        left -= want;
    }
    return true;
}

// Whether `original` holds what `kept` holds: the same bytes, or for a folder
// every file below it with the same bytes (a file the new installation
// added does not matter). Any error reading either is "no".
bool holdsTheSame(Os& os, const std::string& kept, const std::string& original) {
    if (!isFolderPath(kept)) {
        return sameBytes(os, kept, original);
    }
    if (!directoryExists(os, original)) return false;
    std::vector<FindEntry> entries;
    const Result listed = os.files().findFiles(kept + "*.*", entries);
    if (listed != rc::kOk && listed != oserr::kFileNotFound) return false;
    for (const FindEntry& e : entries) {
        if (e.name == "." || e.name == ".." || (e.attributes & attr::kReparsePoint)) continue;
        const bool folder = (e.attributes & attr::kDirectory) != 0;
        const std::string suffix = folder ? "\\" : "";
        if (!holdsTheSame(os, kept + e.name + suffix, original + e.name + suffix)) return false;
    }
    return true;
}

// Removes a file or a folder tree: 0 when it is gone.
[[nodiscard]] Result removePath(Os& os, const std::string& path) {
    if (isFolderPath(path)) return directoryExists(os, path) ? deleteDirTree(os, path) : rc::kOk;
    return fileExists(os, path) ? deleteFileForced(os, path) : rc::kOk;
}

bool present(Os& os, const std::string& path) {
    return isFolderPath(path) ? directoryExists(os, path) : fileExists(os, path);
}

}  // namespace

std::string keptPathOf(const std::string& original) {
    return isFolderPath(original) ? withoutSlash(original) + kKeptSuffix + "\\" : original + kKeptSuffix;
}

std::string gonePathOf(const std::string& original) {
    return isFolderPath(original) ? withoutSlash(original) + kGoneSuffix + "\\" : original + kGoneSuffix;
}

// ---- registry snapshots ------------------------------------------------------------

Result readKeySnapshot(Os& os, Hive hive, const std::string& path, KeySnapshot& out) {
    out = KeySnapshot();
    std::unique_ptr<RegistryKey> key;
    if (Result e = os.registry().openKey(hive, path, RegAccess::Read, key)) return e;
    std::vector<std::string> names;
    if (Result e = key->valueNames(names)) return e;
    for (const std::string& name : names) {
        RegValue value;
        if (Result e = key->queryValue(name, value)) return e;
        out.values[name] = value;
    }
    if (Result e = key->subKeyNames(names)) return e;
    for (const std::string& name : names)
        if (Result e = readKeySnapshot(os, hive, path + "\\" + name, out.subKeys[name])) return e;
    return rc::kOk;
}

Result deleteKeyTree(Os& os, Hive hive, const std::string& path) {
    {
        std::unique_ptr<RegistryKey> key;
        const Result opened = os.registry().openKey(hive, path, RegAccess::AllAccess, key);
        if (opened == oserr::kFileNotFound) return rc::kOk;
        if (opened != rc::kOk) return opened;
        std::vector<std::string> names;
        if (Result e = key->subKeyNames(names)) return e;
        for (const std::string& name : names)
            if (Result e = deleteKeyTree(os, hive, path + "\\" + name)) return e;
    }  // closed before the key itself goes
    const Result deleted = os.registry().deleteKey(hive, path);
    return deleted == oserr::kFileNotFound ? rc::kOk : deleted;
}

Result writeKeySnapshot(Os& os, Hive hive, const std::string& path, const KeySnapshot& snapshot) {
    std::unique_ptr<RegistryKey> key;
    if (Result e = os.registry().createKey(hive, path, RegAccess::AllAccess, key)) return e;
    std::vector<std::string> names;
    if (Result e = key->valueNames(names)) return e;
    for (const std::string& name : names) {
        bool wanted = false;
        for (const auto& value : snapshot.values) wanted = wanted || lowerCase(value.first) == lowerCase(name);
        if (!wanted)
            if (Result e = key->deleteValue(name)) return e;
    }
    for (const auto& value : snapshot.values) {
        RegValue now;
        if (key->queryValue(value.first, now) == rc::kOk && now.type == value.second.type &&
            now.data == value.second.data)
            continue;
        if (Result e = key->setValue(value.first, value.second.type, value.second.data)) return e;
    }
    if (Result e = key->subKeyNames(names)) return e;
    for (const std::string& name : names) {
        bool wanted = false;
        for (const auto& sub : snapshot.subKeys) wanted = wanted || lowerCase(sub.first) == lowerCase(name);
        if (!wanted)
            if (Result e = deleteKeyTree(os, hive, path + "\\" + name)) return e;
    }
    for (const auto& sub : snapshot.subKeys)
        if (Result e = writeKeySnapshot(os, hive, path + "\\" + sub.first, sub.second)) return e;
    return rc::kOk;
}

// ---- leftovers of a killed run ------------------------------------------------------------

Result recoverKeptCopy(Os& os, const std::string& original) {
    Result result = rc::kOk;
    const std::string let = gonePathOf(original);
    if (present(os, let)) {
        result = removePath(os, let);
        logMessage("a copy an earlier run let go, removed: " + let + " (" + std::to_string(result) + ")");
    }
    const std::string kept = keptPathOf(original);
    if (!present(os, kept)) return result;
    Result step = rc::kOk;
    if (present(os, original) && holdsTheSame(os, kept, original)) {
        step = removePath(os, kept);
        logMessage("a kept copy left by an earlier run, equal to its original, removed: " + kept + " (" +
                   std::to_string(step) + ")");
    } else {
        step = removePath(os, original);
        if (step == rc::kOk) step = os.files().moveFile(withoutSlash(kept), withoutSlash(original));
        logMessage("a kept copy left by an earlier run put back: " + kept + " (" + std::to_string(step) + ")");
    }
    return result == rc::kOk ? step : result;
}

Result recoverKeptSavers(Os& os, const std::string& dir, const std::string& name) {
    Result result = rc::kOk;
    for (const std::string& original : {dir + name + ".scr", dir + name + " dir\\"}) {
        const Result step = recoverKeptCopy(os, original);
        if (result == rc::kOk) result = step;
    }
    return result;
}

// ---- the record -----------------------------------------------------------------------------

Result ReplacedSaver::keep(Os& os, const std::string& original, bool folder, bool renameOnly) {
    const std::string kept = keptPathOf(original);
    // A kept copy left by a killed run was dealt with before; one still
    // there is no copy of ours and must not be overwritten.
    if (pathExists(os, withoutSlash(kept))) return oserr::kAlreadyExists;
    const Result moved = os.files().moveFile(withoutSlash(original), withoutSlash(kept));
    if (moved == rc::kOk) {
        items_.push_back(Item{original, kept, folder, false});
        logMessage("kept aside: " + original);
        return rc::kOk;
    }
    if (renameOnly) return moved;
    // It cannot be renamed (held open): it stays, and a copy beside it is kept.
    const Result copied = folder ? copyTree(os, original, kept) : os.files().copyFile(original, kept, true);
    if (copied == rc::kOk && holdsTheSame(os, kept, original)) {
        items_.push_back(Item{original, kept, folder, true});
        logMessage("copied aside, the original stays: " + original);
        return rc::kOk;
    }
    // Half a copy is no copy.
    ignoreResult(removePath(os, kept), "a partial copy that stays is a leftover the next run removes");
    return copied != rc::kOk ? copied : oserr::kGenFailure;
}

Result ReplacedSaver::moveAside(Os& os, const std::string& dir, const std::string& name) {
    const std::string file = dir + name + ".scr";
    const std::string folder = dir + name + " dir\\";
    Result result = rc::kOk;
    if (fileExists(os, file)) result = keep(os, file, false, false);
    if (result == rc::kOk && directoryExists(os, folder)) result = keep(os, folder, true, false);
    return result;
}

Result ReplacedSaver::keepFile(Os& os, const std::string& path) {
    for (const Item& item : items_)
        if (lowerCase(item.original) == lowerCase(path)) return rc::kOk;
    // What a killed run left beside this file comes back first, as beside
    // the screen saver.
    if (Result e = recoverKeptCopy(os, path)) logMessage("a kept copy stays: " + std::to_string(e));
    if (!fileExists(os, path)) return rc::kOk;
    return keep(os, path, false, true);
}

Result ReplacedSaver::rememberSettings(Os& os, const std::string& name) {
    remembered_ = false;
    const Result read = os.profile().readString("system.ini", "boot", "SCRNSAVE.EXE", activeSaver_);
    if (read != rc::kOk && read != oserr::kFileNotFound) return read;
    hadActiveSaver_ = read == rc::kOk;
    entryName_ = name;
    for (auto [hive, entry] : {std::pair{Hive::LocalMachine, &machineEntry_}, std::pair{Hive::CurrentUser, &userEntry_}}) {
        *entry = SavedEntry();
        const Result e = readKeySnapshot(os, hive, kUninstallKey + name, entry->key);
        if (e != rc::kOk && e != oserr::kFileNotFound) return e;
        entry->present = e == rc::kOk;
    }
    remembered_ = true;
    return rc::kOk;
}

Result ReplacedSaver::restoreSettings(Os& os) {
    if (!remembered_) return rc::kOk;
    Result result = rc::kOk;
    std::string now;
    const Result read = os.profile().readString("system.ini", "boot", "SCRNSAVE.EXE", now);
    const bool hasNow = read == rc::kOk;
    // The profile functions can only empty a key, which Windows reads as no
    // screen saver, as it reads a missing one. A line that cannot be read is
    // written again.
    if (read != rc::kOk && read != oserr::kFileNotFound) {
        result = os.profile().writeString("system.ini", "boot", "SCRNSAVE.EXE", hadActiveSaver_ ? activeSaver_ : "");
    } else if (hadActiveSaver_ ? (!hasNow || now != activeSaver_) : (hasNow && !now.empty())) {
        result = os.profile().writeString("system.ini", "boot", "SCRNSAVE.EXE", hadActiveSaver_ ? activeSaver_ : "");
    }
    if (result != rc::kOk) logMessage("system.ini's screen saver could not be put back: " + std::to_string(result));

    for (auto [hive, entry] : {std::pair{Hive::LocalMachine, &machineEntry_}, std::pair{Hive::CurrentUser, &userEntry_}}) {
        const std::string path = kUninstallKey + entryName_;
        const Result e = entry->present ? writeKeySnapshot(os, hive, path, entry->key) : deleteKeyTree(os, hive, path);
        if (e != rc::kOk) {
            logMessage("the uninstall entry could not be put back: " + std::to_string(e));
            if (result == rc::kOk) result = e;
        }
    }
    return result;
}

Result ReplacedSaver::putBack(Os& os, const Item& item) {
    if (!item.stayed) {
        // Whatever the new installation left there goes first; the kept copy
        // then takes its name again.
        Result cleared = removePath(os, item.original);
        if (cleared == rc::kOk && !present(os, item.original))
            if (os.files().moveFile(withoutSlash(item.kept), withoutSlash(item.original)) == rc::kOk)
                return present(os, item.original) && !pathExists(os, withoutSlash(item.kept)) ? rc::kOk
                                                                                              : oserr::kGenFailure;
    } else if (item.folder) {
        ignoreResult(deleteDirTree(os, item.original), "what cannot go is overwritten or checked below");
    }
    // Copied back over what stands there (a file held open refuses, and is
    // then the old one itself when it holds the kept bytes).
    const Result copied = item.folder ? copyTree(os, item.kept, item.original)
                                      : putFileBack(os, item.kept, item.original);
    if (holdsTheSame(os, item.kept, item.original)) return rc::kOk;
    return copied != rc::kOk ? copied : oserr::kGenFailure;
}

Result ReplacedSaver::restore(Os& os) {
    logEnter("restoreReplacedSaver");
    Result result = rc::kOk;
    std::vector<Item> left;
    for (const Item& item : items_) {
        const Result back = putBack(os, item);
        if (back == rc::kOk) {
            logMessage("put back: " + item.original);
            if (pathExists(os, withoutSlash(item.kept)))
                ignoreResult(removePath(os, item.kept), "the original is back; a copy that stays is removed next run");
        } else {
            logMessage("could not be put back: " + item.original + ", kept as " + item.kept);
            if (result == rc::kOk) result = back;
            left.push_back(item);
        }
    }
    items_ = std::move(left);
    const Result settings = restoreSettings(os);
    if (result == rc::kOk) result = settings;
    remembered_ = false;
    logLeaveWith("restoreReplacedSaver", result);
    return result;
}

Result ReplacedSaver::discard(Os& os) {
    Result result = rc::kOk;
    for (const Item& item : items_) {
        // First renamed to its let-go name: a deletion that stops half-way
        // (a file held open) then leaves something the next run removes,
        // never a kept copy it would put back over the new screen saver.
        std::string doomed = item.kept;
        const std::string let = gonePathOf(item.original);
        if (!pathExists(os, withoutSlash(let)) &&
            os.files().moveFile(withoutSlash(item.kept), withoutSlash(let)) == rc::kOk)
            doomed = let;
        const Result gone = removePath(os, doomed);
        if (gone != rc::kOk) {
            logMessage("an older copy stays beside the new screen saver: " + doomed);
            if (result == rc::kOk) result = gone;
        }
    }
    items_.clear();
    remembered_ = false;
    return result;
}

std::vector<std::string> ReplacedSaver::stranded() const {
    std::vector<std::string> paths;
    for (const Item& item : items_) paths.push_back(item.kept);
    return paths;
}

}  // namespace ssi
