// Deterministic test data for package slots, shared by the native and Win32 tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ssi::test {

// Half text, half noise: compressible, but not trivially; the same seed
// always gives the same bytes.
inline std::string pattern(const std::string& seed, size_t size) {
    std::string out;
    uint32_t x = 2166136261u;
    for (char c : seed) x = (x ^ uint8_t(c)) * 16777619u;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        out += (out.size() / 64) % 2 ? char('a' + (x >> 16) % 7) : char(x >> 24);
    }
    return out;
}

}  // namespace ssi::test
