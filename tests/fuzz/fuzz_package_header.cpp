// Fuzz target: the package header and directory over arbitrary bytes.
//
// Input: everything from the package offset on (header, then stored bytes);
// the installer file is a zero-filled program image followed by the input.
// The layout rules are checked, the header is read as the installer reads it,
// and every slot 1..10 is extracted with the installer's extraction routine. Checks, beyond the sanitizers
// (which also catch a huge allocation):
//   - nothing is ever written outside the fuzz folder;
//   - a slot whose bytes are not inside the file gives -30, and one with an
//     unsafe name or no destination is refused;
//   - a slot that extracts with 0 leaves a file of exactly its size;
//   - a package the layout rules accept is accepted by the header check.
// The files are the double's, in memory.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/names.h"
#include "core/strings.h"
#include "package/package_layout.h"
#include "package/slot_extraction.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/codec_library.h"

namespace {

using namespace ssi;
using fuzz::check;

const std::string kRoot = "C:\\FZ\\";
const std::string kSystem = kRoot + "SYSTEM\\";
const std::string kScratch = kRoot + "QDX1\\";
const std::string kCopy = kScratch + "temp.dat";

// Progress and boxes go nowhere: only the results are checked.
struct SilentReporter : Reporter {
    void showStatus(const std::string&) override {}
    void stepProgress() override {}
    void showInstallError(Result, const std::string&) override {}
    BoxAnswer showBox(BoxKind, BoxButtons, const std::string&) override { return BoxAnswer::Abort; }
    bool stopRequested() const override { return false; }
};

// The double, with the codec's library, and the files it started with.
FakeOs& fakeOs(const std::vector<std::string>*& initial) {
    static std::vector<std::string> before;
    static FakeOs& os = [&]() -> FakeOs& {
        FakeOs& made = fuzz::memoryOs();
        test::registerCodec(made);
        before = fuzz::files(made).filePaths();
        return made;
    }();
    initial = &before;
    return os;
}

// Clears what an earlier input left below the fuzz folder, but for the
// installer copy, whose bytes are then overwritten in place: a fresh block of
// 660 KB for every input would cost more than the input itself.
void clearFolders(FakeOs& os) {
    for (const std::string& folder : {kRoot, kScratch}) {
        std::vector<FindEntry> left;
        if (os.files().findFiles(folder + "*.*", left) != rc::kOk) continue;  // nothing there to clear
        for (const FindEntry& e : left)
            if (e.name != "." && e.name != ".." && lowerCase(folder + e.name + "\\") != lowerCase(kScratch) &&
                lowerCase(folder + e.name) != lowerCase(kCopy))
                fuzz::files(os).removeTree(folder + e.name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string>* initial = nullptr;
    FakeOs& os = fakeOs(initial);
    clearFolders(os);
    os.makeDirs(kSystem);
    os.makeDirs(kScratch);
    fuzz::forgetEarlierCalls(os);

    // The installer copy: a zero-filled program image, then the input.
    static std::string image;
    image.resize(size_t(kPackageOffset));  // the image stays zero: only the input after it changes
    image.append(reinterpret_cast<const char*>(data), size);
    os.writeFile(kCopy, image);
    const int64_t fileSize = int64_t(image.size());
    // The fake finds the library by its file; the exports are the codec's.
    os.writeFile(kScratch + "impborl.dll", "library");

    std::unique_ptr<File> file;
    check(os.files().openFile(kCopy, FileAccess::Read, file) == rc::kOk,
          "the installer copy cannot be opened");
    PackageHeader read{};
    SilentReporter reporter;
    const Result loaded = readPackageHeader(*file, kCopy, read, reporter);
    if (size < kPackageHeaderSize) {
        check(loaded == rc::kShortHeader, "a short header was not refused");
        file.reset();
        fuzz::checkNothingOutside(os, kRoot, *initial);
        return 0;
    }
    uint8_t bytes[kPackageHeaderSize];
    std::copy(data, data + kPackageHeaderSize, bytes);
    PackageHeader header;
    decodePackageHeader(bytes, header);
    check((loaded == rc::kOk) == (checkPackageHeader(header) == rc::kOk), "the header check differs");
    const std::vector<std::string> faults = layoutFaults(header, fileSize);
    if (faults.empty()) check(loaded == rc::kOk, "a sound layout was refused");

    // Every slot, whatever the header check said: the routine's own checks
    // must hold on their own.
    SlotFolders folders{kSystem, kScratch,
                        kSystem + header.name() + os.system().loadString(kStrInstallDirSuffix),
                        header.name()};
    for (int slot = 1; slot <= 10; ++slot) {
        const PackageEntry& e = header.entries[slot];
        const std::string dest = slotDestination(e, folders);
        const Result r = extractSlot(os, *file, e, folders, reporter, (size + size_t(slot)) % 3 == 0);
        if (e.name().empty()) {
            check(r == rc::kEmptySlotName, "an empty slot was not refused");
        } else if (!isSafeFileName(e.name()) || dest.empty()) {
            check(r == rc::kCorruptPackage || r == rc::kNoDestination, "an unsafe slot was not refused");
        } else if (!slotBytesInFile(e, fileSize)) {
            check(r == rc::kShortRead, "a slot outside the file was not refused");
        } else if (r == 0) {
            const int64_t expected = e.compressed ? int64_t(e.expandedSize) : e.storedSize();
            check(fuzz::sizeOf(os, dest) == expected, "an extracted file has the wrong size");
        }
    }
    file.reset();
    fuzz::checkNothingOutside(os, kRoot, *initial);
    return 0;
}
