// Exact reads and writes over the OS seam's files, for the data file code.
#pragma once

#include "app/result_codes.h"
#include "platform/os.h"

namespace ssi {

// Reads exactly `size` bytes: 0, the OS error, or kShortRead when the file ends first.
inline Result readExact(File& file, void* buffer, uint32_t size) {
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        uint32_t got = 0;
        if (Result e = file.read(p, size, got)) return e;
        if (got == 0) return rc::kShortRead;
        p += got;
        size -= got;
    }
    return rc::kOk;
}

// Writes exactly `size` bytes: 0, the OS error, or "disk full" for a short write.
inline Result writeExact(File& file, const void* buffer, uint32_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    while (size > 0) {
        uint32_t put = 0;
        if (Result e = file.write(p, size, put)) return e;
        if (put == 0) return oserr::kDiskFull;
        p += put;
        size -= put;
    }
    return rc::kOk;
}

}  // namespace ssi
