// Files and directories: contents, errors, copies, attributes, directories,
// listings, case-insensitive names, short names and version resources.
#include <functional>

#include "tests/contract/contract_support.h"

namespace ssi::contract {
namespace {

using ContractFiles = Contract;

TEST_F(ContractFiles, CreateWriteSeekReadAndSize) {
    const std::string path = dir + "data.bin";
    std::unique_ptr<File> file;
    ASSERT_EQ(fs.openFile(path, FileAccess::Create, file), 0);
    ASSERT_TRUE(file);
    uint32_t put = 0;
    EXPECT_EQ(file->write("0123456789", 10, put), 0);
    EXPECT_EQ(put, 10u);
    int64_t size = -1;
    EXPECT_EQ(file->size(size), 0);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(file->close(), 0);
    EXPECT_EQ(file->close(), oserr::kInvalidHandle) << "a closed file stays closed";
    EXPECT_NE(file->write("x", 1, put), 0);

    ASSERT_EQ(fs.openFile(path, FileAccess::Read, file), 0);
    char buffer[8] = {};
    uint32_t got = 99;
    EXPECT_EQ(file->seek(6), 0);
    EXPECT_EQ(file->read(buffer, 8, got), 0);
    EXPECT_EQ(std::string(buffer, got), "6789");
    EXPECT_EQ(file->read(buffer, 8, got), 0);
    EXPECT_EQ(got, 0u) << "reading at the end gives nothing, not an error";
    EXPECT_EQ(file->seek(100), 0) << "seeking past the end is allowed";
    EXPECT_EQ(file->read(buffer, 8, got), 0);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(file->seek(-1), oserr::kNegativeSeek);
    EXPECT_NE(file->write("x", 1, put), 0) << "a file opened for reading refuses writes";
    file.reset();

    // Creating again truncates.
    ASSERT_EQ(writeText(os, path, "ab"), 0);
    EXPECT_EQ(readText(os, path), "ab");
}

// Every call on a path that is not there, by what is missing.
TEST_F(ContractFiles, MissingFilesGive2AndMissingFoldersGive3) {
    const std::string file = dir + "absent.txt", folder = dir + "absent\\";
    ASSERT_EQ(writeText(os, dir + "present.txt", "x"), 0);
    std::unique_ptr<File> opened;
    std::vector<FindEntry> entries;
    uint32_t attributes = 0;
    FileVersion version;
    std::string shortName;
    struct Case {
        const char* what;
        std::function<Result()> call;
        Result expected;
    };
    const Case cases[] = {
        {"open a missing file", [&] { return fs.openFile(file, FileAccess::Read, opened); }, 2},
        {"open in a missing folder", [&] { return fs.openFile(folder + "x", FileAccess::Read, opened); }, 3},
        {"create in a missing folder", [&] { return fs.openFile(folder + "x", FileAccess::Create, opened); },
         3},
        {"attributes of a missing file", [&] { return fs.attributes(file, attributes); }, 2},
        {"attributes in a missing folder", [&] { return fs.attributes(folder + "x", attributes); }, 3},
        {"set attributes of a missing file", [&] { return fs.setAttributes(file, attr::kNormal); }, 2},
        {"delete a missing file", [&] { return fs.deleteFile(file); }, 2},
        {"delete in a missing folder", [&] { return fs.deleteFile(folder + "x"); }, 3},
        {"remove a missing folder", [&] { return fs.removeDirectory(dir + "absent"); }, 2},
        {"remove in a missing folder", [&] { return fs.removeDirectory(folder + "x"); }, 3},
        {"create a folder in a missing one", [&] { return fs.createDirectory(folder + "x"); }, 3},
        {"copy a missing file", [&] { return fs.copyFile(file, dir + "copy.txt", false); }, 2},
        {"copy into a missing folder", [&] { return fs.copyFile(dir + "present.txt", folder + "x", false); },
         3},
        {"list what nothing matches", [&] { return fs.findFiles(dir + "*.none", entries); }, 2},
        {"list a missing folder", [&] { return fs.findFiles(folder + "*.*", entries); }, 3},
        {"version of a missing file", [&] { return fs.fileVersion(file, version); }, 2},
        {"version in a missing folder", [&] { return fs.fileVersion(folder + "x.dll", version); }, 3},
        {"short name of a missing file", [&] { return fs.shortPathName(file, shortName); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), c.expected);
    }
    // Outputs say nothing on failure.
    EXPECT_FALSE(opened);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(attributes, attr::kInvalid);
    EXPECT_TRUE(shortName.empty());
    EXPECT_FALSE(exists(os, dir + "copy.txt"));
}

TEST_F(ContractFiles, CopyOverExistingFailsWith80) {
    ASSERT_EQ(writeText(os, dir + "new.txt", "new content"), 0);
    EXPECT_EQ(fs.copyFile(dir + "new.txt", dir + "copy.txt", true), 0) << "to a new name";
    EXPECT_EQ(readText(os, dir + "copy.txt"), "new content");

    ASSERT_EQ(writeText(os, dir + "old.txt", "old"), 0);
    EXPECT_EQ(fs.copyFile(dir + "new.txt", dir + "old.txt", true), oserr::kFileExists);
    EXPECT_EQ(readText(os, dir + "old.txt"), "old");
    EXPECT_EQ(fs.copyFile(dir + "new.txt", dir + "OLD.TXT", true), oserr::kFileExists) << "whatever the case";
    EXPECT_EQ(fs.copyFile(dir + "new.txt", dir + "new.txt", true), oserr::kFileExists) << "onto itself";
    EXPECT_EQ(fs.copyFile(dir + "new.txt", dir + "NEW.txt", false), oserr::kSharingViolation)
        << "onto itself, even when replacing is allowed";
    EXPECT_EQ(readText(os, dir + "new.txt"), "new content") << "the only copy survives";

    EXPECT_EQ(fs.copyFile(dir + "new.txt", dir + "old.txt", false), 0) << "replacing is allowed when asked";
    EXPECT_EQ(readText(os, dir + "old.txt"), "new content");
}

TEST_F(ContractFiles, ReadOnlyFileRefusesDeletionWith5) {
    const std::string path = dir + "ro.txt";
    ASSERT_EQ(writeText(os, path, "keep"), 0);
    ASSERT_EQ(fs.setAttributes(path, attr::kReadOnly), 0);
    EXPECT_EQ(fs.deleteFile(path), oserr::kAccessDenied);
    EXPECT_EQ(readText(os, path), "keep") << "still readable";
    ASSERT_EQ(fs.setAttributes(path, attr::kNormal), 0);
    EXPECT_EQ(fs.deleteFile(path), 0);
    EXPECT_FALSE(exists(os, path));
}

TEST_F(ContractFiles, ReadOnlyFileRefusesWritesWith5) {
    if (!env().readOnlyRefusesWrites())
        GTEST_SKIP() << "this system lets writes through to read-only files (Wine run as root does; Windows "
                        "refuses them with 5)";
    const std::string path = dir + "ro.txt", source = dir + "source.txt";
    ASSERT_EQ(writeText(os, path, "keep"), 0);
    ASSERT_EQ(writeText(os, source, "replacement"), 0);
    ASSERT_EQ(fs.setAttributes(path, attr::kReadOnly), 0);
    std::unique_ptr<File> file;
    EXPECT_EQ(fs.openFile(path, FileAccess::Create, file), oserr::kAccessDenied);
    EXPECT_EQ(fs.copyFile(source, path, false), oserr::kAccessDenied);
    EXPECT_EQ(readText(os, path), "keep");
}

TEST_F(ContractFiles, AttributesAreKeptAsSet) {
    const std::string path = dir + "a.txt";
    ASSERT_EQ(writeText(os, path, "a"), 0);
    const uint32_t kinds[] = {attr::kReadOnly, attr::kHidden, attr::kSystem, attr::kHidden | attr::kSystem,
                              attr::kReadOnly | attr::kHidden | attr::kSystem};
    // The archive bit is left out: Wine reports it on every file whatever was set.
    const uint32_t shown = attr::kReadOnly | attr::kHidden | attr::kSystem;
    for (uint32_t wanted : kinds) {
        SCOPED_TRACE("attributes " + std::to_string(wanted));
        ASSERT_EQ(fs.setAttributes(path, wanted), 0);
        uint32_t got = 0;
        ASSERT_EQ(fs.attributes(path, got), 0);
        EXPECT_EQ(got & shown, wanted);
        EXPECT_FALSE(got & attr::kDirectory);
        // A listing shows the same bits: hidden and system files are listed too.
        std::vector<FindEntry> entries;
        ASSERT_EQ(fs.findFiles(dir + "*.txt", entries), 0);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].attributes & shown, wanted);
    }
    ASSERT_EQ(fs.setAttributes(path, attr::kNormal), 0);
    uint32_t got = 0;
    ASSERT_EQ(fs.attributes(path, got), 0);
    EXPECT_EQ(got & (shown | attr::kDirectory), 0u) << "normal clears the others";
    ASSERT_EQ(fs.attributes(dir, got), 0);
    EXPECT_TRUE(got & attr::kDirectory) << "a folder named with its trailing backslash";
}

