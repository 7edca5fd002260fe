// The real seam where only the real system can answer: the string table, the
// command line, libraries being freed and searched for, the Windows version
// and the screen saver's switch as the system stores them, other processes
// and their windows, COM objects called by name, and pictures. Files,
// registry, profiles and the rest are in the contract suite (tests/contract).
//
// The program is its own helper process: `--exit N` ends with N,
// `--echo FILE` writes its command line and show state into FILE.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/strings.h"
#include "platform/win32/jpeg_image.h"
#include "platform/win32/win32_os.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_util.h"
#include "tests/wine/wine_test_support.h"

namespace ssi {
namespace {

using wintest::BoxWatcher;
using wintest::exeDir;
using wintest::freshDir;
using wintest::readFile;
using wintest::writeFile;

std::string selfPath() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

TEST(StringTable, EveryEntryLoadsByteForByteAsTheBuiltInText) {
    win32::Win32Os os;
    size_t count = 0;
    const StringEntry* table = stringTable(count);
    ASSERT_GT(count, 10u);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE("id " + std::to_string(table[i].id));
        EXPECT_EQ(os.system().loadString(table[i].id), std::string(table[i].text));
    }
    // The escapes came through as control characters, not as text.
    EXPECT_NE(os.system().loadString(kStrInsufficientPrivileges).find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(os.system().loadString(kStrInstallDirSuffix), " dir\\");
    EXPECT_EQ(os.system().loadString(65000), "");
}

TEST(CommandLine, SplitsOnBlanksWithQuotesGroupingAndRemoved) {
    using V = std::vector<std::string>;
    EXPECT_EQ(win32::splitCommandLine("\"C:\\Program Files\\Setup.exe\" /q"),
              (V{"C:\\Program Files\\Setup.exe", "/q"}));
    EXPECT_EQ(win32::splitCommandLine("setup.exe   /Q\t x\"y z\"w  "), (V{"setup.exe", "/Q", "xy zw"}));
    EXPECT_EQ(win32::splitCommandLine("a.exe \"C:\\dir\\\" next"), (V{"a.exe", "C:\\dir\\", "next"}));
    EXPECT_EQ(win32::splitCommandLine("a.exe \"\""), (V{"a.exe", ""}));
    EXPECT_EQ(win32::splitCommandLine(""), V{});
    EXPECT_EQ(win32::splitCommandLine(nullptr), V{});
    // The real command line, without the program itself.
    win32::Win32Os os;
    const V all = win32::splitCommandLine(::GetCommandLineA());
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(os.system().commandLineParameters(), V(all.begin() + 1, all.end()));
    EXPECT_EQ(os.system().modulePath(), selfPath());
}

TEST(Libraries, FreedWhenTheirObjectGoes) {
    win32::Win32Os os;
    ASSERT_EQ(::GetModuleHandleA("versioned.dll"), nullptr);
    {
        std::unique_ptr<Library> lib;
        ASSERT_EQ(os.system().loadLibrary(exeDir() + "versioned.dll", lib), 0);
        EXPECT_NE(::GetModuleHandleA("versioned.dll"), nullptr);
        using Answer = int (*)();
        auto answer = reinterpret_cast<Answer>(lib->symbol("fixtureAnswer"));
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer(), 42);
    }
    EXPECT_EQ(::GetModuleHandleA("versioned.dll"), nullptr);
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
    std::unique_ptr<Library> lib;
    EXPECT_EQ(os.system().loadLibrary("planted.dll", lib), oserr::kModNotFound);
    EXPECT_EQ(os.system().loadLibrary(dir + "impborl.dll", lib), 0);
    ::SetCurrentDirectoryA(saved);
}

TEST(SystemFacts, VersionAsTheSystemGivesIt) {
    win32::Win32Os os;
    WindowsVersion v;
    ASSERT_EQ(os.system().windowsVersion(v), 0);
    const DWORD packed = ::GetVersion();  // the older call, for comparison
    EXPECT_EQ(v.major, LOBYTE(LOWORD(packed)));
    EXPECT_EQ(v.minor, HIBYTE(LOWORD(packed)));
    EXPECT_EQ(v.platformId == platformid::kNt, (packed & 0x80000000u) == 0);
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(::GetVersionExA(&info));
    EXPECT_EQ(v.servicePack, info.szCSDVersion);
}

TEST(SystemFacts, ScreenSaverSwitchReachesTheUsersSettings) {
    win32::Win32Os os;
    for (bool active : {false, true}) {
        SCOPED_TRACE(active);
        ASSERT_EQ(os.system().setScreenSaveActive(active), 0);
        BOOL now = !active;
        ASSERT_TRUE(::SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &now, 0));
        EXPECT_EQ(now != FALSE, active);
    }
}

