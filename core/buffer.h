// Header only (a small class defined in place).
// A block of bytes whose allocation may fail without an exception, for the
// large blocks whose size a package decides: not getting one is an ordinary
// error (reported as out of memory), not the end of the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace ssi {

class ByteBuffer {
public:
    // Replaces the contents with `size` bytes of unspecified value; false
    // (and empty) when the memory is not there.
    [[nodiscard]] bool allocate(size_t size) {
        reset();
        if (size == 0) return true;
        bytes_.reset(static_cast<uint8_t*>(std::malloc(size)));
        if (!bytes_) return false;
        size_ = size;
        return true;
    }
    void reset() {
        bytes_.reset();
        size_ = 0;
    }
    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    size_t size() const { return size_; }

private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> bytes_;
    size_t size_ = 0;
};

}  // namespace ssi
