// The double's "impborl.dll" answers with our own codec's entry points, so
// that tests of the binding expand real streams.
#pragma once

#include "codec/implode.h"
#include "platform/fake/fake_os.h"

namespace ssi::test {

inline void registerCodec(FakeOs& os) {
    os.libraryExports["impborl.dll"] = {
        {"_implode", reinterpret_cast<void*>(&codec::implode)},
        {"_explode", reinterpret_cast<void*>(&codec::explode)},
        {"_crc32", reinterpret_cast<void*>(&codec::crc32)},
    };
}

}  // namespace ssi::test
