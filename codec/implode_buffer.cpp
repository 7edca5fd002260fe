// implodeBuffer() / explodeBuffer(): memory-to-memory wrappers around the
// streaming interface, for the package tool and the tests.
#include <algorithm>
#include <cstring>
#include <memory>

#include "codec/implode.h"

namespace ssi::codec {
namespace {

struct MemoryStreams {
    const std::uint8_t* in;
    std::size_t inSize;
    std::size_t inPos;
    std::vector<std::uint8_t>* out;
};

unsigned int readMemory(char* buf, unsigned int* size, void* param) {
    auto* s = static_cast<MemoryStreams*>(param);
    const std::size_t n = std::min<std::size_t>(*size, s->inSize - s->inPos);
    if (n != 0) std::memcpy(buf, s->in + s->inPos, n);
    s->inPos += n;
    return static_cast<unsigned int>(n);
}

void writeMemory(char* buf, unsigned int* size, void* param) {
    auto* s = static_cast<MemoryStreams*>(param);
    s->out->insert(s->out->end(), buf, buf + *size);
}

}  // namespace

std::vector<std::uint8_t> implodeBuffer(const std::uint8_t* data, std::size_t size, unsigned int type,
                                        unsigned int dsize) {
    std::vector<std::uint8_t> out;
    out.reserve(size / 2 + 64);
    MemoryStreams s{data, size, 0, &out};
    auto work = std::make_unique<char[]>(kImplodeWorkSize);
    if (implode(readMemory, writeMemory, work.get(), &s, &type, &dsize) != kOk) out.clear();
    return out;
}

int explodeBuffer(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
    out.clear();
    MemoryStreams s{data, size, 0, &out};
    auto work = std::make_unique<char[]>(kExplodeWorkSize);
    return static_cast<int>(explode(readMemory, writeMemory, work.get(), &s));
}

}  // namespace ssi::codec
