// Sharing: what an open file lets others do, whoever holds it and however its
// name is spelt.
#include "tests/contract/contract_support.h"

namespace ssi::contract {
namespace {

using ContractSharing = Contract;

const char* nameOf(FileAccess access) {
    switch (access) {
        case FileAccess::Read:
            return "Read";
        case FileAccess::ReadDenyWrite:
            return "ReadDenyWrite";
        case FileAccess::Create:
            return "Create";
    }
    return "?";
}

// A second open while the first is held: writers exclude everyone, readers
// admit readers, and deny-write readers refuse writers (even writers that
// share everything themselves).
TEST_F(ContractSharing, SecondOpenFollowsTheFirstOnesSharing) {
    struct Case {
        FileAccess first, second;
        Result expected;
        bool othersMayWrite;
    };
    const Case cases[] = {
        {FileAccess::Create, FileAccess::Read, oserr::kSharingViolation, false},
        {FileAccess::Create, FileAccess::ReadDenyWrite, oserr::kSharingViolation, false},
        {FileAccess::Create, FileAccess::Create, oserr::kSharingViolation, false},
        {FileAccess::Read, FileAccess::Read, 0, true},
        {FileAccess::Read, FileAccess::ReadDenyWrite, 0, true},
        {FileAccess::Read, FileAccess::Create, oserr::kSharingViolation, true},
        {FileAccess::ReadDenyWrite, FileAccess::Read, 0, false},
        {FileAccess::ReadDenyWrite, FileAccess::ReadDenyWrite, 0, false},
        {FileAccess::ReadDenyWrite, FileAccess::Create, oserr::kSharingViolation, false},
    };
    const std::string path = dir + "Shared.TXT";
    ASSERT_EQ(writeText(os, dir + "other.txt", "other"), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(nameOf(c.first)) + " then " + nameOf(c.second));
        ASSERT_EQ(writeText(os, path, "content"), 0);
        EXPECT_TRUE(env().othersMayWrite(path)) << "while nobody has it open";
        std::unique_ptr<File> first, second;
        ASSERT_EQ(fs.openFile(path, c.first, first), 0);
        EXPECT_EQ(env().othersMayWrite(path), c.othersMayWrite);
        EXPECT_EQ(fs.openFile(path, c.second, second), c.expected);
        EXPECT_EQ(second != nullptr, c.expected == 0);
        second.reset();
        // The same under another spelling of the name.
        EXPECT_EQ(fs.openFile(dir + "shared.txt", c.second, second), c.expected);
        second.reset();
        // No open file can be deleted; one that others may not write cannot
        // be copied over either. (Copying over a file open for reading by
        // someone who shares writing is left alone: systems differ.)
        EXPECT_EQ(fs.deleteFile(path), oserr::kSharingViolation);
        if (!c.othersMayWrite) {
            EXPECT_EQ(fs.copyFile(dir + "other.txt", dir + "SHARED.txt", false), oserr::kSharingViolation);
        }
        first.reset();
        ASSERT_EQ(readText(os, path), c.first == FileAccess::Create ? "" : "content");
    }
    EXPECT_EQ(fs.deleteFile(path), 0) << "closed files give way";
}

TEST_F(ContractSharing, CopiesReadFromFilesOthersRead) {
    const std::string path = dir + "source.txt";
    ASSERT_EQ(writeText(os, path, "source"), 0);
    std::unique_ptr<File> reader;
    ASSERT_EQ(fs.openFile(path, FileAccess::Read, reader), 0);
    EXPECT_EQ(fs.copyFile(path, dir + "copy.txt", true), 0);
    EXPECT_EQ(readText(os, dir + "copy.txt"), "source");
    reader.reset();

    std::unique_ptr<File> writer;
    ASSERT_EQ(fs.openFile(path, FileAccess::Create, writer), 0);
    EXPECT_EQ(fs.copyFile(path, dir + "other.txt", true), oserr::kSharingViolation);
}

TEST_F(ContractSharing, FileHeldByAnotherProcessCannotBeDeletedOrReplaced) {
    const std::string path = dir + "Held.SCR";
    ASSERT_EQ(writeText(os, path, "held"), 0);
    {
        auto holder = env().holdOpen(path);
        ASSERT_TRUE(holder->held());
        EXPECT_EQ(fs.deleteFile(path), oserr::kSharingViolation);
        EXPECT_EQ(fs.deleteFile(dir + "held.scr"), oserr::kSharingViolation) << "whatever the case";
        EXPECT_FALSE(env().othersMayWrite(path)) << "it shares reading only";
        ASSERT_EQ(writeText(os, dir + "new.scr", "new"), 0);
        EXPECT_EQ(fs.copyFile(dir + "new.scr", dir + "HELD.scr", false), oserr::kSharingViolation);
        std::unique_ptr<File> file;
        EXPECT_EQ(fs.openFile(path, FileAccess::Create, file), oserr::kSharingViolation);
        EXPECT_EQ(fs.openFile(path, FileAccess::Read, file), 0) << "the holder shares reading";
        file.reset();
        EXPECT_EQ(fs.openFile(path, FileAccess::ReadDenyWrite, file), 0) << "the holder only reads";
        file.reset();
        EXPECT_EQ(readText(os, path), "held");
        EXPECT_EQ(fs.moveFile(path, path + ".kept"), oserr::kSharingViolation) << "nor renamed";
        EXPECT_TRUE(exists(os, path));
    }
    EXPECT_EQ(fs.deleteFile(path), 0) << "released";
}

}  // namespace
}  // namespace ssi::contract