// ---- other processes and their windows -------------------------------------------

TEST(Processes, StartedByFullPathWithTheirNameInFrontAndWaitedFor) {
    win32::Win32Os os;
    // A program in a folder whose name has a blank: nothing may be searched for.
    const std::string dir = freshDir("process") + "Program Files\\";
    ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr));
    const std::string program = dir + "helper.exe", echo = dir + "echo.txt";
    ASSERT_TRUE(::CopyFileA(selfPath().c_str(), program.c_str(), FALSE));

    uint32_t exitCode = 99;
    EXPECT_EQ(os.shell().startProcess(program, "--exit 7", "", showcmd::kHide, true, exitCode), 0);
    EXPECT_EQ(exitCode, 7u);

    EXPECT_EQ(
        os.shell().startProcess(program, "--echo \"" + echo + "\"", "", showcmd::kShowNormal, true, exitCode),
        0);
    EXPECT_EQ(readFile(echo), "\"" + program + "\" --echo \"" + echo + "\"|1|1");
    EXPECT_EQ(os.shell().startProcess(program, "--echo \"" + echo + "\"", "", showcmd::kHide, true, exitCode),
              0);
    EXPECT_EQ(readFile(echo), "\"" + program + "\" --echo \"" + echo + "\"|1|0");

    EXPECT_EQ(os.shell().startProcess(program, "--exit 3", "", showcmd::kHide, false, exitCode), 0);
    EXPECT_EQ(exitCode, 0u) << "not waited for: no exit code";
    EXPECT_EQ(os.shell().startProcess(dir + "absent.exe", "", "", showcmd::kHide, true, exitCode),
              oserr::kFileNotFound);
    EXPECT_EQ(os.shell().startProcess("helper.exe", "", "", showcmd::kHide, true, exitCode),
              oserr::kFileNotFound)
        << "a bare name is not searched for";
}

TEST(Processes, ShellExecuteStartsProgramsAndMapsItsAnswers) {
    win32::Win32Os os;
    const std::string dir = freshDir("shell");
    const std::string echo = dir + "echo.txt";
    EXPECT_EQ(os.shell().shellExecute(0, "open", selfPath(), "--echo \"" + echo + "\"", dir, showcmd::kHide),
              0);
    for (int i = 0; i < 500 && readFile(echo).empty(); ++i) ::Sleep(20);
    EXPECT_NE(readFile(echo).find("--echo"), std::string::npos);
    EXPECT_EQ(os.shell().shellExecute(0, "", dir + "absent.exe", "", "", showcmd::kHide), 2);
}

// A failed call is never reported as 0, whatever the system left as its error.
TEST(Errors, AFailureIsNeverReportedAsZero) {
    ::SetLastError(0);
    EXPECT_NE(win32::systemError(), 0);
    ::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(win32::systemError(), oserr::kAccessDenied);
    EXPECT_NE(win32::statusError(ERROR_SUCCESS), 0);
    for (HRESULT hr : {HRESULT(0x80070000), E_FAIL, E_UNEXPECTED, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)})
        EXPECT_NE(win32::comError(hr), 0) << std::hex << hr;
    EXPECT_EQ(win32::comError(S_FALSE), 0);
}

