// Slot extraction on real files under Wine: an installer made by
// saverpack.exe from test files, expanded through the real impborl.dll.
//
// `package_wine_test --hold FILE READY RELEASE` is the helper process: it
// opens FILE without FILE_SHARE_DELETE, sets event READY and waits for event
// RELEASE, so the tests see a screen saver that is really in use elsewhere.
#include <gtest/gtest.h>

#include <cstring>

#include "package/installer_package.h"
#include "package/package_layout.h"
#include "package/codec_library.h"
#include "platform/win32/win32_os.h"
#include "tests/package/sample_files.h"
#include "tests/package/test_pattern.h"
#include "tests/support/test_reporter.h"
#include "tests/wine/wine_test_support.h"

namespace ssi {
namespace {

using wintest::exeDir;
using wintest::freshDir;
using wintest::readFile;
using wintest::writeFile;

using wintest::HeldFile;

// The real system facts, with every library load counted.
class RecordingSystem : public System {
public:
    explicit RecordingSystem(System& real) : real_(real) {}
    std::string environment(const std::string& name) override { return real_.environment(name); }
    std::string systemDirectory() override { return real_.systemDirectory(); }
    std::string windowsDirectory() override { return real_.windowsDirectory(); }
    std::string tempDirectory() override { return real_.tempDirectory(); }
    std::string modulePath() override { return real_.modulePath(); }
    std::vector<std::string> commandLineParameters() override { return real_.commandLineParameters(); }
    [[nodiscard]] Result windowsVersion(WindowsVersion& out) override { return real_.windowsVersion(out); }
    [[nodiscard]] Result setScreenSaveActive(bool active) override {
        return real_.setScreenSaveActive(active);
    }
    [[nodiscard]] Result loadLibrary(const std::string& path, std::unique_ptr<Library>& out) override {
        loads.push_back(path);
        return real_.loadLibrary(path, out);
    }
    std::string loadString(uint32_t id) override { return real_.loadString(id); }
    std::string errorText(Result code) override { return real_.errorText(code); }
    void sleep(uint32_t milliseconds) override { real_.sleep(milliseconds); }
    [[nodiscard]] Result elevation(bool& elevated) override { return real_.elevation(elevated); }
    std::vector<std::string> loads;

private:
    System& real_;
};

// The real seam but for the counted library loads.
class RecordingOs : public Os {
public:
    FileSystem& files() override { return real.files(); }
    Registry& registry() override { return real.registry(); }
    Profile& profile() override { return real.profile(); }
    System& system() override { return recording; }
    Shell& shell() override { return real.shell(); }
    Com& com() override { return real.com(); }
    Ui& ui() override { return real.ui(); }
    win32::Win32Os real;
    RecordingSystem recording{real.system()};
};

[[nodiscard]] int run(const std::string& commandLine) {
    std::string command = commandLine;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    win32::KernelHandle process(pi.hProcess);
    ::CloseHandle(pi.hThread);
    ::WaitForSingleObject(process.get(), 120000);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return int(code);
}

using test::pattern;

struct Slot {
    int index;
    const char* file;
    const char* name;
    int kind;
    bool compress;
    size_t size;
};
const Slot kSlots[] = {
    {2, "player.exe", "flashax7.exe", 3, false, 40000}, {3, "preview.jpg", "installer.jpg", 7, false, 9000},
    {4, "licence.txt", "License.txt", 7, true, 3000},   {5, "readme.txt", "ReadMe.txt", 7, false, 2000},
    {6, "saver.scr", "Night Sky.scr", 2, true, 60000},  {7, "settings.scf", "setwnd.scf", 5, false, 1404},
    {8, "data.ssd", "Night Sky.ssd", 4, false, 30000},  {9, "engine1.dll", "saver1.dll", 5, true, 34304},
    {10, "engine2.dll", "saver2.dll", 5, true, 18192},
};

// One installer built by saverpack.exe for all tests, and an installer window
// whose folders are fresh folders of the temporary directory.
struct WinePackage : ::testing::Test {
    static std::string source;
    static std::string installer;

    static void SetUpTestSuite() {
        source = freshDir("pkg-source");
        writeFile(source + "stub.exe", test::programImage(20000));
        std::string manifest =
            "[settings]\nsaver_name = \"Night Sky\"\nmode = 8\nlicense = true\nreadme = true\n"
            "flash_installer = true\ndisplay_panel = true\n";
        for (const Slot& s : kSlots) {
            writeFile(source + s.file, s.index == 3 ? test::jpegPicture() : pattern(s.file, s.size));
            manifest += "[slots." + std::to_string(s.index) + "]\nfile = \"" + s.file + "\"\nname = \"" +
                        s.name + "\"\nkind = " + std::to_string(s.kind) +
                        "\ncompress = " + (s.compress ? "true" : "false") + "\n";
        }
        writeFile(source + "package.toml", manifest);
        installer = source + "setup.exe";
        const int built =
            run("\"" + exeDir() + "saverpack.exe\" build \"" + source + "stub.exe\" \"" + source +
                "package.toml\" \"" + installer + "\" --impborl \"" + exeDir() + "impborl.dll\"");
        ASSERT_EQ(built, 0);
    }

