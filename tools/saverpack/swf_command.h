// "saverpack swf ...": SWF movie inspection, with the installer's verdict.
//   swf info FILE
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ssi::tool {

// Runs "swf ARGS..." (args[0] is "swf"); returns the exit code: 0 for a movie
// the installer accepts, 1 for one it refuses or that does not inflate, 2 for
// a usage error or an unreadable file.
[[nodiscard]] int runSwf(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ssi::tool

// argv[0] is "swf"; returns the process exit code.
[[nodiscard]] int swfCommand(int argc, char** argv);
