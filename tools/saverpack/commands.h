// The package tool's commands, callable in-process (main() and the tests).
// Each verb lives in its own file (build_command.cpp, ssd_build.cpp, ...);
// commands.cpp reads the command line and dispatches.
#pragma once

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace ssi::tool {

constexpr int kExitOk = 0;
constexpr int kExitFault = 1;  // a fault in the input, a refused slot, an I/O error
constexpr int kExitUsage = 2;

// A C stream closed when it goes out of scope.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Runs "saverpack ARGS..." (argv[0] is the program name) for the verbs build,
// list, extract, verify, implode, explode, --help and --version. Messages go to out (the
// result) and err (problems).
[[nodiscard]] int runSaverpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Every fault of an installer file's package: layout, settings, names, and
// each compressed slot expanding to exactly its expandedSize. False when the
// file cannot be read at all (the reason is the only fault).
[[nodiscard]] bool verifyInstaller(const std::string& path, std::vector<std::string>& faults);

// The help text.
std::string usageText();
// What --version prints: the tool's version, then the codec it was built
// with and the zlib it runs with.
std::string versionText();

}  // namespace ssi::tool
