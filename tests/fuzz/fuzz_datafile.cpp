// Fuzz target: the screen saver data file reader over arbitrary bytes.
//
// Input: the container itself. It is opened over the test double and every
// item is extracted into one target folder. Checks, beyond the sanitizers:
//   - nothing is ever written outside the scratch folder (which holds the
//     container, the library and the target folder);
//   - a refused open leaves the container closed, and the item table's count
//     is within 0..1,010;
//   - an extraction that fails leaves no file at its target;
//   - a file that is produced has exactly the chunk's expanded size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "package/dataFunctions_shared.h"
#include "platform/fake/fake_os.h"
#include "saver/KVR_FileUtils.h"

namespace {

using namespace ssi;
namespace fs = std::filesystem;

const std::string kScratch = "C:\\TEMP\\QDX1\\";
const std::string kTarget = kScratch + "out\\";
const std::string kContainer = kScratch + "saver.ssd";

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_datafile: %s\n", what);
        std::abort();
    }
}

std::set<std::string> filesBelow(const fs::path& root) {
    std::set<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        if (!it->is_directory()) files.insert(it->path().lexically_normal().string());
    return files;
}

// The test double, and the files it starts with.
FakeOs& fakeOs(std::set<std::string>*& initial) {
    static std::set<std::string> before;
    static FakeOs* os = [] {
        auto* o = new FakeOs;
        before = filesBelow(o->root());
        o->writeFile(kScratch + "impborl.dll", "library");
        return o;
    }();
    initial = &before;
    return *os;
}

// Every file below the fake's root lies below the scratch folder, or was there before.
void checkNothingOutside(FakeOs& os, const std::set<std::string>& initial) {
    const std::string allowed = fs::path(os.hostPath(kScratch)).lexically_normal().string();
    for (const std::string& p : filesBelow(os.root())) {
        if (p.compare(0, allowed.size(), allowed) == 0 || initial.count(p)) continue;
        std::fprintf(stderr, "written outside: %s\n", p.c_str());
        check(false, "a file was written outside the scratch folder");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::set<std::string>* initial = nullptr;
    FakeOs& os = fakeOs(initial);
    std::error_code ec;
    fs::remove_all(os.hostPath(kTarget), ec);
    os.makeDirs(kTarget);
    os.boxes.clear();
    os.writeFile(kContainer, std::string(reinterpret_cast<const char*>(data), size));

    SaverRecord record{};
    SaverDataFile file(os, record, kScratch);
    bool read = false;
    const Result opened = file.openDataFile(kContainer, size % 2 == 0, read);
    if (opened != 0) {
        check(!file.isOpen() && !read, "a refused container stays open");
        return 0;
    }
    check(file.itemCount() >= 0 && file.itemCount() <= kMaxDataItems, "item count outside the table");
    for (int32_t i = 1; i <= file.itemCount(); ++i) {
        const std::string name = file.item(i).itemName();
        uint8_t itemClass = 0;
        const Result r = file.extractDataItem(kTarget, i, false, itemClass);
        if (!isSafeItemName(name)) {
            check(r == rc::kUnsafeItemName, "an unsafe name was not refused");
            continue;
        }
        const std::string target = kTarget + name;
        const int64_t offset = file.item(i).chunkOffset;
        if (r == 0 && offset >= 0 && uint64_t(offset) + 44 <= size) {
            const int32_t expanded = readLE32(data + offset + 8);
            std::error_code e;
            if (expanded > 0)
                check(fs::file_size(os.hostPath(target), e) == uint64_t(expanded) && !e,
                      "a produced file differs from its expanded size");
        }
        if (r != 0) {
            // A name shared with an earlier item may still hold that item's file;
            // a name that is a folder of another item may be a folder.
            bool earlier = false;
            for (int32_t j = 1; j < i && !earlier; ++j) {
                const std::string other = file.item(j).itemName();
                earlier = lowerCase(other) == lowerCase(name) ||
                          lowerCase(other).compare(0, name.size() + 1, lowerCase(name) + "\\") == 0;
            }
            if (!earlier) check(!fileExists(os, target), "a failed extraction left its file");
        }
    }
    check(file.closeDataFile() == 0, "closing failed");
    checkNothingOutside(os, *initial);
    return 0;
}
