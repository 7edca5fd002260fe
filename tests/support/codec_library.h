// The double's "impborl.dll" answers with our own codec's entry points, so
// that tests of the binding expand real streams.
#pragma once

#include "codec/implode.h"
#include "platform/fake/fake_os.h"

namespace ssi::test {

inline void registerCodec(FakeOs& os) {
    os.libraryExports[codec::kLibraryFileName] = {
        {codec::kImplodeExport, reinterpret_cast<void*>(&codec::implode)},
        {codec::kExplodeExport, reinterpret_cast<void*>(&codec::explode)},
        {codec::kCrc32Export, reinterpret_cast<void*>(&codec::crc32)},
    };
}

}  // namespace ssi::test
