// "saverpack ssd ...": screen saver data files (format and options in
// tools/saverpack/README-ssd.md); each verb is implemented in its own
// ssd_<verb>.cpp, the dispatch in ssd_command.cpp.
//   ssd build (DIR | MANIFEST.toml) --record RECORD_FILE [--store] [--first NAME] OUT
//   ssd list FILE
//   ssd extract FILE DIR
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ssi::tool {

// Runs "ssd ARGS..." (args[0] is "ssd"); returns the exit code: 0, 1 for a
// fault in the input or a refused item, 2 for a usage error.
[[nodiscard]] int runSsd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ssi::tool

// argv[0] is "ssd"; returns the process exit code.
[[nodiscard]] int ssdCommand(int argc, char** argv);
