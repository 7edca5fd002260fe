// Windows path rules of the test double's file store (file_store.h), the
// same over both of its backings: splitting a path, wildcards, and the 8.3
// aliases through which a path may name a file.
#pragma once

#include <string>
#include <vector>

namespace ssi::fakepath {

// A Windows path split into its root ("C:" or "" for a relative one) and its
// components, with ".", ".." and empty components resolved as Windows does.
struct SplitPath {
    std::string drive;
    std::vector<std::string> parts;
};

SplitPath splitWindowsPath(const std::string& path);
// Windows wildcard match without regard to case: "*" and "?".
bool wildMatch(const char* pattern, const char* name);
// A name that is already a legal 8.3 name (letter case aside) has no alias.
bool isShortName(const std::string& name);
// The 8.3 alias of `name` among the entries `names` of its folder, as the
// system makes them: up to six legal letters of the name in capitals, "~"
// and a number that tells the entries with the same start apart (in name
// order), and three letters of the extension; a short name is its own.
std::string shortAlias(const std::vector<std::string>& names, const std::string& name);

}  // namespace ssi::fakepath
