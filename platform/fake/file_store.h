// The test double's files: the Windows rules of the FileSystem service,
// applied once, over a backing that only keeps entries and bytes. Two
// backings exist: a private host folder (host_folder_files.h) and byte
// vectors in memory (memory_files.h); the contract suite runs over both.
// The rules:
// - names are matched without regard to letter case and keep the case they
//   were created with; "." and ".." are resolved; "/" separates as "\"; an
//   existing entry is also named by its 8.3 alias (fake_paths.h), which
//   shortPathName gives;
// - a missing file gives 2, a missing folder (or a file where a folder should
//   be, or a drive that does not exist) 3; an existing name 183 for a new
//   folder and 80 for a copy that may not replace; a folder that still holds
//   entries 145; a file given where a folder is wanted 267; a folder opened as
//   a file, or a read-only file replaced or deleted, 5;
// - read-only, hidden and system attributes are kept here, by entry; a file
//   without any reports the archive bit; a link of the backing is a reparse
//   point (a folder's link is removed as a folder, what it points to stays);
// - listings of a folder hold "." and ".." (a drive's root has neither);
// - open files hold Windows share modes: a second opener that the first
//   one's sharing refuses, or that would refuse the first, gets 32; an open
//   file cannot be deleted; a file opened only for reading refuses writes
//   (and the reverse) with 5;
// - a rename needs the new name free (183) and its folder present (3), stays
//   on its drive (17), and is refused for an open file (32) or a folder
//   holding one (5);
// - every call can be made to fail through FakeOs::inject (Op and the path
//   as the caller gave it).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"

namespace ssi {

class FakeOs;

// What a backing keeps about one entry.
struct StoredEntry {
    bool directory = false;  // a folder, or a link to one
    bool link = false;       // a link of the host (a reparse point to Windows)
    uint64_t size = 0;       // a file's bytes
};

// The bytes of one open file in a backing.
class StoredBytes {
public:
    virtual ~StoredBytes() = default;
    [[nodiscard]] virtual Result readAt(uint64_t position, void* buffer, uint32_t size, uint32_t& got) = 0;
    // Writes all of `size` bytes at `position`, filling a gap before it with zeros.
    [[nodiscard]] virtual Result writeAt(uint64_t position, const void* buffer, uint32_t size) = 0;
    [[nodiscard]] virtual Result size(uint64_t& out) = 0;
};

// Where the entries and their bytes live. Paths given to a backing are
// stored paths: a drive ("C:", or "" for a relative path), then "\" and a
// name for each component, each existing name spelt as it was created. The
// store has checked what Windows checks before it asks for a change.
class FileBacking {
public:
    virtual ~FileBacking() = default;
    // The entry at `path`; false when there is none.
    virtual bool entry(const std::string& path, StoredEntry& out) const = 0;
    // The name, as created, of the entry of `folder` that `name` names
    // without regard to letter case; "" when there is none.
    virtual std::string lookup(const std::string& folder, const std::string& name) const = 0;
    // The names of a folder's entries as created, without "." and "..".
    virtual std::vector<std::string> names(const std::string& folder) const = 0;
    // The drives that exist ("C:", ...).
    virtual std::vector<std::string> drives() const = 0;
    [[nodiscard]] virtual Result makeFolder(const std::string& path) = 0;
    // Removes an empty folder, or a link to a folder.
    [[nodiscard]] virtual Result removeFolder(const std::string& path) = 0;
    // Removes a file; bytes already open stay readable through their handle.
    [[nodiscard]] virtual Result removeFile(const std::string& path) = 0;
    // Opens a file's bytes; with `create` the file is made or emptied.
    [[nodiscard]] virtual Result openBytes(const std::string& path, bool create, std::unique_ptr<StoredBytes>& out) = 0;
    // Gives `to` (made when missing, in an existing folder) the bytes of
    // `from`; nothing is made when there is no room.
    [[nodiscard]] virtual Result copyBytes(const std::string& from, const std::string& to) = 0;
    // Renames an entry (a folder with everything below it) to a name that
    // does not exist, in an existing folder.
    [[nodiscard]] virtual Result rename(const std::string& from, const std::string& to) = 0;
};

class FileStore : public FileSystem {
public:
    FileStore(FakeOs& os, std::unique_ptr<FileBacking> backing);
    ~FileStore() override;
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;

