#include "tests/codec/stormlib_peer.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace ssi::codec::peer {
namespace {

struct Memory {
    const std::uint8_t* in;
    std::size_t size;
    std::size_t pos;
    std::vector<std::uint8_t>* out;
};

unsigned int readMemory(char* buf, unsigned int* want, void* param) {
    auto* m = static_cast<Memory*>(param);
    const std::size_t n = std::min<std::size_t>(*want, m->size - m->pos);
    if (n != 0) std::memcpy(buf, m->in + m->pos, n);
    m->pos += n;
    return static_cast<unsigned int>(n);
}

void writeMemory(char* buf, unsigned int* got, void* param) {
    auto* m = static_cast<Memory*>(param);
    m->out->insert(m->out->end(), buf, buf + *got);
}

}  // namespace

std::vector<std::uint8_t> stormImplode(const std::uint8_t* data, std::size_t size, unsigned type,
                                       unsigned dsize) {
    std::vector<std::uint8_t> out;
    out.reserve(size / 2 + 64);
    Memory m{data, size, 0, &out};
    auto work = std::make_unique<char[]>(kStormImplodeWork);
    if (::implode(readMemory, writeMemory, work.get(), &m, &type, &dsize) != 0) out.clear();
    return out;
}

unsigned stormExplode(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
    out.clear();
    Memory m{data, size, 0, &out};
    auto work = std::make_unique<char[]>(kStormExplodeWork);
    return ::explode(readMemory, writeMemory, work.get(), &m);
}

}  // namespace ssi::codec::peer
