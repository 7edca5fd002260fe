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
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/strings.h"
#include "package/package_layout.h"
#include "package/slot_extraction.h"
#include "platform/fake/fake_os.h"

namespace {

using namespace ssi;
namespace fs = std::filesystem;

const std::string kRoot = "C:\\FZ\\";
const std::string kSystem = kRoot + "SYSTEM\\";
const std::string kScratch = kRoot + "QDX1\\";

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_package_header: %s\n", what);
        std::abort();
    }
}

FakeOs& fakeOs() {
    static FakeOs* os = new FakeOs;
    return *os;
}

// Every file written below the fake's root lies below the fuzz folder (the
// fake's own start-up files excepted).
void checkNothingOutside(FakeOs& os) {
    const std::string allowed = fs::path(os.hostPath(kRoot)).lexically_normal().string() + "/";
    const std::string module = fs::path(os.hostPath(os.module)).lexically_normal().string();
    std::error_code ec;
    for (fs::recursive_directory_iterator it(os.root(), ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory()) continue;
        const std::string p = it->path().lexically_normal().string();
        check(p.compare(0, allowed.size(), allowed) == 0 || p == module,
              "a file was written outside the fuzz folder");
    }
}

int64_t sizeOf(FakeOs& os, const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(os.hostPath(path), ec);
    return ec ? -1 : int64_t(size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FakeOs& os = fakeOs();
    std::error_code ec;
    fs::remove_all(os.hostPath(kRoot), ec);
    os.makeDirs(kSystem);
    os.makeDirs(kScratch);
    os.boxes.clear();

    const std::string copyPath = kScratch + "temp.dat";
    {
        std::ofstream out(os.hostPath(copyPath), std::ios::binary);
        const std::string image(size_t(kPackageOffset), '\0');
        out.write(image.data(), std::streamsize(image.size()));
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    const int64_t fileSize = int64_t(kPackageOffset) + int64_t(size);
    // The fake finds the library by its file; the exports are the codec's.
    os.writeFile(kScratch + "impborl.dll", "library");

    Result error = 0;
    std::unique_ptr<File> file = os.openFile(copyPath, FileAccess::Read, error);
    check(file != nullptr, "the installer copy cannot be opened");
    PackageHeader read{};
    const Result loaded = readPackageHeader(os, *file, copyPath, read);
    if (size < kPackageHeaderSize) {
        check(loaded == rc::kShortHeader, "a short header was not refused");
        file.reset();
        checkNothingOutside(os);
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
    SlotFolders folders{kSystem, kScratch, kSystem + header.name() + os.loadString(kStrInstallDirSuffix),
                        header.name()};
    ExtractionProgress progress{[](const std::string&) {}, [] {}};
    for (int slot = 1; slot <= 10; ++slot) {
        const PackageEntry& e = header.entries[slot];
        const std::string dest = slotDestination(e, folders);
        const Result r =
            extractSlot(os, *file, e, folders, (size + size_t(slot)) % 3 == 0 ? &progress : nullptr);
        if (e.name().empty()) {
            check(r == rc::kEmptySlotName, "an empty slot was not refused");
        } else if (!isSafeFileName(e.name()) || dest.empty()) {
            check(r == rc::kCorruptPackage || r == rc::kNoDestination, "an unsafe slot was not refused");
        } else if (!slotBytesInFile(e, fileSize)) {
            check(r == rc::kShortRead, "a slot outside the file was not refused");
        } else if (r == 0) {
            const int64_t expected = e.compressed ? int64_t(e.expandedSize) : e.storedSize();
            check(sizeOf(os, dest) == expected, "an extracted file has the wrong size");
        }
    }
    file.reset();
    checkNothingOutside(os);
    return 0;
}