    [[nodiscard]] Result attributes(const std::string& path, uint32_t& out) override;
    [[nodiscard]] Result setAttributes(const std::string& path, uint32_t attributes) override;
    [[nodiscard]] Result deleteFile(const std::string& path) override;
    [[nodiscard]] Result createDirectory(const std::string& path) override;
    [[nodiscard]] Result removeDirectory(const std::string& path) override;
    [[nodiscard]] Result copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    [[nodiscard]] Result moveFile(const std::string& from, const std::string& to) override;
    [[nodiscard]] Result findFiles(const std::string& pattern, std::vector<FindEntry>& out) override;
    [[nodiscard]] Result openFile(const std::string& path, FileAccess access, std::unique_ptr<File>& out) override;
    [[nodiscard]] Result fileVersion(const std::string& path, FileVersion& out) override;
    [[nodiscard]] Result shortPathName(const std::string& path, std::string& out) override;
    // A folder made as createDirectory makes one, and listed in
    // FakeOs::privateDirectories; 50 on 95, 98 and ME.
    [[nodiscard]] Result createPrivateDirectory(const std::string& path) override;
    // Holds a folder, or a link to one, with read and write sharing and no
    // delete sharing: while held it can be neither removed nor renamed (32).
    [[nodiscard]] Result openDirectory(const std::string& path, uint32_t& attributes,
                         std::unique_ptr<HeldDirectory>& out) override;
    // FakeOs::freeBytes, for any existing folder.
    [[nodiscard]] Result freeSpace(const std::string& path, uint64_t& bytes) override;

    // ---- set-up and inspection for tests: no injection, no share modes ----------
    // Writes a file, creating its folders; its attributes stay as they were.
    void writeFile(const std::string& path, const std::string& content);
    // A file's content ("" when there is none).
    std::string readFile(const std::string& path) const;
    bool exists(const std::string& path) const;
    // Creates a folder and its missing parents (stops at a file in the way).
    void makeDirs(const std::string& path);
    // Removes a file, or a folder with everything below it, whoever holds it
    // open (open files keep their bytes but no longer count as stored).
    void removeTree(const std::string& path);
    // Every file's full path, as created, ordered by its lower-case form.
    std::vector<std::string> filePaths() const;
    // Replaces a file's whole content the way the profile functions write
    // it: 3 when its folder is missing, 5 for a folder, 112 when full.
    [[nodiscard]] Result store(const std::string& path, const std::string& content);
    // Another program holds the file open for reading and shares reading
    // only (FakeOs::lock).
    void hold(const std::string& path);
    void release(const std::string& path);
    // Whether another program could open the file for writing now.
    bool othersMayWrite(const std::string& path) const;
    // Whether another program could delete or rename the entry now: false
    // while it is open without delete sharing (a held folder).
    bool othersMayRename(const std::string& path) const;
    // The stored path a Windows path names, however it is spelt (letter case,
    // 8.3 aliases of existing entries); the missing part as given.
    std::string resolve(const std::string& path) const;

protected:
    FileBacking& backing() const { return *backing_; }

private:
    class OpenFile;
    friend class OpenFile;
    class HeldFolder;
    friend class HeldFolder;
    struct Handle {
        std::string key;
        unsigned access = 0;
        unsigned share = 0;
    };
    // Access and share bits of an open handle.
    static constexpr unsigned kRead = 1, kWrite = 2, kDelete = 4;

    static std::string keyOf(const std::string& stored);
    static std::string parentOf(const std::string& stored);
    bool isFolder(const std::string& stored) const;
    bool parentIsFolder(const std::string& stored) const;
    // 2 or 3, as Windows tells a missing file from a missing folder.
    [[nodiscard]] Result missing(const std::string& stored) const;
    // 0 with the entry a path names, or why it is missing.
    [[nodiscard]] Result status(const std::string& path, std::string& stored, StoredEntry& entry) const;
    uint32_t attributesOf(const std::string& stored, const StoredEntry& entry) const;
    uint32_t bitsOf(const std::string& stored) const;
    // Whether a new opener with this access and sharing collides with one already open.
    bool conflicts(const std::string& stored, unsigned access, unsigned share) const;
    int open(const std::string& stored, unsigned access, unsigned share);
    [[nodiscard]] Result writeAll(const std::string& stored, const std::string& content);
    void removeStored(const std::string& stored);
    void collectFiles(const std::string& folder, std::vector<std::string>& out) const;

    FakeOs& os_;
    std::unique_ptr<FileBacking> backing_;
    std::map<std::string, uint32_t> bits_;  // read-only, hidden, system, archive as set, by key
    std::map<int, Handle> handles_;
    std::map<std::string, int> holds_;  // key -> handle id
    int nextHandle_ = 1;
};

}  // namespace ssi
