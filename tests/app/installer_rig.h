// One whole run of the installer over the test double: its computer, its
// package and its user, shared by the tests of the installer's sequences,
// of its rollback and by the fault sweep.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/installer_window.h"
#include "app/preparing_window.h"
#include "app/run_installer.h"
#include "core/names.h"
#include "platform/fake/fake_os.h"
#include "tests/package/package_fixture.h"
#include "tests/ssd/ssd_test_util.h"
#include "tests/support/fake_player.h"
#include "tests/support/swf_movies.h"

namespace ssi::test {

inline const std::string kSystem = "C:\\WINDOWS\\SYSTEM\\";
inline const std::string kScratch = "C:\\TEMP\\QDX1\\";
inline const std::string kInstallDir = kSystem + "Night Sky dir\\";
inline const std::string kSaver = kSystem + "Night Sky.scr";
inline const std::string kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Night Sky";

inline std::string source(const tool::PackageInput& in, int slot) {
    return std::string(in.slots[slot]->data.begin(), in.slots[slot]->data.end());
}

// One run of the installer: its computer, its package and its user.
struct Installer {
    FakeOs os;
    tool::PackageInput input = standardInput();
    std::deque<std::function<void()>> moves;  // the user's moves, one each time the loop waits
    int exitCode = -1;

    explicit Installer(FakeStorage storage = FakeStorage::HostFolder) : os(storage) {
        processFlashVersionCache() = FlashVersionCache();
        registerCodec(os);
        installPlayer(os, 7, 19);
        os.module = "C:\\Downloads\\NightSkySetup.exe";
        os.writeFile(kSystem + "rundll32.exe", "MZ");  // where NT keeps it
        // A real data file: two items, one of them in a sub-folder.
        const std::string data = makeDataFile({{"intro.swf", "movie"}, {"media\\stars.txt", "stars"}}, 8);
        input.slots[slot::kDataFile] = slotOf("Night Sky.ssd", kind::kScratchLibrary, false, data);
        input.slots[slot::kPreview] = slotOf("installer.jpeg", kind::kScratch, false, std::string("\xFF\xD8", 2) + "jpeg");
        input.showLicense = false;
    }
    std::function<void(PackageHeader&)> patch;  // changes the built header (what the builder refuses)
    // What the installation clicked by clickInstall() gave, read while the
    // window still lives.
    bool installRan = false;
    Result installResult = 0;
    bool stranded = false;
    std::function<void()> clickInstall() {
        return [this] {
            form().installBtn.click();
            installRan = true;
            installResult = form().lastInstallResult;
            stranded = form().keptCopiesStranded;
        };
    }
    std::vector<uint8_t> builtImage;  // when set, run() uses it instead of building one
    void run() {
        std::vector<uint8_t> image = builtImage.empty() ? buildImage(input) : builtImage;
        if (patch) {
            PackageHeader h = headerOf(image);
            patch(h);
            storeHeader(image, h);
        }
        os.writeFile(os.module, std::string(image.begin(), image.end()));
        os.onIdle = [this] { nextMove(); };
        exitCode = runInstaller(os);
    }
    void nextMove() {
        if (moves.empty()) return;  // nothing more: the double reports a loop that never ends
        auto move = std::move(moves.front());
        moves.pop_front();
        os.onIdle = [this] { nextMove(); };
        move();
    }
    TInstallerForm& form() {
        for (Form* f : os.realized)
            if (f->name() == "InstallerForm") return *static_cast<TInstallerForm*>(f);
        throw std::logic_error("no installer window");
    }
    TpreparingInstallWnd& preparing() {
        for (Form* f : os.realized)
            if (f->name() == "preparingInstallWnd") return *static_cast<TpreparingInstallWnd*>(f);
        throw std::logic_error("no preparing window");
    }
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const RecordedBox& b : os.boxes) texts.push_back(b.text);
        return texts;
    }
    bool installed() const { return os.exists(kSaver) && os.exists(kInstallDir + "saver.dat"); }
    // An older Night Sky in place, active in system.ini and registered.
    void oldSaverInstalled() {
        os.writeFile(kSaver, "the old saver");
        os.writeFile(kInstallDir + "old.txt", "its data");
        os.writeFile("C:\\WINDOWS\\system.ini", "[boot]\r\nSCRNSAVE.EXE=C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR\r\n");
        os.setRegString(Hive::LocalMachine, kUninstall, "DisplayName", "Night Sky Screen Saver");
    }
    std::string activeSaver() {
        std::string value;
        (void)os.profile().readString("system.ini", "boot", "SCRNSAVE.EXE", value);
        return value;
    }
};


}  // namespace ssi::test
