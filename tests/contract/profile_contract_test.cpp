// Profile (".ini") files: values written and read back, what is missing, the
// file's own text, and where a file named without a folder lives.
#include "platform/file_utils.h"
#include "tests/contract/contract_support.h"

namespace ssi::contract {
namespace {

using ContractProfile = Contract;

TEST_F(ContractProfile, ValuesReadBackAsWritten) {
    Profile& profile = os.profile();
    const std::string file = dir + "saver.ini";
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"boot", "SCRNSAVE.EXE", "C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR"},
        {"boot", "shell", "Explorer.exe"},
        {"Night Sky", "Speed", "3"},
        {"Night Sky", "Title", "Stars over water, slowly"},
        {"Night Sky", "Empty", ""},
    };
    for (const Case& c : cases) ASSERT_EQ(profile.writeString(file, c.section, c.key, c.value), 0) << c.key;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        std::string value = "stale";
        EXPECT_EQ(profile.readString(file, c.section, c.key, value), 0);
        EXPECT_EQ(value, c.value);
    }
    std::string value;
    EXPECT_EQ(profile.readString(file, "BOOT", "scrnsave.exe", value), 0) << "names match whatever the case";
    EXPECT_EQ(value, "C:\\WINDOWS\\SYSTEM\\NIGHTS~1.SCR");
    ASSERT_EQ(profile.writeString(file, "boot", "scrnsave.exe", "C:\\OTHER.SCR"), 0);
    EXPECT_EQ(profile.readString(file, "Boot", "SCRNSAVE.EXE", value), 0);
    EXPECT_EQ(value, "C:\\OTHER.SCR") << "written again, replaced";
}

TEST_F(ContractProfile, MissingFileSectionOrKeyGive2) {
    Profile& profile = os.profile();
    const std::string file = dir + "saver.ini";
    ASSERT_EQ(profile.writeString(file, "boot", "present", "yes"), 0);
    struct Case {
        const char* what;
        std::string file, section, key;
    };
    const Case cases[] = {
        {"file", dir + "absent.ini", "boot", "present"},
        {"section", file, "absent", "present"},
        {"key", file, "boot", "absent"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string value = "stale";
        EXPECT_EQ(profile.readString(c.file, c.section, c.key, value), oserr::kFileNotFound);
        EXPECT_EQ(value, "");
    }
}

TEST_F(ContractProfile, FileIsPlainIniText) {
    const std::string file = dir + "system.ini";
    ASSERT_EQ(os.profile().writeString(file, "boot", "SCRNSAVE.EXE", "C:\\NIGHT.SCR"), 0);
    const std::string text = readText(os, file);
    EXPECT_NE(text.find("[boot]"), std::string::npos) << text;
    EXPECT_NE(text.find("SCRNSAVE.EXE=C:\\NIGHT.SCR"), std::string::npos) << text;
}

TEST_F(ContractProfile, FileNamedWithoutAFolderLivesInTheWindowsDirectory) {
    const std::string name = "ssi-contract.ini";
    const std::string full = withTrailingBackslash(os.system().windowsDirectory()) + name;
    ASSERT_EQ(os.profile().writeString(name, "section", "key", "value"), 0);
    std::string value;
    EXPECT_EQ(os.profile().readString(full, "section", "key", value), 0);
    EXPECT_EQ(value, "value");
    EXPECT_EQ(os.files().deleteFile(full), 0);
}

}  // namespace
}  // namespace ssi::contract
