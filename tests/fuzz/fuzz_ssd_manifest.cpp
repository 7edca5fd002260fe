// Fuzz target: the item manifest of "saverpack ssd build" over arbitrary text.
//
// Input: the manifest's text. Checks, beyond the sanitizers:
//   - parsing never throws;
//   - a manifest accepted prints nothing, one refused prints at least one
//     line, and every line is free of control characters;
//   - an accepted item has a name or is refused, and a file unless kind 3.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tools/saverpack/ssd_manifest.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ssi::tool::SourceItem> items;
    std::ostringstream err;
    bool refusedText = false;
    bool ok = false;
    try {
        ok = ssi::tool::parseItemManifest("/nonexistent-fuzz-folder/items.toml", text, items, err,
                                          refusedText);
    } catch (...) {
        check(false, "parseItemManifest threw");
    }
    const std::string messages = err.str();
    check(ok == messages.empty(), "accepted exactly when nothing is printed");
    check(!(ok && refusedText), "refused text is never accepted");
    for (unsigned char c : messages) check(c >= 32 || c == '\n', "a message with a control character");
    if (ok)
        for (const ssi::tool::SourceItem& item : items)
            check(!item.file.empty() || item.kind == 3, "an accepted item without bytes that is not kind 3");
    return 0;
}
