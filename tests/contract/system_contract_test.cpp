// System facts, the environment, error texts and libraries.
#include "platform/file_utils.h"
#include "tests/contract/contract_support.h"

namespace ssi::contract {
namespace {

using ContractSystem = Contract;

bool startsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    return lowerCase(text.substr(0, prefix.size())) == lowerCase(prefix);
}

TEST_F(ContractSystem, DirectoriesExistWhereTheSystemSays) {
    System& system = os.system();
    const std::string windows = system.windowsDirectory(), systemDir = system.systemDirectory();
    ASSERT_FALSE(windows.empty());
    EXPECT_TRUE(directoryExists(os, windows));
    EXPECT_TRUE(directoryExists(os, systemDir));
    EXPECT_TRUE(startsWithIgnoringCase(systemDir, withTrailingBackslash(windows))) << systemDir;
    const std::string temp = system.tempDirectory();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_TRUE(directoryExists(os, temp));
    EXPECT_TRUE(fileExists(os, system.modulePath())) << system.modulePath();
}

TEST_F(ContractSystem, EnvironmentVariablesReadAsSet) {
    System& system = os.system();
    env().setEnvironment("SSI_CONTRACT_VALUE", "abc");
    EXPECT_EQ(system.environment("SSI_CONTRACT_VALUE"), "abc");
    EXPECT_EQ(system.environment("ssi_contract_value"), "abc") << "names match whatever the case";
    const std::string longValue(1500, 'x');  // longer than a path
    env().setEnvironment("SSI_CONTRACT_VALUE", longValue);
    EXPECT_EQ(system.environment("SSI_CONTRACT_VALUE"), longValue);
    env().setEnvironment("SSI_CONTRACT_VALUE", "");
    EXPECT_EQ(system.environment("SSI_CONTRACT_VALUE"), "");
}

TEST_F(ContractSystem, VersionNamesAKnownPlatform) {
    WindowsVersion v;
    ASSERT_EQ(os.system().windowsVersion(v), 0);
    EXPECT_TRUE(v.platformId == platformid::kWindows || v.platformId == platformid::kNt) << v.platformId;
    EXPECT_GE(v.major, 4u);
    EXPECT_EQ(v.build >> 16, 0u) << "the build number alone";
}

TEST_F(ContractSystem, ErrorTextsAreTheSystemsOwnWithoutLineBreaks) {
    System& system = os.system();
    for (Result code :
         {oserr::kFileNotFound, oserr::kAccessDenied, oserr::kSharingViolation, oserr::kDiskFull}) {
        SCOPED_TRACE(code);
        const std::string text = system.errorText(code);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.back(), '\n');
        EXPECT_NE(text.back(), '\r');
    }
    EXPECT_NE(system.errorText(oserr::kFileNotFound), system.errorText(oserr::kAccessDenied));
}

TEST_F(ContractSystem, LibrariesLoadByFullPathAndResolveTheirExports) {
    System& system = os.system();
    std::unique_ptr<Library> library;
    ASSERT_EQ(system.loadLibrary(env().versionedLibrary(), library), 0);
    ASSERT_TRUE(library);
    EXPECT_NE(library->symbol(env().versionedLibraryExport().c_str()), nullptr);
    EXPECT_EQ(library->symbol("NoSuchExport"), nullptr);
    library.reset();

    EXPECT_EQ(system.loadLibrary(dir + "absent.dll", library), oserr::kModNotFound);
    EXPECT_FALSE(library);
    EXPECT_EQ(system.loadLibrary(dir + "absent\\absent.dll", library), oserr::kModNotFound);
}

}  // namespace
}  // namespace ssi::contract