TEST_F(ContractFiles, DirectoriesAreCreatedOnceAndRemovedWhenEmpty) {
    EXPECT_EQ(fs.createDirectory(dir + "Sub"), 0);
    EXPECT_EQ(fs.createDirectory(dir + "Sub"), oserr::kAlreadyExists);
    EXPECT_EQ(fs.createDirectory(dir + "SUB"), oserr::kAlreadyExists) << "whatever the case";
    ASSERT_EQ(writeText(os, dir + "file", "x"), 0);
    EXPECT_EQ(fs.createDirectory(dir + "file"), oserr::kAlreadyExists) << "a file takes the name too";

    ASSERT_EQ(writeText(os, dir + "sub\\inside.txt", "x"), 0);
    EXPECT_EQ(fs.removeDirectory(dir + "Sub"), oserr::kDirNotEmpty);
    EXPECT_EQ(fs.deleteFile(dir + "Sub"), oserr::kAccessDenied) << "a folder is no file";
    EXPECT_NE(fs.removeDirectory(dir + "file"), 0) << "a file is no folder";
    EXPECT_TRUE(exists(os, dir + "file"));

    ASSERT_EQ(fs.deleteFile(dir + "SUB\\INSIDE.TXT"), 0);
    EXPECT_EQ(fs.removeDirectory(dir + "sub"), 0);
    uint32_t a = 0;
    EXPECT_EQ(fs.attributes(dir + "Sub", a), oserr::kFileNotFound);
}

