// The test double's files kept in memory: the file store (file_store.h, where
// the Windows rules are) over byte vectors. A FakeOs made with
// FakeStorage::Memory keeps its files here. Nothing touches the disk, so a
// reader driven by a fuzz target runs thousands of times a second. Links
// (reparse points) are not modelled.
#pragma once

#include <cstdint>

#include "platform/fake/file_store.h"

namespace ssi {

class FakeOs;
class MemoryBacking;

class MemoryFiles : public FileStore {
public:
    explicit MemoryFiles(FakeOs& os);
    ~MemoryFiles() override;

    // The most bytes all files may hold together: a write or copy beyond it
    // fails with 112 (disk full), so that a stream that expands without end
    // cannot use up the test's memory.
    uint64_t capacity = uint64_t(256) << 20;
    uint64_t usedBytes() const;

private:
    MemoryBacking& memory_;
};

}  // namespace ssi
