// Why a name cannot be a file or folder name where the installer puts it, in
// words an author can act on; the rules are the installer's own
// (core/names.h, package/package_layout.h), this only explains them.
#pragma once

#include <string>

namespace ssi::tool {

// Why one file or folder name is refused: "" when the installer takes it.
std::string nameProblem(const std::string& name);
// The same for a path of names separated by backslashes (data file items):
// the first refused part, named.
std::string pathProblem(const std::string& path);

}  // namespace ssi::tool