TEST(Processes, WindowsFoundByTitleAndTheirButtonsClickedWithoutWaiting) {
    win32::Win32Os os;
    WindowHandle found = 1;
    EXPECT_EQ(os.shell().findWindow("No window has this title", found), oserr::kFileNotFound);
    EXPECT_EQ(found, 0u);
    EXPECT_EQ(os.shell().clickButton(0, IDOK), oserr::kInvalidWindowHandle);

    // A confirmation box is up in this thread's modal loop; a second thread
    // finds it by title and clicks Yes, the way the installer clicks another
    // program's Cancel button.
    struct Clicker {
        win32::Win32Os* os;
        Result found = -1, clicked = -1, missing = -1;
        static DWORD WINAPI run(LPVOID p) {
            auto* self = static_cast<Clicker*>(p);
            WindowHandle box = 0;
            for (int i = 0; i < 1500 && self->found != 0; ++i) {
                self->found = self->os->shell().findWindow("CONFIRM", box);  // whatever the case
                if (self->found) ::Sleep(20);
            }
            if (self->found) return 0;
            self->missing = self->os->shell().clickButton(box, 4242);
            self->clicked = self->os->shell().clickButton(box, IDYES);
            return 0;
        }
    } clicker{&os};
    win32::KernelHandle thread(::CreateThread(nullptr, 0, Clicker::run, &clicker, 0, nullptr));
    ASSERT_TRUE(thread);
    const BoxAnswer answer = os.ui().messageBox(BoxKind::Confirm, BoxButtons::YesNo, "Replace it?");
    ::WaitForSingleObject(thread.get(), INFINITE);
    EXPECT_EQ(clicker.found, 0);
    EXPECT_NE(clicker.missing, 0) << "no such button";
    EXPECT_EQ(clicker.clicked, 0);
    EXPECT_EQ(answer, BoxAnswer::Yes);
}

// ---- COM objects by member name ----------------------------------------------------

void expectSame(const Variant& got, const Variant& expected) {
    EXPECT_EQ(got.type, expected.type);
    EXPECT_EQ(got.integer, expected.integer);
    EXPECT_EQ(got.boolean, expected.boolean);
    EXPECT_EQ(got.text, expected.text);
}

// A class every Wine prefix (and Windows) registers, with a dispatch interface.
constexpr char kDictionary[] = "{EE09B103-97E0-11CF-978F-00A02463E06F}";

TEST(Com, MembersAreCalledReadAndWrittenByName) {
    win32::Win32Os os;
    ASSERT_EQ(os.com().initialize(), 0);
    EXPECT_EQ(os.com().initialize(), 0) << "once is enough, twice is harmless";
    std::unique_ptr<DispatchObject> dictionary;
    ASSERT_EQ(os.com().createObject(kDictionary, dictionary), 0);
    ASSERT_TRUE(dictionary);

    EXPECT_EQ(dictionary->put("CompareMode", Variant::ofInt(1)), 0) << "text comparison, set while empty";
    Variant result;
    ASSERT_EQ(dictionary->get("CompareMode", result), 0);
    EXPECT_EQ(result.type, Variant::Type::Int);
    EXPECT_EQ(result.integer, 1);

    ASSERT_EQ(dictionary->call("Add", {Variant::ofString("Speed"), Variant::ofInt(3)}, result), 0);
    EXPECT_EQ(result.type, Variant::Type::Empty) << "a method without a result";
    ASSERT_EQ(dictionary->call("Add", {Variant::ofString("Title"), Variant::ofString("Night Sky \xE9t\xE9")},
                               result),
              0);
    ASSERT_EQ(dictionary->call("Add", {Variant::ofString("Loop"), Variant::ofBool(true)}, result), 0);

    ASSERT_EQ(dictionary->get("Count", result), 0);
    EXPECT_EQ(result.type, Variant::Type::Int);
    EXPECT_EQ(result.integer, 3);
    struct Case {
        const char* key;
        Variant expected;
    };
    const Case items[] = {
        {"speed", Variant::ofInt(3)},  // text comparison: any case
        {"Title", Variant::ofString("Night Sky \xE9t\xE9")},
        {"LOOP", Variant::ofBool(true)},
    };
    for (const Case& c : items) {
        SCOPED_TRACE(c.key);
        ASSERT_EQ(dictionary->call("Item", {Variant::ofString(c.key)}, result), 0);
        expectSame(result, c.expected);
    }
    ASSERT_EQ(dictionary->call("Exists", {Variant::ofString("Absent")}, result), 0);
    EXPECT_EQ(result.type, Variant::Type::Bool);
    EXPECT_FALSE(result.boolean);
    ASSERT_EQ(dictionary->call("Items", {}, result), 0);
    EXPECT_EQ(result.type, Variant::Type::Empty) << "an array has no seam form";

    EXPECT_EQ(dictionary->call("NoSuchMember", {}, result), oserr::kProcNotFound);
    EXPECT_EQ(dictionary->get("NoSuchProperty", result), oserr::kProcNotFound);
    EXPECT_NE(dictionary->call("Add", {Variant::ofString("Speed"), Variant::ofInt(4)}, result), 0)
        << "the object's own refusal (a key already there) is an error";
    EXPECT_NE(dictionary->put("CompareMode", Variant::ofInt(0)), 0) << "refused once items are in";
}

