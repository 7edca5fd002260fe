// The build manifest of `saverpack build`: a TOML file with the installer's
// settings and the files of slots 1..10 (format in tools/saverpack/README.md).
#pragma once

#include <string>
#include <vector>

#include "tools/saverpack/package_builder.h"

namespace ssi::tool {

// Reads the manifest at `path` and the files it names (relative to the
// manifest's folder) into `out`. Slot 1 stays empty when the manifest does
// not give it. On failure returns false with one message per problem
// ("FILE:LINE: KEY: what" where a line applies); `refusedText` (when given)
// tells a file refused before parsing: too large, too deeply nested, or not
// text (manifest_text.h).
[[nodiscard]] bool loadManifest(const std::string& path, PackageInput& out, std::vector<std::string>& errors,
                                bool* refusedText = nullptr);
// The same from the manifest's text, read as if from `path`.
[[nodiscard]] bool parseManifest(const std::string& path, const std::string& text, PackageInput& out,
                                 std::vector<std::string>& errors, bool* refusedText = nullptr);

// Why a file cannot be read, in words ("No such file or directory").
std::string readProblem(const std::string& path);

// Reads a whole file; false when it cannot be read.
[[nodiscard]] bool readWholeFile(const std::string& path, std::vector<uint8_t>& out);

// The folder part of a path ("" when there is none), with its separator.
std::string folderOf(const std::string& path);
// The last component of a path.
std::string baseNameOf(const std::string& path);

}  // namespace ssi::tool
