// The installer window's layout over the test double: the form as designed,
// the window without and with the licence, the user's drags, the captions.
#include <gtest/gtest.h>

#include "app/installer_window.h"
#include "platform/fake/fake_os.h"

using namespace ssi;

namespace {

struct Layout : ::testing::Test {
    FakeOs os;
    TInstallerForm form{os};
    void SetUp() override { ASSERT_EQ(os.ui().realize(form), 0); }

    // The window as the initialisation leaves it for a package with or without licence.
    void prepare(bool license) {
        form.setBorder(BorderStyle::Single);
        form.licenseShown = license;
        form.setUpLicenseLayout(license);
        form.sizeWindow();
    }
};

TEST_F(Layout, TheFormIsBuiltAsDesigned) {
    EXPECT_EQ(form.clientWidth(), 344);
    EXPECT_EQ(form.clientHeight(), 343);
    EXPECT_EQ(form.left(), -3000);
    EXPECT_TRUE(form.topMost());
    EXPECT_TRUE(form.systemMenuOnly());
    EXPECT_EQ(form.fontName, "MS Sans Serif");
    EXPECT_EQ(form.fontHeight, -11);
    // Creation order and nesting.
    std::vector<std::string> order;
    std::function<void(const Control&, const std::string&)> walk = [&](const Control& c, const std::string& indent) {
        for (const Control* child : c.children()) {
            order.push_back(indent + child->name());
            walk(*child, indent + "  ");
        }
    };
    walk(form, "");
    EXPECT_EQ(order, (std::vector<std::string>{"contentPanel", "  bmpPanel", "  moviePanel1", "buttonPanel",
                                               "  labFile", "  labCopying", "  installbutn", "  progressBar",
                                               "  installBtn", "  doneBtn", "  cancelBtn", "licenseScrollBox"}));
    struct Row {
        const Control* control;
        int left, top, width, height;
        bool visible;
    } rows[] = {{&form.contentPanel, 0, -1, 352, 152, true},  {&form.bmpPanel, 1, 1, 350, 150, true},
                {&form.moviePanel1, 1, 1, 350, 150, true},    {&form.buttonPanel, -8, 279, 350, 63, true},
                {&form.labFile, -1, 2, 190, 18, false},       {&form.labCopying, 2, 3, 360, 13, false},
                {&form.installbutn, 24, 40, 3, 13, false},    {&form.progressBar, 1, 20, 347, 11, true},
                {&form.installBtn, 182, 36, 80, 25, true},    {&form.doneBtn, 268, 36, 80, 25, false},
                {&form.cancelBtn, 268, 36, 80, 25, true},     {&form.licenseScrollBox, -8, 150, 350, 105, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.control->name());
        EXPECT_EQ(r.control->left(), r.left);
        EXPECT_EQ(r.control->top(), r.top);
        EXPECT_EQ(r.control->width(), r.width);
        EXPECT_EQ(r.control->height(), r.height);
        EXPECT_EQ(r.control->visible(), r.visible);
    }
    EXPECT_EQ(form.moviePanel1.color(), color::kWhite);
    EXPECT_EQ(form.contentPanel.bevelOuter(), Bevel::Lowered);
    EXPECT_FALSE(form.installbutn.enabled());
    EXPECT_EQ(form.progressBar.max(), 100);
    EXPECT_TRUE(form.licenseScrollBox.readOnly);
    EXPECT_EQ(form.cancelBtn.tabOrder, 3);
}

TEST_F(Layout, WithoutLicenceTheWindowIsFixedAndTheButtonRowSitsUnderThePreview) {
    prepare(false);
    EXPECT_EQ(form.width(), 359);
    EXPECT_EQ(form.clientHeight(), 214);
    EXPECT_EQ(form.buttonPanel.top(), 151);
    EXPECT_EQ(form.border(), BorderStyle::Single);
    EXPECT_FALSE(form.licenseScrollBox.visible());
    EXPECT_EQ(form.installBtn.text(), "Install");
    EXPECT_EQ(form.installBtn.width(), 80);
    EXPECT_EQ(form.cancelBtn.left() - form.installBtn.left(), 86);
    EXPECT_EQ(form.cancelBtn.text(), "Cancel");
    EXPECT_EQ(form.doneBtn.text(), "Close");
    // The anchored controls followed the button row to the client width.
    EXPECT_EQ(form.buttonPanel.width(), form.clientWidth());
    EXPECT_EQ(form.buttonPanel.width() - form.cancelBtn.left(), 350 - 268);
    EXPECT_EQ(form.progressBar.width(), 347 + form.clientWidth() - 350);
    EXPECT_EQ(form.contentPanel.width(), form.clientWidth());
    EXPECT_EQ(form.moviePanel1.width(), form.clientWidth() - 2);
}

TEST_F(Layout, WithLicenceTheWindowIsSizeableAndHoldsItsMinimum) {
    EXPECT_EQ(form.loadLicenseLines("C:\\missing.txt"), oserr::kFileNotFound)
        << "nothing to read leaves the box as it was";
    prepare(true);
    EXPECT_EQ(form.border(), BorderStyle::Sizeable);
    EXPECT_EQ(form.minWidth(), 359);
    EXPECT_EQ(form.minHeight(), 340);
    EXPECT_EQ(form.clientHeight(), 321);
    EXPECT_GE(form.height(), 340);
    EXPECT_EQ(form.buttonPanel.top(), 258);
    EXPECT_EQ(form.licenseScrollBox.top(), 153);
    EXPECT_EQ(form.licenseScrollBox.height(), 103);
    EXPECT_TRUE(form.licenseScrollBox.visible());
    EXPECT_EQ(form.installBtn.text(), "Accept and Install");
    EXPECT_EQ(form.installBtn.width(), 115);
    EXPECT_EQ(form.cancelBtn.left() - (form.installBtn.left() + form.installBtn.width()), 6);

    // Dragged wider: content, button row, progress bar and licence box widen;
    // the buttons keep their distance to the right edge.
    const int cancelFromRight = form.clientWidth() - form.cancelBtn.left();
    const int progress = form.progressBar.width(), wide = form.clientWidth();
    os.userResize(form, 500, form.height());
    const int dw = form.clientWidth() - wide;
    EXPECT_EQ(dw, 500 - 359);
    EXPECT_EQ(form.contentPanel.width(), form.clientWidth());
    EXPECT_EQ(form.buttonPanel.width(), form.clientWidth());
    EXPECT_EQ(form.licenseScrollBox.width(), form.clientWidth());
    EXPECT_EQ(form.progressBar.width(), progress + dw);
    EXPECT_EQ(form.clientWidth() - form.cancelBtn.left(), cancelFromRight);

    // Dragged taller: the button row stays at the bottom, the licence box grows.
    os.userResize(form, 500, 600);
    EXPECT_EQ(form.buttonPanel.top(), form.clientHeight() - 63);
    EXPECT_EQ(form.licenseScrollBox.height(), form.buttonPanel.top() - 2 - (151 + 4));

    // Never below the minimum, whoever asks.
    os.userResize(form, 100, 100);
    EXPECT_EQ(form.width(), 359);
    EXPECT_EQ(form.height(), 340);
    form.setSize(200, 200);
    EXPECT_EQ(form.width(), 359);
    EXPECT_GE(form.licenseScrollBox.height(), 103);
}

TEST_F(Layout, TheLicenceBoxShowsTheFileAsLines) {
    struct Case {
        std::string file, shown;
    } cases[] = {{"one\r\ntwo\r\n", "one\r\ntwo\r\n"},
                 {"unix\nlines", "unix\r\nlines"},
                 {"old\rmac", "old\r\nmac"},
                 {std::string("nul\0byte", 8), "nul byte"}};
    for (const Case& c : cases) {
        os.writeFile("C:\\TEMP\\License.txt", c.file);
        ASSERT_EQ(form.loadLicenseLines("C:\\TEMP\\License.txt"), 0);
        EXPECT_EQ(form.licenseScrollBox.text(), c.shown);
    }
    os.writeFile("C:\\TEMP\\License.txt", std::string(3 * 1024 * 1024, 'x'));
    ASSERT_EQ(form.loadLicenseLines("C:\\TEMP\\License.txt"), 0);
    EXPECT_EQ(form.licenseScrollBox.text().size(), 1024u * 1024u) << "a huge file is cut, not loaded whole";
    EXPECT_EQ(form.loadLicenseLines("C:\\TEMP\\absent.txt"), oserr::kFileNotFound);
}

TEST_F(Layout, CaptionsFollowTheSaversName) {
    struct Case {
        const char* name;
        const char* caption;
    } cases[] = {{"Night Sky", "Install Screen Saver: Night Sky"},
                 {"Ocean Saver", "Install: Ocean Saver"},
                 {"OCEAN SAVER", "Install: OCEAN SAVER"},
                 {"Best Screensaver", "Install: Best Screensaver"},
                 {"", "Install Screen Saver: "}};
    for (const Case& c : cases) {
        form.setWindowCaption(c.name);
        EXPECT_EQ(form.text(), c.caption);
    }
}

}  // namespace
