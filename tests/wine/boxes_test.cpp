// The installer's message boxes on real windows: what a user (or a UI driver)
// sees, and what each way of answering returns.
#include <gtest/gtest.h>

#include "core/strings.h"
#include "platform/messages.h"
#include "platform/win32/win32_os.h"
#include "tests/wine/wine_test_support.h"

namespace ssi {
namespace {

using wintest::BoxWatcher;
using wintest::SeenBox;

TEST(MessageBoxes, InstallErrorShowsErrorTitleTextAndOneAbortButton) {
    win32::Win32Os os;
    const std::string path = "C:\\WINDOWS\\SYSTEM\\Night Sky.scr";
    BoxWatcher watcher("Error", IDABORT);
    showInstallError(os, 2, path);
    const SeenBox& box = watcher.result();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.className, "#32770");
    EXPECT_EQ(box.text, installErrorText(os, 2, path));
    ASSERT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(box.buttons[0].first, IDABORT);
    EXPECT_EQ(box.buttons[0].second, "&Abort");
    EXPECT_TRUE(box.textFits);
    EXPECT_TRUE(box.onScreen);
}

TEST(MessageBoxes, FlashPlayerMissingShowsInformationWithOneOkButton) {
    win32::Win32Os os;
    BoxWatcher watcher("Information", IDOK);
    showInitFailure(os, rc::kFlashNotInstallable);
    const SeenBox& box = watcher.result();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, initFailureBox(os, rc::kFlashNotInstallable).text);
    ASSERT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(box.buttons[0].first, IDOK);
    EXPECT_EQ(box.buttons[0].second, "OK");
    EXPECT_TRUE(box.textFits);
}

// Every kind and set of buttons, answered by a click or by closing the box.
TEST(MessageBoxes, AnswersAndCaptionsForEveryKind) {
    struct Case {
        BoxKind kind;
        BoxButtons buttons;
        const char* title;
        std::vector<std::pair<int, std::string>> expectedButtons;
        int press;  // 0: close the box
        BoxAnswer answer;
    };
    const std::vector<std::pair<int, std::string>> abort{{IDABORT, "&Abort"}}, ok{{IDOK, "OK"}},
        yesNo{{IDYES, "&Yes"}, {IDNO, "&No"}}, okCancel{{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    const Case cases[] = {
        {BoxKind::Error, BoxButtons::Abort, "Error", abort, IDABORT, BoxAnswer::Abort},
        {BoxKind::Error, BoxButtons::Abort, "Error", abort, 0, BoxAnswer::Abort},
        {BoxKind::Information, BoxButtons::Ok, "Information", ok, 0, BoxAnswer::Ok},
        {BoxKind::Confirm, BoxButtons::YesNo, "Confirm", yesNo, IDYES, BoxAnswer::Yes},
        {BoxKind::Confirm, BoxButtons::YesNo, "Confirm", yesNo, IDNO, BoxAnswer::No},
        {BoxKind::Confirm, BoxButtons::YesNo, "Confirm", yesNo, 0, BoxAnswer::No},
        {BoxKind::Confirm, BoxButtons::OkCancel, "Confirm", okCancel, IDOK, BoxAnswer::Ok},
        {BoxKind::Confirm, BoxButtons::OkCancel, "Confirm", okCancel, IDCANCEL, BoxAnswer::Cancel},
        {BoxKind::Confirm, BoxButtons::OkCancel, "Confirm", okCancel, 0, BoxAnswer::Cancel},
    };
    win32::Win32Os os;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.title) + " press " + std::to_string(c.press));
        BoxWatcher watcher(c.title, c.press);
        const BoxAnswer answer = os.ui().messageBox(c.kind, c.buttons, "Question?");
        const SeenBox& box = watcher.result();
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.buttons, c.expectedButtons);
        EXPECT_EQ(box.text, "Question?");
        EXPECT_EQ(answer, c.answer);
    }
}

TEST(MessageBoxes, LongTextWrapsInsideTheBoxAndAmpersandsShowAsTyped) {
    win32::Win32Os os;
    std::string text = "Line with & ampersand.\r\n\r\n";
    for (int i = 0; i < 40; ++i) text += "word" + std::to_string(i) + " of a long explanation ";
    BoxWatcher watcher("Error", IDABORT);
    os.ui().messageBox(BoxKind::Error, BoxButtons::Abort, text);
    const SeenBox& box = watcher.result();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, text);
    EXPECT_TRUE(box.textFits);
    EXPECT_TRUE(box.onScreen);
}

TEST(MessageBoxes, BoxIsModalOverTheProgramsWindows) {
    win32::Win32Os os;
    Form form("modalOwner");
    form.setBounds(20, 20, 200, 100);
    ASSERT_EQ(os.ui().realize(form), 0);
    HWND hwnd = reinterpret_cast<HWND>(form.handle);
    ASSERT_TRUE(hwnd);
    BoxWatcher watcher("Confirm", IDYES, hwnd);
    EXPECT_EQ(os.ui().messageBox(BoxKind::Confirm, BoxButtons::YesNo, "Sure?"), BoxAnswer::Yes);
    EXPECT_TRUE(watcher.result().othersDisabled);
    EXPECT_TRUE(::IsWindowEnabled(hwnd));
}

TEST(MessageBoxes, QuitDuringABoxWaitsForTheAnswerThenEndsTheLoop) {
    win32::Win32Os os;
    ::PostQuitMessage(3);
    BoxWatcher watcher("Information", IDOK);
    EXPECT_EQ(os.ui().messageBox(BoxKind::Information, BoxButtons::Ok, "Still here"), BoxAnswer::Ok);
    EXPECT_TRUE(watcher.result().found);
    os.ui().runMessageLoop();  // ends at the quit passed on by the box
    EXPECT_TRUE(os.ui().terminated());
}

}  // namespace
}  // namespace ssi