// A rename beside itself: files and folders (with what is in them) take the
// new name; a taken name, a missing source or a missing folder refuse.
TEST_F(ContractFiles, RenamesMoveFilesAndFoldersOnlyToFreeNames) {
    ASSERT_EQ(writeText(os, dir + "Night Sky.scr", "saver"), 0);
    ASSERT_EQ(fs.createDirectory(dir + "Night Sky dir"), 0);
    ASSERT_EQ(fs.createDirectory(dir + "Night Sky dir\\deep"), 0);
    ASSERT_EQ(writeText(os, dir + "Night Sky dir\\deep\\item.dat", "item"), 0);
    ASSERT_EQ(writeText(os, dir + "taken.txt", "taken"), 0);
    struct Case {
        const char* what;
        std::string from, to;
        Result expected;
    };
    const Case cases[] = {
        {"a file", dir + "Night Sky.scr", dir + "Night Sky.scr.kept", 0},
        {"a folder and everything in it", dir + "Night Sky dir", dir + "Night Sky dir.kept", 0},
        {"onto a taken name", dir + "Night Sky.scr.kept", dir + "taken.txt", oserr::kAlreadyExists},
        {"a missing file", dir + "absent.txt", dir + "other.txt", oserr::kFileNotFound},
        {"into a missing folder", dir + "taken.txt", dir + "absent\\taken.txt", oserr::kPathNotFound},
    };
    for (const Case& c : cases) EXPECT_EQ(fs.moveFile(c.from, c.to), c.expected) << c.what;
    EXPECT_EQ(readText(os, dir + "Night Sky.scr.kept"), "saver");
    EXPECT_FALSE(exists(os, dir + "Night Sky.scr"));
    EXPECT_EQ(readText(os, dir + "Night Sky dir.kept\\deep\\item.dat"), "item");
    EXPECT_FALSE(exists(os, dir + "Night Sky dir"));
    EXPECT_EQ(readText(os, dir + "taken.txt"), "taken") << "a refused rename changes nothing";
    // And back: the kept name gives the original its place again.
    EXPECT_EQ(fs.moveFile(dir + "Night Sky.scr.kept", dir + "Night Sky.scr"), 0);
    EXPECT_EQ(readText(os, dir + "Night Sky.scr"), "saver");
}

