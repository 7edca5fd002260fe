// The Win32 OS seam against the real system: string table, command line,
// environment, directories, files, libraries, version resources, pictures.
#include <gtest/gtest.h>

#include <map>

#include "app/strings.h"
#include "platform/win32/jpeg_image.h"
#include "platform/win32/win32_os.h"
#include "tests/wine/wine_test_support.h"

namespace ssi {
namespace {

using wintest::exeDir;
using wintest::freshDir;
using wintest::readFile;
using wintest::writeFile;

TEST(StringTable, EveryEntryLoadsByteForByteAsTheBuiltInText) {
    win32::Win32Os os;
    size_t count = 0;
    const StringEntry* table = stringTable(count);
    ASSERT_GT(count, 10u);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE("id " + std::to_string(table[i].id));
        EXPECT_EQ(os.loadString(table[i].id), std::string(table[i].text));
    }
    // The escapes came through as control characters, not as text.
    EXPECT_NE(os.loadString(kStrInsufficientPrivileges).find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(os.loadString(kStrInstallDirSuffix), " dir\\");
    EXPECT_EQ(os.loadString(65000), "");
}

TEST(CommandLine, SplitsOnBlanksWithQuotesGroupingAndRemoved) {
    using V = std::vector<std::string>;
    EXPECT_EQ(win32::splitCommandLine("\"C:\\Program Files\\Setup.exe\" /q"), (V{"C:\\Program Files\\Setup.exe", "/q"}));
    EXPECT_EQ(win32::splitCommandLine("setup.exe   /Q\t x\"y z\"w  "), (V{"setup.exe", "/Q", "xy zw"}));
    EXPECT_EQ(win32::splitCommandLine("a.exe \"C:\\dir\\\" next"), (V{"a.exe", "C:\\dir\\", "next"}));
    EXPECT_EQ(win32::splitCommandLine("a.exe \"\""), (V{"a.exe", ""}));
    EXPECT_EQ(win32::splitCommandLine(""), V{});
    EXPECT_EQ(win32::splitCommandLine(nullptr), V{});
    // The real command line, without the program itself.
    win32::Win32Os os;
    const V all = win32::splitCommandLine(::GetCommandLineA());
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(os.commandLineParameters(), V(all.begin() + 1, all.end()));
}

TEST(Environment, VariablesAndDirectoriesAsTheSystemGivesThem) {
    win32::Win32Os os;
    ::SetEnvironmentVariableA("SSI_TEST_VALUE", "abc");
    EXPECT_EQ(os.environment("SSI_TEST_VALUE"), "abc");
    const std::string longValue(1500, 'x');  // longer than the first buffer
    ::SetEnvironmentVariableA("SSI_TEST_VALUE", longValue.c_str());
    EXPECT_EQ(os.environment("SSI_TEST_VALUE"), longValue);
    ::SetEnvironmentVariableA("SSI_TEST_VALUE", nullptr);
    EXPECT_EQ(os.environment("SSI_TEST_VALUE"), "");

    const std::string system = os.systemDirectory(), windows = os.windowsDirectory();
    EXPECT_TRUE(os.fileAttributes(system) & attr::kDirectory);
    EXPECT_TRUE(os.fileAttributes(windows) & attr::kDirectory);
    EXPECT_EQ(system.compare(0, windows.size(), windows), 0);
    EXPECT_EQ(os.tempDirectory().back(), '\\');
    const std::string module = os.modulePath();
    EXPECT_EQ(module.substr(module.size() - 22), "wine_platform_test.exe");
    EXPECT_NE(os.fileAttributes(module), attr::kInvalid);
}

TEST(Files, OpenModesShareAsTheirNamesSay) {
    win32::Win32Os os;
    const std::string dir = freshDir("files");
    const std::string path = dir + "data.bin";
    Result error = -1;
    {
        auto f = os.openFile(path, FileAccess::Create, error);
        ASSERT_TRUE(f);
        EXPECT_EQ(error, 0);
        uint32_t put = 0;
        EXPECT_EQ(f->write("0123456789", 10, put), 0);
        EXPECT_EQ(put, 10u);
        // Created files are exclusive while open.
        EXPECT_FALSE(os.openFile(path, FileAccess::Read, error));
        EXPECT_EQ(error, oserr::kSharingViolation);
        EXPECT_EQ(f->close(), 0);
    }
    auto reader = os.openFile(path, FileAccess::ReadDenyWrite, error);
    ASSERT_TRUE(reader);
    int64_t size = 0;
    EXPECT_EQ(reader->size(size), 0);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(reader->seek(6), 0);
    char buf[8] = {};
    uint32_t got = 0;
    EXPECT_EQ(reader->read(buf, 8, got), 0);
    EXPECT_EQ(std::string(buf, got), "6789");
    // Deny-write: another writer is refused, another reader is not.
    win32::FileHandle writer(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer);
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(os.openFile(path, FileAccess::ReadDenyWrite, error));
    reader.reset();

    auto shared = os.openFile(path, FileAccess::Read, error);
    ASSERT_TRUE(shared);
    win32::FileHandle writer2(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(writer2);
    shared.reset();
    writer2.reset();

    EXPECT_FALSE(os.openFile(dir + "missing.bin", FileAccess::Read, error));
    EXPECT_EQ(error, oserr::kFileNotFound);
    EXPECT_EQ(os.lastError(), uint32_t(oserr::kFileNotFound));
}

TEST(Files, DirectoryCallsAndEnumeration) {
    win32::Win32Os os;
    const std::string dir = freshDir("enum");
    writeFile(dir + "a.txt", "aaa");
    writeFile(dir + "b.scr", "b");
    ASSERT_TRUE(os.createDirectory(dir + "sub"));
    EXPECT_FALSE(os.createDirectory(dir + "sub"));
    EXPECT_EQ(os.lastError(), uint32_t(oserr::kAlreadyExists));

    std::vector<FindEntry> entries;
    ASSERT_TRUE(os.findFiles(dir + "*.*", entries));
    std::map<std::string, FindEntry> byName;
    for (const FindEntry& e : entries) byName[e.name] = e;
    EXPECT_EQ(byName.count("."), 1u);  // as the system lists them; callers skip these
    EXPECT_EQ(byName["a.txt"].size, 3u);
    EXPECT_TRUE(byName["sub"].attributes & attr::kDirectory);
    EXPECT_FALSE(byName["b.scr"].attributes & attr::kDirectory);
    ASSERT_TRUE(os.findFiles(dir + "*.scr", entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "b.scr");
    EXPECT_FALSE(os.findFiles(dir + "*.none", entries));
    EXPECT_TRUE(entries.empty());

    EXPECT_TRUE(os.setFileAttributes(dir + "a.txt", attr::kReadOnly | attr::kHidden));
    EXPECT_EQ(os.fileAttributes(dir + "a.txt") & (attr::kReadOnly | attr::kHidden), attr::kReadOnly | attr::kHidden);
    EXPECT_TRUE(os.copyFile(dir + "b.scr", dir + "c.scr", true));
    EXPECT_FALSE(os.copyFile(dir + "b.scr", dir + "c.scr", true));
    EXPECT_EQ(readFile(dir + "c.scr"), "b");
    EXPECT_FALSE(os.removeDirectory(dir + "nothing"));
    EXPECT_EQ(os.lastError(), uint32_t(oserr::kFileNotFound));
    EXPECT_TRUE(os.removeDirectory(dir + "sub"));
    EXPECT_EQ(os.fileAttributes(dir + "sub"), attr::kInvalid);
}

TEST(Libraries, LoadByFullPathResolveAndFreeOnDestruction) {
    win32::Win32Os os;
    const std::string fixture = exeDir() + "versioned.dll";
    ASSERT_EQ(::GetModuleHandleA("versioned.dll"), nullptr);
    {
        auto lib = os.loadLibrary(fixture);
        ASSERT_TRUE(lib);
        EXPECT_NE(::GetModuleHandleA("versioned.dll"), nullptr);
        EXPECT_EQ(lib->symbol("NoSuchExport"), nullptr);
    }
    EXPECT_EQ(::GetModuleHandleA("versioned.dll"), nullptr);

    auto version = os.loadLibrary(os.systemDirectory() + "\\version.dll");
    ASSERT_TRUE(version);
    EXPECT_NE(version->symbol("GetFileVersionInfoA"), nullptr);

    EXPECT_FALSE(os.loadLibrary(exeDir() + "no-such-library.dll"));
    EXPECT_EQ(os.lastError(), uint32_t(oserr::kModNotFound));
}

TEST(Libraries, HardenedSearchIgnoresPlantedLibrariesButLoadsByFullPath) {
    win32::Win32Os os;
    const std::string dir = freshDir("scratch");
    // A library planted in the current folder under a name nothing else uses.
    ASSERT_TRUE(::CopyFileA((exeDir() + "versioned.dll").c_str(), (dir + "planted.dll").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileA((exeDir() + "versioned.dll").c_str(), (dir + "impborl.dll").c_str(), FALSE));
    char saved[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryA(MAX_PATH, saved);
    ::SetCurrentDirectoryA(dir.c_str());
    EXPECT_EQ(win32::hardenDllSearch(), 2);
    EXPECT_FALSE(os.loadLibrary("planted.dll"));
    EXPECT_TRUE(os.loadLibrary(dir + "impborl.dll"));
    ::SetCurrentDirectoryA(saved);
}

TEST(Versions, FixedVersionOfAResourceAndNoneOfAPlainFile) {
    win32::Win32Os os;
    FileVersion v;
    ASSERT_TRUE(os.fileVersion(exeDir() + "versioned.dll", v));
    EXPECT_EQ(v.versionMS, (7u << 16) | 0u);
    EXPECT_EQ(v.versionLS, (19u << 16) | 0u);
    const std::string plain = freshDir("version") + "plain.txt";
    writeFile(plain, "no resources here");
    FileVersion untouched{1, 2};
    EXPECT_FALSE(os.fileVersion(plain, untouched));
    EXPECT_EQ(untouched.versionMS, 1u);
    EXPECT_FALSE(os.fileVersion(exeDir() + "missing.dll", untouched));
}

TEST(Errors, SystemTextWithoutTrailingLineBreak) {
    win32::Win32Os os;
    const std::string text = os.errorText(oserr::kFileNotFound);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_NE(text, os.errorText(oserr::kAccessDenied));
}

// ---- pictures ------------------------------------------------------------------

void expectNear(const uint8_t* bgr, int r, int g, int b) {
    EXPECT_NEAR(bgr[2], r, 12);
    EXPECT_NEAR(bgr[1], g, 12);
    EXPECT_NEAR(bgr[0], b, 12);
}

TEST(Pictures, DecodesAJpegIntoBlueGreenRedRows) {
    const std::string bytes = readFile(exeDir() + "fixtures\\quadrants.jpg");
    ASSERT_FALSE(bytes.empty());
    win32::Picture p;
    std::string error;
    ASSERT_TRUE(win32::decodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), p, error)) << error;
    ASSERT_EQ(p.width, 16);
    ASSERT_EQ(p.height, 16);
    EXPECT_EQ(p.stride(), 48u);
    auto at = [&](int x, int y) { return p.bgr.data() + p.stride() * size_t(y) + size_t(x) * 3; };
    expectNear(at(2, 2), 255, 0, 0);      // top left red
    expectNear(at(12, 2), 0, 0, 255);     // top right blue
    expectNear(at(2, 12), 0, 255, 0);     // bottom left green
    expectNear(at(12, 12), 255, 255, 255);
}

TEST(Pictures, DamagedJpegsFailWithAReason) {
    const std::string good = readFile(exeDir() + "fixtures\\quadrants.jpg");
    ASSERT_GT(good.size(), 100u);
    const std::string inputs[] = {
        good.substr(0, 30),                    // header cut short
        std::string("\xFF\xD8\xFF\xE0") + std::string(200, '\0'),
        "GIF89a not a jpeg at all",
        good.substr(0, 2),
    };
    for (const std::string& in : inputs) {
        win32::Picture p;
        std::string error;
        EXPECT_FALSE(win32::decodeJpeg(reinterpret_cast<const uint8_t*>(in.data()), in.size(), p, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(p.bgr.empty());
    }
}

TEST(Pictures, ImageControlsLoadJpegAndBitmapFiles) {
    win32::Win32Os os;
    Form form("pictureForm");
    form.clientWidth = 100;
    form.clientHeight = 100;
    Panel image("image", ControlKind::Image);
    image.setBounds(0, 0, 32, 32);
    form.add(image);
    Panel unrealised("other", ControlKind::Image);
    os.realize(form);
    EXPECT_TRUE(os.loadPicture(image, exeDir() + "fixtures\\quadrants.jpg"));
    EXPECT_TRUE(os.loadPicture(image, exeDir() + "fixtures\\quadrants.BMP"));
    EXPECT_FALSE(os.loadPicture(image, exeDir() + "fixtures\\missing.jpg"));
    const std::string bad = freshDir("pictures") + "bad.jpg";
    writeFile(bad, "not a picture");
    EXPECT_FALSE(os.loadPicture(image, bad));
    EXPECT_FALSE(os.loadPicture(unrealised, exeDir() + "fixtures\\quadrants.jpg"));
    image.repaint();  // paints the picture without trouble
}

}  // namespace
}  // namespace ssi
