// A package made by the package tool's builder, placed as the installer copy
// over the test double, with the package steps driven as the installer does.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "package/data_file.h"
#include "package/installer_package.h"
#include "package/package_layout.h"
#include "tests/package/test_pattern.h"
#include "platform/fake/fake_os.h"
#include "tests/support/codec_library.h"
#include "tests/support/test_reporter.h"
#include "tools/saverpack/package_builder.h"

namespace ssi::test {

inline tool::SlotInput slotOf(const std::string& name, int32_t kind, bool compress, const std::string& data) {
    tool::SlotInput s;
    s.name = name;
    s.kind = kind;
    s.compress = compress;
    s.data.assign(data.begin(), data.end());
    s.source = name;
    return s;
}

// The example package's shape: every role filled, slots 6, 9 and 10 compressed.
inline tool::PackageInput standardInput() {
    tool::PackageInput in;
    in.installerMode = 8;
    in.carriesFlashInstaller = true;
    in.showLicense = true;
    in.showReadMe = true;
    in.offerDisplayPanel = true;
    in.saverName = "Night Sky";
    in.slots[1] = slotOf("impborl.dat", 4, false, pattern("lib", 3000));
    in.slots[2] = slotOf("flashax7.exe", 3, false, pattern("player", 5000));
    in.slots[3] = slotOf("installer.jpeg", 7, false, pattern("preview", 4000));
    in.slots[4] = slotOf("License.txt", 7, false, pattern("licence", 700));
    in.slots[5] = slotOf("ReadMe.txt", 7, false, pattern("readme", 900));
    in.slots[6] = slotOf("Night Sky.scr", 2, true, pattern("saver", 20000));
    in.slots[7] = slotOf("setwnd.scf", 5, false, pattern("settings", 1404));
    in.slots[8] = slotOf("Night Sky.ssd", 4, false, pattern("data", 6000));
    in.slots[9] = slotOf("saver1.dll", 5, true, pattern("engine1", 9000));
    in.slots[10] = slotOf("saver2.dll", 5, true, pattern("engine2", 7000));
    return in;
}

inline std::vector<uint8_t> buildImage(const tool::PackageInput& in) {
    std::vector<uint8_t> image, stub(1000, 'M');
    std::vector<std::string> errors;
    EXPECT_TRUE(tool::buildInstaller(stub, in, image, errors)) << (errors.empty() ? "" : errors.front());
    return image;
}

inline PackageHeader headerOf(const std::vector<uint8_t>& image) {
    uint8_t bytes[kPackageHeaderSize];
    std::memcpy(bytes, image.data() + kPackageOffset, kPackageHeaderSize);
    PackageHeader h;
    decodePackageHeader(bytes, h);
    return h;
}

inline void storeHeader(std::vector<uint8_t>& image, const PackageHeader& h) {
    uint8_t bytes[kPackageHeaderSize];
    encodePackageHeader(h, bytes);
    std::memcpy(image.data() + kPackageOffset, bytes, kPackageHeaderSize);
}

// The installer's package state and its steps, called as the installer does.
struct PackageSteps {
    explicit PackageSteps(FakeOs& os) : os(os), reporter(os) {}
    FakeOs& os;
    InstallerPackage package;
    SaverData data;
    TestReporter reporter;
    bool readMeIncluded = false;

    [[nodiscard]] Result copyInstaller() { return ssi::copyInstaller(os, package, reporter); }
    [[nodiscard]] Result loadPackageHeader() { return ssi::loadPackageHeader(os, package, reporter); }
    void deriveInstallPaths() { ssi::deriveInstallPaths(os, package); }
    [[nodiscard]] Result extractEntry(File& file, int slot, bool progress) {
        return ssi::extractEntry(os, file, package, slot, reporter, progress);
    }
    [[nodiscard]] Result extractReadMe() { return ssi::extractReadMe(os, package, reporter); }
    [[nodiscard]] Result extractLicense() { return ssi::extractLicense(os, package, reporter); }
    [[nodiscard]] Result extractFlashInstaller() { return ssi::extractFlashInstaller(os, package, reporter); }
    [[nodiscard]] Result extractPreview() { return ssi::extractPreview(os, package, reporter); }
    [[nodiscard]] Result extractInstallEntries(const std::string& path) {
        return ssi::extractInstallEntries(os, package, path, readMeIncluded, reporter);
    }
    [[nodiscard]] Result readSaverRecord() { return ssi::readSaverRecord(os, package, data, reporter); }
    [[nodiscard]] Result expandDataFile() { return ssi::expandDataFile(os, package, data, reporter); }
    [[nodiscard]] Result writeSaverRecord() { return ssi::writeSaverRecord(os, package, data, reporter); }
    std::string destinationFor(const PackageEntry& entry) const { return slotDestination(entry, package.folders()); }
};

struct PackageFixture : ::testing::Test {
    FakeOs os;
    PackageSteps steps{os};
    InstallerPackage& package = steps.package;
    tool::PackageInput input = standardInput();
    std::vector<uint8_t> image;
    const std::string scratch = "C:\\TEMP\\QDX1\\";
    const std::string system = "C:\\WINDOWS\\SYSTEM\\";
    const std::string installDir = "C:\\WINDOWS\\SYSTEM\\Night Sky dir\\";

    void SetUp() override {
        package.dirs = {"C:\\WINDOWS\\", system, scratch};
        os.makeDirs(scratch);
        os.makeDirs(installDir);
        preparePaths(os, package);
        os.writeFile(scratch + "impborl.dll", "library");  // its exports come from the double
        registerCodec(os);
    }

    // Builds the package and makes it the installer copy with its header loaded.
    void install() { install(buildImage(input)); }
    void install(const std::vector<uint8_t>& bytes) {
        image = bytes;
        os.writeFile(package.installerCopyPath, std::string(image.begin(), image.end()));
        if (image.size() >= size_t(kFirstSlotOffset)) package.header = headerOf(image);
        package.installDir = installDir;
        package.saverName = package.header.name();
    }
    // Changes the header of the installed copy.
    template <class F>
    void patch(F change) {
        PackageHeader h = headerOf(image);
        change(h);
        storeHeader(image, h);
        install(image);
    }

    [[nodiscard]] Result extract(int slot, bool progress = false) {
        std::unique_ptr<File> file;
        const Result error = os.files().openFile(package.installerCopyPath, FileAccess::Read, file);
        EXPECT_EQ(error, 0);
        return file ? steps.extractEntry(*file, slot, progress) : error;
    }
    std::string source(int slot) const {
        return std::string(input.slots[slot]->data.begin(), input.slots[slot]->data.end());
    }
    bool exists(const std::string& path) { return os.exists(path); }
};

}  // namespace ssi::test
