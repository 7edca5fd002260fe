// What the fuzz targets over the test double share: the double with its
// files in memory, a check that stops the run, and the questions the
// targets ask of the files a reader left behind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/names.h"
#include "platform/fake/fake_os.h"
#include "platform/fake/memory_files.h"

namespace ssi::fuzz {

// Reports a broken rule and stops, so that libFuzzer keeps the input.
inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

// The double for one fuzz target, made once: files in memory, at most
// 64 MiB of them, so that a stream that expands without end meets a full
// disk instead of the fuzzer's memory limit.
inline FakeOs& memoryOs() {
    static FakeOs* os = [] {
        auto* made = new FakeOs(FakeStorage::Memory);
        made->memoryFiles()->capacity = uint64_t(64) << 20;
        return made;
    }();
    return *os;
}

inline MemoryFiles& files(FakeOs& os) {
    return *os.memoryFiles();
}

// Empties what the double records of earlier calls (boxes, libraries loaded,
// programs started), so that nothing grows from one input to the next: a
// run whose allocations do not balance makes libFuzzer look for leaks, which
// costs more than the input itself.
inline void forgetEarlierCalls(FakeOs& os) {
    os.boxes.clear();
    os.libraryPaths.clear();
    os.shellRequests.clear();
    os.processes.clear();
}

// A file's size as a listing gives it, or -1 when there is no such file.
inline int64_t sizeOf(FakeOs& os, const std::string& path) {
    std::vector<FindEntry> found;
    if (os.files().findFiles(path, found) != 0 || found.size() != 1 ||
        (found[0].attributes & attr::kDirectory))
        return -1;
    return int64_t(found[0].size);
}

// Stops the run when a file lies outside `folder` (with its trailing
// backslash) and is not one of `before`.
inline void checkNothingOutside(FakeOs& os, const std::string& folder,
                                const std::vector<std::string>& before) {
    const std::string allowed = lowerCase(folder);
    for (const std::string& path : files(os).filePaths()) {
        if (lowerCase(path).compare(0, allowed.size(), allowed) == 0) continue;
        bool earlier = false;
        for (const std::string& b : before) earlier = earlier || b == path;
        if (earlier) continue;
        std::fprintf(stderr, "written outside %s: %s\n", folder.c_str(), path.c_str());
        check(false, "a file was written outside the allowed folder");
    }
}

}  // namespace ssi::fuzz
