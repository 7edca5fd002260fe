// The seam's file service over the host's own files, so that the package tool
// reads installers and data files through the installer's readers
// (package/slot_extraction.h, package/data_file.h). Paths may be written in
// Windows form: on other hosts a backslash separates folders as '/' does.
// Only what the readers and the tool use is supported: opening, reading,
// writing, seeking, sizes, attributes, deleting files and making folders.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"

namespace ssi::tool {

// An open host file; closes it when destroyed unless it was handed in unowned.
class HostFile : public File {
public:
    HostFile(std::FILE* file, bool owned) : file_(file), owned_(owned) {}
    ~HostFile() override;
    [[nodiscard]] Result read(void* buffer, uint32_t size, uint32_t& got) override;
    [[nodiscard]] Result write(const void* buffer, uint32_t size, uint32_t& put) override;
    [[nodiscard]] Result seek(int64_t position) override;
    [[nodiscard]] Result size(int64_t& out) override;
    [[nodiscard]] Result close() override;

private:
    std::FILE* file_;
    bool owned_;
};

class HostFiles : public FileSystem {
public:
    [[nodiscard]] Result attributes(const std::string& path, uint32_t& out) override;
    [[nodiscard]] Result setAttributes(const std::string& path, uint32_t attributes) override;
    [[nodiscard]] Result deleteFile(const std::string& path) override;
    [[nodiscard]] Result createDirectory(const std::string& path) override;
    [[nodiscard]] Result removeDirectory(const std::string& path) override;
    [[nodiscard]] Result copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    // A rename; 183 when the new name is taken.
    [[nodiscard]] Result moveFile(const std::string& from, const std::string& to) override;
    // Only an exact path: its entry, or 2.
    [[nodiscard]] Result findFiles(const std::string& pattern, std::vector<FindEntry>& out) override;
    [[nodiscard]] Result openFile(const std::string& path, FileAccess access, std::unique_ptr<File>& out) override;
    [[nodiscard]] Result fileVersion(const std::string& path, FileVersion& out) override;
    [[nodiscard]] Result shortPathName(const std::string& path, std::string& out) override;
    // Neither is used by the tool: 50 (not supported).
    [[nodiscard]] Result createPrivateDirectory(const std::string& path) override;
    [[nodiscard]] Result openDirectory(const std::string& path, uint32_t& attributes,
                                       std::unique_ptr<HeldDirectory>& out) override;
    [[nodiscard]] Result freeSpace(const std::string& path, uint64_t& bytes) override;

    // The host's spelling of a path written in either form.
    static std::string hostPath(const std::string& path);
};

}  // namespace ssi::tool
