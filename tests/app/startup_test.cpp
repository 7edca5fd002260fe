// The start-up from the main routine to the four ways it can leave the
// installer window, over packages made by the package tool's builder.
#include <gtest/gtest.h>

#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "app/run_installer.h"
#include "platform/fake/fake_os.h"
#include "tests/package/package_fixture.h"
#include "tests/support/fake_player.h"

using namespace ssi;

namespace {

struct StartupWithPackage : ::testing::Test {
    FakeOs os;
    tool::PackageInput input;
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(500, 'j');

    void SetUp() override {
        processFlashVersionCache() = FlashVersionCache();
        test::installPlayer(os, 7, 19);
        os.module = "C:\\Downloads\\NightSkySetup.exe";
        input.saverName = "Night Sky";
        input.installerMode = 8;
        input.offerDisplayPanel = true;
        input.slots[1] = test::slotOf("impborl.dat", 4, false, "library");
        input.slots[3] = test::slotOf("installer.jpeg", 7, false, jpeg);
        const tool::PackageInput full = test::standardInput();
        for (int slot = 6; slot <= 10; ++slot) input.slots[slot] = full.slots[slot];
    }
    void install() {
        std::vector<uint8_t> image = test::buildImage(input);
        os.writeFile(os.module, std::string(image.begin(), image.end()));
    }
    Form* window(const std::string& name) {
        for (Form* f : os.realized)
            if (f->name() == name) return f;
        return nullptr;
    }
};

TEST_F(StartupWithPackage, APicturePackageLeavesTheCentredInstallerWindowWaiting) {
    install();
    bool waiting = false;
    std::string preview, library;
    os.onIdle = [&] {
        waiting = !os.isTerminated;
        preview = os.readFile("C:\\TEMP\\QDX1\\installer.jpg");
        library = os.readFile("C:\\TEMP\\QDX1\\impborl.dll");
        os.userClose(*window("InstallerForm"));
    };
    EXPECT_EQ(runInstaller(os), 0);
    EXPECT_TRUE(os.boxes.empty()) << os.boxes.front().text;
    EXPECT_TRUE(waiting) << "the window waits for Install or Cancel";
    EXPECT_EQ(os.shownForms, (std::vector<std::string>{"preparingInstallWnd", "InstallerForm"}));
    EXPECT_EQ(os.appTitle, "Install Screen Saver: Night Sky");
    EXPECT_EQ(os.pictures["bmpPanel"], "C:\\TEMP\\QDX1\\installer.jpg");
    EXPECT_EQ(preview, jpeg);
    EXPECT_EQ(library, "library");
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1")) << "closing the window removes the scratch folder";
}

TEST_F(StartupWithPackage, WhatItStagedIsHeldInAPrivateFolderUntilTheWindowCloses) {
    install();
    struct Staged {
        const char* path;
        bool othersMayWrite = true;
        Result othersDelete = 0, othersReplace = 0, othersRead = -1;
    };
    Staged staged[] = {{"C:\\TEMP\\QDX1\\temp.dat"}, {"C:\\TEMP\\QDX1\\impborl.dll"}};
    os.onIdle = [&] {
        for (Staged& s : staged) {
            s.othersMayWrite = os.othersMayWrite(s.path);
            s.othersDelete = os.files().deleteFile(s.path);
            std::unique_ptr<File> f;
            s.othersReplace = os.files().openFile(s.path, FileAccess::Create, f);
            s.othersRead = os.files().openFile(s.path, FileAccess::Read, f);
        }
        os.userClose(*window("InstallerForm"));
    };
    EXPECT_EQ(runInstaller(os), 0);
    for (const Staged& s : staged) {
        SCOPED_TRACE(s.path);
        EXPECT_FALSE(s.othersMayWrite);
        EXPECT_EQ(s.othersDelete, oserr::kSharingViolation);
        EXPECT_EQ(s.othersReplace, oserr::kSharingViolation);
        EXPECT_EQ(s.othersRead, 0) << "reading stays allowed";
    }
    EXPECT_EQ(os.privateDirectories, std::set<std::string>{"c:\\temp\\qdx1"});
    EXPECT_FALSE(os.exists("C:\\TEMP\\QDX1")) << "let go before the folder is deleted";
}

TEST_F(StartupWithPackage, TheInstallerWindowIsShownCentredOnlyAfterItsCreation) {
    install();
    TpreparingInstallWnd preparing(os);
    ASSERT_EQ(os.ui().realize(preparing), 0);
    TInstallerForm installer(os);
    installer.preparingWnd = &preparing;
    installer.setVisible(false);
    ASSERT_EQ(os.ui().realize(installer), 0);
    installer.FormCreate();
    EXPECT_TRUE(preparing.visible()) << "nothing hides the preparing window before the installer is shown";
    EXPECT_EQ(preparing.left(), -3000);
    EXPECT_EQ(installer.left(), (1024 - installer.width()) / 2);
    EXPECT_EQ(installer.top(), (768 - installer.height()) / 2);
    EXPECT_EQ(installer.progressBar.max(), 10);
    EXPECT_EQ(installer.text(), "Install Screen Saver: Night Sky");
    EXPECT_FALSE(installer.moviePanel1.visible());
    EXPECT_TRUE(installer.bmpPanel.visible());
    installer.setVisible(true);
    EXPECT_FALSE(preparing.visible());
    EXPECT_TRUE(os.boxes.empty());
}

TEST_F(StartupWithPackage, AFailureAfterTheHeaderShowsItsBoxOverTheCentredPreparingWindow) {
    install();
    std::string image = os.readFile(os.module);
    image[kPackageOffset + 2] = 1;  // a read-me is announced, but slot 5 is empty
    os.writeFile(os.module, image);
    std::vector<std::pair<int, bool>> seen;
    os.onBox = [&](const RecordedBox&) {
        Form* p = window("preparingInstallWnd");
        seen.push_back({p->left(), p->visible()});
    };
    EXPECT_EQ(runInstaller(os), 0);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "Installer file is corrupted. Quillon Error: -531. ");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, (1024 - (244 + os.singleFrameWidth)) / 2);
    EXPECT_TRUE(seen[0].second);
    EXPECT_TRUE(os.isTerminated);
    EXPECT_EQ(os.shownForms, std::vector<std::string>{"preparingInstallWnd"}) << "an ended installer is never shown";
    EXPECT_EQ(os.exists("C:\\TEMP\\QDX1"), false);
}

