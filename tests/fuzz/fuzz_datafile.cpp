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
// The files are the double's, in memory.
#include <cstdint>
#include <string>
#include <vector>

#include "package/data_file.h"
#include "platform/file_utils.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace ssi;
using fuzz::check;

const std::string kScratch = "C:\\TEMP\\QDX1\\";
const std::string kTarget = kScratch + "out\\";
const std::string kContainer = kScratch + "saver.ssd";

// The double, with a library file in the scratch folder, and the files it
// started with.
FakeOs& fakeOs(const std::vector<std::string>*& initial) {
    static std::vector<std::string> before;
    static FakeOs& os = [&]() -> FakeOs& {
        FakeOs& made = fuzz::memoryOs();
        before = fuzz::files(made).filePaths();
        made.writeFile(kScratch + "impborl.dll", "library");
        return made;
    }();
    initial = &before;
    return os;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string>* initial = nullptr;
    FakeOs& os = fakeOs(initial);
    fuzz::files(os).removeTree(kTarget);
    os.makeDirs(kTarget);
    fuzz::forgetEarlierCalls(os);
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
            if (expanded > 0)
                check(fuzz::sizeOf(os, target) == int64_t(expanded),
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
    fuzz::checkNothingOutside(os, kScratch, *initial);
    return 0;
}