    RecordingOs os;
    InstallerPackage package;
    test::TestReporter reporter{os};
    void SetUp() override {
        ASSERT_FALSE(readFile(installer).empty());
        reporter.showBoxes = false;
        package.dirs = {freshDir("pkg-windows"), freshDir("pkg-system"), freshDir("pkg-scratch")};
        package.installerCopyPath = installer;
        // Extracts the real impborl.dll into the scratch folder.
        ASSERT_EQ(loadPackageHeader(os, package, reporter), 0);
        deriveInstallPaths(os, package);
        ::CreateDirectoryA(package.installDir.c_str(), nullptr);
    }
    [[nodiscard]] Result extract(int slot) {
        std::unique_ptr<File> file;
        if (Result error = os.files().openFile(installer, FileAccess::Read, file)) return error;
        return extractEntry(os, *file, package, slot, reporter, false);
    }
    std::string destination(int slot) { return slotDestination(package.entry(slot), package.folders()); }
    // What the installation reads as the slot: a stored data file is read in
    // place, in the installer's copy, and never written out.
    std::string slotBytes(int slot) {
        if (slot != slot::kDataFile || !dataFileReadInPlace(package)) return readFile(destination(slot));
        std::unique_ptr<File> in;
        int64_t size = 0;
        if (openDataFileSource(os, package, in) || in->size(size)) return "(cannot be opened)";
        std::string bytes(size_t(size), '\0');
        uint32_t got = 0;
        if (readUpTo(*in, bytes.data(), uint32_t(size), got) || got != size) return "(cannot be read)";
        return bytes;
    }
};
std::string WinePackage::source;
std::string WinePackage::installer;

TEST_F(WinePackage, EverySlotComesOutByteIdenticalToItsSource) {
    EXPECT_EQ(readFile(package.dirs.scratchDir + "impborl.dll"), readFile(exeDir() + "impborl.dll"));
    for (const Slot& s : kSlots) {
        ASSERT_EQ(extract(s.index), 0) << s.name;
        EXPECT_EQ(slotBytes(s.index), readFile(source + s.file)) << s.name;
    }
    EXPECT_EQ(destination(6), package.dirs.systemDir + "Night Sky.scr");
    EXPECT_EQ(destination(9), package.dirs.systemDir + "Night Sky dir\\saver1.dll");
    EXPECT_TRUE(reporter.errors.empty());
}

TEST_F(WinePackage, ABusyDllIsKeptAndABusyScreenSaverCannotBeReplaced) {
    const std::string dll = destination(9), scr = destination(6);
    writeFile(dll, "old library");
    writeFile(scr, "old saver");
    {
        // Open here without delete sharing: the library stays, and that counts as done.
        win32::FileHandle open(::CreateFileA(dll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(bool(open));
        EXPECT_EQ(extract(9), 0);
        EXPECT_EQ(readFile(dll), "old library");

        // Held by another process: a thousand attempts, then -38 and no box.
        HeldFile held(scr);
        ASSERT_TRUE(held.held());
        EXPECT_EQ(extract(6), rc::kSaverNotReplaced);
        EXPECT_EQ(readFile(scr), "old saver");
    }
    EXPECT_TRUE(reporter.errors.empty());
    EXPECT_EQ(extract(6), 0);
    EXPECT_EQ(readFile(scr), readFile(source + "saver.scr"));
}

TEST_F(WinePackage, ACompressedSlotOfTheWrongExpandedSizeGivesMinus13) {
    package.header.entries[10].expandedSize += 1;
    EXPECT_EQ(extract(10), rc::kExpandedSizeWrong);
    ASSERT_EQ(reporter.errors.size(), 1u);  // a ".dll" destination is reported with its path
    EXPECT_EQ(reporter.errors[0].second, destination(10));

    package.header.entries[6].expandedSize -= 1;
    EXPECT_EQ(extract(6), rc::kExpandedSizeWrong);
    EXPECT_EQ(reporter.errors.size(), 1u);  // a ".scr" is left to the caller
}

// The binding against real libraries: one without "_crc32" is loaded, refused
// and freed again; a folder without the library is never asked to load one.
TEST(WineCompressor, RefusesALibraryWithoutCrc32AndNeverLoadsAMissingOne) {
    RecordingOs os;
    const std::string dir = freshDir("pkg-nocrc");
    ASSERT_TRUE(::CopyFileA((exeDir() + "no_crc32.dll").c_str(), (dir + "impborl.dll").c_str(), FALSE));
    {
        TCompressor compressor(os, dir);
        EXPECT_FALSE(compressor.loaded);
        EXPECT_EQ(os.recording.loads, std::vector<std::string>{dir + "impborl.dll"});
    }
    EXPECT_EQ(::GetModuleHandleA((dir + "impborl.dll").c_str()), nullptr) << "the refused library is freed";

    os.recording.loads.clear();
    TCompressor missing(os, freshDir("pkg-nolib"));
    EXPECT_FALSE(missing.loaded);
    EXPECT_TRUE(os.recording.loads.empty());

    // The real library in the same place is accepted.
    ASSERT_TRUE(::CopyFileA((exeDir() + "impborl.dll").c_str(), (dir + "impborl.dll").c_str(), FALSE));
    TCompressor real(os, dir);
    EXPECT_TRUE(real.loaded);
}

}  // namespace
}  // namespace ssi

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--hold") == 0) return ssi::wintest::holdFile(argv[2], argv[3], argv[4]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