TEST_F(StartupWithPackage, AnUnknownFlashVersionIndexIsACorruptPackage) {
    input.flashVersionIndex = 1;
    install();
    std::string image = os.readFile(os.module);
    image[kPackageOffset + 4] = 2;
    os.writeFile(os.module, image);
    EXPECT_EQ(runInstaller(os), 0) << "with a window, the box reports the failure, not the exit code";
    ASSERT_FALSE(os.boxes.empty());
    EXPECT_EQ(os.boxes.back().text, "Installer file is corrupted. Quillon Error: -540. ");
    EXPECT_EQ(os.exists("C:\\TEMP\\QDX1\\impborl.dll"), false);
}

TEST_F(StartupWithPackage, QuietModeKeepsBothWindowsOutOfSight) {
    os.parameters = {"-q", "/Q"};
    install();
    int preparingLeftAtEnd = 0;
    os.onProcessMessages = [&] {
        if (Form* p = window("preparingInstallWnd")) preparingLeftAtEnd = p->left();
    };
    // The rig's library slot holds no codec: the quiet run ends there, and its exit code says so.
    EXPECT_EQ(runInstaller(os), rc::kLibraryNotLoaded);
    EXPECT_EQ(preparingLeftAtEnd, -3000);
    EXPECT_EQ(os.appTitle, "Preparing installation...");
    EXPECT_EQ(os.shownForms, std::vector<std::string>{"preparingInstallWnd"});
    EXPECT_TRUE(os.isTerminated);
}

TEST_F(StartupWithPackage, AnUnreadablePictureShowsCorruptFileAndGoesOn) {
    input.slots[3] = test::slotOf("installer.jpg", 7, false, "not a picture");
    install();
    bool waiting = false;
    os.onIdle = [&] {
        waiting = !os.isTerminated;
        os.userClose(*window("InstallerForm"));
    };
    EXPECT_EQ(runInstaller(os), 0);
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, "CorruptFile: ");
    EXPECT_EQ(os.boxes[0].kind, BoxKind::Error);
    EXPECT_TRUE(waiting);
}

}  // namespace
