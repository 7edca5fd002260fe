// The test double's files kept in memory. A FakeOs made with
// FakeStorage::Memory uses this store instead of a host folder; it follows
// the same Windows rules:
// - names are matched without regard to letter case and keep the case they
//   were created with; "." and ".." are resolved; "/" separates as "\"; an
//   existing entry is also named by its 8.3 alias (fake_paths.h), which
//   shortPathName gives;
// - a missing file gives 2, a missing folder (or a file where a folder should
//   be) 3; an existing name 183 for a new folder and 80 for a copy that may
//   not replace; a folder that still holds entries 145; a file given where a
//   folder is wanted 267; a folder opened as a file, or a read-only file
//   replaced or deleted, 5;
// - read-only, hidden and system attributes are kept; a file without any
//   reports the archive bit;
// - listings of a folder hold "." and ".." (a drive's root has neither);
// - open files hold Windows share modes, as in fake_os.h, and a file opened
//   only for reading refuses writes (and the reverse) with 5;
// - every call can be made to fail through FakeOs::inject, with the same Op
//   and subject as the host folder store.
// Files are byte vectors; nothing touches the disk, so a reader driven by a
// fuzz target runs thousands of times a second. Links (reparse points) are
// not modelled.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"

namespace ssi {

class FakeOs;

class MemoryFiles : public FileSystem {
public:
    explicit MemoryFiles(FakeOs& os);
    ~MemoryFiles() override;

    Result attributes(const std::string& path, uint32_t& out) override;
    Result setAttributes(const std::string& path, uint32_t attributes) override;
    Result deleteFile(const std::string& path) override;
    Result createDirectory(const std::string& path) override;
    Result removeDirectory(const std::string& path) override;
    Result copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    Result findFiles(const std::string& pattern, std::vector<FindEntry>& out) override;
    Result openFile(const std::string& path, FileAccess access, std::unique_ptr<File>& out) override;
    Result fileVersion(const std::string& path, FileVersion& out) override;
    Result shortPathName(const std::string& path, std::string& out) override;
    Result createPrivateDirectory(const std::string& path) override;
    Result openDirectory(const std::string& path, uint32_t& attributes,
                         std::unique_ptr<HeldDirectory>& out) override;

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
    Result store(const std::string& path, const std::string& content);
    // Another program holds the file open for reading and shares reading
    // only (FakeOs::lock).
    void hold(const std::string& path);
    void release(const std::string& path);
    // Whether another program could open the file for writing now.
    bool othersMayWrite(const std::string& path) const;

    // The most bytes all files may hold together: a write or copy beyond it
    // fails with 112 (disk full), so that a stream that expands without end
    // cannot use up the test's memory.
    uint64_t capacity = uint64_t(256) << 20;
    uint64_t usedBytes() const { return used_; }

private:
    struct Blob;
    struct Node;
    struct Handle;
    class OpenFile;
    friend class OpenFile;
    class HeldFolder;
    friend class HeldFolder;

    // Access and share bits of an open handle.
    static constexpr unsigned kRead = 1, kWrite = 2, kDelete = 4;

    // The key of the entry a path names, however it is spelt (letter case,
    // 8.3 aliases of existing entries); a missing entry's as given.
    std::string keyOf(const std::string& path) const;
    // The names of a folder's entries, as created.
    std::vector<std::string> childNames(const std::string& key) const;
    static std::string parentKey(const std::string& key);
    Node* find(const std::string& key);
    const Node* find(const std::string& key) const;
    // 0 with the node, or 2 / 3 as Windows tells a missing file from a missing folder.
    Result status(const std::string& path, Node*& node);
    Result missing(const std::string& key) const;
    bool parentIsFolder(const std::string& key) const;
    // Makes a node below an existing folder, named as in `path`.
    Node& add(const std::string& key, const std::string& path, bool directory);
    void erase(std::map<std::string, Node>::iterator it);
    bool hasChildren(const std::string& key) const;
    // Whether a new opener with this access and sharing collides with one already open.
    bool conflicts(const std::string& key, unsigned access, unsigned share) const;
    int open(const std::string& key, unsigned access, unsigned share);
    // Resizes a stored file's bytes, counting them against the capacity.
    Result resize(Blob& blob, uint64_t size);
    static uint32_t attributesOf(const Node& node);

    FakeOs& os_;
    std::map<std::string, Node> nodes_;  // by lower-case full path ("c:\\dir\\file"; a root is "c:")
    std::map<int, Handle> handles_;
    std::map<std::string, int> holds_;  // key -> handle id
    int nextHandle_ = 1;
    uint64_t used_ = 0;
};

}  // namespace ssi
