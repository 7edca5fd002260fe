// Fuzz target: the package manifest of "saverpack build" over arbitrary text.
//
// Input: the manifest's text, read as if from a folder that does not exist
// (so that the files it names are not there, unless absolute). Checks,
// beyond the sanitizers (a stack overflow in the TOML parser among them):
//   - parsing never throws;
//   - a manifest accepted has no message, one refused has at least one;
//   - no message carries a control character other than the line breaks
//     between its lines: every one may go to a terminal as it is.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/saverpack/manifest.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

bool printableLines(const std::string& text) {
    for (unsigned char c : text)
        if ((c < 32 && c != '\n') || c == 127) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ssi::tool::PackageInput input;
    std::vector<std::string> errors;
    bool refusedText = false;
    bool ok = false;
    try {
        ok = ssi::tool::parseManifest("/nonexistent-fuzz-folder/m.toml", text, input, errors, &refusedText);
    } catch (...) {
        check(false, "parseManifest threw");
    }
    check(ok == errors.empty(), "accepted exactly when there is no message");
    check(!(ok && refusedText), "refused text is never accepted");
    for (const std::string& e : errors) check(printableLines(e), "a message with a control character");
    return 0;
}
