// The double's two file stores answer alike: every row runs once over the
// host folder and once in memory, and both must give the answers Windows
// gives. The rows are what the contract suite (tests/contract, run over both
// stores too) cannot ask: spellings through "." and "..", paths through a
// file, writes past the end, patterns, injected failures. Then what only the
// memory store has: its capacity, its inspection helpers, and access checks
// of open files.
#include "platform/fake/memory_files.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/fake_os.h"

namespace ssi {
namespace {

// What a row saw, one "what=answer" item after another.
using Transcript = std::vector<std::string>;

struct Row {
    const char* name;
    std::function<void(FakeOs&, Transcript&)> steps;
    Transcript expected;
};

std::string text(Result r) {
    return std::to_string(r);
}

[[nodiscard]] Result create(Os& os, const std::string& path, const std::string& content) {
    std::unique_ptr<File> f;
    if (Result e = os.files().openFile(path, FileAccess::Create, f)) return e;
    uint32_t put = 0;
    if (Result e = f->write(content.data(), uint32_t(content.size()), put)) return e;
    return f->close();
}

std::string readAll(Os& os, const std::string& path) {
    std::unique_ptr<File> f;
    if (Result e = os.files().openFile(path, FileAccess::Read, f)) return "error " + text(e);
    std::string out(64, '\0');
    uint32_t got = 0;
    if (Result e = f->read(&out[0], uint32_t(out.size()), got)) return "error " + text(e);
    out.resize(got);
    return out;
}

std::string listing(Os& os, const std::string& pattern) {
    std::vector<FindEntry> found;
    if (Result e = os.files().findFiles(pattern, found)) return text(e);
    std::string out;
    for (const FindEntry& f : found)
        out += (out.empty() ? "" : " ") + f.name +
               (f.attributes & attr::kDirectory ? "/" : ":" + std::to_string(f.size));
    return out;
}

std::string attributesOf(Os& os, const std::string& path) {
    uint32_t a = 0;
    const Result r = os.files().attributes(path, a);
    return r ? "error " + text(r) : text(Result(a));
}

[[nodiscard]] Result openAs(Os& os, const std::string& path, FileAccess access, std::unique_ptr<File>& out) {
    return os.files().openFile(path, access, out);
}

const std::string kDir = "C:\\Work\\";

const Row kRows[] = {
    {"missing file and missing folder",
     [](FakeOs& os, Transcript& t) {
         std::unique_ptr<File> f;
         EXPECT_EQ(create(os, kDir + "file.txt", "x"), 0);
         t.push_back("file=" + attributesOf(os, kDir + "none"));
         t.push_back("folder=" + attributesOf(os, kDir + "none\\x"));
         t.push_back("under a file=" + attributesOf(os, kDir + "file.txt\\x"));
         t.push_back("open=" + text(openAs(os, kDir + "none", FileAccess::Read, f)));
         t.push_back("open in missing=" + text(openAs(os, kDir + "none\\x", FileAccess::Read, f)));
         t.push_back("create in missing=" + text(openAs(os, kDir + "none\\x", FileAccess::Create, f)));
         t.push_back("delete=" + text(os.files().deleteFile(kDir + "none")));
     },
     {"file=error 2", "folder=error 3", "under a file=error 3", "open=2", "open in missing=3",
      "create in missing=3", "delete=2"}},
    {"names in any case, kept as created",
     [](FakeOs& os, Transcript& t) {
         os.makeDirs(kDir + "Sub");
         EXPECT_EQ(create(os, kDir + "Mixed.TXT", "abc"), 0);
         t.push_back("list=" + listing(os, "c:\\WORK\\*.*"));
         t.push_back("read=" + readAll(os, "C:\\work\\MIXED.txt"));
         t.push_back("dots=" + readAll(os, "C:/Work/./sub/../mixed.txt"));
         t.push_back("replaced=" + text(create(os, kDir + "MIXED.txt", "de")));
         t.push_back("list=" + listing(os, kDir + "*.txt"));
     },
     {"list=./ ../ Mixed.TXT:3 Sub/", "read=abc", "dots=abc", "replaced=0", "list=Mixed.TXT:2"}},
    {"copies",
     [](FakeOs& os, Transcript& t) {
         EXPECT_EQ(create(os, kDir + "from", "source"), 0);
         EXPECT_EQ(create(os, kDir + "to", "old"), 0);
         EXPECT_EQ(os.files().setAttributes(kDir + "from", attr::kHidden), 0);
         t.push_back("keep=" + text(os.files().copyFile(kDir + "from", kDir + "to", true)));
         t.push_back("replace=" + text(os.files().copyFile(kDir + "from", kDir + "TO", false)));
         t.push_back("content=" + readAll(os, kDir + "to"));
         t.push_back("attributes=" + attributesOf(os, kDir + "to"));
         EXPECT_EQ(os.files().setAttributes(kDir + "to", attr::kReadOnly), 0);
         t.push_back("over read-only=" + text(os.files().copyFile(kDir + "from", kDir + "to", false)));
         t.push_back("missing source=" + text(os.files().copyFile(kDir + "none", kDir + "new", false)));
         t.push_back("missing folder=" + text(os.files().copyFile(kDir + "from", kDir + "x\\new", false)));
         t.push_back("a folder=" + text(os.files().copyFile("C:\\Work", kDir + "new", false)));
         t.push_back("new=" + text(os.files().copyFile(kDir + "from", kDir + "new", true)));
         t.push_back("copied=" + readAll(os, kDir + "new"));
     },
     {"keep=80", "replace=0", "content=source", "attributes=2", "over read-only=5", "missing source=2",
      "missing folder=3", "a folder=5", "new=0", "copied=source"}},
    {"reading and writing",
     [](FakeOs& os, Transcript& t) {
         os.makeDirs(kDir);
         std::unique_ptr<File> f;
         ASSERT_EQ(openAs(os, kDir + "f", FileAccess::Create, f), 0);
         uint32_t n = 0;
         EXPECT_EQ(f->write("hello", 5, n), 0);
         t.push_back("seek past end=" + text(f->seek(8)));
         EXPECT_EQ(f->write("!", 1, n), 0);
         int64_t size = 0;
         EXPECT_EQ(f->size(size), 0);
         t.push_back("size=" + std::to_string(size));
         t.push_back("negative seek=" + text(f->seek(-1)));
         t.push_back("close=" + text(f->close()));
         t.push_back("again=" + text(f->close()));
         t.push_back("closed read=" + text(f->read(nullptr, 0, n)));
         ASSERT_EQ(openAs(os, kDir + "f", FileAccess::Read, f), 0);
         char buf[16];
         EXPECT_EQ(f->seek(4), 0);
         EXPECT_EQ(f->read(buf, sizeof buf, n), 0);
         t.push_back("tail=" + std::to_string(n) + ":" + std::string(buf, 1) + std::to_string(int(buf[1])));
         EXPECT_EQ(f->read(buf, sizeof buf, n), 0);
         t.push_back("at end=" + std::to_string(n));
     },
     {"seek past end=0", "size=9", "negative seek=131", "close=0", "again=6", "closed read=6", "tail=5:o0",
      "at end=0"}},
    {"listings",
     [](FakeOs& os, Transcript& t) {
         EXPECT_EQ(create(os, kDir + "a.txt", "12"), 0);
         EXPECT_EQ(create(os, kDir + "b.TXT", ""), 0);
         EXPECT_EQ(create(os, kDir + "ab.dat", "1"), 0);
         os.makeDirs(kDir + "d.txt");
         t.push_back("*.txt=" + listing(os, kDir + "*.txt"));
         t.push_back("?.txt=" + listing(os, kDir + "?.TXT"));
         t.push_back("a*=" + listing(os, kDir + "a*"));
         t.push_back("exact=" + listing(os, kDir + "AB.DAT"));
         t.push_back("none=" + listing(os, kDir + "*.exe"));
         t.push_back("missing=" + listing(os, kDir + "x\\*.*"));
         t.push_back("a file=" + listing(os, kDir + "a.txt\\*.*"));
     },
     {"*.txt=a.txt:2 b.TXT:0 d.txt/", "?.txt=a.txt:2 b.TXT:0 d.txt/", "a*=a.txt:2 ab.dat:1", "exact=ab.dat:1",
      "none=2", "missing=3", "a file=3"}},
    {"injected failures",
     [](FakeOs& os, Transcript& t) {
         EXPECT_EQ(create(os, kDir + "f", "1"), 0);
         os.failOn(Op::OpenFile, kDir + "F", 5);
         t.push_back("open=" + readAll(os, kDir + "f"));
         EXPECT_EQ(create(os, kDir + "g", "1"), 0);
         os.failOn(Op::Read, kDir + "g", 23);
         t.push_back("read=" + readAll(os, kDir + "g"));
         os.failOn(Op::Close, kDir + "h", 112);
         std::unique_ptr<File> f;
         ASSERT_EQ(os.files().openFile(kDir + "h", FileAccess::Create, f), 0);
         t.push_back("close=" + text(f->close()));
         t.push_back("released=" + text(create(os, kDir + "h2", "x")) + "," +
                     text(os.files().deleteFile(kDir + "h")));
         os.failOn(Op::FindFiles, "", 21);
         t.push_back("find=" + listing(os, kDir + "*.*"));
     },
     {"open=error 5", "read=error 23", "close=112", "released=0,0", "find=21"}},
};

class BothStores : public ::testing::TestWithParam<FakeStorage> {};

TEST_P(BothStores, AnswerAsWindows) {
    for (const Row& row : kRows) {
        FakeOs os(GetParam());
        os.makeDirs(kDir);
        Transcript seen;
        row.steps(os, seen);
        EXPECT_EQ(seen, row.expected) << row.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Fake, BothStores, ::testing::Values(FakeStorage::HostFolder, FakeStorage::Memory),
                         [](const ::testing::TestParamInfo<FakeStorage>& info) {
                             return info.param == FakeStorage::Memory ? "Memory" : "HostFolder";
                         });

// ---- the memory store alone -----------------------------------------------------------

struct MemoryStore : ::testing::Test {
    FakeOs os{FakeStorage::Memory};
    MemoryFiles& files = *os.memoryFiles();
};

TEST_F(MemoryStore, RefusesWritesBeyondItsCapacity) {
    os.makeDirs(kDir);
    files.capacity = files.usedBytes() + 10;
    std::unique_ptr<File> f;
    ASSERT_EQ(os.files().openFile(kDir + "f", FileAccess::Create, f), 0);
    uint32_t put = 0;
    EXPECT_EQ(f->write("0123456789", 10, put), 0);
    EXPECT_EQ(f->write("x", 1, put), oserr::kDiskFull);
    EXPECT_EQ(put, 0u);
    EXPECT_EQ(f->seek(1u << 30), 0);
    EXPECT_EQ(f->write("x", 1, put), oserr::kDiskFull);  // a far seek allocates nothing
    f.reset();
    EXPECT_EQ(os.files().copyFile(kDir + "f", kDir + "g", false), oserr::kDiskFull);
    EXPECT_FALSE(files.exists(kDir + "g"));
    EXPECT_EQ(os.files().deleteFile(kDir + "f"), 0);
    EXPECT_EQ(os.files().copyFile(kDir + "none", kDir + "g", false), oserr::kFileNotFound);
    EXPECT_EQ(create(os, kDir + "g", "0123456789"), 0);  // deleting gave the room back
}

TEST_F(MemoryStore, CopyOntoItselfIsABusyFile) {
    os.writeFile(kDir + "f", "abc");
    EXPECT_EQ(os.files().copyFile(kDir + "f", kDir + "F", false), oserr::kSharingViolation);
    EXPECT_EQ(os.readFile(kDir + "f"), "abc");
}

TEST_F(MemoryStore, OpenFilesKeepTheirAccess) {
    os.writeFile(kDir + "f", "abc");
    std::unique_ptr<File> f;
    uint32_t n = 0;
    char c = 0;
    ASSERT_EQ(os.files().openFile(kDir + "f", FileAccess::Read, f), 0);
    EXPECT_EQ(f->write("x", 1, n), oserr::kAccessDenied);
    ASSERT_EQ(os.files().openFile(kDir + "g", FileAccess::Create, f), 0);
    EXPECT_EQ(f->read(&c, 1, n), oserr::kAccessDenied);
}

TEST_F(MemoryStore, RemovesTreesAndListsEveryFile) {
    os.writeFile("C:\\A\\One.txt", "1");
    os.writeFile("C:\\A\\b\\Two.txt", "22");
    os.writeFile("C:\\AB\\three", "333");
    std::unique_ptr<File> held;
    ASSERT_EQ(os.files().openFile("C:\\a\\b\\two.txt", FileAccess::Read, held), 0);
    const std::string module = os.module;  // the double's own start-up file
    EXPECT_EQ(files.filePaths(),
              (std::vector<std::string>{"C:\\A\\b\\Two.txt", "C:\\A\\One.txt", "C:\\AB\\three", module}));
    const uint64_t before = files.usedBytes();
    files.removeTree("c:\\a");
    EXPECT_EQ(files.filePaths(), (std::vector<std::string>{"C:\\AB\\three", module}));
    EXPECT_EQ(files.usedBytes(), before - 3);
    char buf[2];
    uint32_t got = 0;
    EXPECT_EQ(held->read(buf, 2, got), 0);  // an open file keeps its bytes
    EXPECT_EQ(std::string(buf, got), "22");
    EXPECT_TRUE(os.exists("C:\\"));
    EXPECT_FALSE(os.exists("C:\\A"));
    EXPECT_THROW(os.hostPath("C:\\AB"), std::logic_error);
}

TEST_F(MemoryStore, RootsListNoDotEntriesAndUnknownDrivesAreMissingFolders) {
    os.writeFile("C:\\f", "1");
    std::vector<FindEntry> found;
    ASSERT_EQ(os.files().findFiles("C:\\*.*", found), 0);
    for (const FindEntry& e : found) EXPECT_NE(e.name[0], '.') << e.name;
    uint32_t a = 0;
    EXPECT_EQ(os.files().attributes("Q:\\x", a), oserr::kPathNotFound);
    EXPECT_EQ(os.files().createDirectory("Q:\\x"), oserr::kPathNotFound);
}

}  // namespace
}  // namespace ssi
