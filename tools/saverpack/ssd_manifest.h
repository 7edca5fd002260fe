// The item manifest of "saverpack ssd build": [[item]] tables naming each
// item of a data file, its bytes and its fields (format in
// tools/saverpack/README-ssd.md).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace ssi::tool {

struct SourceItem {
    std::string name;  // name in the container, backslashes between folders
    std::string file;  // host path of its bytes; empty: no bytes
    uint8_t kind = 0;
    uint8_t kind2 = 0;
    int32_t itemClass = 0;
    int compress = -1;  // -1: compress when it pays, 0: store, 1: compress
};

// Reads the manifest at `path` into `items` (files relative to its folder,
// not read here). Problems go to err, "FILE:LINE: KEY: what"; false when there
// is one. `refusedText`: refused before parsing (manifest_text.h).
[[nodiscard]] bool loadItemManifest(const std::string& path, std::vector<SourceItem>& items,
                                    std::ostream& err, bool& refusedText);
// The same from the manifest's text, read as if from `path`.
[[nodiscard]] bool parseItemManifest(const std::string& path, const std::string& text,
                                     std::vector<SourceItem>& items, std::ostream& err, bool& refusedText);

}  // namespace ssi::tool
