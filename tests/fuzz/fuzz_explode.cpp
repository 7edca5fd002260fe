// Fuzz target: explode() over arbitrary bytes.
//
// Input: byte 0 chooses how the stream is handed over (whole requests, one
// byte at a time, fixed small chunks or pseudo-random sizes); the rest is the
// stream. Checks, beyond the sanitizers:
//   - the work area is exactly the classic 12,596 bytes on the heap, and every
//     buffer explode hands to a callback lies inside it;
//   - the result code and the output do not depend on the read sizes;
//   - a stream that decodes cleanly to at most 16 KiB (four times the largest
//     dictionary) re-encodes (both modes) and decodes back. Larger outputs
//     are left out: implode, the oracle, then took most of each run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "codec/implode.h"

namespace {

using ssi::codec::kExplodeWorkSize;

constexpr std::size_t kRoundTripLimit = 16384;

struct Feed {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    unsigned pattern;
    std::uint32_t rng;
    const char* work;
    std::vector<std::uint8_t> out;
};

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_explode: %s\n", what);
        std::abort();
    }
}

bool insideWork(const Feed& f, const char* buf, unsigned int size) {
    return buf >= f.work && size <= kExplodeWorkSize && buf + size <= f.work + kExplodeWorkSize;
}

unsigned int readFeed(char* buf, unsigned int* size, void* param) {
    auto* f = static_cast<Feed*>(param);
    check(insideWork(*f, buf, *size), "read buffer outside the work area");
    std::size_t n = *size;
    switch (f->pattern & 3u) {
        case 0:
            break;
        case 1:
            n = 1;
            break;
        case 2:
            n = 1 + (f->pattern >> 2);
            break;
        default:
            f->rng = f->rng * 1103515245u + 12345u;
            n = 1 + (f->rng >> 16) % 300;
            break;
    }
    n = std::min({n, std::size_t{*size}, f->size - f->pos});
    if (n != 0) std::memcpy(buf, f->data + f->pos, n);
    f->pos += n;
    return static_cast<unsigned int>(n);
}

void writeFeed(char* buf, unsigned int* size, void* param) {
    auto* f = static_cast<Feed*>(param);
    check(*size != 0 && insideWork(*f, buf, *size), "write buffer outside the work area");
    f->out.insert(f->out.end(), buf, buf + *size);
}

unsigned int readAll(char* buf, unsigned int* size, void* param) {
    auto* f = static_cast<Feed*>(param);
    const std::size_t n = std::min(std::size_t{*size}, f->size - f->pos);
    if (n != 0) std::memcpy(buf, f->data + f->pos, n);  // data is null for an empty output
    f->pos += n;
    return static_cast<unsigned int>(n);
}

void writeAll(char* buf, unsigned int* size, void* param) {
    auto* f = static_cast<Feed*>(param);
    f->out.insert(f->out.end(), buf, buf + *size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned pattern = data[0];
    ++data;
    --size;

    auto work = std::make_unique<char[]>(kExplodeWorkSize);
    Feed feed{data, size, 0, pattern, pattern, work.get(), {}};
    const unsigned code = ssi::codec::explode(readFeed, writeFeed, work.get(), &feed);
    check(code <= ssi::codec::kBadData, "unexpected result code");  // the reader behaves

    std::vector<std::uint8_t> whole;
    const int wholeCode = ssi::codec::explodeBuffer(data, size, whole);
    check(static_cast<unsigned>(wholeCode) == code, "result depends on read sizes");
    check(whole == feed.out, "output depends on read sizes");

    if (code == ssi::codec::kOk && feed.out.size() <= kRoundTripLimit) {
        const unsigned mode = pattern & 1u;
        const unsigned dsize = 1024u << (pattern % 3u);
        static const auto implodeWork = std::make_unique<char[]>(ssi::codec::kImplodeWorkSize);
        Feed source{feed.out.data(), feed.out.size(), 0, 0, 0, nullptr, {}};
        unsigned type = mode, dict = dsize;
        check(ssi::codec::implode(readAll, writeAll, implodeWork.get(), &source, &type, &dict) == 0,
              "implode fails");
        const std::vector<std::uint8_t>& packed = source.out;
        std::vector<std::uint8_t> back;
        check(ssi::codec::explodeBuffer(packed.data(), packed.size(), back) == 0, "re-encoded stream fails");
        check(back == feed.out, "re-encoded stream decodes differently");
    }
    return 0;
}