TEST(Com, UnknownClassesAndBadClassIdsFail) {
    win32::Win32Os os;
    std::unique_ptr<DispatchObject> object;
    EXPECT_EQ(os.com().createObject("{5A1E0001-0000-4000-8000-00000000DEAD}", object), oserr::kModNotFound);
    EXPECT_FALSE(object);
    EXPECT_NE(os.com().createObject("not a class id", object), 0);
    EXPECT_FALSE(object);
}

TEST(Com, ThePlayerControlAnswersItsMembersByName) {
    win32::Win32Os os;
    wintest::RegisteredPlayer player;
    ASSERT_TRUE(player.registered());
    std::unique_ptr<DispatchObject> control;
    ASSERT_EQ(os.com().createObject("{D27CDB6E-AE6D-11CF-96B8-444553540000}", control), 0);
    Variant result;
    ASSERT_EQ(control->call("FlashVersion", {}, result), 0);
    EXPECT_EQ(result.type, Variant::Type::Int);
    EXPECT_EQ(result.integer, 0x00070000);
    struct Property {
        const char* name;
        Variant value;
    };
    const Property properties[] = {
        {"ScaleMode", Variant::ofInt(2)},
        {"WMode", Variant::ofString("Transparent")},
        {"Menu", Variant::ofBool(false)},
        {"Movie", Variant::ofString("C:\\WINDOWS\\SYSTEM\\Night Sky dir\\sky.swf")},
    };
    for (const Property& p : properties) {
        SCOPED_TRACE(p.name);
        ASSERT_EQ(control->put(p.name, p.value), 0);
        ASSERT_EQ(control->get(p.name, result), 0);
        expectSame(result, p.value);
    }
    EXPECT_EQ(control->put("scalemode", Variant::ofString("1")), 0) << "names in any case, values converted";
    ASSERT_EQ(control->get("ScaleMode", result), 0);
    EXPECT_EQ(result.integer, 1);
    EXPECT_EQ(control->call("SetVariable", {Variant::ofString("speed"), Variant::ofInt(3)}, result), 0);
    EXPECT_EQ(control->call("Play", {}, result), 0);
    EXPECT_EQ(control->call("StopPlay", {}, result), 0);

    EXPECT_EQ(control->call("Rewind", {}, result), oserr::kProcNotFound) << "a member it does not have";
    EXPECT_EQ(control->put("FlashVersion", Variant::ofInt(8)), oserr::kProcNotFound)
        << "a method is no property";
    EXPECT_EQ(control->call("SetVariable", {Variant::ofString("only one")}, result), oserr::kGenFailure);
    EXPECT_EQ(control->put("ScaleMode", Variant::ofString("not a number")), oserr::kGenFailure);
}

// ---- pictures ------------------------------------------------------------------

void expectNear(const uint8_t* bgr, int r, int g, int b) {
    EXPECT_NEAR(bgr[2], r, 12);
    EXPECT_NEAR(bgr[1], g, 12);
    EXPECT_NEAR(bgr[0], b, 12);
}

