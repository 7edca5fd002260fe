// Fuzz target: SWF inspection and inflation over arbitrary bytes.
//
// Input: the movie file. It is inspected the way the Flash panel does it
// (signature, then the header of the movie or of its inflated copy), and the
// two steps are also run on their own. Checks, beyond the sanitizers:
//   - an accepted movie has "FWS" or "CWS" and a version of 3..8;
//   - an accepted compressed movie's inflated copy starts with "FWS" and the
//     movie's own bytes 3..7, and holds exactly the inflated body, which is
//     what zlib itself makes of the stream;
//   - a failed inflation leaves an empty inflated copy behind;
//   - the verdict does not depend on what an earlier movie left in the folder;
//   - nothing is written outside the temporary folder.
// The files are the double's, in memory.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "flash/swf_movie.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace ssi;
using fuzz::check;

const std::string kTemp = "C:\\TEMP\\";
const std::string kMovie = kTemp + "QDX1\\installer.swf";

// zlib's own reading of the body: whether one complete stream starts there,
// and what it holds (up to a cap).
[[nodiscard]] bool referenceInflate(const uint8_t* data, size_t size, std::string& out) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = uInt(size);
    int status = Z_OK;
    char block[4096];
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(block);
        z.avail_out = sizeof(block);
        status = inflate(&z, Z_NO_FLUSH);
        out.append(block, sizeof(block) - z.avail_out);
        if (status == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    return status == Z_STREAM_END;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FakeOs* os = &fuzz::memoryOs();
    static const std::vector<std::string> initial = fuzz::files(*os).filePaths();
    static SwfInspector* swf = [] {
        auto* s = new SwfInspector(*os);
        s->swfFilename = kMovie;
        return s;
    }();
    fuzz::forgetEarlierCalls(*os);
    const std::string movie(reinterpret_cast<const char*>(data), size);
    os->writeFile(kMovie, movie);

    const Result verdict = swf->inspectMovie();
    if (verdict == 0) {
        check(size >= 8, "a movie shorter than its header was accepted");
        check(swf->signature == "FWS" || swf->signature == "CWS", "accepted with a wrong signature");
        check(swf->swfVersion >= 3 && swf->swfVersion <= 8, "accepted with a version outside 3..8");
        check(swf->swfVersion == data[3], "the version is not the movie's");
    }
    if (size >= 3 && std::memcmp(data, "CWS", 3) == 0 && size >= 8) {
        std::string expected;
        const bool complete = referenceInflate(data + 8, size - 8, expected);
        const Result inflated = swf->inflateSWFFileToTempFile();
        const std::string copy = os->readFile(swf->inflatedPath());
        if (inflated == 0) {
            check(complete, "an incomplete stream inflated");
            // The copy holds the body up to what FileLength announces, no more.
            const uint32_t declared = uint32_t(data[4]) | uint32_t(data[5]) << 8 | uint32_t(data[6]) << 16 |
                                      uint32_t(data[7]) << 24;
            const size_t bound = declared > 8 ? declared - 8 : 0;
            if (expected.size() > bound) expected.resize(bound);
            check(copy.size() == 8 + expected.size(), "the inflated copy has the wrong size");
            check(copy.compare(0, 3, "FWS") == 0 && copy.compare(3, 5, movie, 3, 5) == 0,
                  "the inflated copy's header is not the movie's");
            check(copy.compare(8, std::string::npos, expected) == 0, "the inflated body differs from zlib's");
        } else {
            check(!complete || inflated == rc::kSwfTempFileFailed, "a complete stream failed to inflate");
            check(copy.empty(), "a failed inflation left a copy that could pass");
        }
        check((inflated == 0) == (verdict == 0 || verdict == rc::kSwfTooNew || verdict == rc::kSwfTooOld),
              "the verdict and the inflation disagree");
    }
    fuzz::checkNothingOutside(*os, kTemp, initial);
    return 0;
}
