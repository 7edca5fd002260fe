// Faults of the foundation that were mended, each with the case that showed
// it: scratch names all taken, a pause whose timer cannot start, the scratch
// folder's clean-up after it could not be made, links inside a folder being
// deleted, a library slot bound for the install directory, and the binding's
// entry trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/installer_window.h"
#include "app/run_installer.h"
#include "core/trace.h"
#include "package/package_layout.h"
#include "package/codec_library.h"
#include "platform/fake/fake_os.h"
#include "platform/file_utils.h"
#include "tests/package/package_fixture.h"

using namespace ssi;

namespace {

TEST(MendedFaults, AllScratchNamesTakenGives183AndNoFolder) {
    // In memory: the same rules as the host folder, without 1,000 real folders
    // searched name by name (minutes on a busy machine).
    FakeOs os(FakeStorage::Memory);
    for (int n = 1; n <= 1000; ++n) os.makeDirs("C:\\TEMP\\QDX" + std::to_string(n));
    // An unrelated failure earlier must not become the answer.
    os.failOn(Op::DeleteFile, "", oserr::kAccessDenied);
    (void)deleteFileForced(os, "C:\\TEMP\\QDX1\\nothing");
    std::string out = "stale";
    EXPECT_EQ(makeUniqueTempDir(os, "QDX", out), oserr::kAlreadyExists);
    EXPECT_EQ(out, "") << "no folder name is handed out on failure";

    // A refusal other than "exists" is reported at once, with no name.
    FakeOs denied;
    denied.failOn(Op::CreateDirectory, "", oserr::kAccessDenied);
    EXPECT_EQ(makeUniqueTempDir(denied, "QDX", out), oserr::kAccessDenied);
    EXPECT_EQ(out, "");
}

TEST(MendedFaults, APauseWhoseTimerCannotStartReturns) {
    FakeOs os;
    TInstallerForm form(os);
    os.failOn(Op::StartTimer, "pauseTimer", 8);
    const int before = os.processMessagesCalls;
    form.pauseBriefly();  // would wait for a tick that never comes
    EXPECT_FALSE(form.pauseTimer.enabled());
    EXPECT_EQ(os.processMessagesCalls, before + 1) << "the pending messages are handled once instead";
    EXPECT_EQ(os.broughtToFront, 1);
}

// Without its window the installer would wait for a user who sees nothing.
TEST(MendedFaults, AnInstallerWindowThatCannotBeMadeEndsWithItsFailureBox) {
    FakeOs os;
    os.failOn(Op::Realize, "InstallerForm", oserr::kNotEnoughMemory);
    EXPECT_EQ(runInstaller(os), oserr::kNotEnoughMemory) << "the program ends with the error, not with success";
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].kind, BoxKind::Error);
    EXPECT_NE(os.boxes[0].text.find("Error: 8."), std::string::npos) << os.boxes[0].text;
}

TEST(MendedFaults, AScratchFolderThatCouldNotBeMadeLeavesOtherFoldersAlone) {
    FakeOs os;
    // Folders whose names start like the scratch folder's, and a file.
    os.writeFile("C:\\TEMP\\QDX\\keep.txt", "another program's");
    os.writeFile("C:\\TEMP\\QDXdata\\keep.txt", "another program's");
    os.writeFile("C:\\TEMP\\QDX.log", "another program's");
    os.failOn(Op::CreateDirectory, "", oserr::kAccessDenied);
    EXPECT_EQ(runInstaller(os), 0);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "Installer file is corrupted. Quillon Error: 5. ");
    for (const char* kept : {"C:\\TEMP\\QDX\\keep.txt", "C:\\TEMP\\QDXdata\\keep.txt", "C:\\TEMP\\QDX.log"})
        EXPECT_EQ(os.readFile(kept), "another program's") << kept;
    // A folder named without its trailing backslash is never taken for one.
    EXPECT_EQ(deleteDirTree(os, "C:\\TEMP\\QDX"), rc::kNotRemoved);
    EXPECT_TRUE(os.exists("C:\\TEMP\\QDXdata\\keep.txt"));
}

