// File-to-file implode and explode for the package tool, streaming through
// the codec's callbacks: nothing is held in memory but the codec's own
// buffers, and an expansion can be capped so a damaged or hostile stream
// cannot run away.
#pragma once

#include <cstdint>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace ssi::tool {

struct [[nodiscard]] ExplodeOutcome {
    unsigned code = 0;       // the codec's result (codec::kOk, kBadData, ...)
    uint64_t produced = 0;   // bytes the stream expanded to (up to the cap)
    bool overLimit = false;  // the stream went on past outputLimit
};

// Expands `inputSize` bytes read from `in` (at its current position) into
// `out` (nullptr: only count). With outputLimit >= 0 at most outputLimit bytes
// are taken; a stream that goes beyond stops early with overLimit set.
// A write error sets writeFailed.
ExplodeOutcome explodeStream(std::FILE* in, uint64_t inputSize, std::FILE* out, int64_t outputLimit,
                             bool& writeFailed);

// As explodeStream, from `size` bytes in memory.
ExplodeOutcome explodeBlock(const uint8_t* block, size_t size, std::FILE* out, int64_t outputLimit,
                           bool& writeFailed);

// Compresses everything from `in` into `out`. Returns the codec's result;
// readFailed/writeFailed tell I/O errors apart.
[[nodiscard]] unsigned implodeStream(std::FILE* in, std::FILE* out, unsigned literalMode, unsigned dictSize,
                                     bool& readFailed, bool& writeFailed);

// Compresses `data` in memory into `packed` and expands it back: false when
// the codec fails or the compressed form does not give `data` again (what a
// package carries must install as it was given).
[[nodiscard]] bool implodeVerified(const std::vector<uint8_t>& data, unsigned literalMode, unsigned dictSize,
                                   std::vector<uint8_t>& packed);

// The text of an explode/implode result code.
std::string codecErrorText(unsigned code);

}  // namespace ssi::tool