TEST_F(ContractFiles, ListingsMatchPatternsAndIncludeTheDotEntries) {
    ASSERT_EQ(writeText(os, dir + "a.txt", "aaa"), 0);
    ASSERT_EQ(writeText(os, dir + "b.scr", "b"), 0);
    ASSERT_EQ(writeText(os, dir + "C.SCR", "cc"), 0);
    ASSERT_EQ(fs.createDirectory(dir + "sub"), 0);
    ASSERT_EQ(writeText(os, dir + "sub\\deeper.txt", "not listed above"), 0);
    using Names = std::set<std::string>;
    struct Case {
        const char* pattern;
        Names expected;
    };
    const Case cases[] = {
        {"*.*", {".", "..", "a.txt", "b.scr", "C.SCR", "sub"}},
        {"*", {".", "..", "a.txt", "b.scr", "C.SCR", "sub"}},
        {"*.scr", {"b.scr", "C.SCR"}},
        {"a.*", {"a.txt"}},
        {"?.txt", {"a.txt"}},
        {"A.TXT", {"a.txt"}},
        {"sub", {"sub"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        std::vector<FindEntry> entries;
        ASSERT_EQ(fs.findFiles(dir + c.pattern, entries), 0);
        EXPECT_EQ(names(entries), c.expected);
    }
    std::vector<FindEntry> entries;
    ASSERT_EQ(fs.findFiles(dir + "*.*", entries), 0);
    for (const FindEntry& e : entries) {
        SCOPED_TRACE(e.name);
        const bool folder = e.name == "." || e.name == ".." || e.name == "sub";
        EXPECT_EQ((e.attributes & attr::kDirectory) != 0, folder);
        if (e.name == "a.txt") {
            EXPECT_EQ(e.size, 3u);
        } else if (e.name == "C.SCR") {
            EXPECT_EQ(e.size, 2u);
        }
    }
}

TEST_F(ContractFiles, NamesMatchWhateverTheCaseAndKeepTheirOwn) {
    ASSERT_EQ(writeText(os, dir + "A.TXT", "upper"), 0);
    EXPECT_EQ(readText(os, dir + "a.txt"), "upper");
    uint32_t a = 0;
    EXPECT_EQ(fs.attributes(dir + "a.TxT", a), 0);
    // Writing through another spelling replaces the content, not the name.
    ASSERT_EQ(writeText(os, dir + "a.txt", "lower"), 0);
    std::vector<FindEntry> entries;
    ASSERT_EQ(fs.findFiles(dir + "*.txt", entries), 0);
    EXPECT_EQ(names(entries), std::set<std::string>{"A.TXT"});
    EXPECT_EQ(readText(os, dir + "A.TXT"), "lower");

    ASSERT_EQ(fs.createDirectory(dir + "Folder"), 0);
    ASSERT_EQ(writeText(os, dir + "FOLDER\\Inner.txt", "in"), 0);
    EXPECT_EQ(readText(os, dir + "folder\\INNER.TXT"), "in");
    EXPECT_EQ(fs.copyFile(dir + "a.txt", dir + "fOlDeR\\copy.TXT", true), 0);
    EXPECT_EQ(fs.deleteFile(dir + "FOLDER\\COPY.txt"), 0);
    EXPECT_EQ(fs.deleteFile(dir + "a.txt"), 0);
    EXPECT_FALSE(exists(os, dir + "A.TXT"));
}

// Each name after the drive fits 8.3, without blanks.
bool isShortForm(const std::string& path) {
    size_t start = path.find('\\');
    if (start == std::string::npos) return false;
    while (start < path.size()) {
        size_t end = path.find('\\', start + 1);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(start + 1, end - start - 1);
        if (!name.empty()) {
            const size_t dot = name.find('.');
            const std::string base = name.substr(0, dot),
                              ext = dot == std::string::npos ? "" : name.substr(dot + 1);
            if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos ||
                name.find(' ') != std::string::npos)
                return false;
        }
        start = end;
    }
    return true;
}

TEST_F(ContractFiles, ShortNamesAreEightDotThreeAndNameTheSameFile) {
    ASSERT_EQ(fs.createDirectory(dir + "Long Folder Name"), 0);
    const std::string longPath = dir + "Long Folder Name\\A long file name.text";
    ASSERT_EQ(writeText(os, longPath, "long"), 0);
    std::string shortPath;
    ASSERT_EQ(fs.shortPathName(longPath, shortPath), 0);
    EXPECT_TRUE(isShortForm(shortPath)) << shortPath;
    EXPECT_EQ(readText(os, shortPath), "long");
    std::string again;
    ASSERT_EQ(fs.shortPathName(shortPath, again), 0);
    EXPECT_EQ(again, shortPath) << "a short path is its own short form";

    std::string shortDir;
    ASSERT_EQ(fs.shortPathName(dir, shortDir), 0);
    ASSERT_EQ(writeText(os, dir + "SHORT.TXT", "s"), 0);
    std::string plain;
    ASSERT_EQ(fs.shortPathName(dir + "SHORT.TXT", plain), 0);
    EXPECT_EQ(plain, shortDir + "SHORT.TXT") << "a name that fits 8.3 stays as it is";
}

TEST_F(ContractFiles, VersionResourceGivesTheFixedVersion) {
    FileVersion version;
    ASSERT_EQ(fs.fileVersion(env().versionedLibrary(), version), 0);
    EXPECT_EQ(version.versionMS, (7u << 16) | 0u);
    EXPECT_EQ(version.versionLS, (19u << 16) | 0u);

    ASSERT_EQ(writeText(os, dir + "plain.dll", "no resources here"), 0);
    EXPECT_NE(fs.fileVersion(dir + "plain.dll", version), 0);
    EXPECT_EQ(version.versionMS, 0u) << "reset on failure";
    EXPECT_EQ(version.versionLS, 0u);
}

}  // namespace
}  // namespace ssi::contract
