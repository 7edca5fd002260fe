// The settings and the slot table of a package header, as `list` prints them
// and `build --dry-run` shows what it would write: names back in UTF-8,
// aligned by the columns they take.
#pragma once

#include <cstdint>
#include <ostream>

#include "package/package_format.h"

namespace ssi::tool {

void printPackageTable(const PackageHeader& header, int64_t fileSize, int codePage, std::ostream& out);

}  // namespace ssi::tool
