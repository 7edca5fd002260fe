// "saverpack implode" and "saverpack explode": implode streams from file to file.
#include "tools/saverpack/tool_support.h"

#include <cerrno>
#include <cstring>

#include "codec/implode.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/stream_codec.h"

namespace ssi::tool {

int commandImplode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {{"--ascii", false}, {"--dict", true}});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 2)
        return usageError(err, "implode takes [--ascii] [--dict 1024|2048|4096] IN OUT");
    unsigned dict = codec::kDict4K;
    if (a.options.count("--dict")) {
        const std::string& d = a.options["--dict"];
        dict = d == "1024" ? codec::kDict1K : d == "2048" ? codec::kDict2K : d == "4096" ? codec::kDict4K : 0;
        if (!codec::isDictionarySize(dict))
            return usageError(err, "--dict takes 1024, 2048 or 4096");
    }
    const unsigned mode = a.options.count("--ascii") ? codec::kAscii : codec::kBinary;
    FilePtr in(std::fopen(a.positional[0].c_str(), "rb"));
    if (!in) return fault(err, a.positional[0] + ": cannot be opened (" + std::strerror(errno) + ")");
    // The output replaces what is at OUT, never IN itself.
    std::string error = outputRefusal(a.positional[1], {{"input", a.positional[0]}}, true);
    if (!error.empty()) return fault(err, error);
    OutputFile output;
    if (!output.open(a.positional[1], error)) return fault(err, error);
    bool readFailed = false, writeFailed = false;
    const unsigned code = implodeStream(in.get(), output.get(), mode, dict, readFailed, writeFailed);
    if (readFailed) return fault(err, a.positional[0] + ": cannot be read");
    if (writeFailed) return fault(err, a.positional[1] + ": cannot be written");
    if (code != codec::kOk) return fault(err, "compression failed: " + codecErrorText(code));
    if (!output.commit(error)) return fault(err, error);
    out << printable(a.positional[1]) << ": compressed\n";
    return kExitOk;
}

int commandExplode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 2) return usageError(err, "explode takes IN OUT");
    FilePtr in(std::fopen(a.positional[0].c_str(), "rb"));
    if (!in) return fault(err, a.positional[0] + ": cannot be opened (" + std::strerror(errno) + ")");
    // The output replaces what is at OUT, never IN itself.
    std::string error = outputRefusal(a.positional[1], {{"input", a.positional[0]}}, true);
    if (!error.empty()) return fault(err, error);
    OutputFile output;
    if (!output.open(a.positional[1], error)) return fault(err, error);
    bool writeFailed = false;
    const ExplodeOutcome r = explodeStream(in.get(), UINT64_MAX, output.get(), -1, writeFailed);
    if (writeFailed) return fault(err, a.positional[1] + ": cannot be written");
    if (std::ferror(in.get())) return fault(err, a.positional[0] + ": cannot be read");
    if (r.code != codec::kOk)
        return fault(err, a.positional[0] + ": not a complete implode stream: " + codecErrorText(r.code));
    if (!output.commit(error)) return fault(err, error);
    out << printable(a.positional[1]) << ": " << r.produced << " bytes\n";
    return kExitOk;
}

}  // namespace ssi::tool
