// Fuzz target: the package header and directory over arbitrary bytes.
//
// Input: everything from the package offset on (header, then stored bytes);
// the installer file is a zero-filled program image followed by the input.
// The layout rules are checked, the header is loaded as the installer loads it
// (which extracts slot 1), and every slot 1..10 is extracted with
// extractEntry. Checks, beyond the sanitizers (which also catch a huge
// allocation):
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

#include "app/fInstall.h"
#include "package/package_layout.h"
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
        check(p.compare(0, allowed.size(), allowed) == 0 || p == module, "a file was written outside the fuzz folder");
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

    TInstallerForm form(os);
    form.dirs = {kRoot, kSystem, kScratch};
    form.preparePaths();
    {
        std::ofstream out(os.hostPath(form.installerCopyPath), std::ios::binary);
        const std::string image(size_t(kPackageOffset), '\0');
        out.write(image.data(), std::streamsize(image.size()));
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    const int64_t fileSize = int64_t(kPackageOffset) + int64_t(size);
    // The fake finds the library by its file; the exports are the codec's.
    os.writeFile(kScratch + "impborl.dll", "library");

    const Result loaded = form.loadPackageHeader();
    if (size < kPackageHeaderSize) {
        check(loaded == rc::kShortHeader, "a short header was not refused");
        checkNothingOutside(os);
        return 0;
    }
    uint8_t bytes[kPackageHeaderSize];
    std::copy(data, data + kPackageHeaderSize, bytes);
    PackageHeader header;
    decodePackageHeader(bytes, header);
    const std::vector<std::string> faults = layoutFaults(header, fileSize);
    if (faults.empty()) check(checkPackageHeader(header) == rc::kOk, "a sound layout was refused");

    // Every slot, whatever the header check said: the routine's own checks
    // must hold on their own.
    form.header = header;
    form.deriveInstallPaths();
    Result error = 0;
    std::unique_ptr<File> file = os.openFile(form.installerCopyPath, FileAccess::Read, error);
    check(file != nullptr, "the installer copy cannot be opened");
    for (int slot = 1; slot <= 10; ++slot) {
        const PackageEntry& e = header.entries[slot];
        const std::string dest = form.destinationFor(e);
        const Result r = form.extractEntry(*file, slot, (size + size_t(slot)) % 3 == 0);
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