TEST(MendedFaults, TreeDeletionRemovesLinksNotWhatTheyPointTo) {
    FakeOs os;
    // Outside the folder: a folder and a file that links inside it point to.
    const std::filesystem::path outside = std::filesystem::path(os.root()) / "outside";
    std::filesystem::create_directories(outside / "deep");
    std::ofstream(outside / "deep" / "precious.txt") << "not ours";
    std::ofstream(outside / "single.txt") << "not ours either";

    os.writeFile("C:\\TEMP\\QDX1\\temp.dat", "copy");
    os.makeLink("C:\\TEMP\\QDX1\\junction", outside.string());
    os.makeLink("C:\\TEMP\\QDX1\\sub\\file-link.txt", (outside / "single.txt").string());
    uint32_t a = 0;
    ASSERT_EQ(os.files().attributes("C:\\TEMP\\QDX1\\junction", a), 0);
    EXPECT_EQ(a & (attr::kReparsePoint | attr::kDirectory), attr::kReparsePoint | attr::kDirectory);

    EXPECT_EQ(deleteDirTree(os, "C:\\TEMP\\QDX1\\"), 0);
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1"));
    EXPECT_TRUE(std::filesystem::exists(outside / "deep" / "precious.txt"));
    EXPECT_TRUE(std::filesystem::exists(outside / "single.txt"));

    // The folder itself a link: the link goes, its target stays whole.
    os.makeLink("C:\\TEMP\\QDX2", outside.string());
    EXPECT_EQ(deleteDirTree(os, "C:\\TEMP\\QDX2\\"), 0);
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX2"));
    EXPECT_TRUE(std::filesystem::exists(outside / "deep" / "precious.txt"));
}

TEST(MendedFaults, ALibrarySlotBoundForTheInstallDirectoryIsRefused) {
    // The builder refuses such a package: the header is changed afterwards.
    const std::vector<uint8_t> sound = test::buildImage(test::standardInput());
    auto withLibraryKind = [&](int32_t k) {
        std::vector<uint8_t> image = sound;
        PackageHeader h = test::headerOf(image);
        h.entries[slot::kLibrary].targetKind = k;
        test::storeHeader(image, h);
        return image;
    };
    for (int32_t k : {kind::kInstallDir, kind::kInstallDirSettings, kind::kInstallDirImage, kind::kInstallDirLibrary}) {
        const std::vector<uint8_t> image = withLibraryKind(k);
        const PackageHeader header = test::headerOf(image);
        EXPECT_EQ(checkPackageHeader(header), rc::kCorruptPackage) << "kind " << k;
        const std::vector<std::string> faults = layoutFaults(header, int64_t(image.size()));
        EXPECT_TRUE(std::any_of(faults.begin(), faults.end(),
                                [](const std::string& f) { return f.find("install directory") != std::string::npos; }))
            << "kind " << k;
    }
    // What the installer does with it: nothing lands in the current folder.
    FakeOs os;
    const std::vector<uint8_t> image = withLibraryKind(kind::kInstallDir);
    os.writeFile(os.module, std::string(image.begin(), image.end()));
    EXPECT_EQ(runInstaller(os), 0) << "with a window, the box reports the failure, not the exit code";
    ASSERT_FALSE(os.boxes.empty());
    EXPECT_EQ(os.boxes.back().text, "Installer file is corrupted. Quillon Error: -540. ");
    EXPECT_FALSE(os.exists("impborl.dat"));
}

std::vector<LogLine>* gLines = nullptr;
void collect(const LogLine& line) { gLines->push_back(line); }

TEST(MendedFaults, TheBindingAnnouncesItselfWithTheLibraryFolder) {
    FakeOs os;
    std::vector<LogLine> lines;
    gLines = &lines;
    logSink() = collect;
    { TCompressor compressor(os, "C:\\TEMP\\QDX1\\"); }
    logSink() = nullptr;
    ASSERT_FALSE(lines.empty());
    EXPECT_STREQ(lines.front().operation, "enterWith");
    EXPECT_EQ(lines.front().name, "TCompressor.Create");
    EXPECT_EQ(lines.front().detail, "C:\\TEMP\\QDX1\\");
    EXPECT_STREQ(lines.back().operation, "leave");
}

}  // namespace
