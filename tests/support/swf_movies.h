// SWF movies made up for tests: an uncompressed ("FWS") or compressed
// ("CWS", the body deflated into one zlib stream) movie of any version.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

namespace ssi::movies {

inline std::string le32(uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

inline std::string deflated(const std::string& body) {
    uLongf size = compressBound(uLong(body.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(body.data()),
             uLong(body.size()));
    out.resize(size);
    return out;
}

// A body that does not compress to nothing, so several blocks are involved.
inline std::string sampleBody(size_t size) {
    std::string body(size, '\0');
    uint32_t x = 12345;
    for (char& c : body) {
        x = x * 1103515245u + 12345u;
        c = char((x >> 16) % 7 + 'a');
    }
    return body;
}

inline std::string fws(uint8_t version, const std::string& body) {
    return "FWS" + std::string(1, char(version)) + le32(uint32_t(8 + body.size())) + body;
}
inline std::string cws(uint8_t version, const std::string& body) {
    return "CWS" + std::string(1, char(version)) + le32(uint32_t(8 + body.size())) + deflated(body);
}

}  // namespace ssi::movies