// Baseline, progressive and 4:2:0-subsampled pictures: the kinds a preview
// picture comes in, and each a path of its own through the decoder.
TEST(Pictures, DecodesAJpegIntoBlueGreenRedRows) {
    for (const char* name : {"quadrants.jpg", "quadrants_progressive.jpg", "quadrants_420.jpg"}) {
        SCOPED_TRACE(name);
        const std::string bytes = readFile(exeDir() + "fixtures\\" + name);
        ASSERT_FALSE(bytes.empty());
        win32::Picture p;
        std::string error;
        ASSERT_TRUE(win32::decodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), p, error))
            << error;
        ASSERT_EQ(p.width, 16);
        ASSERT_EQ(p.height, 16);
        EXPECT_EQ(p.stride(), 48u);
        auto at = [&](int x, int y) { return p.bgr.data() + p.stride() * size_t(y) + size_t(x) * 3; };
        expectNear(at(2, 2), 255, 0, 0);   // top left red
        expectNear(at(12, 2), 0, 0, 255);  // top right blue
        expectNear(at(2, 12), 0, 255, 0);  // bottom left green
        expectNear(at(12, 12), 255, 255, 255);
    }
}

TEST(Pictures, DamagedJpegsFailWithAReason) {
    const std::string good = readFile(exeDir() + "fixtures\\quadrants.jpg");
    ASSERT_GT(good.size(), 100u);
    const std::string inputs[] = {
        good.substr(0, 30),  // header cut short
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

// A picture stretched to the 350 x 150 panel is decoded at the smallest
// libjpeg scale that still covers the panel; one not stretched (no cover)
// at full size; sides beyond the cap are refused before any pixel is made.
TEST(Pictures, LargeJpegsAreDecodedAtTheScaleThatCoversThePanel) {
    const std::string large = readFile(exeDir() + "fixtures\\large_2800x1200.jpg");
    ASSERT_FALSE(large.empty()) << "made at build time by ImageMagick";
    const struct {
        SIZE cover;
        int width, height;
    } cases[] = {
        {{350, 150}, 350, 150},    // 1/8
        {{351, 150}, 700, 300},    // 1/4: 1/8 would be one column short
        {{350, 151}, 700, 300},    // 1/4
        {{701, 150}, 1400, 600},   // 1/2
        {{1401, 601}, 2800, 1200}, // full size
        {{0, 0}, 2800, 1200},      // not stretched: full size
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.cover.cx) + "x" + std::to_string(c.cover.cy));
        win32::Picture p;
        std::string error;
        ASSERT_TRUE(win32::decodeJpeg(reinterpret_cast<const uint8_t*>(large.data()), large.size(), p, error, c.cover))
            << error;
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
        EXPECT_EQ(p.bgr.size(), p.stride() * size_t(p.height));
        expectNear(p.bgr.data() + p.stride() * size_t(p.height / 2) + size_t(p.width / 4) * 3, 255, 0, 0);
        expectNear(p.bgr.data() + p.stride() * size_t(p.height / 2) + size_t(p.width * 3 / 4) * 3, 0, 0, 255);
    }

    // The same picture claiming other sides in its frame header (SOF0:
    // FF C0, length, precision, height, width).
    const size_t sof = large.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    auto withSides = [&](unsigned width, unsigned height) {
        std::string bytes = large;
        bytes[sof + 5] = char(height >> 8);
        bytes[sof + 6] = char(height);
        bytes[sof + 7] = char(width >> 8);
        bytes[sof + 8] = char(width);
        return bytes;
    };
    for (const auto& sides : {std::pair<unsigned, unsigned>{16000, 16000}, {8193, 100}, {100, 8193}, {8192, 8192}}) {
        SCOPED_TRACE(std::to_string(sides.first) + "x" + std::to_string(sides.second));
        const std::string bytes = withSides(sides.first, sides.second);
        win32::Picture p;
        std::string error;
        // Not stretched: refused for its sides, or for the pixels it would take.
        EXPECT_FALSE(win32::decodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), p, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(p.bgr.empty());
    }
    // Within the cap and stretched, a huge picture takes the panel's pixels only.
    const std::string huge = withSides(8000, 8000);
    win32::Picture p;
    std::string error;
    const DWORD started = ::GetTickCount();
    const bool decoded = win32::decodeJpeg(reinterpret_cast<const uint8_t*>(huge.data()), huge.size(), p,
                                           error, SIZE{350, 150});
    EXPECT_LT(::GetTickCount() - started, 15000u) << "the window does not stall (a loaded machine included)";
    EXPECT_LE(p.bgr.size(), size_t(1000) * 1000 * 3)
        << "decoded at 1/8 (or refused as damaged: " << decoded << " " << error << ")";
    EXPECT_EQ(win32::jpegScaleToCover(16000, 16000, SIZE{350, 150}), 8);
    EXPECT_EQ(win32::jpegScaleToCover(350, 150, SIZE{350, 150}), 1);
    EXPECT_EQ(win32::jpegScaleToCover(100, 40, SIZE{350, 150}), 1) << "a small picture is never scaled down";
}

