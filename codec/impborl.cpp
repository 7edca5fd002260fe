// impborl.dll: the codec behind the classic C interface (cdecl, caller cleans).
// impborl.def exports these under the names of codec/library_interface.h.
#include <cstdlib>
#include <memory>
#include <type_traits>

#include "codec/implode.h"
#include "codec/library_interface.h"

namespace {
struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
}  // namespace

extern "C" {

// Callers of the classic interface size the work area for the classic
// library (36,312 bytes); our optimal parser needs more, so the work area
// handed in is not used and a private one is allocated for the call.
[[nodiscard]] unsigned int SSI_CODEC_CALL impborl_implode(ssi::codec::ReadFn read, ssi::codec::WriteFn write,
                                                          char* /*work*/, void* param, unsigned int* type,
                                                          unsigned int* dsize) {
    std::unique_ptr<char, FreeDeleter> work(static_cast<char*>(std::malloc(ssi::codec::kImplodeWorkSize)));
    if (!work) return ssi::codec::kAbort;
    return ssi::codec::implode(read, write, work.get(), param, type, dsize);
}

// Needs only the classic 12,596-byte work area.
[[nodiscard]] unsigned int SSI_CODEC_CALL impborl_explode(ssi::codec::ReadFn read, ssi::codec::WriteFn write,
                                                          char* work, void* param) {
    return ssi::codec::explode(read, write, work, param);
}

unsigned long SSI_CODEC_CALL impborl_crc32(char* buffer, unsigned int* size, unsigned long* old_crc) {
    return ssi::codec::crc32(buffer, size, old_crc);
}

}  // extern "C"

// The exports have exactly the types the binding calls them through.
static_assert(std::is_same_v<decltype(&impborl_implode), ssi::codec::ImplodeFn>);
static_assert(std::is_same_v<decltype(&impborl_explode), ssi::codec::ExplodeFn>);
static_assert(std::is_same_v<decltype(&impborl_crc32), ssi::codec::Crc32Fn>);
