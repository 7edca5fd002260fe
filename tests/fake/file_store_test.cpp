// What the one file store decides for both of its backings alike, where the
// two stores used to differ: an empty file copies, a drive's root lists no
// dot entries, a drive that does not exist is a missing folder, a set-up
// write and a profile write land in the same bytes.
#include "platform/fake/file_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/fake/fake_os.h"

namespace ssi {
namespace {

struct Case {
    const char* name;
    std::function<std::string(FakeOs&)> run;
    std::string expected;
};

std::string listing(FakeOs& os, const std::string& pattern) {
    std::vector<FindEntry> found;
    if (Result e = os.files().findFiles(pattern, found)) return std::to_string(e);
    std::string out;
    for (const FindEntry& f : found) out += (out.empty() ? "" : " ") + f.name;
    return out;
}

const Case kCases[] = {
    {"an empty file copies",
     [](FakeOs& os) {
         os.writeFile("C:\\W\\empty", "");
         const Result copied = os.files().copyFile("C:\\W\\empty", "C:\\W\\copy", true);
         return std::to_string(copied) + "," + std::to_string(os.exists("C:\\W\\copy"));
     },
     "0,1"},
    {"a drive's root lists no dot entries", [](FakeOs& os) { return listing(os, "C:\\*.*"); },
     "Downloads TEMP WINDOWS"},
    {"a folder lists itself and its parent",
     [](FakeOs& os) {
         os.makeDirs("C:\\W\\Sub");
         return listing(os, "c:\\w\\*");
     },
     ". .. Sub"},
    {"a missing drive is a missing folder",
     [](FakeOs& os) {
         uint32_t a = 0;
         const Result inside = os.files().createDirectory("Q:\\x");
         const Result drive = os.files().createDirectory("Q:");
         const Result attributes = os.files().attributes("Q:\\x", a);
         return std::to_string(inside) + "," + std::to_string(drive) + "," + std::to_string(attributes);
     },
     "3,3,3"},
    {"a profile write is read back through the files",
     [](FakeOs& os) {
         const Result r = os.profile().writeString("Test.ini", "Sec", "Key", "Value");
         return std::to_string(r) + "," + os.readFile("C:\\WINDOWS\\TEST.INI");
     },
     "0,[Sec]\r\nKey=Value\r\n"},
    {"a profile write into a missing folder",
     [](FakeOs& os) { return std::to_string(os.profile().writeString("C:\\None\\x.ini", "S", "K", "V")); }, "3"},
    {"every file, ordered by its lower-case path",
     [](FakeOs& os) {
         os.writeFile("C:\\b\\Two", "2");
         os.writeFile("C:\\A\\one", "1");
         std::string out;
         for (const std::string& p : os.fileStore().filePaths()) out += p + ";";
         return out;
     },
     "C:\\A\\one;C:\\b\\Two;C:\\Downloads\\setup.exe;"},
};

class OneStore : public ::testing::TestWithParam<FakeStorage> {};

TEST_P(OneStore, BothBackingsAnswerAlike) {
    for (const Case& c : kCases) {
        FakeOs os(GetParam());
        EXPECT_EQ(c.run(os), c.expected) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Fake, OneStore, ::testing::Values(FakeStorage::HostFolder, FakeStorage::Memory),
                         [](const ::testing::TestParamInfo<FakeStorage>& info) {
                             return info.param == FakeStorage::Memory ? "Memory" : "HostFolder";
                         });

}  // namespace
}  // namespace ssi