// The colour at a point of a painted window, against an expected one.
void expectPixel(HDC dc, int x, int y, COLORREF expected) {
    SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
    const COLORREF got = ::GetPixel(dc, x, y);
    EXPECT_NEAR(GetRValue(got), GetRValue(expected), 40);
    EXPECT_NEAR(GetGValue(got), GetGValue(expected), 40);
    EXPECT_NEAR(GetBValue(got), GetBValue(expected), 40);
}

TEST(Pictures, ImageControlsShowJpegAndBitmapFilesStretchedOrCentred) {
    win32::Win32Os os;
    Form form("pictureForm");
    form.setBounds(10, 10, 100, 100);  // before the window: the client size
    form.setTopMost(true);
    Image image("image");
    image.stretched = true;
    image.setBounds(0, 0, 64, 64);
    image.setColor(color::kBlack);
    form.add(image);
    Image unrealised("other");
    ASSERT_EQ(os.ui().realize(form), 0);
    const std::string bad = freshDir("pictures") + "bad.jpg";
    writeFile(bad, "not a picture");
    struct Case {
        std::string path;
        Result expected;
    };
    const Case cases[] = {
        {exeDir() + "fixtures\\quadrants.BMP", 0},
        {exeDir() + "fixtures\\missing.jpg", oserr::kFileNotFound},
        {exeDir() + "fixtures\\missing.bmp", oserr::kFileNotFound},
        {bad, oserr::kInvalidData},
        {exeDir() + "fixtures\\quadrants.jpg", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(os.ui().loadPicture(image, c.path), c.expected) << c.path;
    EXPECT_EQ(os.ui().loadPicture(unrealised, exeDir() + "fixtures\\quadrants.jpg"),
              oserr::kInvalidWindowHandle);

    // Stretched, the 16-pixel picture fills the 64-pixel control: its
    // quadrants reach the control's corners (read back from the window).
    HWND h = os.ui().windowOf(image);
    ::UpdateWindow(h);
    {
        win32::WindowDC dc(h);
        ASSERT_TRUE(dc.get());
        expectPixel(dc.get(), 3, 3, RGB(255, 0, 0));
        expectPixel(dc.get(), 60, 3, RGB(0, 0, 255));
        expectPixel(dc.get(), 3, 60, RGB(0, 255, 0));
        expectPixel(dc.get(), 60, 60, RGB(255, 255, 255));
    }
    // Centred at its own size, on the control's colour.
    image.stretched = false;
    image.centred = true;
    image.repaint();
    win32::WindowDC dc(h);
    expectPixel(dc.get(), 3, 3, RGB(0, 0, 0));
    expectPixel(dc.get(), 26, 26, RGB(255, 0, 0));
    expectPixel(dc.get(), 37, 37, RGB(255, 255, 255));
    expectPixel(dc.get(), 60, 60, RGB(0, 0, 0));
}

}  // namespace
}  // namespace ssi

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--exit") == 0) return std::atoi(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--echo") == 0) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ::GetStartupInfoA(&startup);
        const std::string line = std::string(::GetCommandLineA()) + "|" +
                                 std::to_string((startup.dwFlags & STARTF_USESHOWWINDOW) ? 1 : 0) + "|" +
                                 std::to_string(startup.wShowWindow);
        ssi::wintest::writeFile(argv[2], line);
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "--hold") == 0)
        return ssi::wintest::holdFile(argv[2], argv[3], argv[4]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
