// StormLib's implode/explode (Debian's libstorm-dev), the independent peer for
// cross-checks and benchmarks. Its header only declares the fixed-mode
// SComp* wrappers; the library also exports the streaming functions with C
// linkage, declared here in the classic shape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
unsigned int implode(unsigned int (*read_buf)(char* buf, unsigned int* size, void* param),
                     void (*write_buf)(char* buf, unsigned int* size, void* param), char* work_buf,
                     void* param, unsigned int* type, unsigned int* dsize);
unsigned int explode(unsigned int (*read_buf)(char* buf, unsigned int* size, void* param),
                     void (*write_buf)(char* buf, unsigned int* size, void* param), char* work_buf,
                     void* param);
}

namespace ssi::codec::peer {

// StormLib's work structures hold pointers, so on 64-bit hosts they exceed the
// classic 32-bit sizes; these are generous for both.
constexpr std::size_t kStormImplodeWork = 64 * 1024;
constexpr std::size_t kStormExplodeWork = 32 * 1024;

std::vector<std::uint8_t> stormImplode(const std::uint8_t* data, std::size_t size, unsigned type,
                                       unsigned dsize);
// Returns StormLib's code; out receives what it wrote.
[[nodiscard]] unsigned stormExplode(const std::uint8_t* data, std::size_t size,
                                    std::vector<std::uint8_t>& out);

}  // namespace ssi::codec::peer
