// Writing into the author's own folders without harming what is there: files
// are created exclusively (never an existing file, never through a symbolic
// link) and moved to their final name only when that name is free, unless the
// author asked to replace it. Also: which paths are the same file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/message_text.h"  // printable(), for the paths in its messages

namespace ssi::tool {

// What a path is on the host: nothing, a folder, or a file with its identity
// (device and inode, or volume and file index on Windows), symbolic links
// followed.
struct FileIdentity {
    bool exists = false;
    bool folder = false;
    bool regular = false;  // a file, not a folder, device, pipe or socket
    uint64_t device = 0;
    uint64_t index = 0;
};
FileIdentity identityOf(const std::string& path);
// Whether two identities are one existing file, whatever the names.
bool sameFile(const FileIdentity& a, const FileIdentity& b);

// Why an output may not be written at `out`: it is a folder, it exists and
// `force` is not given, or it is one of `inputs` (label, path) by identity,
// whatever the spelling of its name: not even --force replaces a file the
// command reads. "" when it may be written.
std::string outputRefusal(const std::string& out,
                          const std::vector<std::pair<std::string, std::string>>& inputs, bool force);
// Why an output may not lie inside the folder a command packs: it would be
// read as one of its own items, or replace one. "" when `folder` is empty
// or `out` lies outside it.
std::string outputInsideFolder(const std::string& out, const std::string& folder);

// Opens a new file for writing; nullptr (errno set, EEXIST among them) when
// the name is taken by anything, a dangling symbolic link included.
std::FILE* createExclusive(const std::string& path);
// Gives `from` the name `to` only when `to` does not exist; false with errno
// EEXIST when it does. `replace` gives it the name whatever is there (a
// symbolic link there is replaced, never followed).
[[nodiscard]] bool moveIntoPlace(const std::string& from, const std::string& to, bool replace);

}  // namespace ssi::tool
