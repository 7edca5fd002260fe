// What the package tool's verbs share: arguments, messages, output files
// written whole or not at all, and the installer opened through the
// installer's own reader over the host's files. Each verb has its own file
// (build_command.cpp, list_command.cpp, ...).
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/buffer.h"
#include "package/package_format.h"
#include "package/package_layout.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/host_files.h"

namespace ssi::tool {

// ---- arguments and messages -------------------------------------------------------

// Arguments split into positional ones and "--name [value]" options.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::string error;
};
// `known` maps each option's name to whether it takes a value.
Arguments parseArguments(const std::vector<std::string>& args, size_t from,
                         const std::map<std::string, bool>& known);

// "saverpack: TEXT" and the hint to --help; returns kExitUsage. Control
// characters in TEXT (from a name or a path) are printed escaped.
[[nodiscard]] int usageError(std::ostream& err, const std::string& text);
// "saverpack: TEXT", escaped alike; returns kExitFault.
[[nodiscard]] int fault(std::ostream& err, const std::string& text);

std::string joinPath(const std::string& dir, const std::string& name);
bool fileExists(const std::string& path);
[[nodiscard]] bool makeDirectory(const std::string& dir);

// ---- output files -------------------------------------------------------------------

// A file written under a temporary name beside its final place (created
// exclusively, never through a symbolic link) and given its final name only
// once complete: a failed command leaves what was there before. Without
// `replace` an existing final name is never replaced: commit refuses it.
class OutputFile {
public:
    ~OutputFile() { discard(); }
    [[nodiscard]] bool open(const std::string& finalPath, std::string& error, bool replace = true);
    std::FILE* get() { return file_.get(); }
    // The same file through the seam (not owned: commit or discard closes it).
    HostFile& asFile() { return *view_; }
    [[nodiscard]] bool commit(std::string& error);
    void discard();

private:
    std::string final_;
    std::string temp_;
    bool replace_ = true;
    FilePtr file_;
    std::unique_ptr<HostFile> view_;
};

[[nodiscard]] bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& data,
                                  std::string& error, bool replace = true);

// ---- the installer, read as the installer reads it -------------------------------

struct Installer {
    HostFiles files;
    std::unique_ptr<File> file;
    int64_t size = 0;
    PackageHeader header{};
};

// Opens an installer file and reads its header through the installer's reader.
[[nodiscard]] bool openInstaller(const std::string& path, Installer& inst, std::string& error);

// Whether a compressed stream (a slot's or a data item's stored bytes) expands
// as the installer requires: judged by the installer's rule, its size alone
// (package/expansion_rule.h); the codec's complaint only explains a wrong
// size. `out` (nullptr: only count) receives the expansion. Returns "" when
// it expands to exactly expandedSize bytes.
std::string expansionFault(const ByteBuffer& block, int32_t expandedSize, std::FILE* out, bool& writeFailed);

// The same for a compressed slot, its bytes read by the installer's step.
std::string expansionFault(File& package, const PackageEntry& e, std::FILE* out, bool& writeFailed);

// ---- the verbs ------------------------------------------------------------------------

[[nodiscard]] int commandBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
[[nodiscard]] int commandList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
[[nodiscard]] int commandExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
[[nodiscard]] int commandVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
[[nodiscard]] int commandImplode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
[[nodiscard]] int commandExplode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ssi::tool
