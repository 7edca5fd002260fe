#include "tools/saverpack/stream_codec.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "codec/implode.h"

namespace ssi::tool {

namespace {

struct ExplodeState {
    std::FILE* in;  // nullptr: the input is the block below
    uint64_t inputLeft;
    std::FILE* out;
    int64_t limit;
    uint64_t produced = 0;
    bool overLimit = false;
    bool writeFailed = false;
    const uint8_t* block = nullptr;
};

unsigned int readInput(char* buffer, unsigned int* size, void* param) {
    auto* s = static_cast<ExplodeState*>(param);
    if (s->overLimit) return 0;  // starve the decoder: it ends at once
    const size_t want = size_t(std::min<uint64_t>(*size, s->inputLeft));
    if (want == 0) return 0;
    if (!s->in) {
        std::memcpy(buffer, s->block, want);
        s->block += want;
        s->inputLeft -= want;
        return static_cast<unsigned int>(want);
    }
    const size_t got = std::fread(buffer, 1, want, s->in);
    s->inputLeft -= got;
    return static_cast<unsigned int>(got);
}

void writeOutput(char* buffer, unsigned int* size, void* param) {
    auto* s = static_cast<ExplodeState*>(param);
    uint64_t count = *size;
    if (s->limit >= 0) {
        const uint64_t room = s->produced >= uint64_t(s->limit) ? 0 : uint64_t(s->limit) - s->produced;
        if (count > room) {
            count = room;
            s->overLimit = true;
        }
    }
    if (s->out && count && std::fwrite(buffer, 1, size_t(count), s->out) != count) s->writeFailed = true;
    s->produced += count;
}

struct ImplodeState {
    std::FILE* in;
    std::FILE* out;
    bool readFailed = false;
    bool writeFailed = false;
};

unsigned int readPlain(char* buffer, unsigned int* size, void* param) {
    auto* s = static_cast<ImplodeState*>(param);
    const size_t got = std::fread(buffer, 1, *size, s->in);
    if (got < *size && std::ferror(s->in)) s->readFailed = true;
    return static_cast<unsigned int>(got);
}

void writePacked(char* buffer, unsigned int* size, void* param) {
    auto* s = static_cast<ImplodeState*>(param);
    if (std::fwrite(buffer, 1, *size, s->out) != *size) s->writeFailed = true;
}

}  // namespace

namespace {
// Runs the decoder over a prepared source (a file or a block in memory).
ExplodeOutcome runExplode(ExplodeState& state, bool& writeFailed) {
    auto work = std::make_unique<char[]>(codec::kExplodeWorkSize);
    ExplodeOutcome outcome;
    outcome.code = codec::explode(readInput, writeOutput, work.get(), &state);
    outcome.produced = state.produced;
    outcome.overLimit = state.overLimit;
    writeFailed = state.writeFailed;
    return outcome;
}
}  // namespace

ExplodeOutcome explodeStream(std::FILE* in, uint64_t inputSize, std::FILE* out, int64_t outputLimit,
                             bool& writeFailed) {
    ExplodeState state{in, inputSize, out, outputLimit};
    return runExplode(state, writeFailed);
}

ExplodeOutcome explodeBlock(const uint8_t* block, size_t size, std::FILE* out, int64_t outputLimit,
                           bool& writeFailed) {
    ExplodeState state{nullptr, size, out, outputLimit};
    state.block = block;
    return runExplode(state, writeFailed);
}

unsigned implodeStream(std::FILE* in, std::FILE* out, unsigned literalMode, unsigned dictSize,
                       bool& readFailed, bool& writeFailed) {
    ImplodeState state{in, out};
    auto work = std::make_unique<char[]>(codec::kImplodeWorkSize);
    const unsigned code = codec::implode(readPlain, writePacked, work.get(), &state, &literalMode, &dictSize);
    readFailed = state.readFailed;
    writeFailed = state.writeFailed;
    return code;
}

bool implodeVerified(const std::vector<uint8_t>& data, unsigned literalMode, unsigned dictSize,
                     std::vector<uint8_t>& packed) {
    packed = codec::implodeBuffer(data.data(), data.size(), literalMode, dictSize);
    if (packed.empty()) return false;
    std::vector<uint8_t> check;
    return codec::explodeBuffer(packed.data(), packed.size(), check) == int(codec::kOk) && check == data;
}

std::string codecErrorText(unsigned code) {
    switch (code) {
        case codec::kOk:
            return "no error";
        case codec::kInvalidDictSize:
            return "invalid dictionary size";
        case codec::kInvalidMode:
            return "invalid literal mode";
        case codec::kBadData:
            return "stream truncated or missing its end code";
        case codec::kAbort:
            return "aborted";
        default:
            return "error " + std::to_string(code);
    }
}

}  // namespace ssi::tool
