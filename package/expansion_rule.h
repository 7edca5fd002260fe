// Header only (inline rules).
// How a compressed slot or data item is judged once expanded: by the size of
// what came out alone. The codec's own verdict on the stream is not
// consulted: a damaged stream shows as a file of the wrong size, or none, and
// one that ends wrongly only after giving exactly its expandedSize bytes
// passes. The installer's slot and data-file extraction and the package tool
// all judge by these two.
#pragma once

#include <cstdint>

namespace ssi {

// The most bytes an expansion may write: expandedSize + 1, so that an
// overlong stream still shows in the size check (0 for a negative
// expandedSize).
inline int64_t expansionLimit(int32_t expandedSize) {
    return expandedSize < 0 ? 0 : int64_t(expandedSize) + 1;
}

// Whether an expansion of `size` bytes gave exactly expandedSize.
inline bool expandedSizeMatches(int32_t expandedSize, uint64_t size) {
    return expandedSize >= 0 && size == uint64_t(expandedSize);
}

}  // namespace ssi
