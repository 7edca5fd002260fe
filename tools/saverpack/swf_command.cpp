// "saverpack swf info": what the installer's inspection sees in a movie, and
// its verdict. A compressed movie is inflated in memory-sized blocks and only
// counted, never written.
#include "tools/saverpack/swf_command.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "flash/swf_movie.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/package_checks.h"
#include "tools/saverpack/help.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/suggest.h"

namespace ssi::tool {

namespace {

// Reads the stream from the movie and only counts the body.
class CountingIo : public SwfInflateIo {
public:
    explicit CountingIo(std::FILE* in) : in_(in) {}
    [[nodiscard]] bool read(uint8_t* buffer, uint32_t size, uint32_t& got) override {
        got = uint32_t(std::fread(buffer, 1, size, in_));
        return !std::ferror(in_);
    }
    [[nodiscard]] bool write(const uint8_t*, uint32_t) override { return true; }

private:
    std::FILE* in_;
};

// The verdict in the words `build` uses for a preview it refuses.
std::string verdictText(Result code) { return code == rc::kOk ? "accepted" : "refused: " + movieFault(code); }

[[nodiscard]] int info(const std::string& path, std::ostream& out, std::ostream& err) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        err << "saverpack swf: " << printable(path) << ": cannot be opened\n";
        return kExitUsage;
    }
    uint8_t header[kSwfHeaderSize] = {};
    const uint32_t got = uint32_t(std::fread(header, 1, sizeof(header), file.get()));
    if (std::ferror(file.get())) {
        err << "saverpack swf: " << printable(path) << ": cannot be read\n";
        return kExitUsage;
    }
    Result verdict = swfSignatureVerdict(header, got);
    const std::string signature(reinterpret_cast<const char*>(header), got < 3 ? got : 3);
    out << "signature: " << printable(signature);
    if (verdict == rc::kOk) out << (signature == "CWS" ? " (compressed)" : " (uncompressed)");
    out << "\n";
    const uint32_t fileLength = swfDeclaredLength(header);
    if (got > 3) out << "version: " << int(header[3]) << "\n";
    if (got >= kSwfHeaderSize) out << "FileLength: " << fileLength << "\n";

    if (verdict == rc::kOk && signature == "CWS") {
        if (got < kSwfHeaderSize) {
            verdict = rc::kSwfTruncated;
        } else {
            CountingIo io(file.get());
            uint64_t body = 0;
            verdict = inflateSwfBody(io, body);
            if (verdict == rc::kOk)
                out << "inflates: yes, " << (body + kSwfHeaderSize) << " bytes uncompressed"
                    << (body + kSwfHeaderSize == fileLength ? "" : " (not the FileLength)") << "\n";
            else
                out << "inflates: no" << (verdict == rc::kSwfTempFileFailed ? " (read error)" : "") << "\n";
            // The inflated copy starts "FWS" with the movie's own version and length.
            header[0] = 'F';
        }
    }
    uint8_t version = 0;
    if (verdict == rc::kOk) verdict = swfUncompressedVerdict(header, got, version);
    out << "verdict: " << verdictText(verdict) << "\n";
    return verdict == rc::kOk ? kExitOk : kExitFault;
}

}  // namespace

int runSwf(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h")) {
        out << verbHelp("swf");
        return kExitOk;
    }
    int exitCode = kExitOk;
    if (answerHelp(args, out, err, exitCode)) return exitCode;
    if (args.size() == 3 && args[1] == "info") return info(args[2], out, err);
    if (args.size() >= 2 && args[1] != "info")
        err << "saverpack swf: unknown command " << printable(args[1])
            << didYouMean(args[1], {"info", "help"}) << "\n";
    err << "usage: saverpack swf info FILE\n";
    return kExitUsage;
}

}  // namespace ssi::tool

int swfCommand(int argc, char** argv) {
    return ssi::tool::runSwf(std::vector<std::string>(argv, argv + argc), std::cout, std::cerr);
}
