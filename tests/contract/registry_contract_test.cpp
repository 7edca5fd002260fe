// The registry: keys, values of every type the installer writes, deletion,
// enumeration and access rights. Each test works below a key of its own.
#include <algorithm>

#include "tests/contract/contract_support.h"

namespace ssi::contract {
namespace {

class ContractRegistry : public Contract {
protected:
    void SetUp() override {
        Contract::SetUp();
        base = std::string("Software\\SsiContract\\") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    // Deletes every key the test made, each once and the deepest first (a
    // key with sub-keys is not deleted); one the test deleted itself is gone.
    void TearDown() override {
        std::sort(made.begin(), made.end(), [](const auto& a, const auto& b) {
            return a.second.size() != b.second.size() ? a.second.size() > b.second.size() : a < b;
        });
        made.erase(std::unique(made.begin(), made.end()), made.end());
        for (const auto& [hive, path] : made) {
            const Result deleted = reg.deleteKey(hive, path);
            EXPECT_TRUE(deleted == rc::kOk || deleted == oserr::kFileNotFound) << path << ": " << deleted;
        }
    }
    // Creates a key (and its parents); the test's end deletes it again with
    // the parents it made from `owned` down (the test's base key by default).
    std::unique_ptr<RegistryKey> make(Hive hive, const std::string& path, const std::string& owned = "") {
        const std::string first = owned.empty() ? base : owned;
        std::unique_ptr<RegistryKey> key;
        EXPECT_EQ(reg.createKey(hive, path, RegAccess::AllAccess, key), 0) << path;
        for (size_t end = first.size();; end = path.find('\\', end + 1)) {
            made.emplace_back(hive, path.substr(0, end));
            if (end >= path.size()) break;
        }
        return key;
    }

    Registry& reg = os.registry();
    std::string base;
    std::vector<std::pair<Hive, std::string>> made;
};

TEST_F(ContractRegistry, KeysAreMadeWithTheirParentsAndFoundWhateverTheCase) {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(reg.openKey(Hive::CurrentUser, base + "\\A\\B", RegAccess::Read, key), oserr::kFileNotFound);
    EXPECT_FALSE(key);
    ASSERT_TRUE(make(Hive::CurrentUser, base + "\\A\\B\\C"));
    struct Case {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"as made", base + "\\A\\B\\C"},
        {"another case", "SOFTWARE\\ssicontract\\" + base.substr(base.rfind('\\') + 1) + "\\a\\b\\c"},
        {"a parent", base + "\\A"},
        {"from the root", "\\" + base + "\\A\\B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(reg.openKey(Hive::CurrentUser, c.path, RegAccess::Read, key), 0);
        EXPECT_TRUE(key);
    }
    EXPECT_EQ(reg.openKey(Hive::LocalMachine, base + "\\A", RegAccess::Read, key), oserr::kFileNotFound)
        << "each hive has its own keys";
    // Creating an existing key opens it.
    std::unique_ptr<RegistryKey> again;
    ASSERT_EQ(reg.createKey(Hive::CurrentUser, "\\" + base + "\\A", RegAccess::AllAccess, again), 0);
    std::vector<std::string> subKeys;
    ASSERT_EQ(again->subKeyNames(subKeys), 0);
    EXPECT_EQ(subKeys, std::vector<std::string>{"B"});
}

TEST_F(ContractRegistry, ValuesKeepTheirTypeAndBytes) {
    auto key = make(Hive::CurrentUser, base);
    ASSERT_TRUE(key);
    std::vector<uint8_t> large(10000);
    for (size_t i = 0; i < large.size(); ++i) large[i] = uint8_t(i * 7);
    struct Case {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {"", regtype::kString, stringBytes("default value")},
        {"DisplayName", regtype::kString, stringBytes("Night Sky Screen Saver")},
        {"UninstallString", regtype::kExpandString, stringBytes("%SystemRoot%\\uninst.exe /u")},
        {"Empty", regtype::kString, stringBytes("")},
        {"Unterminated", regtype::kString, {'a', 'b'}},
        {"Count", regtype::kDword, {0x78, 0x56, 0x34, 0x12}},
        {"Blob", regtype::kBinary, {0, 1, 0, 255}},
        {"Nothing", regtype::kBinary, {}},
        {"Large", regtype::kBinary, large},
    };
    for (const Case& c : cases) ASSERT_EQ(key->setValue(c.name, c.type, c.data), 0) << c.name;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegValue v;
        ASSERT_EQ(key->queryValue(c.name, v), 0);
        EXPECT_EQ(v.type, c.type);
        EXPECT_EQ(v.data, c.data);
    }
    RegValue v;
    ASSERT_EQ(key->queryValue("DISPLAYNAME", v), 0) << "names match whatever the case";
    EXPECT_EQ(v.data, stringBytes("Night Sky Screen Saver"));
    // Setting again replaces type and bytes.
    ASSERT_EQ(key->setValue("Count", regtype::kString, stringBytes("4")), 0);
    ASSERT_EQ(key->queryValue("Count", v), 0);
    EXPECT_EQ(v.type, regtype::kString);
    EXPECT_EQ(v.data, stringBytes("4"));
    // And it lasts beyond this key object.
    key.reset();
    ASSERT_EQ(reg.openKey(Hive::CurrentUser, base, RegAccess::Read, key), 0);
    ASSERT_EQ(key->queryValue("", v), 0);
    EXPECT_EQ(v.data, stringBytes("default value"));
}

TEST_F(ContractRegistry, MissingValuesGive2) {
    auto key = make(Hive::CurrentUser, base);
    ASSERT_TRUE(key);
    RegValue v;
    v.type = 99;
    EXPECT_EQ(key->queryValue("", v), oserr::kFileNotFound) << "a new key has no default value";
    EXPECT_EQ(v.type, 0u);
    EXPECT_TRUE(v.data.empty());
    EXPECT_EQ(key->queryValue("absent", v), oserr::kFileNotFound);
    EXPECT_EQ(key->deleteValue("absent"), oserr::kFileNotFound);
    ASSERT_EQ(key->setValue("present", regtype::kDword, {1, 0, 0, 0}), 0);
    EXPECT_EQ(key->deleteValue("PRESENT"), 0);
    EXPECT_EQ(key->queryValue("present", v), oserr::kFileNotFound);
}

TEST_F(ContractRegistry, KeysWithSubKeysAreNotDeleted) {
    ASSERT_TRUE(make(Hive::CurrentUser, base + "\\Parent\\Child"));
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(reg.deleteKey(Hive::CurrentUser, base + "\\Parent"), oserr::kAccessDenied);
    EXPECT_EQ(reg.openKey(Hive::CurrentUser, base + "\\Parent\\Child", RegAccess::Read, key), 0);
    key.reset();
    EXPECT_EQ(reg.deleteKey(Hive::CurrentUser, base + "\\PARENT\\child"), 0);
    EXPECT_EQ(reg.deleteKey(Hive::CurrentUser, "\\" + base + "\\Parent"), 0);
    EXPECT_EQ(reg.openKey(Hive::CurrentUser, base + "\\Parent", RegAccess::Read, key), oserr::kFileNotFound);
    EXPECT_EQ(reg.deleteKey(Hive::CurrentUser, base + "\\Parent"), oserr::kFileNotFound);
}

TEST_F(ContractRegistry, EnumerationListsSubKeysAndValues) {
    auto key = make(Hive::CurrentUser, base);
    ASSERT_TRUE(key);
    std::vector<std::string> found{"stale"};
    ASSERT_EQ(key->subKeyNames(found), 0);
    EXPECT_TRUE(found.empty());
    ASSERT_EQ(key->valueNames(found), 0);
    EXPECT_TRUE(found.empty());

    for (const char* sub : {"Zeta", "alpha", "Mid"}) ASSERT_TRUE(make(Hive::CurrentUser, base + "\\" + sub));
    const std::string longName(300, 'v');  // longer than a key name may be
    for (const std::string& name : {std::string("second"), std::string("First"), longName, std::string("")})
        ASSERT_EQ(key->setValue(name, regtype::kDword, {1, 0, 0, 0}), 0);
    ASSERT_EQ(key->subKeyNames(found), 0);
    // The order is the system's: compare as sets.
    EXPECT_EQ(std::set<std::string>(found.begin(), found.end()),
              (std::set<std::string>{"Zeta", "alpha", "Mid"}));
    ASSERT_EQ(key->valueNames(found), 0);
    EXPECT_EQ(std::set<std::string>(found.begin(), found.end()),
              (std::set<std::string>{"second", "First", longName, ""}));
}

TEST_F(ContractRegistry, KeysOpenedForReadingRefuseChanges) {
    ASSERT_TRUE(make(Hive::CurrentUser, base));
    std::unique_ptr<RegistryKey> key;
    ASSERT_EQ(reg.openKey(Hive::CurrentUser, base, RegAccess::AllAccess, key), 0);
    ASSERT_EQ(key->setValue("kept", regtype::kString, stringBytes("x")), 0);
    ASSERT_EQ(reg.openKey(Hive::CurrentUser, base, RegAccess::Read, key), 0);
    EXPECT_EQ(key->setValue("new", regtype::kString, stringBytes("x")), oserr::kAccessDenied);
    EXPECT_EQ(key->deleteValue("kept"), oserr::kAccessDenied);
    RegValue v;
    EXPECT_EQ(key->queryValue("kept", v), 0);
    EXPECT_EQ(key->queryValue("new", v), oserr::kFileNotFound);
}

TEST_F(ContractRegistry, ClassesRootKeepsTheMachinesClasses) {
    const std::string classId = "CLSID\\{5A1E0001-0000-4000-8000-00000000C0DE}";
    const std::string classKey = classId + "\\InprocServer32";
    auto key = make(Hive::ClassesRoot, classKey, classId);
    ASSERT_TRUE(key);
    ASSERT_EQ(key->setValue("", regtype::kString, stringBytes("C:\\WINDOWS\\SYSTEM\\player.ocx")), 0);
    std::unique_ptr<RegistryKey> machine;
    ASSERT_EQ(reg.openKey(Hive::LocalMachine, "Software\\Classes\\" + classKey, RegAccess::Read, machine), 0);
    RegValue v;
    ASSERT_EQ(machine->queryValue("", v), 0);
    EXPECT_EQ(v.data, stringBytes("C:\\WINDOWS\\SYSTEM\\player.ocx"));
}

}  // namespace
}  // namespace ssi::contract
